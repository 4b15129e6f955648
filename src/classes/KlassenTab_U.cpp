#include "KlassenTab_U.h"

#include "Parvon_U.h"
#include "RadioGroup.h"

#include <EDirectoryError.h>
#include <ErrorGuard.h>
#include <FolderBrowser_u.h>
#include <ModalSeam.h>
#include <NWFileSystem.h>
#include <OUBrowser_U.h>
#include <StringList.h>
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
#include <QThread>
#include <QToolButton>
#include <exception>
#include <functional>
#include <optional>

// ---------------------------------------------------------------------------------------------
// Class name filter

bool TKlassenNameValidator::IsAllowed(QChar Ch) {
    const char16_t C = Ch.unicode();
    return (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z') || (C >= u'0' && C <= u'9') || C == u'_';
}

QString TKlassenNameValidator::Sanitized(const QString& Text) {
    QString Out;
    Out.reserve(Text.size());
    for (QChar Ch : Text)
        if (IsAllowed(Ch))
            Out += Ch;
    return Out;
}

QValidator::State TKlassenNameValidator::validate(QString& Input, int& Pos) const {
    // Drop what is not allowed and keep the cursor behind the characters before it.
    int Kept = 0;
    QString Out;
    Out.reserve(Input.size());
    for (int I = 0; I < Input.size(); ++I) {
        if (IsAllowed(Input.at(I))) {
            Out += Input.at(I);
            if (I < Pos)
                ++Kept;
        }
    }
    Input = Out;
    Pos = Kept;
    return Acceptable;
}

void TKlassenNameValidator::fixup(QString& Input) const { Input = Sanitized(Input); }

// ---------------------------------------------------------------------------------------------
// The tab

template <typename TSender, typename TSignal>
void TKlassenTab::On(TSender* Sender, TSignal Signal, void (TKlassenTab::*Handler)()) {
    connect(Sender, Signal, this, [this, Handler] { Guarded(this, [&] { (this->*Handler)(); }); });
}

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

TKlassenTab::TKlassenTab(TForm1& Form, QWidget* Parent) : QWidget(Parent), Form(Form) {
    setObjectName(QStringLiteral("tabNeueKlasse"));

    Label1 = Caption(this, "Label1", QStringLiteral("Name der Klasse"));
    EdNeueklasse = new QLineEdit(this);
    EdNeueklasse->setObjectName(QStringLiteral("EdNeueklasse"));
    EdNeueklasse->setValidator(new TKlassenNameValidator(EdNeueklasse));
    EdNeueklasse->setFixedWidth(180);
    EdNeueklasse->installEventFilter(this);
    Label1->setBuddy(EdNeueklasse);

    Label3 = Caption(this, "Label3", QStringLiteral("Klasse anlegen in (Basis-Container)"));
    EdContainer = ReadOnlyEdit(this, "EdContainer", QStringLiteral("OU auswählen, in der Klassen angelegt werden"));
    SpContainer = SpeedButton(this, "SpContainer");

    Label4 = Caption(this, "Label4", QStringLiteral("Loginscript übernehmen : "));
    chLogKlasse = new QCheckBox(QStringLiteral("von Klasse"), this);
    chLogKlasse->setObjectName(QStringLiteral("chLogKlasse"));
    chLogKlasse->setChecked(true);
    chLogDatei = new QCheckBox(QStringLiteral("aus Datei"), this);
    chLogDatei->setObjectName(QStringLiteral("chLogDatei"));
    EdLoginscript = ReadOnlyEdit(this, "EdLoginscript");
    SpLoginscript = SpeedButton(this, "SpLoginscript", QStringLiteral("Klasse mit korrektem Loginscript  auswählen mit "));
    spLogDatei = SpeedButton(this, "spLogDatei");
    spLogDatei->hide();

    Label15 = Caption(this, "Label15", QStringLiteral("Basisverzeichnis für Klassenverzeichnis (BasisHomeDir)"));
    edHomeBase = ReadOnlyEdit(this, "edHomeBase");
    spHomeBase = SpeedButton(this, "spHomeBase");

    GroupBox1 = new QGroupBox(QStringLiteral(" Klassentauschverzeichnis "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    chTausch = new QCheckBox(QStringLiteral("Tauschverzeichnis anlegen"), GroupBox1);
    chTausch->setObjectName(QStringLiteral("chTausch"));
    chTausch->setChecked(true);
    raTausch = new TRadioGroup(QStringLiteral(" Schüler können "),
                               {QStringLiteral("nur lesen"), QStringLiteral("lesen und schreiben")}, GroupBox1,
                               Qt::Horizontal);
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

    // Events.
    On(EdNeueklasse, &QLineEdit::textChanged, &TKlassenTab::EdNeueklasseChange);
    On(EdContainer, &QLineEdit::textChanged, &TKlassenTab::EdContainerChange);
    On(EdLoginscript, &QLineEdit::textChanged, &TKlassenTab::EdContainerChange);
    On(EdTemplate, &QLineEdit::textChanged, &TKlassenTab::EdContainerChange);
    On(chTausch, &QCheckBox::clicked, &TKlassenTab::EdContainerChange);
    On(raTausch, &TRadioGroup::Clicked, &TKlassenTab::EdContainerChange);
    On(chTemplate, &QCheckBox::clicked, &TKlassenTab::chTemplateClick);
    On(edHomeBase, &QLineEdit::textChanged, &TKlassenTab::edHomeBaseChange);
    On(edTauschbase, &QLineEdit::textChanged, &TKlassenTab::edTauschbaseChange);
    On(chLogKlasse, &QCheckBox::clicked, &TKlassenTab::chLogKlasseClick);
    On(chLogDatei, &QCheckBox::clicked, &TKlassenTab::chLogDateiClick);
    On(spLogDatei, &QToolButton::clicked, &TKlassenTab::spLogDateiClick);
    On(SpContainer, &QToolButton::clicked, &TKlassenTab::SpContainerClick);
    On(SpLoginscript, &QToolButton::clicked, &TKlassenTab::SpLoginscriptClick);
    On(SpTemplate, &QToolButton::clicked, &TKlassenTab::SpTemplateClick);
    On(spHomeBase, &QToolButton::clicked, &TKlassenTab::spHomeBaseClick);
    On(buTauschBase, &QToolButton::clicked, &TKlassenTab::buTauschBaseClick);
    On(BuAnlegen, &QPushButton::clicked, &TKlassenTab::BuAnlegenClick);
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

void TKlassenTab::EdContainerChange() { Form.KonfigGeaendert = true; }

void TKlassenTab::chTemplateClick() { Form.KonfigGeaendert = true; }

void TKlassenTab::edHomeBaseChange() {
    Form.KonfigGeaendert = true;
    QString Text = edHomeBase->text();
    if (Text.endsWith(u'\\'))
        Text.chop(1);
    Form.HomeBase = Text;
}

void TKlassenTab::edTauschbaseChange() {
    Form.KonfigGeaendert = true;
    QString Text = edTauschbase->text();
    if (Text.endsWith(u'\\'))
        Text.chop(1);
    Form.TauschBase = Text;
}

void TKlassenTab::LoginQuelleAnzeigen() {
    const bool ClassMode = chLogKlasse->isChecked();
    SpLoginscript->setVisible(ClassMode);
    spLogDatei->setVisible(!ClassMode);
}

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
    OpenDialog1.setOption(QFileDialog::DontUseNativeDialog);
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

namespace {
// The access object; an error when the directory could not be reached at start.
TNDK& Ndk() {
    if (!NDK)
        throw EDirectoryError(QStringLiteral("Das Verzeichnis ist nicht erreichbar."));
    return *NDK;
}

// Runs one step of the class creation: true when it went through. An error of the step and a
// failure the step answers (false) count alike; the error's own text is not reported.
bool Schritt(const std::function<bool()>& Step) {
    try {
        return Step();
    } catch (const EDirectoryError&) {
        return false;
    } catch (const std::exception&) {
        return false;
    } catch (...) {
        return false;
    }
}

const QString UserTemplate = QStringLiteral("User_Template");
} // namespace

void TKlassenTab::SpContainerClick() {
    TNDK& N = Ndk();
    QString Sel;
    if (!ChoosePicker(this, TPickerKind::Container, Form.ouSchueler, Sel))
        return;
    Form.BasisContainer = Sel;
    Form.ouSchueler = Sel;
    EdContainer->setText(TNDK::PathToDotted(Sel));
    if (chLogKlasse->isChecked()) {
        // A login-script class must be chosen again below the new container.
        EdLoginscript->clear();
        Form.LoginKlasse.clear();
    }

    // The defaults of the container's template replace the fields.
    QString Value;
    try {
        Value = N.GetFieldValue(Form.BasisContainer + u'\\' + UserTemplate, QStringLiteral("Home Directory"));
    } catch (...) {
        Value.clear();
    }
    if (Value.isEmpty())
        return;
    try {
        edHomeBase->setText(N.SplitFilePath(Value));
    } catch (...) {
    }
    Form.MusterTemplate = Form.BasisContainer + u'\\' + UserTemplate;
    EdTemplate->setText(TNDK::PathToDotted(Form.MusterTemplate));
    // An error here ends the handler; its text is shown by the guard of the event.
    edTauschbase->setText(TForm1::TauschAusHome(N.SplitFilePath(Value)));
}

void TKlassenTab::SpLoginscriptClick() {
    Ndk();  // the picker browses the access object's directory control
    QString Sel;
    if (!ChoosePicker(this, TPickerKind::Loginscript, Form.ouSchueler, Sel))
        return;
    Form.LoginKlasse = Sel;
    EdLoginscript->setText(TNDK::PathToDotted(Sel));
}

void TKlassenTab::SpTemplateClick() {
    Ndk();  // the picker browses the access object's directory control
    QString Sel;
    if (!ChoosePicker(this, TPickerKind::Template, Form.ouSchueler, Sel))
        return;
    Form.MusterTemplate = Sel;
    EdTemplate->setText(TNDK::PathToDotted(Sel));
}

void TKlassenTab::spHomeBaseClick() {
    const QString Folder = OrdnerWaehlen(
        TFolderRoot::Network,
        QStringLiteral("Wählen Sie den Ordner für das Basisverzeichnis\rdes Klassenverzeichnis aus"), this);
    if (!Folder.isEmpty())
        edHomeBase->setText(Folder);
}

void TKlassenTab::buTauschBaseClick() {
    const QString Folder = OrdnerWaehlen(
        TFolderRoot::Network,
        QStringLiteral("Wählen Sie den Ordner für das Basisverzeichnis \rdes Klassen-Tauschverzeichnis aus"), this);
    if (!Folder.isEmpty())
        edTauschbase->setText(Folder);
}

void TKlassenTab::BuAnlegenClick() { KlasseAnlegen(); }

void TKlassenTab::Protokoll(const QString& Line) {
    MeProtokol->appendPlainText(Line);
    if (MeProtokol->isVisible())
        MeProtokol->viewport()->repaint();
}

bool TKlassenTab::EintragAbwarten(const QString& Entry, int Pausen) {
    TNDK& N = Ndk();
    for (int Pause = 0;; ++Pause) {
        if (N.EntryExists(Entry))
            return true;
        if (Pause >= Pausen)
            return false;
        QThread::msleep(100);
    }
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
        TModalSeam::Error(this, QStringLiteral("Der Klassenname \"") + Name +
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
    const QString Basis = Form.BasisContainer;
    const QString ContainerText = EdContainer->text();
    const bool VonKlasse = chLogKlasse->isChecked();
    const QString LoginKlasse = Form.LoginKlasse;
    const QString LoginDatei = EdLoginscript->text();
    const QString HomeFlags = Form.HomeFlags;
    const QString TauschFlags = Form.TauschFlags;
    const bool Tausch = chTausch->isChecked();
    const QString Rechte = raTausch->ItemIndex() == 1 ? QStringLiteral("RWECMF") : QStringLiteral("R----F");
    const bool Template = chTemplate->isChecked();
    const QString MusterTemplate = Form.MusterTemplate;

    const QString NeuerContainer = Basis + u'\\' + Name;
    const QString KlassenVerzeichnis = Form.HomeBase + u'\\' + Name;
    const QString TauschVerzeichnis = Form.TauschBase + u'\\' + Name;
    const QString NeuesTemplate = NeuerContainer + u'\\' + UserTemplate;

    // 1. A class of that name below the base container is refused.
    TStringList Gefunden;
    try {
        Ndk().SearchObjects(Basis, Name, QStringLiteral("Organizational Unit"), Gefunden);
    } catch (...) {
        const QString Text = CurrentErrorText();
        Wait.reset();
        TModalSeam::Error(this, Text);
        return;
    }
    if (Gefunden.Count() > 0) {
        Wait.reset();
        TModalSeam::Error(this, QStringLiteral("Die Klasse ") + Name + QStringLiteral(" gibt es\nin ") + ContainerText +
                                    QStringLiteral(" bereits."));
        EdNeueklasse->setFocus();
        return;
    }
    TNDK& N = *NDK;

    // 2.
    MeProtokol->clear();
    MeProtokol->show();
    if (QLayout* L = layout())
        L->activate();
    auto Abbruch = [this](const QString& Line) {
        Protokoll(Line);
        Protokoll(QStringLiteral("Abbruch."));
    };

    // 3. Container and login script.
    if (!Schritt([&] {
            N.AddOrganizationalUnit(Basis, Name);
            if (N.AddFailed)
                return false;
            Protokoll(QStringLiteral("Organisatorische Einheit für ") + Name + QStringLiteral(" angelegt."));
            if (VonKlasse) {
                N.CopyLoginScript(LoginKlasse, NeuerContainer);
                Protokoll(QStringLiteral("Loginscript kopiert von ") + LoginKlasse);
            } else {
                N.SetLoginScriptFromFile(NeuerContainer, LoginDatei);
                Protokoll(QStringLiteral("Loginscript gelesen von ") + LoginDatei);
            }
            return true;
        })) {
        Abbruch(QStringLiteral("Fehler bei Erstellung von OU."));
        return;
    }

    // 4. Class folder, only inside a volume.
    if (!Schritt([&] { return NWFileSystem::ForceDirectories(KlassenVerzeichnis); })) {
        Abbruch(QStringLiteral("Fehler bei Erstellung von Verzeichnis"));
        return;
    }
    Protokoll(QStringLiteral("Klassenverzeichnis erstellt"));

    // 5. Its flags; a failure does not end the run.
    if (!HomeFlags.isEmpty()) {
        if (Schritt([&] {
                N.SetDirectoryFlags(KlassenVerzeichnis, HomeFlags);
                return true;
            }))
            Protokoll(QStringLiteral("Homeverzeichnis ") + HomeFlags);
        else
            Protokoll(QStringLiteral("Fehler bei Attributeinstellung Homeverzeichnis"));
    }

    // 6. Exchange folder, its flags and the class's rights on it.
    if (Tausch) {
        if (!Schritt([&] {
                if (!NWFileSystem::ForceDirectories(TauschVerzeichnis))
                    return false;
                // Give the server time to show the new folder: at most 100 pauses, the last
                // one without a test after it. The run goes on either way.
                for (int Pause = 1; Pause <= 100; ++Pause) {
                    QThread::msleep(100);
                    if (Pause == 100 || NWFileSystem::DirectoryExists(TauschVerzeichnis))
                        break;
                }
                return true;
            })) {
            Abbruch(QStringLiteral("Fehler bei Erstellung von Verzeichnis"));
            return;
        }
        Protokoll(QStringLiteral("Tauschverzeichnis erstellt"));

        if (!TauschFlags.isEmpty()) {
            if (Schritt([&] {
                    N.SetDirectoryFlags(TauschVerzeichnis, TauschFlags);
                    return true;
                }))
                Protokoll(QStringLiteral("Tauschverzeichnis ") + TauschFlags);
            else
                Protokoll(QStringLiteral("Fehler bei Attributeinstellung Tauschverzeichnis"));
        }

        if (!Schritt([&] {
                Protokoll(QStringLiteral("Rechtevergabe an Tauschverzeichnis"));
                Protokoll(QStringLiteral("bitte warten."));
                N.SetTrusteeRights(TauschVerzeichnis, NeuerContainer, Rechte);
                Protokoll(QStringLiteral("Rechte an Tauschverzeichnis ") + Rechte);
                return true;
            })) {
            Abbruch(QStringLiteral("Fehler bei Rechte für Tauschverz."));
            return;
        }
    }

    // 7. The class's template, its home directory pointing at the class folder.
    if (Template) {
        if (!Schritt([&] {
                N.CopyTemplate(MusterTemplate, NeuerContainer, UserTemplate);
                Protokoll(QStringLiteral("User_Template übertragen."));
                return true;
            })) {
            Abbruch(QStringLiteral("Template konnte nicht übertragen werden."));
            return;
        }
        // The copy is normally found at once; ten seconds at most.
        if (!Schritt([&] { return EintragAbwarten(NeuesTemplate, 100); })) {
            Abbruch(QStringLiteral("Template nicht gefunden."));
            return;
        }
        QString Pfad;
        // No server connection for the folder gives no path field text: that is no conversion.
        if (!Schritt([&] {
                Pfad = N.UncToNds(KlassenVerzeichnis);
                return !Pfad.isEmpty();
            })) {
            Abbruch(QStringLiteral("UNC2NDS failed"));
            return;
        }
        Protokoll(QStringLiteral("UNC2NDS"));
        if (!Schritt([&] {
                N.SetFieldValue(NeuesTemplate, QStringLiteral("Home Directory"), Pfad);
                return true;
            })) {
            Abbruch(QStringLiteral("Homeverzeichnispfad nicht erstellt."));
            return;
        }
        Protokoll(QStringLiteral("Pfad für Homeverzeichnis festgelegt."));
    }

    // 8.
    Protokoll(QStringLiteral("Klasse ") + Name + QStringLiteral(" erfolgreich angelegt."));
    BuAnlegen->setEnabled(false);
    EdNeueklasse->clear();
    EdNeueklasse->setFocus();
}

void TKlassenTab::SetEditColour(QLineEdit* Edit, bool Enabled) {
    const QColor Colour = Enabled ? QColor(Qt::white) : Edit->palette().color(QPalette::Active, QPalette::Button);
    QPalette Pal = Edit->palette();
    if (Pal.color(QPalette::Active, QPalette::Base) == Colour && Pal.color(QPalette::Disabled, QPalette::Base) == Colour)
        return;
    Pal.setColor(QPalette::Base, Colour);
    Edit->setPalette(Pal);
}

void TKlassenTab::KlassentabAktualisieren() {
    const bool Template = chTemplate->isChecked();
    SpTemplate->setEnabled(Template);
    EdTemplate->setEnabled(Template);
    SetEditColour(EdTemplate, Template);

    const bool Tausch = chTausch->isChecked();
    edTauschbase->setEnabled(Tausch);
    SetEditColour(edTauschbase, Tausch);

    BuAnlegen->setEnabled(!FLaeuft && !EdNeueklasse->text().isEmpty() && !EdContainer->text().isEmpty() &&
                          !EdLoginscript->text().isEmpty() && (!Template || !EdTemplate->text().isEmpty()) &&
                          !edHomeBase->text().isEmpty() && (!Tausch || !edTauschbase->text().isEmpty()));

    SpLoginscript->setEnabled(!EdContainer->text().isEmpty());
}
