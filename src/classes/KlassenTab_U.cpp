#include "KlassenTab_U.h"

#include "KlassenLauf.h"

#include <DialogBau.h>
#include <EDirectoryError.h>
#include <ErrorGuard.h>
#include <FileDialog.h>
#include <FolderBrowser_u.h>
#include <Konfiguration.h>
#include <ModalSeam.h>
#include <Names.h>
#include <OUBrowser_U.h>
#include <RadioGroup.h>
#include <WaitCursor.h>
#include <ndk_u.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
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

namespace {
QToolButton* SpeedButton(QWidget* Parent, const char* Name, const QString& Hint = QString()) {
    auto* B = new QToolButton(Parent);
    B->setObjectName(QLatin1String(Name));
    B->setText(QStringLiteral("..."));
    B->setFixedSize(26, 23);
    if (!Hint.isEmpty())
        B->setToolTip(Hint);
    return B;
}
QLineEdit* ReadOnlyEdit(QWidget* Parent, const char* Name, const QString& Hint = QString()) {
    auto* E = new QLineEdit(Parent);
    E->setObjectName(QLatin1String(Name));
    E->setReadOnly(true);
    if (!Hint.isEmpty())
        E->setToolTip(Hint);
    return E;
}
QLabel* Caption(QWidget* Parent, const char* Name, const QString& Text) {
    auto* L = new QLabel(Text, Parent);
    L->setObjectName(QLatin1String(Name));
    return L;
}
} // namespace

TKlassenTab::TKlassenTab(TKonfiguration& Konfiguration, TNDK* Ndk, QWidget* Parent)
    : QWidget(Parent), K(Konfiguration), FNdk(Ndk) {
    setObjectName(QStringLiteral("tabNeueKlasse"));
    BuildUi();
    Connect();
}

void TKlassenTab::BuildUi() {
    Label1 = Caption(this, "Label1", QStringLiteral("Name der Klasse"));
    EdNeueklasse = new QLineEdit(this);
    EdNeueklasse->setObjectName(QStringLiteral("EdNeueklasse"));
    EdNeueklasse->setValidator(new TKlassenNameValidator(EdNeueklasse));
    EdNeueklasse->setMaxLength(MaxNameLength); // the class becomes a container of that name
    EdNeueklasse->setFixedWidth(180);
    EdNeueklasse->installEventFilter(this);
    Label1->setBuddy(EdNeueklasse);

    Label3 = Caption(this, "Label3", QStringLiteral("Klasse anlegen in (Basis-Container)"));
    EdContainer =
        ReadOnlyEdit(this, "EdContainer", QStringLiteral("OU auswählen, in der Klassen angelegt werden"));
    SpContainer = SpeedButton(this, "SpContainer");

    Label4 = Caption(this, "Label4", QStringLiteral("Loginscript übernehmen : "));
    chLogKlasse = new QCheckBox(QStringLiteral("von Klasse"), this);
    chLogKlasse->setObjectName(QStringLiteral("chLogKlasse"));
    chLogKlasse->setChecked(true);
    chLogDatei = new QCheckBox(QStringLiteral("aus Datei"), this);
    chLogDatei->setObjectName(QStringLiteral("chLogDatei"));
    EdLoginscript = ReadOnlyEdit(this, "EdLoginscript");
    SpLoginscript = SpeedButton(this, "SpLoginscript",
                                QStringLiteral("Klasse mit korrektem Loginscript  auswählen mit "));
    spLogDatei = SpeedButton(this, "spLogDatei");
    spLogDatei->hide();

    Label15 =
        Caption(this, "Label15", QStringLiteral("Basisverzeichnis für Klassenverzeichnis (BasisHomeDir)"));
    edHomeBase = ReadOnlyEdit(this, "edHomeBase");
    spHomeBase = SpeedButton(this, "spHomeBase");

    GroupBox1 = new QGroupBox(QStringLiteral(" Klassentauschverzeichnis "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    chTausch = new QCheckBox(QStringLiteral("Tauschverzeichnis anlegen"), GroupBox1);
    chTausch->setObjectName(QStringLiteral("chTausch"));
    chTausch->setChecked(true);
    raTausch = new TRadioGroup(QStringLiteral(" Schüler können "),
                               {QStringLiteral("nur lesen"), QStringLiteral("lesen und schreiben")},
                               GroupBox1, Qt::Horizontal);
    raTausch->setObjectName(QStringLiteral("raTausch"));
    raTausch->SetItemIndex(0);
    Label14 = Caption(GroupBox1, "Label14", QStringLiteral("Basispfad für Klassentauschverz."));
    edTauschbase = ReadOnlyEdit(GroupBox1, "edTauschbase");
    buTauschBase = SpeedButton(GroupBox1, "buTauschBase");

    chTemplate = new QCheckBox(QStringLiteral("User_Template in Klasse anlegen"), this);
    chTemplate->setObjectName(QStringLiteral("chTemplate"));
    Label5 = Caption(this, "Label5", QStringLiteral("Muster User_Template (als Vorlage)"));
    EdTemplate = ReadOnlyEdit(this, "EdTemplate");
    SpTemplate = SpeedButton(this, "SpTemplate", QStringLiteral("User_Template in einer Klasse auswählen"));

    MeProtokol = new QPlainTextEdit(this);
    MeProtokol->setObjectName(QStringLiteral("MeProtokol"));
    MeProtokol->setReadOnly(true);
    {
        QPalette Pal = MeProtokol->palette();
        Pal.setColor(QPalette::Base, Pal.color(QPalette::Button));
        MeProtokol->setPalette(Pal);
    }
    BuAnlegen = new QPushButton(QStringLiteral("anlegen"), this);
    BuAnlegen->setObjectName(QStringLiteral("BuAnlegen"));
    BuAnlegen->setToolTip(QStringLiteral("neue Klasse anlegen"));
    BuAnlegen->setMinimumWidth(90);

    // Layout: one column of inputs, their picker buttons at the right edge.
    auto* Grid = new QGridLayout(this);
    Grid->setContentsMargins(12, 10, 12, 10);
    Grid->setHorizontalSpacing(4);
    Grid->setVerticalSpacing(3);
    Grid->setColumnStretch(0, 1);
    int Row = 0;
    auto Gap = [&](int Height) { Grid->setRowMinimumHeight(Row++, Height); };
    Grid->addWidget(Label1, Row++, 0, 1, 2);
    Grid->addWidget(EdNeueklasse, Row++, 0, 1, 2, Qt::AlignLeft);
    Gap(6);
    Grid->addWidget(Label3, Row++, 0, 1, 2);
    Grid->addWidget(EdContainer, Row, 0);
    Grid->addWidget(SpContainer, Row++, 1);
    Gap(6);
    auto* LoginRow = new QHBoxLayout;
    LoginRow->setSpacing(12);
    LoginRow->addWidget(Label4);
    LoginRow->addWidget(chLogKlasse);
    LoginRow->addWidget(chLogDatei);
    LoginRow->addStretch(1);
    Grid->addLayout(LoginRow, Row++, 0, 1, 2);
    Grid->addWidget(EdLoginscript, Row, 0);
    Grid->addWidget(SpLoginscript, Row, 1);
    Grid->addWidget(spLogDatei, Row++, 1);
    Gap(6);
    Grid->addWidget(Label15, Row++, 0, 1, 2);
    Grid->addWidget(edHomeBase, Row, 0);
    Grid->addWidget(spHomeBase, Row++, 1);
    Gap(8);
    auto* Tausch = new QGridLayout(GroupBox1);
    Tausch->setHorizontalSpacing(4);
    Tausch->setVerticalSpacing(3);
    Tausch->setColumnStretch(0, 1);
    // The check box beside the rights, so that the protocol finds room below once it is shown;
    // the rights keep their height. The box's top is level with the rights' top: it comes first.
    raTausch->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* TauschRow = new QHBoxLayout;
    TauschRow->addWidget(chTausch, 0, Qt::AlignTop);
    TauschRow->addStretch(1);
    TauschRow->addWidget(raTausch);
    Tausch->addLayout(TauschRow, 0, 0, 1, 2);
    Tausch->addWidget(Label14, 1, 0, 1, 2);
    Tausch->addWidget(edTauschbase, 2, 0);
    Tausch->addWidget(buTauschBase, 2, 1);
    Grid->addWidget(GroupBox1, Row++, 0, 1, 2);
    Gap(8);
    Grid->addWidget(chTemplate, Row++, 0, 1, 2);
    Grid->addWidget(Label5, Row++, 0, 1, 2);
    Grid->addWidget(EdTemplate, Row, 0);
    Grid->addWidget(SpTemplate, Row++, 1);
    Gap(8);
    Grid->addWidget(MeProtokol, Row, 0, 1, 2);
    Grid->setRowStretch(Row++, 1);
    auto* RunRow = new QHBoxLayout;
    RunRow->addStretch(1);
    RunRow->addWidget(BuAnlegen);
    Grid->addLayout(RunRow, Row++, 0, 1, 2);
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
    struct TLauf {
        TKlassenTab& Tab;
        explicit TLauf(TKlassenTab& T) : Tab(T) {
            Tab.FLaeuft = true;
            Tab.BuAnlegen->setEnabled(false);
        }
        ~TLauf() {
            Tab.FLaeuft = false;
            Tab.KlassentabAktualisieren();
        }
    } Lauf(*this);
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
    if (!Run->Anlegen(E))
        return;
    BuAnlegen->setEnabled(false);
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

    SpLoginscript->setEnabled(!EdContainer->text().isEmpty());
}
