#pragma once

#include <QValidator>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class TForm1;
class TRadioGroup;

// Accepts class names made of the letters A-Z and a-z, the digits and "_". Whatever reaches the
// field (typed, pasted, dropped or set) keeps only those characters, since the name becomes a
// container in the directory and a folder on the file server.
class TKlassenNameValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    static bool IsAllowed(QChar Ch);
    static QString Sanitized(const QString& Text);
    State validate(QString& Input, int& Pos) const override;
    void fixup(QString& Input) const override;
};

// The tab "neue Klasse": the inputs of a class creation, the protocol and the button that starts it.
// The state behind the read-only edits belongs to the main window.
class TKlassenTab : public QWidget {
    Q_OBJECT
public:
    TKlassenTab(TForm1& Form, QWidget* Parent = nullptr);

    // Event handlers.
    bool EdNeueklasseKeyPress(QChar Key);   // false: the typed character is discarded
    void EdNeueklasseChange();
    void EdContainerChange();
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
    void KlassentabAktualisieren();

    // The class creation run: creates the class from the tab's inputs, every step reported in
    // MeProtokol. Refuses a name that is empty or holds other characters than A-Z, a-z, 0-9 and
    // "_" with an error box, whoever started the run. Never raises.
    void KlasseAnlegen();
    // True while a class creation runs.
    bool KlasseLaeuft() const { return FLaeuft; }
    // Waits until Entry can be found: tests at once, then after each of at most Pausen pauses of
    // 100 ms. False when it was not found in time.
    bool EintragAbwarten(const QString& Entry, int Pausen);

    // Shows the picker button of the current login-script mode and hides the other.
    void LoginQuelleAnzeigen();

    // Controls, top to bottom.
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

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    // Guarded connection of a handler to a signal.
    template <typename TSender, typename TSignal>
    void On(TSender* Sender, TSignal Signal, void (TKlassenTab::*Handler)());
    static void SetEditColour(QLineEdit* Edit, bool Enabled);
    // Appends a line to the protocol and paints it at once (the run blocks the event loop).
    void Protokoll(const QString& Line);

    TForm1& Form;
    bool FLaeuft = false;
};
