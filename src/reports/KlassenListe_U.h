#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QLabel;
class QMenu;
class QShowEvent;
class QTableWidget;
class QToolButton;
class TKonfiguration;
class TNDK;
class TPrintDialog;

// The tab "Liste der Klassen": every class below the student base container with its number of
// students, whether its exchange folder exists and the rights the class holds there. The table is
// read anew from the directory every time the tab is shown; the print button prints it as a text
// list.
class TKlassenListeTab : public QWidget {
    Q_OBJECT
public:
    // Ndk is null when the directory could not be reached at start: the handlers then report that.
    TKlassenListeTab(TKonfiguration& Konfiguration, TNDK* Ndk, TPrintDialog& PrintDialog1,
                     QWidget* Parent = nullptr);

    // Event handlers.
    void TabListeKlassenShow();
    void buDruckenKlassenClick();
    // The grid's context menu at a row (-1: none): on a class row "Klasse entfernen ...", enabled for
    // a class that a journaled run created and that was not taken back, then the grid's own actions.
    // Owned by the caller.
    QMenu* KontextMenue(int Row);
    // Takes back the run that created the class of the row, after a confirmation that lists its
    // changes and what stays; the table is read anew afterwards.
    void KlasseEntfernen(int Row);
    // The context menu's "Als CSV speichern ...": the table as it stands, through the save dialog.
    void AlsCsvSpeichern();
    // The table as it stands, headings first.
    QList<QStringList> Tabelle() const;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    // The columns of the grid.
    enum TSpalte { Klasse, Schuelerzahl, Tausch, Rechte };

    void BuildUi();
    // The columns of the grid's class rows, read while the table is rebuilt.
    void NamenLesen(TNDK& N);
    void TauschLesen(TNDK& N);
    void SchuelerZaehlen(TNDK& N);
    QString Zelle(int Row, int Column) const;
    // The run that created the class of the row; 0 for none.
    qint64 Erzeuger(int Row);
    void SetZelle(int Row, int Column, const QString& Text);

    TKonfiguration& K;
    TNDK* FNdk;
    TPrintDialog& PrintDialog1;
    bool FLaeuft = false;

    QLabel* Label19;
    QTableWidget* sgKlassen;
    QLabel* laKlassen;
    QLabel* laUpdate;
    QToolButton* buDruckenKlassen;
};
