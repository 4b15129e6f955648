#include <AppFixture.h>
#include <TestMain.h>

#include <AppSetup.h>
#include <LdapLogin_u.h>
#include <NWDir.h>
#include <ParvonEinst_U.h>
#include <StringList.h>
#include <ndk_u.h>

#include <QAction>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

using namespace Demo;

// The main window: start-up, the defaults from the directory, the close question, the menu and
// the flags dialog, on a private demo directory.
class TForm1Test : public TAppFixture {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Store = std::make_unique<TTestStore>(); }
    void cleanupTestCase() { Store.reset(); }
    void init() { StartCase(); }
    void cleanup() { EndCase(); }

    void window();
    void startupDefaults();
    void configuredValuesWin_data();
    void configuredValuesWin();
    void templateWithoutHomeDirectory();
    void noTreeConnected();
    void closeQuestion_data();
    void closeQuestion();
    void menu();
    void flagsDialog_data();
    void flagsDialog();
    void flagsDialogTexts();
    void applicationSetup();
    void iniFileLocation_data();
    void iniFileLocation();
    void noCoreDumps_data();
    void noCoreDumps();
    void ldapLogin_data();
    void ldapLogin();
};

void TForm1Test::window() {
    auto F = NewForm();
    QCOMPARE(F->windowTitle(),
             QStringLiteral("Parvon - Klassen anlegen                             13.06.03"));
    QCOMPARE(F->minimumSize(), F->maximumSize());
    QVERIFY(!(F->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(F->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!F->isVisible());

    QStringList Names, Captions;
    auto* Pages = Of<QTabWidget>(F, "PageControl1");
    for (int I = 0; I < Pages->count(); ++I) {
        Names << Pages->widget(I)->objectName();
        Captions << Pages->tabText(I);
    }
    QCOMPARE(Names, (QStringList{u"tabNeueKlasse"_s, u"TabListeKlassen"_s, u"TabSchuelerListe"_s,
                                 u"TabBimport"_s, u"tabKAUser"_s}));
    QCOMPARE(Captions, (QStringList{u"neue Klasse"_s, u"Liste der Klassen"_s, u"Schülerlisten"_s,
                                    u"Datei für Bimport"_s, u"Prüflinge/Teilnehmer anlegen"_s}));
    QCOMPARE(Pages->currentWidget(), Tab(*F));

    // The program state's start values.
    QCOMPARE(NDK, F->DirectoryAccess());
    QVERIFY(NDK);
    QVERIFY(Of<QTimer>(F, "Timer3")->isActive());
    QCOMPARE(Of<QTimer>(F, "Timer3")->interval(), 300);
    QCOMPARE(F->IniDatei, IniPath());
    QCOMPARE(F->DruckTitel, TDruckTitel{});
    QCOMPARE(F->DruckTitel.Spalte2, QStringLiteral("Name"));
    QCOMPARE(F->DruckTitel.Spalte3, QStringLiteral("Anmeldename"));
    QVERIFY(F->WorkstationListe && F->WorkstationListe->IsEmpty());
    QVERIFY(F->SelectedClass.isEmpty());
    for (const char* Name :
         {"laWScount", "laNewUser", "laRestrNew", "laAktion", "laUsers", "laRaum", "laRestrict"}) {
        auto* L = F->findChild<QLabel*>(QLatin1String(Name));
        QVERIFY2(L && L->text().isEmpty(), Name);
    }

    // The program-wide reference ends with the window.
    F.reset();
    QVERIFY(!NDK);
}

void TForm1Test::startupDefaults() {
    // No configuration file: the defaults from the demo container's User_Template fill the inputs
    // and leave the configuration marked as changed.
    auto F = NewForm();
    const TKlassenTabControls C(Tab(*F));
    QCOMPARE(F->Konfiguration().BasisContainer, Schueler);
    QCOMPARE(C.EdContainer->text(), QStringLiteral("schueler.unterricht"));
    QCOMPARE(C.edHomeBase->text(), HomeBase);
    QCOMPARE(F->Konfiguration().HomeBase, HomeBase);
    QCOMPARE(F->Konfiguration().MusterTemplate, Template);
    QCOMPARE(C.EdTemplate->text(), QStringLiteral("User_Template.schueler.unterricht"));
    QCOMPARE(C.edTauschbase->text(), TauschBase);
    QCOMPARE(F->Konfiguration().TauschBase, TauschBase);
    QVERIFY(F->Konfiguration().Geaendert);
    QVERIFY(C.EdNeueklasse->text().isEmpty());
    QVERIFY(!C.BuAnlegen->isEnabled());
    QVERIFY(!C.SpLoginscript->isEnabled());
    QVERIFY(!C.SpTemplate->isEnabled());
    QVERIFY(C.MeProtokol->isHidden());
}

void TForm1Test::configuredValuesWin_data() {
    QTest::addColumn<QByteArray>("Ini");
    QTest::addColumn<QString>("Home");
    QTest::addColumn<QString>("Template");
    QTest::addColumn<QString>("Tausch");
    QTest::addColumn<bool>("Changed");
    QTest::newRow("home configured") << QByteArray("[config]\nHomeBase=H:\\k\n") << "H:\\k"
                                     << "User_Template.schueler.unterricht" << TauschBase << true;
    QTest::newRow("template configured") << QByteArray("[config]\nTemplate=Pruefling.schueler.unterricht\n")
                                         << HomeBase << "Pruefling.schueler.unterricht" << TauschBase << true;
    QTest::newRow("tausch configured")
        << QByteArray("[config]\nTauschBase=T:\\t\n") << HomeBase << "User_Template.schueler.unterricht"
        << "T:\\t" << true;
    QTest::newRow("all configured")
        << QByteArray("[config]\nHomeBase=H:\\k\nTemplate=Pruefling.schueler.unterricht\nTauschBase=T:\\t\n")
        << "H:\\k"
        << "Pruefling.schueler.unterricht"
        << "T:\\t" << false;
}

void TForm1Test::configuredValuesWin() {
    QFETCH(QByteArray, Ini);
    QFETCH(QString, Home);
    QFETCH(QString, Template);
    QFETCH(QString, Tausch);
    QFETCH(bool, Changed);
    WriteIni(Ini);
    auto F = NewForm();
    QCOMPARE(TKlassenTabControls(Tab(*F)).edHomeBase->text(), Home);
    QCOMPARE(TKlassenTabControls(Tab(*F)).EdTemplate->text(), Template);
    QCOMPARE(TKlassenTabControls(Tab(*F)).edTauschbase->text(), Tausch);
    QCOMPARE(F->Konfiguration().Geaendert, Changed);
}

void TForm1Test::templateWithoutHomeDirectory() {
    // A container whose User_Template has no home directory gives no defaults, and the close asks
    // nothing.
    NWDir Dir(**Store);
    Dir.SetFullName(Template);
    const QVariant Old = Dir.Entry()->GetFieldValue(QStringLiteral("Home Directory"));
    QVERIFY(Old.isValid());
    auto Restore = qScopeGuard([&] {
        NWDir Back(**Store);
        Back.SetFullName(Template);
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
    const TKlassenTabControls C(Tab(*F));
    QCOMPARE(C.EdContainer->text(), QStringLiteral("schueler.unterricht"));
    QVERIFY(C.edHomeBase->text().isEmpty());
    QVERIFY(C.EdTemplate->text().isEmpty());
    QVERIFY(C.edTauschbase->text().isEmpty());
    QVERIFY(F->Konfiguration().MusterTemplate.isEmpty());
    QVERIFY(!F->Konfiguration().Geaendert);
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
    QVERIFY(TKlassenTabControls(Tab(*F)).edHomeBase->text().isEmpty());
    QVERIFY(TKlassenTabControls(Tab(*F)).EdTemplate->text().isEmpty());
    QVERIFY(!F->Konfiguration().Geaendert);
    QVERIFY(Of<QTimer>(F, "Timer3")->isActive());
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
    QVERIFY(F->Konfiguration().Geaendert);
    QStringList Buttons;
    TModalSeam::Push([&](QDialog& D) {
        for (QAbstractButton* B : static_cast<QMessageBox&>(D).buttons())
            Buttons << B->text();
        return Answer;
    });
    QCOMPARE(F->close(), Closed);
    QCOMPARE(TModalSeam::Shown(),
             QStringList{u"Bestätigung|Soll die geänderte Konfiguration\ngespeichert werden ?"_s});
    Buttons.sort();
    QCOMPARE(Buttons, (QStringList{u"&Ja"_s, u"&Nein"_s, u"Abbrechen"_s}));
    QCOMPARE(ReadIni() != Original, Written);
    QCOMPARE(F->Konfiguration().Geaendert, !Written);
    QCOMPARE(TKlassenTabControls(Tab(*F)).edHomeBase->text(), QStringLiteral("H:\\k"));
    // Unchanged configuration: no question at all.
    TModalSeam::Clear();
    F->Konfiguration().Geaendert = false;
    QVERIFY(F->close());
    QVERIFY(TModalSeam::Shown().isEmpty());
}

void TForm1Test::menu() {
    auto F = NewForm();
    QStringList Top;
    for (QAction* A : Of<QMenuBar>(F, "MainMenu1")->actions())
        Top << A->objectName() + u'=' + A->text();
    QCOMPARE(Top, (QStringList{u"Datei1=&Datei"_s, u"Einstellungen1=&Einstellungen"_s, u"meKatalog=Katalog"_s,
                               u"N2=?"_s}));
    QCOMPARE(Of<QMenuBar>(F, "MainMenu1")->actions().first()->menu(), Of<QMenu>(F, "Datei1"));
    QStringList Datei;
    for (QAction* A : Of<QMenu>(F, "Datei1")->actions())
        Datei << A->objectName() + u'=' + (A->isSeparator() ? QStringLiteral("-") : A->text());
    QCOMPARE(Datei, (QStringList{u"Einstellungenspeichern1=Einstellungen &speichern"_s, u"N1=-"_s,
                                 u"Beenden1=&Beenden"_s}));

    // "?" shows the information window.
    QString Title, Programm, Datum;
    TModalSeam::Push([&](QDialog& D) {
        Title = D.windowTitle();
        Programm = D.findChild<QLabel*>(QStringLiteral("laProgramm"))->text();
        Datum = D.findChild<QLabel*>(QStringLiteral("laDatum"))->text();
        return int(QDialog::Accepted);
    });
    Of<QAction>(F, "N2")->trigger();
    QCOMPARE(Title, QStringLiteral("Info"));
    QCOMPARE(Programm, QStringLiteral("Parvon"));
    QCOMPARE(Datum, QStringLiteral("13.06.03"));

    // "Einstellungen speichern" saves at once.
    QVERIFY(F->Konfiguration().Geaendert);
    Of<QAction>(F, "Einstellungenspeichern1")->trigger();
    QVERIFY(!F->Konfiguration().Geaendert);
    QVERIFY(ReadIni().contains("ouSchueler=schueler.unterricht"));

    // "Beenden" closes through the close question.
    F->show();
    F->Konfiguration().Geaendert = true;
    Answer::Box(QMessageBox::Cancel);
    Of<QAction>(F, "Beenden1")->trigger();
    QVERIFY(F->isVisible());
    Answer::Box(QMessageBox::No);
    Of<QAction>(F, "Beenden1")->trigger();
    QVERIFY(!F->isVisible());
}

void TForm1Test::flagsDialog_data() {
    QTest::addColumn<QString>("Home");
    QTest::addColumn<QString>("Tausch");
    QTest::addColumn<QString>("Shown"); // the four boxes as filled: home DI RI, exchange DI RI
    QTest::addColumn<QString>("Set");   // the four boxes as left by the user
    QTest::addColumn<bool>("Ok");
    QTest::addColumn<QString>("NewHome");
    QTest::addColumn<QString>("NewTausch");
    QTest::addColumn<bool>("Changed");
    // clang-format off
    QTest::newRow("unchanged ok") << "/+DI/+RI" << "/+DI" << "1110" << "1110" << true << "/+DI/+RI" << "/+DI" << false;
    QTest::newRow("all cleared") << "/+DI/+RI" << "/+DI/+RI" << "1111" << "0000" << true << "" << "" << true;
    QTest::newRow("home rename only") << "" << "/+DI/+RI" << "0011" << "0111" << true << "/+RI" << "/+DI/+RI" << true;
    QTest::newRow("cancel keeps") << "/+DI" << "/+RI" << "1001" << "0110" << false << "/+DI" << "/+RI" << false;
    QTest::newRow("lower case becomes canonical") << "/+di" << "-di+ri" << "1001" << "1001" << true << "/+DI" << "/+RI"
                                                  << true;
    // clang-format on
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
    F->Konfiguration().HomeFlags = Home;
    F->Konfiguration().TauschFlags = Tausch;
    F->Konfiguration().Geaendert = false;
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
    Of<QAction>(F, "Einstellungen1")->trigger();
    QCOMPARE(Filled, Shown);
    QCOMPARE(F->Konfiguration().HomeFlags, NewHome);
    QCOMPARE(F->Konfiguration().TauschFlags, NewTausch);
    QCOMPARE(F->Konfiguration().Geaendert, Changed);
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
    for (const char* Name :
         {"GroupBox1", "chHomeDi", "chHomeRi", "GroupBox2", "chTauschDi", "chTauschRi", "OKBtn", "CancelBtn"})
        QVERIFY2(D.findChild<QWidget*>(QLatin1String(Name)), Name);
}

void TForm1Test::applicationSetup() {
    // Qt's own texts speak German, the name and the font are the program's.
    SetupApplication(*qApp);
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Parvon"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
    QCOMPARE(QApplication::font().family(), QStringLiteral("Arial"));
    QCOMPARE(QApplication::font().pointSize(), 9);
    // The end of the session ends the event loop with status 0, without a question.
    QEventLoop Loop;
    QTimer::singleShot(0, [] { ::raise(SIGTERM); });
    QTimer::singleShot(10000, &Loop, [&] { Loop.exit(1); });
    QCOMPARE(Loop.exec(), 0);
}

void TForm1Test::iniFileLocation_data() {
    QTest::addColumn<QString>("Program"); // the program's folder; "" for a writable build folder
    QTest::addColumn<bool>("Installed");  // whether the folder counts as an installed program's
    QTest::addColumn<bool>("Beside");     // whether the file is kept beside the program
    QTest::newRow("build folder") << QString() << false << true;
    QTest::newRow("install folder, writable") << QString() << true << false;
    QTest::newRow("cannot be written") << u"/fehlt"_s << false << false;
    QTest::newRow("system folder") << u"/usr/bin"_s << false << false;
    QTest::newRow("system folder by a link") << u"/bin"_s << false << false;
}

void TForm1Test::iniFileLocation() {
    // Beside a program run from its build folder; an installed program keeps it in the user's
    // configuration folder, also where it could write its own (as root).
    QFETCH(QString, Program);
    QFETCH(bool, Installed);
    QFETCH(bool, Beside);
    QTemporaryDir Build;
    const QString Folder =
        Program.startsWith(u'/') && Program != u"/fehlt"_s ? Program : Build.path() + Program;
    const QStringList Folders = Installed ? QStringList{Build.path()} : TForm1::InstallFolders();
    const QString Config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QVERIFY(Config.endsWith(u"/Parvon"_s));
    QCOMPARE(TForm1::StandardIniDatei(Folder, Folders),
             QDir(Beside ? Folder : Config).filePath(u"Parvon.ini"_s));
}

void TForm1Test::noCoreDumps_data() {
    QTest::addColumn<QString>("Program");
    QTest::addColumn<QStringList>("Arguments");
    QTest::newRow("program") << QString::fromUtf8(PARVON_PROGRAM) << QStringList();
    // Waits for the LDIF on standard input.
    QTest::newRow("console") << QString::fromUtf8(PARVON_DIRTOOL)
                             << QStringList{u"import"_s, u"SCHULE"_s, u"-"_s};
}

void TForm1Test::noCoreDumps() {
    // The program and the console run without a core file limit of their own making, whatever
    // the limit they were started with: no core file can hold a password.
    QFETCH(QString, Program);
    QFETCH(QStringList, Arguments);
    rlimit Saved{};
    QVERIFY(getrlimit(RLIMIT_CORE, &Saved) == 0);
    rlimit Open = Saved;
    Open.rlim_cur = Saved.rlim_max;
    QVERIFY(setrlimit(RLIMIT_CORE, &Open) == 0);
    QTemporaryDir Data;
    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(u"PARVON_CLIENT_STORE"_s, Data.filePath(u"client"_s));
    Env.insert(u"XDG_CONFIG_HOME"_s, Data.path());
    Env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    P.setProcessEnvironment(Env);
    P.start(Program, Arguments);
    const bool Started = P.waitForStarted();
    setrlimit(RLIMIT_CORE, &Saved);
    QVERIFY(Started);
    const QString Limits = u"/proc/%1/limits"_s.arg(P.processId());
    const auto CoreLimit = [&] {
        QFile F(Limits);
        if (!F.open(QIODevice::ReadOnly))
            return QString();
        for (const QByteArray& Line : F.readAll().split('\n'))
            if (Line.startsWith("Max core file size"))
                return QString::fromLatin1(Line.mid(26).simplified());
        return QString();
    };
    // It inherits a limit as high as allowed and sets both its limits to 0 (the sanitizers of a
    // test build lower the first one on their own).
    QTRY_COMPARE_WITH_TIMEOUT(CoreLimit(), u"0 0 bytes"_s, 20000);
    P.kill();
    P.waitForFinished();
}

void TForm1Test::ldapLogin_data() {
    QTest::addColumn<bool>("Accept");
    QTest::newRow("password given") << true;
    QTest::newRow("cancelled") << false;
}

// The login dialog hands the typed password over and leaves no clear copy of it in the field;
// cancelled, it says once that the tree cannot be reached.
void TForm1Test::ldapLogin() {
    QFETCH(bool, Accept);
    QString Held; // the field's text as the field holds it, shared with it
    Answer::With<TLdapLogin>([&](TLdapLogin& D) {
        QTest::keyClicks(D.edKennwort, u"Geheim7"_s);
        Held = D.edKennwort->text();
        return int(Accept ? QDialog::Accepted : QDialog::Rejected);
    });
    QString Password;
    QCOMPARE(AskBindPassword(u"SCHULE"_s, u"ldap://server:389"_s, u"cn=admin"_s, QString(), Password),
             Accept);
    QCOMPARE(Password, Accept ? u"Geheim7"_s : QString());
    QCOMPARE(Held, QString(7, QChar(0)));
    QStringList Shown{u"Anmeldung am Verzeichnis"_s};
    if (!Accept)
        Shown << u"Fehler|Der Verzeichnisbaum „SCHULE“ ist nicht erreichbar: Die Anmeldung am LDAP-Server "
                 u"ldap://server:389 wurde abgebrochen."_s;
    QCOMPARE(TModalSeam::Shown(), Shown);
}

PARVON_TEST_MAIN(TForm1Test)
#include "tst_form1.moc"
