#pragma once

#include <LaufBericht.h>

#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class TKonfiguration;
class TNDK;
class TPrintDialog;
class TSpinEdit;
class TStringList;
struct TDruckTitel;
struct TPrueflingeKonto;

// The tab "Prüflinge/Teilnehmer anlegen": a numbered series of exam or course accounts for one room
// or course container, each bound to a workstation of the room if wanted; the preview of the names,
// the run that creates or updates the accounts, and the printout of the container's accounts with
// their restrictions. The workstation list and the print captions belong to the main window, which
// hands them to the tab.
class TKAUserTab : public QWidget {
    Q_OBJECT
public:
    // Ndk is null when the directory could not be reached at start: the handlers then report that.
    TKAUserTab(const TKonfiguration& Konfiguration, TNDK* Ndk, TStringList& WorkstationListe,
               TDruckTitel& Titel, TPrintDialog& PrintDialog1, QWidget* Parent = nullptr);

    // The state after start-up: the status and preview labels empty.
    void Vorbereiten();

    // The naming pattern of the run: edMaske with its first "%%" replaced by "%2.2d", as the last
    // preview with a "%%" in edMaske left it; empty until then.
    const QString& ExamUserMask() const { return FExamUserMask; }
    // True while a run creates or updates accounts.
    bool LaufAktiv() const { return FLaeuft; }
    // Ends a running run before its next account (the window closes); the account in hand is done.
    void LaufBeenden() { FStopp = true; }

    // Event handlers.
    void tabKAUserShow();
    void spKursUClick();
    void edKursUChange();
    void chAdressRestrClick();
    void spWorkstationsClick();
    void edWSChange();
    void spTemplateUClick();
    void buCreateUserClick();
    // Shows what "Benutzer anlegen" would do with the inputs as they stand, changing nothing.
    void buProbelaufUClick();
    // What the last dry run listed.
    const TLaufBericht& LetzterProbelauf() const { return FProbelauf; }
    void spPrintRestrClick();
    // Ends the exam for the series the tab describes: collects the accounts' files into a zip
    // archive, then locks the accounts (a random password, no restriction), after a confirmation
    // that lists what will be done.
    void buPruefungBeendenClick();
    // One login slip per account of the container, several to a page.
    void spPrintSlipsClick();
    // Shows or hides the text of edPass.
    void spPassZeigenClick(bool Zeigen);
    // The key filters of edMaske and edIPErsatz: false drops the character, typed, pasted or dropped.
    static bool edMaskeKeyPress(QChar Key);
    static bool edIPErsatzKeyPress(QChar Key);

    // The preview of the first and last name, the container and the restriction.
    void UpdateExamPreview();
    // The mask named after the container: its short name followed by "_B%%".
    void ResetExamMask();
    // The templates of the student base container, the first one chosen.
    void FillTemplateList();

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void BuildUi();
    void Connect();
    // The workstation container named like the room inside "Workstations", when it exists.
    void WorkstationsRaten();
    // The inputs of the next account as they stand now.
    TPrueflingeKonto Konto() const;
    // Shows the run at account K and lets pending events through; false when the run is to end.
    bool Fortschritt(int K);
    // The two run buttons, on while no run lasts and a container is chosen.
    void LaufKnoepfe();

    const TKonfiguration& K;
    TNDK* FNdk;
    TStringList& FWorkstations;
    TDruckTitel& Titel;
    TPrintDialog& PrintDialog1;
    QString FExamUserMask;
    bool FLaeuft = false;
    bool FStopp = false;
    TLaufBericht FProbelauf;

    QLabel* Label21;
    QLineEdit* edKursU;
    QToolButton* spKursU;
    QCheckBox* chAdressRestr;
    QLabel* Label22;
    QLineEdit* edWS;
    QToolButton* spWorkstations;
    QLabel* laWScount;
    QLabel* Label29;
    QLineEdit* edIPErsatz;
    QLabel* Label24;
    QComboBox* cbVorname;
    QLabel* Label32;
    QLabel* Label31;
    TSpinEdit* spBenutzerVon;
    QLabel* Label23;
    QLabel* Label33;
    TSpinEdit* spBenutzerZahl;
    QLabel* Label25;
    QComboBox* cbTemplateU;
    QToolButton* spTemplateU;
    QLabel* Label30;
    QLineEdit* edPass;
    QLabel* Label34;
    QLineEdit* edMaske;
    QLabel* Label26;
    QLabel* laUsers;
    QLabel* Label27;
    QLabel* laRaum;
    QLabel* laRestrict;
    QLabel* laNewUser;
    QLabel* laRestrNew;
    QLabel* laAktion;
    QLabel* laFortschritt;
    QProgressBar* ProgressBar1;
    QToolButton* spPrintRestr;
    QPushButton* buCreateUser;
    QPushButton* buPruefungBeenden;
    QToolButton* spPrintSlips;
    QToolButton* spPassZeigen;
    QPushButton* buProbelaufU;
};
