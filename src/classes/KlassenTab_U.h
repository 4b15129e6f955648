#pragma once

#include "KlassenProbelauf.h"

#include <ZeichenFilter.h>

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class TKonfiguration;
class TNDK;
class TRadioGroup;
struct TKlassenEingaben;

// Accepts class names made of the letters A-Z and a-z, the digits and "_". Whatever reaches the
// field (typed, pasted, dropped or set) keeps only those characters, since the name becomes a
// container in the directory and a folder on the file server.
class TKlassenNameValidator : public TZeichenFilter {
    Q_OBJECT
public:
    explicit TKlassenNameValidator(QObject* Parent = nullptr) : TZeichenFilter(&IsAllowed, Parent) {}
    static bool IsAllowed(QChar Ch);
    static QString Sanitized(const QString& Text) { return Gefiltert(Text, &IsAllowed); }
};

// The tab "neue Klasse": the inputs of a class creation, the protocol and the button that starts
// the run. The configured values behind the inputs live in the configuration the tab is given; the
// tab shows them and writes every change back, marking the configuration as changed.
class TKlassenTab : public QWidget {
    Q_OBJECT
public:
    // Ndk is null when the directory could not be reached at start: the pickers and the run then
    // report that instead of working.
    TKlassenTab(TKonfiguration& Konfiguration, TNDK* Ndk, QWidget* Parent = nullptr);

    // Shows the configured values: container, login-script source, template, home and exchange
    // base and their switches.
    void KonfigurationAnzeigen();
    // The state after start-up: no name, the protocol hidden, the run's and the pickers' buttons
    // off until the first refresh.
    void Vorbereiten();
    // The defaults of the base container's "User_Template": its home directory as home base, the
    // template itself, and the exchange base beside the home base. At start (NurLeere) they fill
    // only empty inputs and a failed conversion ends the filling quietly; for a chosen container
    // they replace the inputs, and only a failed conversion of the exchange base raises.
    void TemplateVorgaben(bool NurLeere);

    // Event handlers.
    bool EdNeueklasseKeyPress(QChar Key); // false: the typed character is discarded
    void EdNeueklasseChange();
    void EdContainerChange();
    void EdLoginscriptChange();
    void chTemplateClick();
    void edHomeBaseChange();
    void edTauschbaseChange();
    void chLogKlasseClick();
    void chLogDateiClick();
    void spLogDateiClick();
    void SpContainerClick();
    void SpLoginscriptClick();
    void SpTemplateClick();
    void spHomeBaseClick();
    void buTauschBaseClick();
    void BuAnlegenClick();
    // Shows what "anlegen" would do with the inputs as they stand, changing nothing.
    void BuProbelaufClick();
    void KlassentabAktualisieren();

    // The class creation run: creates the class from the tab's inputs, every step reported in
    // MeProtokol. Refuses a name that is empty or holds other characters than A-Z, a-z, 0-9 and
    // "_" with an error box, whoever started the run. Never raises.
    void KlasseAnlegen();
    // True while a class creation runs.
    bool KlasseLaeuft() const { return FLaeuft; }
    // What the last dry run listed.
    const TLaufBericht& LetzterProbelauf() const { return FProbelauf; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void BuildUi();
    void Connect();
    // The inputs of a run as they stand now.
    TKlassenEingaben Eingaben() const;
    // Shows the picker button of the current login-script mode and hides the other.
    void LoginQuelleAnzeigen();
    // In file mode the configuration holds the file the edit shows.
    void LoginDateiUebernehmen();
    void TemplateSetzen(const QString& Template);
    // The folder picker with Title; a chosen folder goes into Edit.
    void OrdnerWaehlenFuer(QLineEdit* Edit, const QString& Title);
    // Appends a line to the protocol and paints it at once (the run blocks the event loop).
    void Protokoll(const QString& Line);

    TKonfiguration& K;
    TNDK* FNdk;
    bool FLaeuft = false;
    TLaufBericht FProbelauf;

    QLabel* Label1;
    QLineEdit* EdNeueklasse;
    QLabel* Label3;
    QLineEdit* EdContainer;
    QToolButton* SpContainer;
    QLabel* Label4;
    QCheckBox* chLogKlasse;
    QCheckBox* chLogDatei;
    QLineEdit* EdLoginscript;
    QToolButton* SpLoginscript;
    QToolButton* spLogDatei;
    QLabel* Label15;
    QLineEdit* edHomeBase;
    QToolButton* spHomeBase;
    QGroupBox* GroupBox1;
    QCheckBox* chTausch;
    TRadioGroup* raTausch;
    QLabel* Label14;
    QLineEdit* edTauschbase;
    QToolButton* buTauschBase;
    QCheckBox* chTemplate;
    QLabel* Label5;
    QLineEdit* EdTemplate;
    QToolButton* SpTemplate;
    QPlainTextEdit* MeProtokol;
    QPushButton* BuAnlegen;
    QPushButton* BuProbelauf;
};
