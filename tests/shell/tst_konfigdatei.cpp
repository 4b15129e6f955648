#include <AppFixture.h>
#include <TestMain.h>

#include <AppSetup.h>
#include <NWDir.h>
#include <ParvonEinst_U.h>
#include <StringList.h>
#include <ndk_u.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

using namespace Demo;

// The configuration file through the main window: what start-up reads into the window, what a
// save writes, files of any content, a file that cannot be written.
class TKonfigDateiTest : public TAppFixture {
    Q_OBJECT

    // One observable of the window after start-up, as text.
    static QString Probe(TForm1& F, const QString& What);

private Q_SLOTS:
    void initTestCase() { Store = std::make_unique<TTestStore>(); }
    void cleanupTestCase() { Store.reset(); }
    void init() { StartCase(); }
    void cleanup() { EndCase(); }

    void konfigLesen_data();
    void konfigLesen();
    void save_data();
    void save();
    void saveRoundTrip();
    void badFiles_data();
    void badFiles();
    void unwritableFile_data();
    void unwritableFile();
};

QString TKonfigDateiTest::Probe(TForm1& F, const QString& What) {
    const TKlassenTabControls C(Tab(F));
    const TKonfiguration& K = F.Konfiguration();
    auto* Pages = Child<QTabWidget>(&F, QStringLiteral("PageControl1"));
    auto B = [](bool V) { return V ? QStringLiteral("1") : QStringLiteral("0"); };
    auto Shown = [&](const char* Page) {
        return B(Pages->isTabVisible(Pages->indexOf(Child<QWidget>(&F, QLatin1String(Page)))));
    };
    const QHash<QString, std::function<QString()>> Probes = {
        {u"Netz"_s, [&] { return K.Netz; }},
        {u"NetzMaske"_s, [&] { return K.NetzMaske; }},
        {u"Debug"_s, [&] { return B(NDK->Debug); }},
        {u"ouSchueler"_s, [&] { return K.ouSchueler; }},
        {u"EdContainer"_s, [&] { return C.EdContainer->text(); }},
        {u"LoginMode"_s,
         [&] {
             return B(C.chLogKlasse->isChecked()) + B(C.chLogDatei->isChecked()) +
                    B(!C.SpLoginscript->isHidden()) + B(!C.spLogDatei->isHidden());
         }},
        {u"EdLoginscript"_s, [&] { return C.EdLoginscript->text(); }},
        {u"LoginKlasse"_s, [&] { return K.LoginKlasse; }},
        {u"MusterTemplate"_s, [&] { return K.MusterTemplate; }},
        {u"chTemplate"_s, [&] { return B(C.chTemplate->isChecked()); }},
        {u"chTausch"_s, [&] { return B(C.chTausch->isChecked()); }},
        {u"TauschBase"_s, [&] { return K.TauschBase; }},
        {u"HomeBase"_s, [&] { return K.HomeBase; }},
        {u"edHomeBase"_s, [&] { return C.edHomeBase->text(); }},
        {u"HomeFlags"_s, [&] { return K.HomeFlags; }},
        {u"TauschFlags"_s, [&] { return K.TauschFlags; }},
        {u"Katalog"_s,
         [&] { return K.Katalog + u'|' + B(Child<QAction>(&F, QStringLiteral("meKatalog"))->isVisible()); }},
        {u"Tabs"_s, [&] { return Shown("TabBimport") + Shown("tabKAUser"); }},
    };
    const auto Probe = Probes.constFind(What);
    return Probe == Probes.constEnd() ? QStringLiteral("<unknown probe>") : (*Probe)();
}

void TKonfigDateiTest::konfigLesen_data() {
    // clang-format off
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
                                      << Unterricht;
    QTest::newRow("container full name kept") << QByteArray("[config]\nouSchueler=NDS:\\\\SCHULE\\unterricht\n")
                                              << "ouSchueler" << Unterricht;
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
                                 << Klasse5a;
    QTest::newRow("login class shown dotted") << QByteArray("[config]\nLoginscript=5a.schueler.unterricht\n")
                                              << "EdLoginscript" << "5a.schueler.unterricht";
    QTest::newRow("template") << QByteArray("[config]\nTemplate=Pruefling.schueler.unterricht\n") << "MusterTemplate"
                              << Schueler + u"\\Pruefling"_s;
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
    // clang-format on
}

void TKonfigDateiTest::konfigLesen() {
    QFETCH(QByteArray, Ini);
    QFETCH(QString, What);
    QFETCH(QString, Expected);
    if (!Ini.isNull())
        WriteIni(Ini);
    auto F = NewForm();
    QCOMPARE(Probe(*F, What), Expected);
}

void TKonfigDateiTest::save_data() {
    // clang-format off
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
    // clang-format on
}

void TKonfigDateiTest::save() {
    QFETCH(QByteArray, Ini);
    QFETCH(QByteArray, Expected);
    WriteIni(Ini);
    auto F = NewForm();
    QVERIFY(F->Konfiguration().Geaendert); // the directory defaults filled template and exchange base
    F->KonfigSchreiben();
    QVERIFY(!F->Konfiguration().Geaendert);
    QCOMPARE(ReadIni(), Expected);
}

void TKonfigDateiTest::saveRoundTrip() {
    // What one run saves, the next reads back: file mode, empty flags, both boxes, the rights.
    {
        auto F = NewForm();
        const TKlassenTabControls C(Tab(*F));
        C.chLogDatei->click();
        C.EdLoginscript->setText(QStringLiteral("C:\\skripte\\login.txt"));
        C.chTemplate->click();
        C.chTausch->setChecked(true);
        F->Konfiguration().HomeFlags.clear();
        F->Konfiguration().TauschFlags = QStringLiteral("/+RI");
        C.edHomeBase->setText(DataVolume + QStringLiteral("\\k\\"));
        F->Konfiguration().Katalog = QStringLiteral("benutzer.dienste");
        F->KonfigSchreiben();
    }
    const QByteArray Saved = ReadIni();
    QVERIFY(Saved.contains("\r\nHomeFlags=\r\n"));
    QVERIFY(Saved.contains("\r\nHomeBase=\\\\SRV1\\DATA\\k\r\n"));
    QVERIFY(Saved.contains("\r\nKatalog=benutzer.dienste\r\n"));
    QVERIFY(!Saved.contains("net"));
    QVERIFY(!Saved.contains("debug") && !Saved.contains("BImport") && !Saved.contains("CreateUser"));

    auto F = NewForm();
    const TKlassenTabControls C(Tab(*F));
    QVERIFY(C.chLogDatei->isChecked() && !C.chLogKlasse->isChecked());
    QCOMPARE(C.EdLoginscript->text(), QStringLiteral("C:\\skripte\\login.txt"));
    QVERIFY(C.chTemplate->isChecked());
    QVERIFY(C.chTausch->isChecked());
    QCOMPARE(F->Konfiguration().HomeFlags, QString());
    QCOMPARE(F->Konfiguration().TauschFlags, QStringLiteral("/+RI"));
    QCOMPARE(F->Konfiguration().HomeBase, DataVolume + QStringLiteral("\\k"));
    QCOMPARE(F->Konfiguration().Katalog, QStringLiteral("benutzer.dienste"));
    QVERIFY(!F->Konfiguration().Geaendert);
}

void TKonfigDateiTest::badFiles_data() {
    // clang-format off
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
    // clang-format on
}

void TKonfigDateiTest::badFiles() {
    // Parvon starts on any file, reads what it can, and a save keeps every line it did not set.
    QFETCH(QByteArray, Ini);
    QFETCH(QString, HomeFlags);
    QFETCH(QString, Netz);
    if (!Ini.isNull())
        WriteIni(Ini);
    auto F = NewForm();
    QCOMPARE(F->Konfiguration().HomeFlags, HomeFlags);
    QCOMPARE(F->Konfiguration().Netz, Netz);
    QCOMPARE(TKlassenTabControls(Tab(*F)).EdContainer->text(), QStringLiteral("schueler.unterricht"));
    F->KonfigSchreiben();
    const QByteArray Saved = ReadIni();
    QVERIFY(Saved.contains("TauschFlags=/+DI/+RI"));
    // Every original line is still there, in its order.
    qsizetype From = 0;
    const QList<QByteArray> Lines = Ini.split('\n');
    for (const QByteArray& L : Lines) {
        if (L.contains("HomeFlags"))
            continue; // the one key of these files that the save sets
        const qsizetype At = Saved.indexOf(L, From);
        QVERIFY2(At >= 0, L.left(40).toHex().constData());
        From = At + L.size();
    }
}

void TKonfigDateiTest::unwritableFile_data() {
    // clang-format off
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<bool>("ByMenu");
    QTest::newRow("parent is a file, close") << "parent" << false;
    QTest::newRow("target is a folder, close") << "folder" << false;
    QTest::newRow("target is a folder, menu") << "folder" << true;
    // clang-format on
}

void TKonfigDateiTest::unwritableFile() {
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
    QVERIFY(F->Konfiguration().Geaendert);
    QString Shown;
    if (!ByMenu)
        Answer::Box(QMessageBox::Yes);
    TModalSeam::Push([&](QDialog& D) {
        Shown = static_cast<QMessageBox&>(D).text();
        return int(QMessageBox::Ok);
    });
    if (ByMenu)
        Of<QAction>(F, "Einstellungenspeichern1")->trigger();
    else
        QVERIFY(!F->close());
    QVERIFY2(Shown.startsWith(QStringLiteral("Die Datei ") + QDir::toNativeSeparators(Path) +
                              QStringLiteral(" kann nicht gespeichert werden:\n")),
             qPrintable(Shown));
    QVERIFY(Shown.size() > Shown.indexOf(u'\n') + 1); // the reason follows
    QVERIFY(TModalSeam::Shown().last().startsWith(QStringLiteral("Fehler|")));
    QVERIFY(F->Konfiguration().Geaendert);
    if (Kind == QLatin1String("parent")) {
        QFile P(Dir->filePath(QStringLiteral("plain")));
        QVERIFY(P.open(QIODevice::ReadOnly));
        QCOMPARE(P.readAll(), QByteArray("old"));
    } else {
        QVERIFY(QFileInfo(Path).isDir());
    }
}

PARVON_TEST_MAIN(TKonfigDateiTest)
#include "tst_konfigdatei.moc"
