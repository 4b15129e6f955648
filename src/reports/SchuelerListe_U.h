#pragma once

#include "ListenZeilen.h"

#include <QWidget>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;
class TKonfiguration;
class TNDK;
class TPrintDialog;
class TStringList;
struct TDruckTitel;

// The tab "Schülerlisten": the students of a class chosen with the object picker, each with name and
// login name, and their printout as a ruled form under captions the user confirms. The chosen
// class and the captions belong to the main window, which hands them to the tab.
class TSchuelerListeTab : public QWidget {
    Q_OBJECT
public:
    // Ndk is null when the directory could not be reached at start: the handlers then report that.
    TSchuelerListeTab(TKonfiguration& Konfiguration, TNDK* Ndk, QString& SelectedClass, TDruckTitel& Titel,
                      TPrintDialog& PrintDialog1, QWidget* Parent = nullptr);

    // Event handlers.
    void BuKlassenAuswahlClick();
    void buDruckSchuelerClick();
    // The context menu's "Als CSV speichern ...": the listed users, through the save dialog.
    void AlsCsvSpeichern();

    // Fills the list with the users of SelectedClass under the filter in force.
    void FillStudentList();
    // Prints the ruled form of the users of an entry list on the chosen printer.
    void PrintStudentList(const TStringList& Liste);

private:
    void BuildUi();

    TKonfiguration& K;
    TNDK* FNdk;
    QString& SelectedClass;
    TDruckTitel& Titel;
    TPrintDialog& PrintDialog1;
    std::vector<SchuelerListe::TZeile> FZeilen; // the users the list shows

    QLabel* Label7;
    QLineEdit* EdKlasse;
    QToolButton* BuKlassenAuswahl;
    QLabel* Label17;
    QLabel* Label18;
    QListWidget* LiKlassenliste;
    QToolButton* buDruckSchueler;
};
