// The class creation run on the demo directory: the protocol line by line, what the directory and
// the volume hold afterwards, every failure of a step, and a directory server that stops answering.

#include "KlasseAnlegenFixture.h"

#include <TestMain.h>

#include <FaultInjection.h>
#include <NWFileSystem.h>

#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QtTest>
#include <functional>

using namespace Qt::StringLiterals;
using namespace Demo;
using namespace Protokoll;

class TKlasseAnlegenTest : public TKlasseAnlegenFixture {
    Q_OBJECT

    TStorePerCase Stores{{}};

private Q_SLOTS:
    void initTestCase() {
        PARVON_REQUIRE_TEST_BACKEND();
        Stores.InitTestCase();
    }
    void cleanupTestCase() { Stores.CleanupTestCase(); }
    void init() { Begin(Stores.Init(QTest::currentTestFunction())); }
    void cleanup() {
        EndCase();
        Stores.Cleanup();
    }

    void run_data();
    void run();
    void failure_data();
    void failure();
    void serverGone();
};

void TKlasseAnlegenTest::run_data() {
    QTest::addColumn<bool>("FromFile");
    QTest::addColumn<QString>("HomeFlags");
    QTest::addColumn<bool>("Tausch");
    QTest::addColumn<QString>("TauschFlags");
    QTest::addColumn<int>("Rights");
    QTest::addColumn<bool>("Template");
    QTest::addColumn<QStringList>("Lines"); // "%FILE%" stands for the script file's path

    QTest::newRow("complete") << false << "/+DI/+RI" << true << "/+DI/+RI" << 0 << true
                              << QStringList{OuLine, CopiedLine} + FolderLines + RightsLines + TemplateLines +
                                     QStringList{Success};
    QTest::newRow("read and write") << false << "/+DI/+RI" << true << "/+DI/+RI" << 1 << true
                                    << QStringList{OuLine, CopiedLine} + FolderLines +
                                           QStringList{u"Rechtevergabe an Tauschverzeichnis"_s,
                                                       u"bitte warten."_s,
                                                       u"Rechte an Tauschverzeichnis RWECMF"_s} +
                                           TemplateLines + QStringList{Success};
    QTest::newRow("no item selected") << false << "" << true << "" << -1 << false
                                      << QStringList{OuLine, CopiedLine, u"Klassenverzeichnis erstellt"_s,
                                                     u"Tauschverzeichnis erstellt"_s} +
                                             RightsLines + QStringList{Success};
    QTest::newRow("file mode") << true << "/+DI/+RI" << true << "/+DI/+RI" << 0 << true
                               << QStringList{OuLine, u"Loginscript gelesen von %FILE%"_s} + FolderLines +
                                      RightsLines + TemplateLines + QStringList{Success};
    QTest::newRow("no exchange folder")
        << false << "/+DI/+RI" << false << "/+DI/+RI" << 0 << true
        << QStringList{OuLine, CopiedLine, u"Klassenverzeichnis erstellt"_s, u"Homeverzeichnis /+DI/+RI"_s} +
               TemplateLines + QStringList{Success};
    QTest::newRow("no template") << false << "/+DI/+RI" << true << "/+DI/+RI" << 0 << false
                                 << QStringList{OuLine, CopiedLine} + FolderLines + RightsLines +
                                        QStringList{Success};
    QTest::newRow("no flags") << false << "" << true << "" << 0 << true
                              << QStringList{OuLine, CopiedLine, u"Klassenverzeichnis erstellt"_s,
                                             u"Tauschverzeichnis erstellt"_s} +
                                     RightsLines + TemplateLines + QStringList{Success};
    QTest::newRow("one flag each") << false << "/+RI" << true << "/+DI" << 0 << true
                                   << QStringList{OuLine,
                                                  CopiedLine,
                                                  u"Klassenverzeichnis erstellt"_s,
                                                  u"Homeverzeichnis /+RI"_s,
                                                  u"Tauschverzeichnis erstellt"_s,
                                                  u"Tauschverzeichnis /+DI"_s} +
                                          RightsLines + TemplateLines + QStringList{Success};
    QTest::newRow("class folder only, file mode") << true << "" << false << "" << 0 << false
                                                  << QStringList{OuLine, u"Loginscript gelesen von %FILE%"_s,
                                                                 u"Klassenverzeichnis erstellt"_s, Success};
}

void TKlasseAnlegenTest::run() {
    QFETCH(bool, FromFile);
    QFETCH(QString, HomeFlags);
    QFETCH(bool, Tausch);
    QFETCH(QString, TauschFlags);
    QFETCH(int, Rights);
    QFETCH(bool, Template);
    QFETCH(QStringList, Lines);

    const QString Script =
        QStringLiteral("MAP ROOT H:=SRV1_DATA:home\\schueler\\7c\\%LOGIN_NAME\r\nWRITE \"Klasse 7c\"\r\n");
    const QString File = WriteFile(QStringLiteral("login 7c.txt"), Script.toUtf8());
    if (FromFile) {
        U.chLogDatei->click();
        U.EdLoginscript->setText(File);
    }
    K().HomeFlags = HomeFlags;
    K().TauschFlags = TauschFlags;
    U.chTausch->setChecked(Tausch);
    U.raTausch->SetItemIndex(Rights);
    U.chTemplate->setChecked(Template);
    U.MeProtokol->setPlainText(QStringLiteral("vorige Klasse"));

    Start();

    Lines.replaceInStrings(QStringLiteral("%FILE%"), File);
    QCOMPARE(Protocol(), Lines);
    QCOMPARE(TModalSeam::Shown(), QStringList());
    // The new exchange folder is seen after the first pause; the rights go through at the first
    // attempt, after its pause; the template is found at once.
    QCOMPARE(Then().msecsTo(TClock::Now()), Tausch ? 200 : 0);
    QVERIFY(U.MeProtokol->isVisibleTo(Form.get()));

    // The tab is ready for the next class; the other inputs keep their values.
    QVERIFY(U.EdNeueklasse->text().isEmpty());
    QVERIFY(!U.BuAnlegen->isEnabled());
    QCOMPARE(K().HomeBase, HomeBase);
    QCOMPARE(K().LoginKlasse, Klasse5a);

    // The container with its login script.
    const QString Ou = Schueler + QStringLiteral("\\7c");
    QCOMPARE(NDK->GetEntryLayout(Ou), QStringLiteral("Organizational Unit"));
    const QString Expected = FromFile ? Script : NDK->GetFieldValue(Klasse5a, QStringLiteral("Login Script"));
    QVERIFY(!Expected.isEmpty());
    QCOMPARE(NDK->GetFieldValue(Ou, QStringLiteral("Login Script")), Expected);

    // The class folder on the volume, inside its root folder, with its flags.
    const QString Home = HomeBase + QStringLiteral("\\7c");
    QVERIFY(FolderExists(Home));
    QVERIFY(NWFileSystem::LocalPath(**Case, Home).startsWith(Case->Path()));
    QCOMPARE(Flags(Home), std::make_pair(HomeFlags.contains(QLatin1String("+DI")),
                                         HomeFlags.contains(QLatin1String("+RI"))));

    // The exchange folder with its flags and the class as its trustee.
    const QString Exchange = TauschBase + QStringLiteral("\\7c");
    QCOMPARE(FolderExists(Exchange), Tausch);
    if (Tausch) {
        QCOMPARE(Flags(Exchange), std::make_pair(TauschFlags.contains(QLatin1String("+DI")),
                                                 TauschFlags.contains(QLatin1String("+RI"))));
        QCOMPARE(NDK->GetTrusteeRights(Exchange, Ou),
                 Rights == 1 ? QStringLiteral("-RWECMF-") : QStringLiteral("-R----F-"));
    }
    // The class has no rights on its home folder from the run.
    QCOMPARE(NDK->GetTrusteeRights(Home, Ou), QString());

    // The class's template: a copy whose home directory names the class folder.
    const QString NewTemplate = Ou + QStringLiteral("\\User_Template");
    QCOMPARE(Exists(NewTemplate), Template);
    if (Template) {
        QCOMPARE(NDK->GetEntryLayout(NewTemplate), QStringLiteral("Template"));
        const QString Path = NDK->GetFieldValue(NewTemplate, QStringLiteral("Home Directory"));
        QCOMPARE(Path.toUpper(), QStringLiteral("NDS:\\\\SCHULE\\DIENSTE\\SRV1_DATA,HOME\\SCHUELER\\7C"));
        QCOMPARE(NDK->SplitFilePath(Path), Home);
        QCOMPARE(NDK->GetFieldValueList(NewTemplate, QStringLiteral("Language")), QStringLiteral("DEUTSCH"));
    }
}

void TKlasseAnlegenTest::failure_data() {
    QTest::addColumn<QString>("Fault");
    QTest::addColumn<QStringList>("Lines");
    QTest::addColumn<QString>("Created"); // what exists afterwards: o(u), h(ome), e(xchange), t(emplate)
    QTest::addColumn<QString>("Box");     // start of the one box shown, "" for none

    const QStringList ToHome = {OuLine, CopiedLine, u"Klassenverzeichnis erstellt"_s,
                                u"Homeverzeichnis /+DI/+RI"_s};
    const QStringList ToExchange =
        ToHome + QStringList{u"Tauschverzeichnis erstellt"_s, u"Tauschverzeichnis /+DI/+RI"_s};
    const QStringList ToTemplate = ToExchange + RightsLines + QStringList{u"User_Template übertragen."_s};

    QTest::newRow("container not created")
        << "NWEntries.Add" << QStringList{u"Fehler bei Erstellung von OU."_s, Abbruch} << ""
        << "";
    QTest::newRow("login script not copied")
        << "NWEntry.SaveFieldToFile" << QStringList{OuLine, u"Fehler bei Erstellung von OU."_s, Abbruch}
        << "o"
        << "";
    QTest::newRow("login script file missing")
        << "missing file" << QStringList{OuLine, u"Fehler bei Erstellung von OU."_s, Abbruch} << "o"
        << "";
    QTest::newRow("home base on an unknown server")
        << "\\\\SRV9\\DATA\\home"
        << QStringList{OuLine, CopiedLine, u"Fehler bei Erstellung von Verzeichnis"_s, Abbruch} << "o"
        << "";
    QTest::newRow("home base climbing out of the volume")
        << "\\\\SRV1\\DATA\\..\\..\\.."
        << QStringList{OuLine, CopiedLine, u"Fehler bei Erstellung von Verzeichnis"_s, Abbruch} << "o"
        << "";
    QTest::newRow("home base on the local disk")
        << "local" << QStringList{OuLine, CopiedLine, u"Fehler bei Erstellung von Verzeichnis"_s, Abbruch}
        << "o"
        << "";
    QTest::newRow("home base relative")
        << "relative" << QStringList{OuLine, CopiedLine, u"Fehler bei Erstellung von Verzeichnis"_s, Abbruch}
        << "o"
        << "";
    QTest::newRow("class folder flags") << "NWDirectoryEntry.DeleteInhibit"
                                        << QStringList{OuLine,
                                                       CopiedLine,
                                                       u"Klassenverzeichnis erstellt"_s,
                                                       u"Fehler bei Attributeinstellung Homeverzeichnis"_s,
                                                       u"Tauschverzeichnis erstellt"_s,
                                                       u"Tauschverzeichnis /+DI/+RI"_s} +
                                               RightsLines + TemplateLines + QStringList{Success}
                                        << "ohet"
                                        << "";
    QTest::newRow("exchange base on an unknown volume")
        << "tausch:\\\\SRV1\\NOVOL"
        << ToHome + QStringList{u"Fehler bei Erstellung von Verzeichnis"_s, Abbruch} << "oh"
        << "";
    QTest::newRow("exchange folder flags")
        << "NWDirectoryEntry.RenameInhibit"
        << QStringList{OuLine,
                       CopiedLine,
                       u"Klassenverzeichnis erstellt"_s,
                       u"Homeverzeichnis /+DI"_s,
                       u"Tauschverzeichnis erstellt"_s,
                       u"Fehler bei Attributeinstellung Tauschverzeichnis"_s} +
               RightsLines + TemplateLines + QStringList{Success}
        << "ohet"
        << "";
    QTest::newRow("exchange folder unreadable")
        << "NWVolAdm.GetDirectoryEntry"
        << ToHome + QStringList{u"Tauschverzeichnis erstellt"_s,         u"Tauschverzeichnis /+DI/+RI"_s,
                                u"Rechtevergabe an Tauschverzeichnis"_s, u"bitte warten."_s,
                                u"Fehler bei Rechte für Tauschverz."_s,  Abbruch}
        << "ohe"
        << "";
    // The assignment is tried 100 times, 100 ms apart.
    QTest::newRow("rights not granted")
        << "NWTrustees.Add"
        << ToExchange + QStringList{u"Rechtevergabe an Tauschverzeichnis"_s, u"bitte warten."_s,
                                    u"Fehler bei Rechte für Tauschverz."_s, Abbruch}
        << "ohe"
        << "Parvon|Error (";
    QTest::newRow("template not copied")
        << "no template"
        << ToExchange + RightsLines + QStringList{u"Template konnte nicht übertragen werden."_s, Abbruch}
        << "ohet"
        << "";
    QTest::newRow("connections not listed")
        << "NWSess.ServerConnectionCount" << ToTemplate + QStringList{u"UNC2NDS failed"_s, Abbruch} << "ohet"
        << "";
    QTest::newRow("no connection to the server")
        << "no connection" << ToTemplate + QStringList{u"UNC2NDS failed"_s, Abbruch} << "ohet"
        << "";
    QTest::newRow("home directory not written")
        << "wrong server object"
        << ToTemplate + QStringList{u"UNC2NDS"_s, u"Homeverzeichnispfad nicht erstellt."_s, Abbruch} << "ohet"
        << "";
}

void TKlasseAnlegenTest::failure() {
    QFETCH(QString, Fault);
    QFETCH(QStringList, Lines);
    QFETCH(QString, Created);
    QFETCH(QString, Box);

    const QString Outside = Dir->filePath(QStringLiteral("lokal"));
    if (Fault == QLatin1String("missing file")) {
        U.chLogDatei->click();
        U.EdLoginscript->setText(QDir::toNativeSeparators(Dir->filePath(QStringLiteral("fehlt.txt"))));
    } else if (Fault == QLatin1String("relative")) {
        U.edHomeBase->setText(QStringLiteral("klassen"));
    } else if (Fault == QLatin1String("local")) {
        U.edHomeBase->setText(QDir::toNativeSeparators(Outside));
    } else if (Fault.startsWith(QLatin1String("\\\\"))) {
        U.edHomeBase->setText(Fault);
    } else if (Fault.startsWith(QLatin1String("tausch:"))) {
        U.edTauschbase->setText(Fault.mid(7));
    } else if (Fault == QLatin1String("NWDirectoryEntry.RenameInhibit")) {
        K().HomeFlags = QStringLiteral("/+DI");
        TFaultInjection::FailNext(Fault);
    } else if (Fault == QLatin1String("NWTrustees.Add")) {
        TFaultInjection::FailNext(Fault, 100);
    } else if (Fault == QLatin1String("NWVolAdm.GetDirectoryEntry")) {
        K().HomeFlags = QString(); // no other folder is looked at before
        K().TauschFlags = QString();
        TFaultInjection::FailNext(Fault);
        Lines.removeAll(QStringLiteral("Homeverzeichnis /+DI/+RI"));
        Lines.removeAll(QStringLiteral("Tauschverzeichnis /+DI/+RI"));
    } else if (Fault == QLatin1String("no template")) {
        K().MusterTemplate = Schueler + QStringLiteral("\\gibtsnicht");
    } else if (Fault == QLatin1String("no connection")) {
        (*Case)->SetServerConnections({});
    } else if (Fault == QLatin1String("wrong server object")) {
        // The connection's name contains the server's, but no volume object belongs to it.
        (*Case)->SetServerConnections({{Dienste + QStringLiteral("\\SRV1X"), QStringLiteral("SRV1X")}});
    } else {
        TFaultInjection::FailNext(Fault);
    }

    Start();
    QCOMPARE(Protocol(), Lines);
    if (Fault == QLatin1String("NWTrustees.Add"))
        QCOMPARE(Then().msecsTo(TClock::Now()), 100 + 100 * 100);
    if (Box.isEmpty()) {
        QCOMPARE(TModalSeam::Shown(), QStringList());
    } else {
        QCOMPARE(TModalSeam::Shown().size(), 1);
        QVERIFY2(TModalSeam::Shown().first().startsWith(Box), qPrintable(TModalSeam::Shown().first()));
    }
    // An aborted run keeps the name; the refresh enables the button again.
    if (!Lines.endsWith(Success)) {
        QCOMPARE(U.EdNeueklasse->text(), QStringLiteral("7c"));
        QVERIFY(U.BuAnlegen->isEnabled());
    }

    // Nothing is removed; nothing beyond the failing step is made.
    const QString Ou = Schueler + QStringLiteral("\\7c");
    QCOMPARE(Exists(Ou), Created.contains(u'o'));
    QCOMPARE(FolderExists(HomeBase + QStringLiteral("\\7c")), Created.contains(u'h'));
    QCOMPARE(FolderExists(TauschBase + QStringLiteral("\\7c")), Created.contains(u'e'));
    QCOMPARE(Exists(Ou + QStringLiteral("\\User_Template")), Created.contains(u't'));
    // Never a folder outside the volumes.
    QVERIFY(!QFileInfo::exists(Outside));
    QVERIFY(!QFileInfo::exists(Dir->filePath(QStringLiteral("lokal\\7c"))));
    QVERIFY(!QFileInfo::exists(QDir(Case->Path()).filePath(QStringLiteral("../7c"))));
    QVERIFY(!QFileInfo::exists(QStringLiteral("klassen")) &&
            !QFileInfo::exists(QStringLiteral("klassen\\7c")));
}

// A directory server that stops answering: before the run, the name check fails in the standard
// error box; during it, the step that needs the server gives its failure lines. Each wait ends
// with the client's time-out.
void TKlasseAnlegenTest::serverGone() {
    // The LDAP server is stopped; the embedded store goes away through the faulty backend in front
    // of it.
    TLdapTestServer* Server = Case->Ldap ? TLdapTestServer::Shared() : nullptr;
    const auto Down = [&](bool Gone) {
        if (!Server)
            Case->Faults->SetDown(Gone);
        else if (Gone)
            Server->Freeze();
        else
            Server->Thaw();
    };
    struct TResume {
        std::function<void(bool)> Down;
        ~TResume() { Down(false); }
    } Resume{Down};
    QElapsedTimer T;
    T.start();
    Down(true);
    Start();
    QCOMPARE(TModalSeam::Shown().size(), 1);
    const QString Box = TModalSeam::Shown().first();
    QVERIFY2(Box.startsWith(QStringLiteral("Fehler|")) &&
                 (!Server || Box.contains(QStringLiteral("LDAP-Server"))),
             qPrintable(Box));
    QCOMPARE(Protocol(), QStringList());
    Down(false);

    TModalSeam::Clear();
    QObject::connect(U.MeProtokol, &QPlainTextEdit::textChanged, U.MeProtokol, [this, &Down] {
        if (Protocol().contains(OuLine))
            Down(true);
    });
    Start();
    QCOMPARE(Protocol(), (QStringList{OuLine, QStringLiteral("Fehler bei Erstellung von OU."), Abbruch}));
    QCOMPARE(TModalSeam::Shown(), QStringList());
    QVERIFY2(T.elapsed() < 30000, qPrintable(QString::number(T.elapsed())));
}

PARVON_TEST_MAIN(TKlasseAnlegenTest)
#include "tst_klasseanlegen.moc"
