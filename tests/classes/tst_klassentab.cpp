#include <TestMain.h>
#include <TestStore.h>

#include <FaultInjection.h>
#include <FolderBrowser_u.h>
#include <KlassenTab_U.h>
#include <ModalSeam.h>
#include <OUBrowser_U.h>
#include <Parvon_U.h>
#include <RadioGroup.h>
#include <ndk_u.h>

#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <functional>
#include <memory>

namespace {
const QString Prefix = QStringLiteral("NDS:\\\\SCHULE");
const QString Schueler = Prefix + QStringLiteral("\\unterricht\\schueler");

// What the object picker showed when it was answered.
struct TPickerSeen {
    QString Caption, Base;
    bool Ok = false;
};

// Answers the next object picker as a person does: clicks Entry in the tree and presses OK when
// that enabled it, else "Abbrechen". BeforeOk runs right before OK is pressed.
void AnswerPicker(const QString& Entry, TPickerSeen* Seen = nullptr, std::function<void()> BeforeOk = {}) {
    TModalSeam::Push([=](QDialog& D) {
        auto* Dlg = qobject_cast<TouBrowser*>(&D);
        if (!Dlg)
            return int(QDialog::Rejected);
        Dlg->NWBrowse1EntryClicked(Entry);
        if (Seen)
            *Seen = {Dlg->windowTitle(), Dlg->Base, Dlg->OKBtn->isEnabled()};
        if (!Dlg->OKBtn->isEnabled())
            return int(QDialog::Rejected);
        if (BeforeOk)
            BeforeOk();
        return int(QDialog::Accepted);
    });
}
} // namespace

// The inputs of the tab "neue Klasse": the name filter, the change handlers, the login-script
// source, the file dialog and the enabling rules of the refresh.
class TKlassenTabTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> Store;
    std::unique_ptr<QTemporaryDir> Dir;
    std::unique_ptr<TForm1> Form;
    TKlassenTab* T = nullptr;

private Q_SLOTS:
    void initTestCase() { Store = std::make_unique<TTestStore>(); }
    void cleanupTestCase() { Store.reset(); }
    void init() {
        TModalSeam::Clear();
        TModalSeam::SetUnattended(true);
        Dir = std::make_unique<QTemporaryDir>();
        Form = std::make_unique<TForm1>(nullptr, Dir->filePath(QStringLiteral("Parvon.ini")));
        T = Form->tabNeueKlasse;
    }
    void cleanup() {
        QCOMPARE(TModalSeam::Pending(), 0);
        Form->KonfigGeaendert = false;
        Form.reset();
        TModalSeam::Clear();
        TFaultInjection::Clear();
    }

    // The values behind the class tab's pickers, as "name=value" lines.
    QStringList PickerState() const {
        QStringList L;
        for (const char* Name : {"EdContainer", "EdLoginscript", "EdTemplate", "edHomeBase", "edTauschbase"})
            L << QLatin1String(Name) + u'=' + T->findChild<QLineEdit*>(QLatin1String(Name))->text();
        L << QStringLiteral("BasisContainer=") + Form->BasisContainer << QStringLiteral("ouSchueler=") + Form->ouSchueler
          << QStringLiteral("LoginKlasse=") + Form->LoginKlasse << QStringLiteral("MusterTemplate=") + Form->MusterTemplate
          << QStringLiteral("HomeBase=") + Form->HomeBase << QStringLiteral("TauschBase=") + Form->TauschBase;
        return L;
    }
    void ClickEnabled(const QString& Button) {
        T->chTemplate->setChecked(true);
        T->KlassentabAktualisieren();
        auto* B = T->findChild<QAbstractButton*>(Button);
        QVERIFY(B && B->isEnabled());
        B->click();
    }

    void controls_data();
    void controls();
    void controlsTopToBottom();
    void typedName_data();
    void typedName();
    void pastedName_data();
    void pastedName();
    void droppedName();
    void nameEnablesButton();
    void changeMarks_data();
    void changeMarks();
    void baseWithoutBackslash_data();
    void baseWithoutBackslash();
    void loginSourceSwitch();
    void loginFileDialog();
    void refresh_data();
    void refresh();
    void refreshRunsOnTimer();
    void pickers_data();
    void pickers();
    void containerDefaults_data();
    void containerDefaults();
    void containerConversion_data();
    void containerConversion();
    void cancelled_data();
    void cancelled();
    void folderPickers_data();
    void folderPickers();
    void withoutDirectory();
};

void TKlassenTabTest::controls_data() {
    QTest::addColumn<QString>("Name");
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Hint");
    QTest::newRow("Label1") << "Label1" << "Name der Klasse" << "";
    QTest::newRow("EdNeueklasse") << "EdNeueklasse" << "" << "";
    QTest::newRow("Label3") << "Label3" << "Klasse anlegen in (Basis-Container)" << "";
    QTest::newRow("EdContainer") << "EdContainer" << "schueler.unterricht" << "OU auswählen, in der Klassen angelegt werden";
    QTest::newRow("SpContainer") << "SpContainer" << "..." << "";
    QTest::newRow("Label4") << "Label4" << "Loginscript übernehmen : " << "";
    QTest::newRow("chLogKlasse") << "chLogKlasse" << "von Klasse" << "";
    QTest::newRow("chLogDatei") << "chLogDatei" << "aus Datei" << "";
    QTest::newRow("EdLoginscript") << "EdLoginscript" << "" << "";
    QTest::newRow("SpLoginscript") << "SpLoginscript" << "..." << "Klasse mit korrektem Loginscript  auswählen mit ";
    QTest::newRow("spLogDatei") << "spLogDatei" << "..." << "";
    QTest::newRow("Label15") << "Label15" << "Basisverzeichnis für Klassenverzeichnis (BasisHomeDir)" << "";
    QTest::newRow("edHomeBase") << "edHomeBase" << "\\\\SRV1\\DATA\\home\\schueler" << "";
    QTest::newRow("spHomeBase") << "spHomeBase" << "..." << "";
    QTest::newRow("GroupBox1") << "GroupBox1" << " Klassentauschverzeichnis " << "";
    QTest::newRow("chTausch") << "chTausch" << "Tauschverzeichnis anlegen" << "";
    QTest::newRow("raTausch") << "raTausch" << " Schüler können " << "";
    QTest::newRow("Label14") << "Label14" << "Basispfad für Klassentauschverz." << "";
    QTest::newRow("edTauschbase") << "edTauschbase" << "\\\\SRV1\\DATA\\home\\Tausch\\schueler" << "";
    QTest::newRow("buTauschBase") << "buTauschBase" << "..." << "";
    QTest::newRow("chTemplate") << "chTemplate" << "User_Template in Klasse anlegen" << "";
    QTest::newRow("Label5") << "Label5" << "Muster User_Template (als Vorlage)" << "";
    QTest::newRow("EdTemplate") << "EdTemplate" << "User_Template.schueler.unterricht" << "";
    QTest::newRow("SpTemplate") << "SpTemplate" << "..." << "User_Template in einer Klasse auswählen";
    QTest::newRow("MeProtokol") << "MeProtokol" << "" << "";
    QTest::newRow("BuAnlegen") << "BuAnlegen" << "anlegen" << "neue Klasse anlegen";
}

void TKlassenTabTest::controls() {
    QFETCH(QString, Name);
    QFETCH(QString, Text);
    QFETCH(QString, Hint);
    QWidget* W = T->findChild<QWidget*>(Name);
    QVERIFY(W);
    QString Shown;
    if (auto* L = qobject_cast<QLabel*>(W))
        Shown = L->text();
    else if (auto* E = qobject_cast<QLineEdit*>(W))
        Shown = E->text();
    else if (auto* B = qobject_cast<QAbstractButton*>(W))
        Shown = B->text();
    else if (auto* G = qobject_cast<QGroupBox*>(W))
        Shown = G->title();
    else if (auto* M = qobject_cast<QPlainTextEdit*>(W))
        Shown = M->toPlainText();
    QCOMPARE(Shown, Text);
    QCOMPARE(W->toolTip(), Hint);
    if (auto* E = qobject_cast<QLineEdit*>(W))
        QCOMPARE(E->isReadOnly(), Name != QLatin1String("EdNeueklasse"));
}

void TKlassenTabTest::controlsTopToBottom() {
    // Read top to bottom, and left to right within a row, the controls come in the order of the
    // inputs; the two login-script buttons share one place.
    Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
    T->MeProtokol->show();
    T->layout()->activate();
    const QStringList Order{"Label1",       "EdNeueklasse", "Label3",      "EdContainer", "SpContainer",
                            "Label4",       "chLogKlasse",  "chLogDatei",  "EdLoginscript", "SpLoginscript",
                            "Label15",      "edHomeBase",   "spHomeBase",  "GroupBox1",   "chTausch",
                            "raTausch",     "Label14",      "edTauschbase", "buTauschBase", "chTemplate",
                            "Label5",       "EdTemplate",   "SpTemplate",  "MeProtokol",  "BuAnlegen"};
    QPoint Last(-1, -1);
    QString LastName;
    for (const QString& Name : Order) {
        auto* W = T->findChild<QWidget*>(Name);
        QVERIFY2(W && W->isVisible(), qPrintable(Name));
        const QPoint P = W->mapTo(T, QPoint(0, 0));
        QVERIFY2(P.y() > Last.y() || (P.y() == Last.y() && P.x() > Last.x()),
                 qPrintable(LastName + QStringLiteral(" before ") + Name));
        Last = P;
        LastName = Name;
    }
    const QRect Klasse = T->SpLoginscript->geometry();
    QTest::mouseClick(T->chLogDatei, Qt::LeftButton);
    QVERIFY(T->spLogDatei->isVisible() && !T->SpLoginscript->isVisible());
    QCOMPARE(T->spLogDatei->geometry(), Klasse);
}

void TKlassenTabTest::typedName_data() {
    QTest::addColumn<QString>("Typed");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("allowed") << "Klasse_7a09" << "Klasse_7a09";
    QTest::newRow("blank") << "7a b" << "7ab";
    QTest::newRow("hyphen") << "10-1" << "101";
    QTest::newRow("umlauts and sharp s") << "Müßig_Ä" << "Mig_";
    QTest::newRow("path characters") << "..\\x/y:z" << "xyz";
    QTest::newRow("only forbidden") << ".,;!" << "";
}

void TKlassenTabTest::typedName() {
    QFETCH(QString, Typed);
    QFETCH(QString, Expected);
    // Key by key, as a keyboard delivers them (also keys outside ASCII).
    for (QChar Ch : Typed) {
        if (Ch.unicode() < 0x80)
            QTest::keyClick(T->EdNeueklasse, char(Ch.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, T->EdNeueklasse, Qt::Key_unknown, QString(Ch), Qt::NoModifier);
    }
    QCOMPARE(T->EdNeueklasse->text(), Expected);
    // Backspace still edits.
    if (!Expected.isEmpty()) {
        QTest::keyClick(T->EdNeueklasse, Qt::Key_Backspace);
        QCOMPARE(T->EdNeueklasse->text(), Expected.chopped(1));
    }
}

void TKlassenTabTest::pastedName_data() {
    QTest::addColumn<QString>("Pasted");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("climbing path") << "..\\x" << "x";
    QTest::newRow("blank") << "7a b" << "7ab";
    QTest::newRow("line break and tab") << "5\r\nb\tc" << "5bc";
    QTest::newRow("unicode letters") << "Ωmega٣" << "mega";
}

void TKlassenTabTest::pastedName() {
    QFETCH(QString, Pasted);
    QFETCH(QString, Expected);
    QGuiApplication::clipboard()->setText(Pasted);
    T->EdNeueklasse->setFocus();
    QTest::keyClick(T->EdNeueklasse, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(T->EdNeueklasse->text(), Expected);
    // Into the middle of a name, and set by code: the same filter.
    T->EdNeueklasse->setText(QStringLiteral("ab"));
    T->EdNeueklasse->setCursorPosition(1);
    T->EdNeueklasse->paste();
    QCOMPARE(T->EdNeueklasse->text(), u'a' + Expected + u'b');
    T->EdNeueklasse->setText(Pasted);
    QCOMPARE(T->EdNeueklasse->text(), Expected);
}

void TKlassenTabTest::droppedName() {
    // A drop inserts through the same path as typing and pasting.
    auto* Mime = new QMimeData;
    Mime->setText(QStringLiteral("../etc 1"));
    const QPoint At = T->EdNeueklasse->rect().center();
    QDragEnterEvent Enter(At, Qt::CopyAction, Mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(T->EdNeueklasse, &Enter);
    QDropEvent Drop(QPointF(At), Qt::CopyAction, Mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(T->EdNeueklasse, &Drop);
    delete Mime;
    QCOMPARE(T->EdNeueklasse->text(), QStringLiteral("etc1"));
}

void TKlassenTabTest::nameEnablesButton() {
    T->BuAnlegen->setEnabled(false);
    T->EdNeueklasse->setText(QStringLiteral("5a"));
    QVERIFY(T->BuAnlegen->isEnabled());
    T->EdNeueklasse->clear();
    QVERIFY(!T->BuAnlegen->isEnabled());
}

void TKlassenTabTest::changeMarks_data() {
    QTest::addColumn<QString>("Action");
    QTest::newRow("EdContainer") << "EdContainer";
    QTest::newRow("EdLoginscript") << "EdLoginscript";
    QTest::newRow("EdTemplate") << "EdTemplate";
    QTest::newRow("edHomeBase") << "edHomeBase";
    QTest::newRow("edTauschbase") << "edTauschbase";
    QTest::newRow("chTausch") << "chTausch";
    QTest::newRow("raTausch") << "raTausch";
    QTest::newRow("chTemplate") << "chTemplate";
}

void TKlassenTabTest::changeMarks() {
    QFETCH(QString, Action);
    Form->KonfigGeaendert = false;
    if (auto* E = T->findChild<QLineEdit*>(Action))
        E->setText(E->text() + QStringLiteral("x"));
    else if (Action == QLatin1String("raTausch"))
        T->raTausch->Button(1)->click();
    else
        T->findChild<QAbstractButton*>(Action)->click();
    QVERIFY(Form->KonfigGeaendert);
    // The name is not configuration.
    Form->KonfigGeaendert = false;
    T->EdNeueklasse->setText(QStringLiteral("7b"));
    QVERIFY(!Form->KonfigGeaendert);
}

void TKlassenTabTest::baseWithoutBackslash_data() {
    QTest::addColumn<QString>("Typed");
    QTest::addColumn<QString>("Held");
    QTest::newRow("plain") << "\\\\SRV1\\DATA\\k" << "\\\\SRV1\\DATA\\k";
    QTest::newRow("one backslash") << "\\\\SRV1\\DATA\\k\\" << "\\\\SRV1\\DATA\\k";
    QTest::newRow("only the last one") << "H:\\k\\\\" << "H:\\k\\";
}

void TKlassenTabTest::baseWithoutBackslash() {
    QFETCH(QString, Typed);
    QFETCH(QString, Held);
    T->edHomeBase->setText(Typed);
    T->edTauschbase->setText(Typed);
    QCOMPARE(Form->HomeBase, Held);
    QCOMPARE(Form->TauschBase, Held);
    QCOMPARE(T->edHomeBase->text(), Typed);
    QCOMPARE(T->edTauschbase->text(), Typed);
}

void TKlassenTabTest::loginSourceSwitch() {
    T->EdLoginscript->setText(QStringLiteral("5a.schueler.unterricht"));
    Form->KonfigGeaendert = false;
    Form->LoginKlasse = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler\\5a");

    // "aus Datei": file mode.
    T->chLogDatei->click();
    QVERIFY(T->chLogDatei->isChecked());
    QVERIFY(!T->chLogKlasse->isChecked());
    QVERIFY(T->SpLoginscript->isHidden());
    QVERIFY(!T->spLogDatei->isHidden());
    QVERIFY(T->EdLoginscript->text().isEmpty());
    QVERIFY(Form->KonfigGeaendert);
    QCOMPARE(Form->LoginKlasse, QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler\\5a"));

    // Clearing the checked "aus Datei" returns to class mode.
    T->EdLoginscript->setText(QStringLiteral("C:\\a.txt"));
    T->chLogDatei->click();
    QVERIFY(T->chLogKlasse->isChecked());
    QVERIFY(!T->chLogDatei->isChecked());
    QVERIFY(!T->SpLoginscript->isHidden());
    QVERIFY(T->spLogDatei->isHidden());
    QVERIFY(T->EdLoginscript->text().isEmpty());

    // Clearing "von Klasse" goes to file mode; exactly one box is checked in every state.
    T->chLogKlasse->click();
    QVERIFY(!T->chLogKlasse->isChecked() && T->chLogDatei->isChecked());
    T->chLogKlasse->click();
    QVERIFY(T->chLogKlasse->isChecked() && !T->chLogDatei->isChecked());
}

void TKlassenTabTest::loginFileDialog() {
    T->chLogDatei->click();
    const QString File = Dir->filePath(QStringLiteral("login.txt"));
    QFile F(File);
    QVERIFY(F.open(QIODevice::WriteOnly));
    F.close();

    QStringList Filters;
    QString Suffix, Start;
    bool NonNative = false;
    TModalSeam::Push([&](QDialog& D) {
        auto* Dlg = qobject_cast<QFileDialog*>(&D);
        if (!Dlg)
            return int(QDialog::Rejected);
        Filters = Dlg->nameFilters();
        Suffix = Dlg->defaultSuffix();
        Start = Dlg->directory().absolutePath();
        NonNative = Dlg->testOption(QFileDialog::DontUseNativeDialog);
        Dlg->selectFile(File);
        return int(QDialog::Accepted);
    });
    T->spLogDatei->click();
    QCOMPARE(Filters, (QStringList{"Textdateien (*.txt)", "Alle Dateien (*.*)"}));
    QCOMPARE(Suffix, QStringLiteral("txt"));
    QCOMPARE(Start, QDir(QCoreApplication::applicationDirPath()).absolutePath());
    QVERIFY(NonNative);
    QCOMPARE(T->EdLoginscript->text(), QDir::toNativeSeparators(File));

    // Cancelled: nothing changes.
    TModalSeam::Push([](QDialog&) { return int(QDialog::Rejected); });
    T->spLogDatei->click();
    QCOMPARE(T->EdLoginscript->text(), QDir::toNativeSeparators(File));
}

void TKlassenTabTest::refresh_data() {
    // Inputs: name, container, login source, template box, template, home base, exchange box, exchange base.
    QTest::addColumn<QString>("Inputs");    // eight places, "1" filled/checked, "0" empty/unchecked
    QTest::addColumn<bool>("Anlegen");
    QTest::newRow("everything") << "11111111" << true;
    QTest::newRow("no name") << "01111111" << false;
    QTest::newRow("no container") << "10111111" << false;
    QTest::newRow("no login source") << "11011111" << false;
    QTest::newRow("template box, no template") << "11110111" << false;
    QTest::newRow("no template box, no template") << "11100111" << true;
    QTest::newRow("no home base") << "11111011" << false;
    QTest::newRow("exchange box, no exchange base") << "11111110" << false;
    QTest::newRow("no exchange box, no exchange base") << "11111100" << true;
    QTest::newRow("nothing") << "00000000" << false;
}

void TKlassenTabTest::refresh() {
    QFETCH(QString, Inputs);
    QFETCH(bool, Anlegen);
    Form->Timer3->stop();
    auto On = [&](int I) { return Inputs.at(I) == u'1'; };
    auto Fill = [&](QLineEdit* E, int I, const char* Text) { E->setText(On(I) ? QLatin1String(Text) : QString()); };
    Fill(T->EdNeueklasse, 0, "5a");
    Fill(T->EdContainer, 1, "schueler.unterricht");
    Fill(T->EdLoginscript, 2, "4a.schueler.unterricht");
    T->chTemplate->setChecked(On(3));
    Fill(T->EdTemplate, 4, "User_Template.schueler.unterricht");
    Fill(T->edHomeBase, 5, "\\\\SRV1\\DATA\\home");
    T->chTausch->setChecked(On(6));
    Fill(T->edTauschbase, 7, "\\\\SRV1\\DATA\\tausch");
    T->KlassentabAktualisieren();

    QCOMPARE(T->BuAnlegen->isEnabled(), Anlegen);
    QCOMPARE(T->SpLoginscript->isEnabled(), On(1));
    QCOMPARE(T->SpTemplate->isEnabled(), On(3));
    QCOMPARE(T->EdTemplate->isEnabled(), On(3));
    QCOMPARE(T->edTauschbase->isEnabled(), On(6));
    const QColor ButtonFace = T->palette().color(QPalette::Button);
    QCOMPARE(T->EdTemplate->palette().color(QPalette::Base), On(3) ? QColor(Qt::white) : ButtonFace);
    QCOMPARE(T->edTauschbase->palette().color(QPalette::Base), On(6) ? QColor(Qt::white) : ButtonFace);
    for (QToolButton* B : {T->SpContainer, T->spLogDatei, T->spHomeBase, T->buTauschBase})
        QVERIFY2(B->isEnabled(), qPrintable(B->objectName()));
}

void TKlassenTabTest::refreshRunsOnTimer() {
    // Within the refresh period the button follows the inputs, without a call.
    T->EdLoginscript->setText(QStringLiteral("4a.schueler.unterricht"));
    T->EdNeueklasse->setText(QStringLiteral("5a"));
    QTRY_VERIFY(T->BuAnlegen->isEnabled());
    T->edHomeBase->clear();
    QTRY_VERIFY(!T->BuAnlegen->isEnabled());
    // Without a "CreateTausch" key the box starts unchecked.
    QTRY_VERIFY(!T->edTauschbase->isEnabled());
    T->chTausch->click();
    QTRY_VERIFY(T->edTauschbase->isEnabled());
}

void TKlassenTabTest::pickers_data() {
    QTest::addColumn<QString>("Button");
    QTest::addColumn<QString>("Entry");     // full name clicked in the tree
    QTest::addColumn<QString>("Caption");
    QTest::addColumn<QString>("Base");
    QTest::addColumn<bool>("Ok");
    QTest::addColumn<QStringList>("Changed");   // lines of PickerState that differ afterwards

    const QString C = QStringLiteral(" OU für neue Klasse wählen");
    const QString L = QStringLiteral(" Muster-Loginscript wählen");
    const QString M = QStringLiteral(" Mustertemplate wählen");
    // With the defaults of the class's template (the login-script source was empty already).
    QTest::newRow("container: a class")
        << "SpContainer" << Schueler + "\\5a" << C << Prefix << true
        << QStringList{"EdContainer=5a.schueler.unterricht",
                       "EdTemplate=User_Template.5a.schueler.unterricht",
                       "edHomeBase=\\\\SRV1\\DATA\\home\\schueler\\5a",
                       "edTauschbase=\\\\SRV1\\DATA\\home\\schueler\\Tausch\\5a",
                       "BasisContainer=" + Schueler + "\\5a",
                       "ouSchueler=" + Schueler + "\\5a",
                       "MusterTemplate=" + Schueler + "\\5a\\User_Template",
                       "HomeBase=\\\\SRV1\\DATA\\home\\schueler\\5a",
                       "TauschBase=\\\\SRV1\\DATA\\home\\schueler\\Tausch\\5a"};
    QTest::newRow("container: the tree") << "SpContainer" << Prefix << C << Prefix << false << QStringList();
    QTest::newRow("container: an organization") << "SpContainer" << Prefix + "\\unterricht" << C << Prefix << false
                                                << QStringList();
    QTest::newRow("container: a template") << "SpContainer" << Schueler + "\\User_Template" << C << Prefix << false
                                           << QStringList();
    QTest::newRow("login script: a class") << "SpLoginscript" << Schueler + "\\6a" << L << Schueler << true
                                           << QStringList{"EdLoginscript=6a.schueler.unterricht",
                                                          "LoginKlasse=" + Schueler + "\\6a"};
    QTest::newRow("login script: a class in upper case")
        << "SpLoginscript" << Schueler.toUpper() + "\\6A" << L << Schueler << true
        << QStringList{"EdLoginscript=6A.SCHUELER.UNTERRICHT", "LoginKlasse=" + Schueler.toUpper() + "\\6A"};
    QTest::newRow("login script: the start container") << "SpLoginscript" << Schueler << L << Schueler << false
                                                       << QStringList();
    QTest::newRow("template: a class's template")
        << "SpTemplate" << Schueler + "\\5a\\User_Template" << M << Schueler << true
        << QStringList{"EdTemplate=User_Template.5a.schueler.unterricht", "MusterTemplate=" + Schueler + "\\5a\\User_Template"};
    QTest::newRow("template: the start container's own") << "SpTemplate" << Schueler + "\\User_Template" << M << Schueler
                                                         << true << QStringList();
    QTest::newRow("template: a class") << "SpTemplate" << Schueler + "\\5a" << M << Schueler << false << QStringList();
}

void TKlassenTabTest::pickers() {
    QFETCH(QString, Button);
    QFETCH(QString, Entry);
    QFETCH(QString, Caption);
    QFETCH(QString, Base);
    QFETCH(bool, Ok);
    QFETCH(QStringList, Changed);
    const QStringList Before = PickerState();
    TPickerSeen Seen;
    AnswerPicker(Entry, &Seen);
    ClickEnabled(Button);
    QCOMPARE(Seen.Caption, Caption);
    QCOMPARE(Seen.Base, Base);
    QCOMPARE(Seen.Ok, Ok);

    QStringList Differ = PickerState();
    Differ.removeIf([&](const QString& Line) { return Before.contains(Line); });
    QCOMPARE(Differ, Changed);
    QCOMPARE(TModalSeam::Shown(), QStringList{Caption});
}

void TKlassenTabTest::containerDefaults_data() {
    QTest::addColumn<QString>("Entry");
    QTest::addColumn<bool>("FileMode");
    QTest::addColumn<bool>("Defaults");   // the container's template names a home directory
    QTest::newRow("class, class mode") << Schueler + "\\5a" << false << true;
    QTest::newRow("class, file mode") << Schueler + "\\5a" << true << true;
    QTest::newRow("room without template, class mode") << Prefix + "\\Workstations\\EDV1" << false << false;
    QTest::newRow("room without template, file mode") << Prefix + "\\Workstations\\EDV1" << true << false;
}

void TKlassenTabTest::containerDefaults() {
    QFETCH(QString, Entry);
    QFETCH(bool, FileMode);
    QFETCH(bool, Defaults);
    if (FileMode) {
        T->chLogDatei->click();
        T->EdLoginscript->setText(QStringLiteral("/tmp/login.txt"));
    } else {
        T->EdLoginscript->setText(QStringLiteral("4a.schueler.unterricht"));
    }
    Form->LoginKlasse = Schueler + QStringLiteral("\\4a");
    // Filled fields are replaced, not only empty ones.
    T->edHomeBase->setText(QStringLiteral("\\\\SRV1\\DATA\\alt\\"));
    T->edTauschbase->setText(QStringLiteral("\\\\SRV1\\DATA\\altTausch"));
    const QString OldTemplate = Form->MusterTemplate;
    Form->KonfigGeaendert = false;

    AnswerPicker(Entry);
    T->SpContainer->click();

    QCOMPARE(Form->BasisContainer, Entry);
    QCOMPARE(Form->ouSchueler, Entry);
    QCOMPARE(T->EdContainer->text(), TNDK::PathToDotted(Entry));
    QVERIFY(Form->KonfigGeaendert);
    QCOMPARE(T->EdLoginscript->text(), FileMode ? QStringLiteral("/tmp/login.txt") : QString());
    QCOMPARE(Form->LoginKlasse, FileMode ? Schueler + QStringLiteral("\\4a") : QString());
    if (Defaults) {
        QCOMPARE(T->edHomeBase->text(), QStringLiteral("\\\\SRV1\\DATA\\home\\schueler\\5a"));
        QCOMPARE(Form->HomeBase, QStringLiteral("\\\\SRV1\\DATA\\home\\schueler\\5a"));
        QCOMPARE(Form->MusterTemplate, Entry + QStringLiteral("\\User_Template"));
        QCOMPARE(T->EdTemplate->text(), QStringLiteral("User_Template.5a.schueler.unterricht"));
        QCOMPARE(T->edTauschbase->text(), QStringLiteral("\\\\SRV1\\DATA\\home\\schueler\\Tausch\\5a"));
        QCOMPARE(Form->TauschBase, QStringLiteral("\\\\SRV1\\DATA\\home\\schueler\\Tausch\\5a"));
    } else {
        QCOMPARE(T->edHomeBase->text(), QStringLiteral("\\\\SRV1\\DATA\\alt\\"));
        QCOMPARE(Form->HomeBase, QStringLiteral("\\\\SRV1\\DATA\\alt"));
        QCOMPARE(Form->MusterTemplate, OldTemplate);
        QCOMPARE(T->EdTemplate->text(), QStringLiteral("User_Template.schueler.unterricht"));
        QCOMPARE(T->edTauschbase->text(), QStringLiteral("\\\\SRV1\\DATA\\altTausch"));
    }
    QCOMPARE(TModalSeam::Shown(), QStringList{QStringLiteral(" OU für neue Klasse wählen")});
}

void TKlassenTabTest::containerConversion_data() {
    QTest::addColumn<QString>("Fault");
    QTest::addColumn<int>("Times");
    QTest::addColumn<bool>("Home");       // edHomeBase replaced
    QTest::addColumn<bool>("Template");   // template replaced
    QTest::addColumn<bool>("Tausch");     // edTauschbase replaced
    QTest::addColumn<bool>("Box");        // the conversion error shown
    QTest::newRow("home base not converted") << "NWParsePath" << 1 << false << true << true << false;
    QTest::newRow("neither converted") << "NWParsePath" << 2 << false << true << false << true;
    QTest::newRow("template not read") << "NWDir.FullName" << 1 << false << false << false << false;
}

void TKlassenTabTest::containerConversion() {
    QFETCH(QString, Fault);
    QFETCH(int, Times);
    QFETCH(bool, Home);
    QFETCH(bool, Template);
    QFETCH(bool, Tausch);
    QFETCH(bool, Box);
    const QString Class = Schueler + QStringLiteral("\\5a");
    const QString Value = NDK->GetFieldValue(Class + QStringLiteral("\\User_Template"), QStringLiteral("Home Directory"));
    QVERIFY(!Value.isEmpty());
    const QString OldHome = T->edHomeBase->text();
    const QString OldTausch = T->edTauschbase->text();
    const QString OldTemplate = T->EdTemplate->text();

    AnswerPicker(Class, nullptr, [=] { TFaultInjection::FailNext(Fault, Times); });
    T->SpContainer->click();

    // Container and login-script source are taken whatever follows.
    QCOMPARE(Form->BasisContainer, Class);
    QCOMPARE(T->EdContainer->text(), QStringLiteral("5a.schueler.unterricht"));
    QVERIFY(T->EdLoginscript->text().isEmpty());
    QCOMPARE(T->edHomeBase->text(), Home ? QStringLiteral("\\\\SRV1\\DATA\\home\\schueler\\5a") : OldHome);
    QCOMPARE(T->EdTemplate->text(), Template ? QStringLiteral("User_Template.5a.schueler.unterricht") : OldTemplate);
    QCOMPARE(T->edTauschbase->text(), Tausch ? QStringLiteral("\\\\SRV1\\DATA\\home\\schueler\\Tausch\\5a") : OldTausch);
    QStringList Shown{QStringLiteral(" OU für neue Klasse wählen")};
    if (Box)
        Shown << QStringLiteral("Fehler|Der Pfad \"") + Value + QStringLiteral("\" kann nicht aufgelöst werden (Fehler -601).");
    QCOMPARE(TModalSeam::Shown(), Shown);
}

void TKlassenTabTest::cancelled_data() {
    QTest::addColumn<QString>("Button");
    for (const char* B : {"SpContainer", "SpLoginscript", "SpTemplate", "spHomeBase", "buTauschBase"})
        QTest::newRow(B) << QString::fromLatin1(B);
}

void TKlassenTabTest::cancelled() {
    QFETCH(QString, Button);
    // After a click on an acceptable entry, and with nothing clicked: "Abbrechen" changes nothing.
    const QStringList Before = PickerState();
    Form->KonfigGeaendert = false;
    for (bool Clicked : {true, false}) {
        TModalSeam::Push([=](QDialog& D) {
            if (auto* Dlg = qobject_cast<TouBrowser*>(&D); Dlg && Clicked)
                Dlg->NWBrowse1EntryClicked(Schueler + QStringLiteral("\\5a\\User_Template"));
            if (auto* Dlg = qobject_cast<TFolderBrowser*>(&D); Dlg && Clicked)
                Dlg->SelectPath(QStringLiteral("\\\\SRV1\\DATA\\Tausch"));
            return int(QDialog::Rejected);
        });
        ClickEnabled(Button);
    }
    QCOMPARE(TModalSeam::Shown().size(), 2);
    QCOMPARE(PickerState(), Before);
    QVERIFY(!Form->KonfigGeaendert);
}

void TKlassenTabTest::folderPickers_data() {
    QTest::addColumn<QString>("Button");
    QTest::addColumn<QString>("Title");
    QTest::addColumn<QString>("Folder");   // chosen in the tree; "" for a server
    QTest::addColumn<QString>("Edit");
    const QString Home = QStringLiteral("Wählen Sie den Ordner für das Basisverzeichnis\ndes Klassenverzeichnis aus");
    const QString Tausch = QStringLiteral("Wählen Sie den Ordner für das Basisverzeichnis \ndes Klassen-Tauschverzeichnis aus");
    QTest::newRow("home base") << "spHomeBase" << Home << "\\\\SRV1\\DATA\\home\\pruefung" << "edHomeBase";
    QTest::newRow("home base, a volume") << "spHomeBase" << Home << "\\\\SRV1\\DATA" << "edHomeBase";
    QTest::newRow("home base, a server") << "spHomeBase" << Home << "" << "edHomeBase";
    QTest::newRow("exchange base") << "buTauschBase" << Tausch << "\\\\SRV1\\DATA\\Tausch" << "edTauschbase";
    QTest::newRow("exchange base, a server") << "buTauschBase" << Tausch << "" << "edTauschbase";
}

void TKlassenTabTest::folderPickers() {
    QFETCH(QString, Button);
    QFETCH(QString, Title);
    QFETCH(QString, Folder);
    QFETCH(QString, Edit);
    auto* E = T->findChild<QLineEdit*>(Edit);
    const QString Old = E->text();
    QString Seen;
    TModalSeam::Push([&](QDialog& D) {
        auto* Dlg = qobject_cast<TFolderBrowser*>(&D);
        if (!Dlg)
            return int(QDialog::Rejected);
        Seen = Dlg->laTitel->text();
        if (!Folder.isEmpty() && !Dlg->SelectPath(Folder))
            return int(QDialog::Rejected);
        if (Folder.isEmpty())
            Dlg->FolderTree->setCurrentIndex(Dlg->FolderTree->model()->index(0, 0));
        return int(QDialog::Accepted);
    });
    ClickEnabled(Button);
    QCOMPARE(Seen, Title);
    const QString Expected = Folder.isEmpty() ? Old : Folder;
    QCOMPARE(E->text(), Expected);
    QCOMPARE(Edit == QLatin1String("edHomeBase") ? Form->HomeBase : Form->TauschBase, Expected);
}

void TKlassenTabTest::withoutDirectory() {
    // Without an access object (the directory was out of reach at start) the pickers and the run
    // say so instead of failing.
    TNDK* Saved = NDK;
    NDK = nullptr;
    const QStringList Before = PickerState();
    for (const char* Button : {"SpContainer", "SpLoginscript", "SpTemplate"})
        ClickEnabled(QLatin1String(Button));
    T->EdNeueklasse->setText(QStringLiteral("7c"));
    T->KlasseAnlegen();
    NDK = Saved;
    const QString Box = QStringLiteral("Fehler|Das Verzeichnis ist nicht erreichbar.");
    QCOMPARE(TModalSeam::Shown(), (QStringList{Box, Box, Box, Box}));
    QCOMPARE(PickerState(), Before);
    QVERIFY(T->MeProtokol->isHidden());
}

PARVON_TEST_MAIN(TKlassenTabTest)
#include "tst_klassentab.moc"
