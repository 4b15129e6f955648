#include "KlassenTab_U.h"

#include "KlassenLauf.h"
#include "KlassenProbelauf.h"

#include <DialogBau.h>
#include <EDirectoryError.h>
#include <ErrorGuard.h>
#include <FileDialog.h>
#include <FolderBrowser_u.h>
#include <JournaledRun.h>
#include <Konfiguration.h>
#include <LaufSperre.h>
#include <ModalSeam.h>
#include <OUBrowser_U.h>
#include <RadioGroup.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <optional>

// ---------------------------------------------------------------------------------------------
// Class name filter

bool TKlassenNameValidator::IsAllowed(QChar Ch) {
    const char16_t C = Ch.unicode();
    return (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z') || (C >= u'0' && C <= u'9') || C == u'_';
}

// ---------------------------------------------------------------------------------------------
// The tab

TKlassenTab::TKlassenTab(TKonfiguration& Konfiguration, TNDK* Ndk, QWidget* Parent)
    : QWidget(Parent), K(Konfiguration), FNdk(Ndk) {
    setObjectName(QStringLiteral("tabNeueKlasse"));
    BuildUi();
    Connect();
}

void TKlassenTab::Connect() {
    ConnectGuarded(EdNeueklasse, &QLineEdit::textChanged, this, &TKlassenTab::EdNeueklasseChange);
    ConnectGuarded(EdContainer, &QLineEdit::textChanged, this, &TKlassenTab::EdContainerChange);
    ConnectGuarded(EdLoginscript, &QLineEdit::textChanged, this, &TKlassenTab::EdLoginscriptChange);
    ConnectGuarded(EdTemplate, &QLineEdit::textChanged, this, &TKlassenTab::EdContainerChange);
    ConnectGuarded(chTausch, &QCheckBox::clicked, this, &TKlassenTab::EdContainerChange);
    ConnectGuarded(raTausch, &TRadioGroup::Clicked, this, &TKlassenTab::EdContainerChange);
    ConnectGuarded(chTemplate, &QCheckBox::clicked, this, &TKlassenTab::chTemplateClick);
    ConnectGuarded(edHomeBase, &QLineEdit::textChanged, this, &TKlassenTab::edHomeBaseChange);
    ConnectGuarded(edTauschbase, &QLineEdit::textChanged, this, &TKlassenTab::edTauschbaseChange);
    ConnectGuarded(chLogKlasse, &QCheckBox::clicked, this, &TKlassenTab::chLogKlasseClick);
    ConnectGuarded(chLogDatei, &QCheckBox::clicked, this, &TKlassenTab::chLogDateiClick);
    ConnectGuarded(spLogDatei, &QToolButton::clicked, this, &TKlassenTab::spLogDateiClick);
    ConnectGuarded(SpContainer, &QToolButton::clicked, this, &TKlassenTab::SpContainerClick);
    ConnectGuarded(SpLoginscript, &QToolButton::clicked, this, &TKlassenTab::SpLoginscriptClick);
    ConnectGuarded(SpTemplate, &QToolButton::clicked, this, &TKlassenTab::SpTemplateClick);
    ConnectGuarded(spHomeBase, &QToolButton::clicked, this, &TKlassenTab::spHomeBaseClick);
    ConnectGuarded(buTauschBase, &QToolButton::clicked, this, &TKlassenTab::buTauschBaseClick);
    ConnectGuarded(BuAnlegen, &QPushButton::clicked, this, &TKlassenTab::BuAnlegenClick);
    ConnectGuarded(BuProbelauf, &QPushButton::clicked, this, &TKlassenTab::BuProbelaufClick);
    // The switches are configured values however they change.
    connect(chLogKlasse, &QCheckBox::toggled, this, [this](bool On) {
        K.LoginVonKlasse = On;
        LoginDateiUebernehmen();
    });
    connect(chTemplate, &QCheckBox::toggled, this, [this](bool On) { K.CreateTemplate = On; });
    connect(chTausch, &QCheckBox::toggled, this, [this](bool On) { K.CreateTausch = On; });
}

void TKlassenTab::KonfigurationAnzeigen() {
    // Taken first: switching the mode hands the edit's text to the configuration.
    const QString Login = K.LoginVonKlasse ? TNDK::PathToDotted(K.LoginKlasse) : K.LoginDatei;
    chLogKlasse->setChecked(K.LoginVonKlasse);
    chLogDatei->setChecked(!K.LoginVonKlasse);
    LoginQuelleAnzeigen();
    chTemplate->setChecked(K.CreateTemplate);
    chTausch->setChecked(K.CreateTausch);
    EdContainer->setText(TNDK::PathToDotted(K.BasisContainer));
    EdLoginscript->setText(Login);
    EdTemplate->setText(TNDK::PathToDotted(K.MusterTemplate));
    edTauschbase->setText(K.TauschBase);
    edHomeBase->setText(K.HomeBase);
}

void TKlassenTab::Vorbereiten() {
    EdNeueklasse->clear();
    MeProtokol->hide();
    BuAnlegen->setEnabled(false);
    BuProbelauf->setEnabled(false);
    SpLoginscript->setEnabled(false);
    SpTemplate->setEnabled(false);
}

bool TKlassenTab::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == EdNeueklasse && Event->type() == QEvent::KeyPress) {
        auto* Key = static_cast<QKeyEvent*>(Event);
        const QString Text = Key->text();
        // Editing keys and shortcuts (no text, control characters, Ctrl combinations) pass; what they
        // insert is filtered by the validator.
        if (Text.isEmpty() || Key->modifiers().testFlag(Qt::ControlModifier))
            return false;
        for (QChar Ch : Text)
            if (Ch.unicode() >= 0x20 && Ch.unicode() != 0x7F && !EdNeueklasseKeyPress(Ch))
                return true;
    }
    return QWidget::eventFilter(Watched, Event);
}

bool TKlassenTab::EdNeueklasseKeyPress(QChar Key) {
    return Key == u'\b' || TKlassenNameValidator::IsAllowed(Key);
}

void TKlassenTab::EdNeueklasseChange() {
    const QString Text = EdNeueklasse->text();
    const QString Clean = TKlassenNameValidator::Sanitized(Text);
    if (Clean != Text) {
        // Text that got past the validator (it cannot, but the name becomes a folder): cleaned here,
        // the change handler then runs again on the clean text.
        EdNeueklasse->setText(Clean);
        return;
    }
    BuAnlegen->setEnabled(!Text.isEmpty() && !FLaeuft);
    BuProbelauf->setEnabled(BuAnlegen->isEnabled());
}

void TKlassenTab::EdContainerChange() {
    K.Geaendert = true;
}

void TKlassenTab::EdLoginscriptChange() {
    EdContainerChange();
    LoginDateiUebernehmen();
}

void TKlassenTab::LoginDateiUebernehmen() {
    if (!chLogKlasse->isChecked())
        K.LoginDatei = EdLoginscript->text();
}

void TKlassenTab::chTemplateClick() {
    K.Geaendert = true;
}

void TKlassenTab::edHomeBaseChange() {
    K.Geaendert = true;
    K.HomeBase = TKonfiguration::OhneBackslash(edHomeBase->text());
}

void TKlassenTab::edTauschbaseChange() {
    K.Geaendert = true;
    K.TauschBase = TKonfiguration::OhneBackslash(edTauschbase->text());
}

void TKlassenTab::LoginQuelleAnzeigen() {
    const bool ClassMode = chLogKlasse->isChecked();
    SpLoginscript->setVisible(ClassMode);
    spLogDatei->setVisible(!ClassMode);
}

// A switch of the mode asks for a new source; the class stays configured until one is chosen.
void TKlassenTab::chLogKlasseClick() {
    chLogDatei->setChecked(!chLogKlasse->isChecked());
    LoginQuelleAnzeigen();
    EdLoginscript->clear();
}

void TKlassenTab::chLogDateiClick() {
    chLogKlasse->setChecked(!chLogDatei->isChecked());
    LoginQuelleAnzeigen();
    EdLoginscript->clear();
}

void TKlassenTab::spLogDateiClick() {
    QFileDialog OpenDialog1(this);
    OpenDialog1.setObjectName(QStringLiteral("OpenDialog1"));
    SetUpFileDialog(OpenDialog1);
    OpenDialog1.setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1.setFileMode(QFileDialog::ExistingFile);
    OpenDialog1.setNameFilters({QStringLiteral("Textdateien (*.txt)"), QStringLiteral("Alle Dateien (*.*)")});
    OpenDialog1.setDefaultSuffix(QStringLiteral("txt"));
    OpenDialog1.setDirectory(QCoreApplication::applicationDirPath());
    if (TModalSeam::Exec(OpenDialog1) != QDialog::Accepted)
        return;
    const QStringList Files = OpenDialog1.selectedFiles();
    if (!Files.isEmpty() && !Files.first().isEmpty())
        EdLoginscript->setText(QDir::toNativeSeparators(Files.first()));
}

void TKlassenTab::TemplateSetzen(const QString& Template) {
    K.MusterTemplate = Template;
    EdTemplate->setText(TNDK::PathToDotted(Template));
}

void TKlassenTab::TemplateVorgaben(bool NurLeere) {
    QString Value;
    if (FNdk) {
        try {
            Value = FNdk->GetFieldValue(TKonfiguration::TemplateIn(K.BasisContainer),
                                        QStringLiteral("Home Directory"));
        } catch (...) {
            Value.clear();
        }
    }
    if (Value.isEmpty())
        return;
    TNDK& N = *FNdk;
    if (NurLeere) {
        try {
            if (edHomeBase->text().isEmpty())
                edHomeBase->setText(N.SplitFilePath(Value));
            if (EdTemplate->text().isEmpty())
                TemplateSetzen(TKonfiguration::TemplateIn(K.BasisContainer));
            const QString Tausch = TKonfiguration::TauschAusHome(N.SplitFilePath(Value));
            if (edTauschbase->text().isEmpty())
                edTauschbase->setText(Tausch);
        } catch (...) {
        }
        return;
    }
    try {
        edHomeBase->setText(N.SplitFilePath(Value));
    } catch (...) {
    }
    TemplateSetzen(TKonfiguration::TemplateIn(K.BasisContainer));
    // An error here ends the handler; its text is shown by the guard of the event.
    edTauschbase->setText(TKonfiguration::TauschAusHome(N.SplitFilePath(Value)));
}

void TKlassenTab::SpContainerClick() {
    QString Sel;
    if (!ChoosePicker(this, Erreichbar(FNdk), TPickerKind::Container, K.ouSchueler, Sel))
        return;
    K.BasisContainer = Sel;
    K.ouSchueler = Sel;
    EdContainer->setText(TNDK::PathToDotted(Sel));
    if (chLogKlasse->isChecked()) {
        // A login-script class must be chosen again below the new container.
        EdLoginscript->clear();
        K.LoginKlasse.clear();
    }
    TemplateVorgaben(false);
}

void TKlassenTab::SpLoginscriptClick() {
    QString Sel;
    if (!ChoosePicker(this, Erreichbar(FNdk), TPickerKind::Loginscript, K.ouSchueler, Sel))
        return;
    K.LoginKlasse = Sel;
    EdLoginscript->setText(TNDK::PathToDotted(Sel));
}

void TKlassenTab::SpTemplateClick() {
    QString Sel;
    if (!ChoosePicker(this, Erreichbar(FNdk), TPickerKind::Template, K.ouSchueler, Sel))
        return;
    TemplateSetzen(Sel);
}

void TKlassenTab::OrdnerWaehlenFuer(QLineEdit* Edit, const QString& Title) {
    const QString Folder = OrdnerWaehlen(this, Erreichbar(FNdk), TFolderRoot::Network, Title);
    if (!Folder.isEmpty())
        Edit->setText(Folder);
}

void TKlassenTab::spHomeBaseClick() {
    OrdnerWaehlenFuer(
        edHomeBase,
        QStringLiteral("Wählen Sie den Ordner für das Basisverzeichnis\rdes Klassenverzeichnis aus"));
}

void TKlassenTab::buTauschBaseClick() {
    OrdnerWaehlenFuer(
        edTauschbase,
        QStringLiteral("Wählen Sie den Ordner für das Basisverzeichnis \rdes Klassen-Tauschverzeichnis aus"));
}

void TKlassenTab::BuAnlegenClick() {
    KlasseAnlegen();
}

void TKlassenTab::Protokoll(const QString& Line) {
    MeProtokol->appendPlainText(Line);
    if (MeProtokol->isVisible())
        MeProtokol->viewport()->repaint();
}

TKlassenEingaben TKlassenTab::Eingaben() const {
    TKlassenEingaben E;
    E.Name = EdNeueklasse->text();
    E.Basis = K.BasisContainer;
    E.ContainerText = EdContainer->text();
    E.LoginVonKlasse = chLogKlasse->isChecked();
    E.LoginKlasse = K.LoginKlasse;
    E.LoginDatei = EdLoginscript->text();
    E.HomeBase = K.HomeBase;
    E.HomeFlags = K.HomeFlags;
    E.Tausch = chTausch->isChecked();
    E.TauschBase = K.TauschBase;
    E.TauschFlags = K.TauschFlags;
    E.Rechte = TKlassenLauf::Rechte(raTausch->ItemIndex());
    E.Template = chTemplate->isChecked();
    E.MusterTemplate = K.MusterTemplate;
    return E;
}

void TKlassenTab::KlasseAnlegen() {
    // The existence search lets events through: a second start meanwhile is ignored.
    if (FLaeuft)
        return;

    const QString Name = EdNeueklasse->text();
    if (Name.isEmpty()) {
        TModalSeam::Error(this, QStringLiteral("Es ist kein Name für die neue Klasse angegeben."));
        return;
    }
    if (TKlassenNameValidator::Sanitized(Name) != Name) {
        TModalSeam::Error(this,
                          QStringLiteral("Der Klassenname \"") + Name +
                              QStringLiteral("\" ist ungültig.\nErlaubt sind nur die Buchstaben A bis Z "
                                             "und a bis z, die Ziffern 0 bis 9 und \"_\"."));
        return;
    }
    // The button stays off while the run lasts; afterwards the inputs decide again.
    const TLaufSperre Lauf(FLaeuft, BuAnlegen, [this] { KlassentabAktualisieren(); });
    std::optional<TWaitCursor> Wait(std::in_place);

    // The inputs as they stand at the start; the search below lets events through.
    const TKlassenEingaben E = Eingaben();
    std::optional<TKlassenLauf> Run;
    bool Vorhanden = false;
    try {
        Run.emplace(Erreichbar(FNdk), [this](const QString& Line) { Protokoll(Line); });
        Vorhanden = Run->Vorhanden(E);
    } catch (...) {
        const QString Text = CurrentErrorText();
        Wait.reset();
        TModalSeam::Error(this, Text);
        return;
    }
    if (Vorhanden) {
        Wait.reset();
        TModalSeam::Error(this, QStringLiteral("Die Klasse ") + E.Name + QStringLiteral(" gibt es\nin ") +
                                    E.ContainerText + QStringLiteral(" bereits."));
        EdNeueklasse->setFocus();
        return;
    }

    MeProtokol->clear();
    MeProtokol->show();
    if (QLayout* L = layout())
        L->activate();
    // Journaled with every change: a class a run made can be taken back.
    std::optional<TJournaledRun> Journal;
    try {
        Journal.emplace(FNdk->Client(), QStringLiteral("Klasse anlegen"), E.Name, FNdk->TreePrefix(),
                        KlassenJournalEingaben(E));
    } catch (...) {
        const QString Text = CurrentErrorText();
        Wait.reset();
        TModalSeam::Error(this,
                          QStringLiteral("Das Protokoll der Läufe kann nicht geschrieben werden; die Klasse "
                                         "wurde nicht angelegt.\n") +
                              Text);
        return;
    }
    const bool Angelegt = KlasseMitBericht(*Run, E, [&Journal](const TRunChange& C) { Journal->Record(C); });
    try {
        Journal->End(Angelegt ? QStringLiteral("erfolgreich") : QStringLiteral("abgebrochen"));
    } catch (...) {
        Protokoll(QStringLiteral("Das Protokoll der Läufe konnte nicht abgeschlossen werden: ") +
                  CurrentErrorText());
    }
    if (!Angelegt)
        return;
    BuAnlegen->setEnabled(false);
    BuProbelauf->setEnabled(false);
    EdNeueklasse->clear();
    EdNeueklasse->setFocus();
}

void TKlassenTab::KlassentabAktualisieren() {
    const bool Template = chTemplate->isChecked();
    SpTemplate->setEnabled(Template);
    EdTemplate->setEnabled(Template);
    EditFarbe(EdTemplate, Template);

    const bool Tausch = chTausch->isChecked();
    edTauschbase->setEnabled(Tausch);
    EditFarbe(edTauschbase, Tausch);

    BuAnlegen->setEnabled(!FLaeuft && !EdNeueklasse->text().isEmpty() && !EdContainer->text().isEmpty() &&
                          !EdLoginscript->text().isEmpty() && (!Template || !EdTemplate->text().isEmpty()) &&
                          !edHomeBase->text().isEmpty() && (!Tausch || !edTauschbase->text().isEmpty()));
    BuProbelauf->setEnabled(BuAnlegen->isEnabled());

    SpLoginscript->setEnabled(!EdContainer->text().isEmpty());
}
