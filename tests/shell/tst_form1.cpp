#include <TestMain.h>
#include <TestStore.h>

#include <AppSetup.h>
#include <KlassenTab_U.h>
#include <ModalSeam.h>
#include <NWDir.h>
#include <ParvonEinst_U.h>
#include <Parvon_U.h>
#include <RadioGroup.h>
#include <StringList.h>
#include <ndk_u.h>

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace {
const QString Prefix = QStringLiteral("NDS:\\\\SCHULE");
const QString Schueler = Prefix + QStringLiteral("\\unterricht\\schueler");
const QString DemoHome = QStringLiteral("\\\\SRV1\\DATA\\home\\schueler");
const QString DemoTausch = QStringLiteral("\\\\SRV1\\DATA\\home\\Tausch\\schueler");
} // namespace

// The main window: start-up, the configuration file, the close question, the menu and the flags
// dialog, on a private demo directory.
class TForm1Test : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> Store;
    std::unique_ptr<QTemporaryDir> Dir;

    QString IniPath() const { return Dir->filePath(QStringLiteral("Parvon.ini")); }
    void WriteIni(const QByteArray& Content) {
        QFile F(IniPath());
        QVERIFY(F.open(QIODevice::WriteOnly));
        F.write(Content);
    }
    QByteArray ReadIni() const {
        QFile F(IniPath());
        return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray("<missing>");
    }
    std::unique_ptr<TForm1> NewForm(const QString& Path = QString()) {
        return std::make_unique<TForm1>(nullptr, Path.isEmpty() ? IniPath() : Path);
    }
    // One observable of the window after start-up, as text.
    static QString Probe(TForm1& F, const QString& What);

private Q_SLOTS:
    void initTestCase() { Store = std::make_unique<TTestStore>(); }
    void cleanupTestCase() { Store.reset(); }
    void init() {
        Dir = std::make_unique<QTemporaryDir>();
        TModalSeam::Clear();
        TModalSeam::SetUnattended(true);
    }
    void cleanup() {
        QCOMPARE(TModalSeam::Pending(), 0);
        TModalSeam::Clear();
    }

    void window();
    void konfigLesen_data();
    void konfigLesen();
    void flagsLesen_data();
    void flagsLesen();
    void tauschAusHome_data();
    void tauschAusHome();
    void startupDefaults();
    void configuredValuesWin_data();
    void configuredValuesWin();
    void templateWithoutHomeDirectory();
    void noTreeConnected();
    void save_data();
    void save();
    void saveRoundTrip();
    void badFiles_data();
    void badFiles();
    void closeQuestion_data();
    void closeQuestion();
    void unwritableFile_data();
    void unwritableFile();
    void menu();
    void flagsDialog_data();
    void flagsDialog();
    void flagsDialogTexts();
    void applicationSetup();
};

QString TForm1Test::Probe(TForm1& F, const QString& What) {
    TKlassenTab* T = F.tabNeueKlasse;
    auto B = [](bool V) { return V ? QStringLiteral("1") : QStringLiteral("0"); };
    auto TabShown = [&](QWidget* Page) { return B(F.PageControl1->isTabVisible(F.PageControl1->indexOf(Page))); };
    if (What == QLatin1String("Netz")) return F.Netz;
    if (What == QLatin1String("NetzMaske")) return F.NetzMaske;
    if (What == QLatin1String("Debug")) return B(NDK->Debug);
    if (What == QLatin1String("ouSchueler")) return F.ouSchueler;
    if (What == QLatin1String("EdContainer")) return T->EdContainer->text();
    if (What == QLatin1String("LoginMode"))
        return QStringLiteral("%1%2%3%4").arg(B(T->chLogKlasse->isChecked()), B(T->chLogDatei->isChecked()),
                                              B(!T->SpLoginscript->isHidden()), B(!T->spLogDatei->isHidden()));
    if (What == QLatin1String("EdLoginscript")) return T->EdLoginscript->text();
    if (What == QLatin1String("LoginKlasse")) return F.LoginKlasse;
    if (What == QLatin1String("MusterTemplate")) return F.MusterTemplate;
    if (What == QLatin1String("chTemplate")) return B(T->chTemplate->isChecked());
    if (What == QLatin1String("chTausch")) return B(T->chTausch->isChecked());
    if (What == QLatin1String("TauschBase")) return F.TauschBase;
    if (What == QLatin1String("HomeBase")) return F.HomeBase;
    if (What == QLatin1String("edHomeBase")) return T->edHomeBase->text();
    if (What == QLatin1String("HomeFlags")) return F.HomeFlags;
    if (What == QLatin1String("TauschFlags")) return F.TauschFlags;
    if (What == QLatin1String("Katalog")) return F.Katalog + u'|' + B(F.meKatalog->isVisible());
    if (What == QLatin1String("Tabs")) return TabShown(F.TabBimport) + TabShown(F.tabKAUser);
    return QStringLiteral("<unknown probe>");
}

void TForm1Test::window() {
    auto F = NewForm();
    QCOMPARE(F->windowTitle(), QStringLiteral("Parvon - Klassen anlegen                             13.06.03"));
    QCOMPARE(F->minimumSize(), F->maximumSize());
    QVERIFY(!(F->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(F->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!F->isVisible());

    QStringList Names, Captions;
    for (int I = 0; I < F->PageControl1->count(); ++I) {
        Names << F->PageControl1->widget(I)->objectName();
        Captions << F->PageControl1->tabText(I);
    }
    QCOMPARE(Names, (QStringList{"tabNeueKlasse", "TabListeKlassen", "TabSchuelerListe", "TabBimport", "tabKAUser"}));
    QCOMPARE(Captions, (QStringList{"neue Klasse", "Liste der Klassen", "Schülerlisten", "Datei für Bimport",
                                    "Prüflinge/Teilnehmer anlegen"}));
    QCOMPARE(F->PageControl1->currentWidget(), F->tabNeueKlasse);

    // The program state's start values.
    QCOMPARE(NDK, F->DirectoryAccess());
    QVERIFY(NDK);
    QVERIFY(F->Timer3->isActive());
    QCOMPARE(F->Timer3->interval(), 300);
    QCOMPARE(F->IniDatei, IniPath());
    QVERIFY(F->Header1.isEmpty() && F->Header2.isEmpty() && F->Spalte4.isEmpty());
    QCOMPARE(F->Spalte2, QStringLiteral("Name"));
    QCOMPARE(F->Spalte3, QStringLiteral("Anmeldename"));
    QVERIFY(F->WorkstationListe && F->WorkstationListe->IsEmpty());
    QVERIFY(F->SelectedClass.isEmpty());
    for (const char* Name : {"laWScount", "laNewUser", "laRestrNew", "laAktion", "laUsers", "laRaum", "laRestrict"}) {
        auto* L = F->findChild<QLabel*>(QLatin1String(Name));
        QVERIFY2(L && L->text().isEmpty(), Name);
    }

    // The program-wide reference ends with the window.
    F.reset();
    QVERIFY(!NDK);
}

void TForm1Test::konfigLesen_data() {
    QTest::addColumn<QByteArray>("Ini");
    QTest::addColumn<QString>("What");
    QTest::addColumn<QString>("Expected");

    const QByteArray None;
    QTest::newRow("net default") << None << "Netz" << "10.1.0.0";
    QTest::newRow("net") << QByteArray("[config]\nnet=192.168.0.0\n") << "Netz" << "192.168.0.0";
    QTest::newRow("mask default") << None << "NetzMaske" << "255.255.0.0";
    QTest::newRow("mask own key") << QByteArray("[config]\nNETMASK=255.255.255.0\nnet=1.2.3.4\n") << "NetzMaske"
                                  << "255.255.255.0";
    QTest::newRow("debug TRUE form") << QByteArray("[config]\ndebug=tRuE\n") << "Debug" << "1";
    QTest::newRow("debug yes is false") << QByteArray("[config]\ndebug=yes\n") << "Debug" << "0";
    QTest::newRow("debug with blank is false") << QByteArray("[config]\ndebug=TRUE \n") << "Debug" << "0";
    QTest::newRow("container default") << None << "ouSchueler" << Schueler;
    QTest::newRow("container dotted") << QByteArray("[config]\nouSchueler=unterricht\n") << "ouSchueler"
                                      << Prefix + "\\unterricht";
    QTest::newRow("container full name kept") << QByteArray("[config]\nouSchueler=NDS:\\\\SCHULE\\unterricht\n")
                                              << "ouSchueler" << Prefix + "\\unterricht";
    QTest::newRow("container empty") << QByteArray("[config]\nouSchueler=\n") << "ouSchueler" << "";
    QTest::newRow("container shown dotted") << None << "EdContainer" << "schueler.unterricht";
    QTest::newRow("login source file") << QByteArray("[config]\nLoginSource=fIlE\nLoginscript=C:\\login.txt\n")
                                       << "LoginMode" << "0101";
    QTest::newRow("login file path unchanged") << QByteArray("[config]\nLoginSource=File\nLoginscript= C:\\a b.txt\n")
                                               << "EdLoginscript" << " C:\\a b.txt";
    QTest::newRow("login file keeps class empty") << QByteArray("[config]\nLoginSource=File\nLoginscript=x.txt\n")
                                                  << "LoginKlasse" << "";
    QTest::newRow("login source class") << QByteArray("[config]\nLoginSource=OUKlasse\n") << "LoginMode" << "1010";
    QTest::newRow("login source other word") << QByteArray("[config]\nLoginSource=Datei\n") << "LoginMode" << "1010";
    QTest::newRow("login source absent") << None << "LoginMode" << "1010";
    QTest::newRow("login class") << QByteArray("[config]\nLoginscript=5a.schueler.unterricht\n") << "LoginKlasse"
                                 << Schueler + "\\5a";
    QTest::newRow("login class shown dotted") << QByteArray("[config]\nLoginscript=5a.schueler.unterricht\n")
                                              << "EdLoginscript" << "5a.schueler.unterricht";
    QTest::newRow("template") << QByteArray("[config]\nTemplate=Pruefling.schueler.unterricht\n") << "MusterTemplate"
                              << Schueler + "\\Pruefling";
    QTest::newRow("create template yes") << QByteArray("[config]\nCreateTemplate=Yessir\n") << "chTemplate" << "1";
    QTest::newRow("create template lower y") << QByteArray("[config]\nCreateTemplate=y\n") << "chTemplate" << "1";
    QTest::newRow("create template true") << QByteArray("[config]\nCreateTemplate=true\n") << "chTemplate" << "0";
    QTest::newRow("create template absent") << None << "chTemplate" << "0";
    QTest::newRow("create tausch absent unchecks") << None << "chTausch" << "0";
    QTest::newRow("create tausch empty keeps") << QByteArray("[config]\nCreateTausch=\n") << "chTausch" << "1";
    QTest::newRow("create tausch no") << QByteArray("[config]\nCreateTausch=no\n") << "chTausch" << "0";
    QTest::newRow("create tausch YES") << QByteArray("[config]\nCreateTausch=YES\n") << "chTausch" << "1";
    QTest::newRow("home base") << QByteArray("[config]\nHomeBase=\\\\SRV1\\DATA\\klassen\n") << "HomeBase"
                               << "\\\\SRV1\\DATA\\klassen";
    QTest::newRow("home base backslash") << QByteArray("[config]\nHomeBase=\\\\SRV1\\DATA\\klassen\\\n") << "HomeBase"
                                         << "\\\\SRV1\\DATA\\klassen";
    QTest::newRow("home base shown") << QByteArray("[config]\nHomeBase=\\\\SRV1\\DATA\\klassen\\\n") << "edHomeBase"
                                     << "\\\\SRV1\\DATA\\klassen";
    QTest::newRow("tausch base backslash") << QByteArray("[config]\nTauschBase=H:\\tausch\\\n") << "TauschBase"
                                           << "H:\\tausch";
    QTest::newRow("home flags absent") << None << "HomeFlags" << "/+DI/+RI";
    QTest::newRow("home flags empty") << QByteArray("[config]\nHomeFlags=\n") << "HomeFlags" << "";
    QTest::newRow("tausch flags -di+ri") << QByteArray("[config]\nTauschFlags=-di+ri\n") << "TauschFlags" << "/+RI";
    QTest::newRow("tausch flags +ri/+di") << QByteArray("[config]\nTauschFlags=+ri/+di\n") << "TauschFlags"
                                          << "/+DI/+RI";
    QTest::newRow("katalog absent") << None << "Katalog" << "|0";
    QTest::newRow("katalog") << QByteArray("[config]\nKatalog=benutzer.dienste\n") << "Katalog" << "benutzer.dienste|1";
    QTest::newRow("tabs absent") << None << "Tabs" << "00";
    QTest::newRow("tabs true any case") << QByteArray("[config]\nBImport=true\nCreateUser=TrUe\n") << "Tabs" << "11";
    QTest::newRow("tabs yes and 1 are false") << QByteArray("[config]\nBImport=yes\nCreateUser=1\n") << "Tabs" << "00";
    QTest::newRow("keys and section any case") << QByteArray("[CONFIG]\nbimport=TRUE\nNET=9.9.9.9\n") << "Tabs" << "10";
}

void TForm1Test::konfigLesen() {
    QFETCH(QByteArray, Ini);
    QFETCH(QString, What);
    QFETCH(QString, Expected);
    if (!Ini.isNull())
        WriteIni(Ini);
    auto F = NewForm();
    QCOMPARE(Probe(*F, What), Expected);
}

void TForm1Test::flagsLesen_data() {
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("empty") << "" << "";
    QTest::newRow("-di+ri") << "-di+ri" << "/+RI";
    QTest::newRow("+ri/+di") << "+ri/+di" << "/+DI/+RI";
    QTest::newRow("canonical") << "/+DI" << "/+DI";
    QTest::newRow("minus only") << "-DI-RI" << "";
    QTest::newRow("blanks") << " + DI " << "";
    QTest::newRow("garbage") << "xyz" << "";
}

void TForm1Test::flagsLesen() {
    QFETCH(QString, Text);
    QFETCH(QString, Expected);
    QCOMPARE(TForm1::FlagsLesen(Text), Expected);
}

void TForm1Test::tauschAusHome_data() {
    QTest::addColumn<QString>("Home");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("demo") << "\\\\SERVER\\VOLUME\\home\\schueler" << "\\\\SERVER\\VOLUME\\home\\Tausch\\schueler";
    QTest::newRow("trailing backslash not examined") << "\\\\S\\V\\home\\" << "\\\\S\\V\\Tausch\\home\\";
    QTest::newRow("volume only") << "\\\\SRV\\VOL" << "\\\\SRV\\Tausch\\VOL";
    QTest::newRow("server only") << "\\\\SRV" << "\\\\Tausch\\SRV";
    QTest::newRow("no backslash") << "home" << "\\Tauschhome";
}

void TForm1Test::tauschAusHome() {
    QFETCH(QString, Home);
    QFETCH(QString, Expected);
    QCOMPARE(TForm1::TauschAusHome(Home), Expected);
}

void TForm1Test::startupDefaults() {
    // No configuration file: the defaults from the demo container's User_Template fill the inputs
    // and leave the configuration marked as changed.
    auto F = NewForm();
    TKlassenTab* T = F->tabNeueKlasse;
    QCOMPARE(F->BasisContainer, Schueler);
    QCOMPARE(T->EdContainer->text(), QStringLiteral("schueler.unterricht"));
    QCOMPARE(T->edHomeBase->text(), DemoHome);
    QCOMPARE(F->HomeBase, DemoHome);
    QCOMPARE(F->MusterTemplate, Schueler + QStringLiteral("\\User_Template"));
    QCOMPARE(T->EdTemplate->text(), QStringLiteral("User_Template.schueler.unterricht"));
    QCOMPARE(T->edTauschbase->text(), DemoTausch);
    QCOMPARE(F->TauschBase, DemoTausch);
    QVERIFY(F->KonfigGeaendert);
    QVERIFY(T->EdNeueklasse->text().isEmpty());
    QVERIFY(!T->BuAnlegen->isEnabled());
    QVERIFY(!T->SpLoginscript->isEnabled());
    QVERIFY(!T->SpTemplate->isEnabled());
    QVERIFY(T->MeProtokol->isHidden());
}

void TForm1Test::configuredValuesWin_data() {
    QTest::addColumn<QByteArray>("Ini");
    QTest::addColumn<QString>("Home");
    QTest::addColumn<QString>("Template");
    QTest::addColumn<QString>("Tausch");
    QTest::addColumn<bool>("Changed");
    QTest::newRow("home configured")
        << QByteArray("[config]\nHomeBase=H:\\k\n") << "H:\\k" << "User_Template.schueler.unterricht" << DemoTausch
        << true;
    QTest::newRow("template configured")
        << QByteArray("[config]\nTemplate=Pruefling.schueler.unterricht\n") << DemoHome
        << "Pruefling.schueler.unterricht" << DemoTausch << true;
    QTest::newRow("tausch configured") << QByteArray("[config]\nTauschBase=T:\\t\n") << DemoHome
                                       << "User_Template.schueler.unterricht" << "T:\\t" << true;
    QTest::newRow("all configured")
        << QByteArray("[config]\nHomeBase=H:\\k\nTemplate=Pruefling.schueler.unterricht\nTauschBase=T:\\t\n") << "H:\\k"
        << "Pruefling.schueler.unterricht" << "T:\\t" << false;
}

void TForm1Test::configuredValuesWin() {
    QFETCH(QByteArray, Ini);
    QFETCH(QString, Home);
    QFETCH(QString, Template);
    QFETCH(QString, Tausch);
    QFETCH(bool, Changed);
    WriteIni(Ini);
    auto F = NewForm();
    QCOMPARE(F->tabNeueKlasse->edHomeBase->text(), Home);
    QCOMPARE(F->tabNeueKlasse->EdTemplate->text(), Template);
    QCOMPARE(F->tabNeueKlasse->edTauschbase->text(), Tausch);
    QCOMPARE(F->KonfigGeaendert, Changed);
}

void TForm1Test::templateWithoutHomeDirectory() {
    // A container whose User_Template has no home directory gives no defaults, and the close asks
    // nothing.
    NWDir Dir(**Store);
    Dir.SetFullName(Schueler + QStringLiteral("\\User_Template"));
    const QVariant Old = Dir.Entry()->GetFieldValue(QStringLiteral("Home Directory"));
    QVERIFY(Old.isValid());
    auto Restore = qScopeGuard([&] {
        NWDir Back(**Store);
        Back.SetFullName(Schueler + QStringLiteral("\\User_Template"));
        auto E = Back.Entry();
        E->SetFieldValue(QStringLiteral("Home Directory"), Old);
        E->Update();
    });
    {
        auto E = Dir.Entry();
        E->SetFieldValue(QStringLiteral("Home Directory"), QVariant());
        E->Update();
    }
    auto F = NewForm();
    TKlassenTab* T = F->tabNeueKlasse;
    QCOMPARE(T->EdContainer->text(), QStringLiteral("schueler.unterricht"));
    QVERIFY(T->edHomeBase->text().isEmpty());
    QVERIFY(T->EdTemplate->text().isEmpty());
    QVERIFY(T->edTauschbase->text().isEmpty());
    QVERIFY(F->MusterTemplate.isEmpty());
    QVERIFY(!F->KonfigGeaendert);
    QVERIFY(F->close());
    QVERIFY(TModalSeam::Shown().isEmpty());
    QCOMPARE(ReadIni(), QByteArray("<missing>"));
}

void TForm1Test::noTreeConnected() {
    // Without a tree the start reports the error and goes on; there are no directory defaults.
    const QStringList Trees = (*Store)->ConnectedTrees();
    (*Store)->SetConnectedTrees({});
    auto Restore = qScopeGuard([&] { (*Store)->SetConnectedTrees(Trees); });
    auto F = NewForm();
    QVERIFY(!TModalSeam::Shown().isEmpty());
    QVERIFY(NDK);
    QCOMPARE(NDK->TreePrefix(), QString());
    QVERIFY(F->tabNeueKlasse->edHomeBase->text().isEmpty());
    QVERIFY(F->tabNeueKlasse->EdTemplate->text().isEmpty());
    QVERIFY(!F->KonfigGeaendert);
    QVERIFY(F->Timer3->isActive());
}

void TForm1Test::save_data() {
    QTest::addColumn<QByteArray>("Ini");
    QTest::addColumn<QByteArray>("Expected");

    // What a save adds to a file that names the home base: the keys in their order, the directory
    // defaults for template and exchange base, CreateTausch "no" because the key was absent.
    const QByteArray Added = "ouSchueler=schueler.unterricht\r\n"
                             "LoginSource=OUKlasse\r\n"
                             "Loginscript=\r\n"
                             "Template=User_Template.schueler.unterricht\r\n"
                             "CreateTemplate=no\r\n"
                             "TauschBase=\\\\SRV1\\DATA\\home\\Tausch\\schueler\r\n"
                             "CreateTausch=no\r\n"
                             "TauschFlags=/+DI/+RI\r\n";
    QTest::newRow("foreign lines kept")
        << QByteArray("; Parvon\r\n[other]\r\nnet=1\r\n\r\n[Config]\r\n; comment\r\nHOMEBASE=\\\\SRV1\\DATA\\k\r\n"
                      "foreign=x y \r\nKatalog=\r\nnetmask=255.0.0.0\r\n\r\n[tail]\r\nb=2\r\n")
        << QByteArray("; Parvon\r\n[other]\r\nnet=1\r\n\r\n[Config]\r\n; comment\r\nHOMEBASE=\\\\SRV1\\DATA\\k\r\n"
                      "foreign=x y \r\nKatalog=\r\nnetmask=255.0.0.0\r\n") +
               Added + "HomeFlags=/+DI/+RI\r\n\r\n[tail]\r\nb=2\r\n";
    QTest::newRow("lf and windows-1252 kept")
        << QByteArray("; Sch\xFCler\n[config]\nHomeBase=H:\\k\nKatalog=benutzer.dienste\n")
        << QByteArray("; Sch\xFCler\n[config]\nHomeBase=H:\\k\nKatalog=benutzer.dienste\n") +
               QByteArray(Added).replace("\r\n", "\n") + "HomeFlags=/+DI/+RI\n";
    QTest::newRow("katalog absent stays absent")
        << QByteArray("[config]\r\nHomeBase=H:\\k\r\n")
        << QByteArray("[config]\r\nHomeBase=H:\\k\r\n") + Added + "HomeFlags=/+DI/+RI\r\n";
}

void TForm1Test::save() {
    QFETCH(QByteArray, Ini);
    QFETCH(QByteArray, Expected);
    WriteIni(Ini);
    auto F = NewForm();
    QVERIFY(F->KonfigGeaendert);  // the directory defaults filled template and exchange base
    F->KonfigSchreiben();
    QVERIFY(!F->KonfigGeaendert);
    QCOMPARE(ReadIni(), Expected);
}

void TForm1Test::saveRoundTrip() {
    // What one run saves, the next reads back: file mode, empty flags, both boxes, the rights.
    {
        auto F = NewForm();
        TKlassenTab* T = F->tabNeueKlasse;
        T->chLogDatei->click();
        T->EdLoginscript->setText(QStringLiteral("C:\\skripte\\login.txt"));
        T->chTemplate->click();
        T->chTausch->setChecked(true);
        F->HomeFlags.clear();
        F->TauschFlags = QStringLiteral("/+RI");
        T->edHomeBase->setText(QStringLiteral("\\\\SRV1\\DATA\\k\\"));
        F->Katalog = QStringLiteral("benutzer.dienste");
        F->KonfigSchreiben();
    }
    const QByteArray Saved = ReadIni();
    QVERIFY(Saved.contains("\r\nHomeFlags=\r\n"));
    QVERIFY(Saved.contains("\r\nHomeBase=\\\\SRV1\\DATA\\k\r\n"));
    QVERIFY(Saved.contains("\r\nKatalog=benutzer.dienste\r\n"));
    QVERIFY(!Saved.contains("net"));
    QVERIFY(!Saved.contains("debug") && !Saved.contains("BImport") && !Saved.contains("CreateUser"));

    auto F = NewForm();
    TKlassenTab* T = F->tabNeueKlasse;
    QVERIFY(T->chLogDatei->isChecked() && !T->chLogKlasse->isChecked());
    QCOMPARE(T->EdLoginscript->text(), QStringLiteral("C:\\skripte\\login.txt"));
    QVERIFY(T->chTemplate->isChecked());
    QVERIFY(T->chTausch->isChecked());
    QCOMPARE(F->HomeFlags, QString());
    QCOMPARE(F->TauschFlags, QStringLiteral("/+RI"));
    QCOMPARE(F->HomeBase, QStringLiteral("\\\\SRV1\\DATA\\k"));
    QCOMPARE(F->Katalog, QStringLiteral("benutzer.dienste"));
    QVERIFY(!F->KonfigGeaendert);
}

void TForm1Test::badFiles_data() {
    QTest::addColumn<QByteArray>("Ini");
    QTest::addColumn<QString>("HomeFlags");
    QTest::addColumn<QString>("Netz");

    QByteArray Binary(4096, Qt::Uninitialized);
    for (int I = 0; I < Binary.size(); ++I)
        Binary[I] = char((I * 7919) % 251);
    QTest::newRow("missing") << QByteArray() << "/+DI/+RI" << "10.1.0.0";
    QTest::newRow("empty") << QByteArray("") << "/+DI/+RI" << "10.1.0.0";
    QTest::newRow("binary") << Binary << "/+DI/+RI" << "10.1.0.0";
    QTest::newRow("binary around section") << Binary + "\n[config]\nHomeFlags=+RI\n" + Binary << "/+RI" << "10.1.0.0";
    QTest::newRow("no section") << QByteArray("HomeFlags=\nnet=1.1.1.1\n") << "/+DI/+RI" << "10.1.0.0";
    QTest::newRow("duplicates") << QByteArray("[config]\nnet=1.1.1.1\nnet=2.2.2.2\n[config]\nHomeFlags=\n")
                                << "/+DI/+RI" << "1.1.1.1";
    QTest::newRow("bom crlf") << QByteArray("\xEF\xBB\xBF[config]\r\nHomeFlags=/+DI\r\nnet=3.3.3.3\r\n") << "/+DI"
                              << "3.3.3.3";
    QTest::newRow("lines without equals") << QByteArray("[config]\nHomeFlags\nnet 4.4.4.4\n=5\n") << "/+DI/+RI"
                                          << "10.1.0.0";
    QByteArray Huge;
    Huge.reserve(50 * 1024 * 1024 + 100);
    const QByteArray Line = "x=" + QByteArray(1000, 'x') + "\n";
    while (Huge.size() < 50 * 1024 * 1024)
        Huge += Line;
    QTest::newRow("50 MB") << Huge + "[config]\nnet=5.5.5.5\n" << "/+DI/+RI" << "5.5.5.5";
}

void TForm1Test::badFiles() {
    // Parvon starts on any file, reads what it can, and a save keeps every line it did not set.
    QFETCH(QByteArray, Ini);
    QFETCH(QString, HomeFlags);
    QFETCH(QString, Netz);
    if (!Ini.isNull())
        WriteIni(Ini);
    auto F = NewForm();
    QCOMPARE(F->HomeFlags, HomeFlags);
    QCOMPARE(F->Netz, Netz);
    QCOMPARE(F->tabNeueKlasse->EdContainer->text(), QStringLiteral("schueler.unterricht"));
    F->KonfigSchreiben();
    const QByteArray Saved = ReadIni();
    QVERIFY(Saved.contains("TauschFlags=/+DI/+RI"));
    // Every original line is still there, in its order.
    qsizetype From = 0;
    const QList<QByteArray> Lines = Ini.split('\n');
    for (const QByteArray& L : Lines) {
        if (L.contains("HomeFlags"))
            continue;  // the one key of these files that the save sets
        const qsizetype At = Saved.indexOf(L, From);
        QVERIFY2(At >= 0, L.left(40).toHex().constData());
        From = At + L.size();
    }
}

void TForm1Test::closeQuestion_data() {
    QTest::addColumn<int>("Answer");
    QTest::addColumn<bool>("Closed");
    QTest::addColumn<bool>("Written");
    QTest::newRow("Ja") << int(QMessageBox::Yes) << true << true;
    QTest::newRow("Nein") << int(QMessageBox::No) << true << false;
    QTest::newRow("Abbrechen") << int(QMessageBox::Cancel) << false << false;
}

void TForm1Test::closeQuestion() {
    QFETCH(int, Answer);
    QFETCH(bool, Closed);
    QFETCH(bool, Written);
    const QByteArray Original("[config]\r\nHomeBase=H:\\k\r\n");
    WriteIni(Original);
    auto F = NewForm();
    QVERIFY(F->KonfigGeaendert);
    QStringList Buttons;
    TModalSeam::Push([&](QDialog& D) {
        for (QAbstractButton* B : static_cast<QMessageBox&>(D).buttons())
            Buttons << B->text();
        return Answer;
    });
    QCOMPARE(F->close(), Closed);
    QCOMPARE(TModalSeam::Shown(), QStringList{"Bestätigung|Soll die geänderte Konfiguration\ngespeichert werden ?"});
    Buttons.sort();
    QCOMPARE(Buttons, (QStringList{"&Ja", "&Nein", "Abbrechen"}));
    QCOMPARE(ReadIni() != Original, Written);
    QCOMPARE(F->KonfigGeaendert, !Written);
    QCOMPARE(F->tabNeueKlasse->edHomeBase->text(), QStringLiteral("H:\\k"));
    // Unchanged configuration: no question at all.
    TModalSeam::Clear();
    F->KonfigGeaendert = false;
    QVERIFY(F->close());
    QVERIFY(TModalSeam::Shown().isEmpty());
}

void TForm1Test::unwritableFile_data() {
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<bool>("ByMenu");
    QTest::newRow("parent is a file, close") << "parent" << false;
    QTest::newRow("target is a folder, close") << "folder" << false;
    QTest::newRow("target is a folder, menu") << "folder" << true;
}

void TForm1Test::unwritableFile() {
    QFETCH(QString, Kind);
    QFETCH(bool, ByMenu);
    QString Path;
    if (Kind == QLatin1String("parent")) {
        Path = Dir->filePath(QStringLiteral("plain"));
        QFile P(Path);
        QVERIFY(P.open(QIODevice::WriteOnly));
        P.write("old");
        P.close();
        Path += QStringLiteral("/Parvon.ini");
    } else {
        Path = IniPath();
        QVERIFY(QDir().mkpath(Path));
    }
    auto F = NewForm(Path);
    QVERIFY(F->KonfigGeaendert);
    QString Shown;
    if (!ByMenu)
        TModalSeam::Push([](QDialog&) { return int(QMessageBox::Yes); });
    TModalSeam::Push([&](QDialog& D) {
        Shown = static_cast<QMessageBox&>(D).text();
        return int(QMessageBox::Ok);
    });
    if (ByMenu)
        F->Einstellungenspeichern1->trigger();
    else
        QVERIFY(!F->close());
    QVERIFY2(Shown.startsWith(QStringLiteral("Die Datei ") + QDir::toNativeSeparators(Path) +
                              QStringLiteral(" kann nicht gespeichert werden:\n")),
             qPrintable(Shown));
    QVERIFY(Shown.size() > Shown.indexOf(u'\n') + 1);  // the reason follows
    QVERIFY(TModalSeam::Shown().last().startsWith(QStringLiteral("Fehler|")));
    QVERIFY(F->KonfigGeaendert);
    if (Kind == QLatin1String("parent")) {
        QFile P(Dir->filePath(QStringLiteral("plain")));
        QVERIFY(P.open(QIODevice::ReadOnly));
        QCOMPARE(P.readAll(), QByteArray("old"));
    } else {
        QVERIFY(QFileInfo(Path).isDir());
    }
}

void TForm1Test::menu() {
    auto F = NewForm();
    QStringList Top;
    for (QAction* A : F->MainMenu1->actions())
        Top << A->objectName() + u'=' + A->text();
    QCOMPARE(Top, (QStringList{"Datei1=&Datei", "Einstellungen1=&Einstellungen", "meKatalog=Katalog", "N2=?"}));
    QCOMPARE(F->MainMenu1->actions().first()->menu(), F->Datei1);
    QStringList Datei;
    for (QAction* A : F->Datei1->actions())
        Datei << A->objectName() + u'=' + (A->isSeparator() ? QStringLiteral("-") : A->text());
    QCOMPARE(Datei, (QStringList{"Einstellungenspeichern1=Einstellungen &speichern", "N1=-", "Beenden1=&Beenden"}));

    // "?" shows the information window.
    QString Title, Programm, Datum;
    TModalSeam::Push([&](QDialog& D) {
        Title = D.windowTitle();
        Programm = D.findChild<QLabel*>(QStringLiteral("laProgramm"))->text();
        Datum = D.findChild<QLabel*>(QStringLiteral("laDatum"))->text();
        return int(QDialog::Accepted);
    });
    F->N2->trigger();
    QCOMPARE(Title, QStringLiteral("Info"));
    QCOMPARE(Programm, QStringLiteral("Parvon"));
    QCOMPARE(Datum, QStringLiteral("13.06.03"));

    // "Einstellungen speichern" saves at once.
    QVERIFY(F->KonfigGeaendert);
    F->Einstellungenspeichern1->trigger();
    QVERIFY(!F->KonfigGeaendert);
    QVERIFY(ReadIni().contains("ouSchueler=schueler.unterricht"));

    // "Beenden" closes through the close question.
    F->show();
    F->KonfigGeaendert = true;
    TModalSeam::Push([](QDialog&) { return int(QMessageBox::Cancel); });
    F->Beenden1->trigger();
    QVERIFY(F->isVisible());
    TModalSeam::Push([](QDialog&) { return int(QMessageBox::No); });
    F->Beenden1->trigger();
    QVERIFY(!F->isVisible());
}

void TForm1Test::flagsDialog_data() {
    QTest::addColumn<QString>("Home");
    QTest::addColumn<QString>("Tausch");
    QTest::addColumn<QString>("Shown");    // the four boxes as filled: home DI RI, exchange DI RI
    QTest::addColumn<QString>("Set");      // the four boxes as left by the user
    QTest::addColumn<bool>("Ok");
    QTest::addColumn<QString>("NewHome");
    QTest::addColumn<QString>("NewTausch");
    QTest::addColumn<bool>("Changed");
    QTest::newRow("unchanged ok") << "/+DI/+RI" << "/+DI" << "1110" << "1110" << true << "/+DI/+RI" << "/+DI" << false;
    QTest::newRow("all cleared") << "/+DI/+RI" << "/+DI/+RI" << "1111" << "0000" << true << "" << "" << true;
    QTest::newRow("home rename only") << "" << "/+DI/+RI" << "0011" << "0111" << true << "/+RI" << "/+DI/+RI" << true;
    QTest::newRow("cancel keeps") << "/+DI" << "/+RI" << "1001" << "0110" << false << "/+DI" << "/+RI" << false;
    QTest::newRow("lower case becomes canonical") << "/+di" << "-di+ri" << "1001" << "1001" << true << "/+DI" << "/+RI"
                                                  << true;
}

void TForm1Test::flagsDialog() {
    QFETCH(QString, Home);
    QFETCH(QString, Tausch);
    QFETCH(QString, Shown);
    QFETCH(QString, Set);
    QFETCH(bool, Ok);
    QFETCH(QString, NewHome);
    QFETCH(QString, NewTausch);
    QFETCH(bool, Changed);
    auto F = NewForm();
    F->HomeFlags = Home;
    F->TauschFlags = Tausch;
    F->KonfigGeaendert = false;
    QString Filled;
    TModalSeam::Push([&](QDialog& D) {
        auto& E = static_cast<TEinstDlg&>(D);
        QCheckBox* Boxes[] = {E.chHomeDi, E.chHomeRi, E.chTauschDi, E.chTauschRi};
        for (int I = 0; I < 4; ++I) {
            Filled += Boxes[I]->isChecked() ? u'1' : u'0';
            Boxes[I]->setChecked(Set.at(I) == u'1');
        }
        (Ok ? E.OKBtn : E.CancelBtn)->click();
        return D.result();
    });
    F->Einstellungen1->trigger();
    QCOMPARE(Filled, Shown);
    QCOMPARE(F->HomeFlags, NewHome);
    QCOMPARE(F->TauschFlags, NewTausch);
    QCOMPARE(F->KonfigGeaendert, Changed);
}

void TForm1Test::flagsDialogTexts() {
    TEinstDlg D;
    QCOMPARE(D.windowTitle(), QStringLiteral("Verzeichnis-Flags"));
    QCOMPARE(D.GroupBox1->title(), QStringLiteral("Homeverzeichnis - Flags"));
    QCOMPARE(D.GroupBox2->title(), QStringLiteral("Tauschverzeichnis-Flags"));
    for (QCheckBox* B : {D.chHomeDi, D.chTauschDi})
        QCOMPARE(B->text(), QStringLiteral("Delete inhibit"));
    for (QCheckBox* B : {D.chHomeRi, D.chTauschRi})
        QCOMPARE(B->text(), QStringLiteral("Rename Inhibit"));
    QCOMPARE(D.OKBtn->text(), QStringLiteral("OK"));
    QVERIFY(D.OKBtn->isDefault());
    QCOMPARE(D.CancelBtn->text(), QStringLiteral("Abbrechen"));
    QCOMPARE(D.minimumSize(), D.maximumSize());
    for (const char* Name : {"GroupBox1", "chHomeDi", "chHomeRi", "GroupBox2", "chTauschDi", "chTauschRi", "OKBtn",
                             "CancelBtn"})
        QVERIFY2(D.findChild<QWidget*>(QLatin1String(Name)), Name);
}

void TForm1Test::applicationSetup() {
    // Qt's own texts speak German, the name and the font are the program's.
    SetupApplication(*qApp);
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Parvon"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
    QCOMPARE(QApplication::font().family(), QStringLiteral("Arial"));
    QCOMPARE(QApplication::font().pointSize(), 9);
}

PARVON_TEST_MAIN(TForm1Test)
#include "tst_form1.moc"
