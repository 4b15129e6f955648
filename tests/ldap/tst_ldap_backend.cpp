// The directory backend over LDAP on the throwaway test server: names that need escaping, containers
// larger than the server's size limit, passwords both ways, the server that stops answering, the
// client's settings and the login dialog.

#include <ClientSettings.h>
#include <Clock.h>
#include <ErrorCode.h>
#include <LdapLogin_u.h>
#include <ModalSeam.h>
#include <NWDir.h>
#include <NWNetAddress.h>
#include <StringList.h>
#include <TestMain.h>
#include <TestStore.h>
#include <WorkstationClient.h>
#include <ndk_u.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <ldap.h>

namespace {
const QString Schueler = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler");

// Stops the server's process while it lives: the server keeps its connections but answers nothing.
class TServerStopped {
public:
    explicit TServerStopped(TLdapTestServer& Server) : FServer(Server) { Server.Freeze(); }
    ~TServerStopped() { FServer.Thaw(); }

private:
    TLdapTestServer& FServer;
};
} // namespace

class TstLdapBackend : public QObject {
    Q_OBJECT

    TLdapTestServer* FServer = nullptr;
    std::unique_ptr<TTestStore> FStore;
    std::unique_ptr<TNDK> FNdk;

private Q_SLOTS:
    void initTestCase() {
        qputenv("PARVON_TEST_BACKEND", "ldap");
        PARVON_REQUIRE_TEST_BACKEND();
        FServer = TLdapTestServer::Shared();
        TModalSeam::SetUnattended(true);
        FStore = std::make_unique<TTestStore>();
        QVERIFY(FStore->Ldap);
        FNdk = std::make_unique<TNDK>(nullptr, **FStore);
    }
    void cleanupTestCase() {
        FNdk.reset();
        FStore.reset();
        TModalSeam::Clear();
    }

    void StatusCodes_data() {
        QTest::addColumn<int>("Result");
        QTest::addColumn<int>("Status");
        QTest::newRow("no such object") << LDAP_NO_SUCH_OBJECT << ERR_NO_SUCH_ENTRY;
        QTest::newRow("already exists") << LDAP_ALREADY_EXISTS << ERR_ENTRY_ALREADY_EXISTS;
        QTest::newRow("undefined attribute") << LDAP_UNDEFINED_TYPE << ERR_NO_SUCH_ATTRIBUTE;
        QTest::newRow("class violation") << LDAP_OBJECT_CLASS_VIOLATION << ERR_ILLEGAL_ATTRIBUTE;
        QTest::newRow("bad syntax") << LDAP_INVALID_SYNTAX << ERR_SYNTAX_VIOLATION;
        QTest::newRow("bad credentials") << LDAP_INVALID_CREDENTIALS << ERR_FAILED_AUTHENTICATION;
        QTest::newRow("no access") << LDAP_INSUFFICIENT_ACCESS << ERR_NO_ACCESS;
        QTest::newRow("server down") << LDAP_SERVER_DOWN << ERR_TRANSPORT_FAILURE;
        QTest::newRow("time-out") << LDAP_TIMEOUT << ERR_TRANSPORT_FAILURE;
    }
    void StatusCodes() {
        QFETCH(int, Result);
        QFETCH(int, Status);
        QCOMPARE(StatusOfLdapResult(Result), Status);
    }

    // Names with characters that DNs and filters escape arrive, list, resolve and search as written.
    void EscapedNames_data() {
        QTest::addColumn<QString>("Name");
        QTest::newRow("plus") << QStringLiteral("a+b");
        QTest::newRow("hash first") << QStringLiteral("#7");
        QTest::newRow("quote, semicolon") << QStringLiteral("x\"y;z");
        QTest::newRow("angle brackets, equals") << QStringLiteral("<k=1>");
        QTest::newRow("filter specials") << QStringLiteral("(a*b)");
        QTest::newRow("umlauts") << QStringLiteral("Größe Ü");
    }
    void EscapedNames() {
        QFETCH(QString, Name);
        FNdk->AddOrganizationalUnit(Schueler, Name);
        QVERIFY(!FNdk->AddFailed);
        const QString Full = Schueler + u'\\' + Name;
        QCOMPARE(FNdk->GetShortName(Full), Name);
        TStringList Children;
        FNdk->ListEntries(Schueler, Children);
        QVERIFY(Children.Texts().contains(Name));
        TStringList Found;
        FNdk->DottedResults = false;
        FNdk->SearchObjects(QStringLiteral("[ROOT]"), Name, QStringLiteral("Organizational Unit"), Found);
        QCOMPARE(Found.Texts(), QStringList{Full});
        // A search below the new container finds what it holds, not the container itself.
        TDirectoryBackend& D = FStore->Client->Directory();
        const TObjectRef Container = D.Resolve(Full);
        D.CreateObject(Container, QStringLiteral("User"), QStringLiteral("drin"));
        QCOMPARE(D.Search(Container, QString(), QString(), 2), QStringList{Full + QStringLiteral("\\drin")});
        FNdk->AddOrganizationalUnit(Schueler, Name);
        QVERIFY(FNdk->AddFailed);
    }

    // Values of each syntax come back as written, typed as the embedded store gives them; a network
    // address is held as the LDIF export writes it: the type, "#", the address bytes.
    void FieldValues_data() {
        QTest::addColumn<QString>("Field");
        QTest::addColumn<QVariant>("Written");
        QTest::addColumn<QVariantList>("Read");
        const QString Volume = QStringLiteral("NDS:\\\\SCHULE\\dienste\\SRV1_DATA");
        const QVariant Tcp = QVariant::fromValue(NWNetAddress(1, QByteArray("\x0A\x01\x05\x17", 4)));
        const QVariant Ipx =
            QVariant::fromValue(NWNetAddress(0, QByteArray::fromHex("00000001001B210A0107")));
        const QDateTime Then(QDate(2024, 1, 31), QTime(15, 45), QTimeZone::utc());
        QTest::newRow("net addresses") << QStringLiteral("Network Address Restriction")
                                       << QVariant(QVariantList{Ipx, Tcp}) << QVariantList{Ipx, Tcp};
        QTest::newRow("address as text") << QStringLiteral("Network Address Restriction")
                                         << QVariant(QStringLiteral("TCP/IP: 0A010517")) << QVariantList{Tcp};
        QTest::newRow("stream") << QStringLiteral("Login Script")
                                << QVariant(QStringLiteral("WRITE \"Grüße\"\r\n"))
                                << QVariantList{QStringLiteral("WRITE \"Grüße\"\r\n")};
        QTest::newRow("path") << QStringLiteral("Home Directory")
                              << QVariant(Volume.toLower() + QStringLiteral(",home\\x"))
                              << QVariantList{Volume + QStringLiteral(",home\\x")};
        QTest::newRow("time") << QStringLiteral("Login Expiration Time") << QVariant(Then)
                              << QVariantList{Then};
        QTest::newRow("boolean") << QStringLiteral("Login Disabled") << QVariant(QStringLiteral("true"))
                                 << QVariantList{true};
        QTest::newRow("integer") << QStringLiteral("Home Directory Rights")
                                 << QVariant(QStringLiteral("0x0FB")) << QVariantList{qint64(0xFB)};
        QTest::newRow("list") << QStringLiteral("Language")
                              << QVariant(QStringList{QStringLiteral("DEUTSCH"), QStringLiteral("ENGLISCH")})
                              << QVariantList{QStringLiteral("DEUTSCH"), QStringLiteral("ENGLISCH")};
        QTest::newRow("removed") << QStringLiteral("Language") << QVariant() << QVariantList{};
    }
    void FieldValues() {
        QFETCH(QString, Field);
        QFETCH(QVariant, Written);
        QFETCH(QVariantList, Read);
        TDirectoryBackend& D = FStore->Client->Directory();
        const TObjectRef User = D.Resolve(Schueler + QStringLiteral("\\5a\\User_Template"));
        D.WriteFields(User, {{Field, Written}});
        const std::vector<QVariant> Values = D.ReadField(User, *D.FieldType(Field));
        QCOMPARE(QVariantList(Values.begin(), Values.end()), Read);
        if (Field == QLatin1String("Network Address Restriction")) {
            QList<QByteArray> Held;
            FStore->Ldap->Connection().Search(
                User.Key.Text, TLdapConnection::TScope::Base, QStringLiteral("(objectClass=*)"),
                {QStringLiteral("networkAddressRestriction")}, [&Held](const TLdapEntry& E) {
                    Held = E.Find(QStringLiteral("networkAddressRestriction"))->Values;
                });
            QCOMPARE(Held.back(), QByteArray("1#\x0A\x01\x05\x17", 6));
        }
    }

    // A home directory on a volume whose name holds "#" reads back, also when the volume's DN is the
    // server's, which leaves that "#" bare.
    void HomeDirectoryOnVolumeWithHash() {
        TDirectoryBackend& D = FStore->Client->Directory();
        const TObjectRef Volume = D.CreateObject(D.Resolve(QStringLiteral("NDS:\\\\SCHULE\\dienste")),
                                                 QStringLiteral("Volume"), QStringLiteral("SRV1_A#B"));
        TLdapDirectory Fresh(FServer->Settings(), FServer->Password());
        const TObjectRef User = Fresh.Resolve(Schueler + QStringLiteral("\\5a\\User_Template"));
        const QString Home = Volume.FullName + QStringLiteral(",home\\x");
        Fresh.WriteFields(User, {{QStringLiteral("Home Directory"), Home}});
        const std::vector<QVariant> Read =
            Fresh.ReadField(User, *Fresh.FieldType(QStringLiteral("Home Directory")));
        QCOMPARE(QVariantList(Read.begin(), Read.end()), QVariantList{Home});
        Fresh.WriteFields(User, {{QStringLiteral("Home Directory"), QVariant()}});
        D.DeleteObject(Volume);
    }

    // A container past the server's size limit (500) is listed, counted and searched whole.
    void LargeContainer() {
        TDirectoryBackend& D = FStore->Client->Directory();
        const TObjectRef Big = D.CreateObject(D.Resolve(Schueler), QStringLiteral("Organizational Unit"),
                                              QStringLiteral("gross"));
        const int N = 620;
        for (int I = 0; I < N; ++I)
            D.CreateObject(Big, QStringLiteral("User"),
                           QStringLiteral("u%1").arg(I, 3, 10, QLatin1Char('0')));
        QCOMPARE(FNdk->CountEntries(Big.FullName), N);
        TStringList Children;
        FNdk->ListEntries(Big.FullName, Children);
        QCOMPARE(Children.Count(), N);
        QCOMPARE(Children.Text(N - 1), QStringLiteral("u619"));
        QCOMPARE(D.Search(Big, QStringLiteral("u*"), QStringLiteral("User"), 2).size(), qsizetype(N));
    }

    // Both ways of setting a password; the server holds a hash, never the text.
    void Passwords_data() {
        QTest::addColumn<bool>("Modify");
        QTest::newRow("password modify operation") << true;
        QTest::newRow("userPassword replace") << false;
    }
    void Passwords() {
        QFETCH(bool, Modify);
        TLdapSettings Settings = FServer->Settings();
        Settings.PasswordModify = Modify;
        TLdapDirectory D(Settings, FServer->Password());
        const TObjectRef User = D.Resolve(QStringLiteral("NDS:\\\\SCHULE\\dienste\\admin"));
        D.SetPassword(User, QStringLiteral("GEHEIM7"));
        QVERIFY(D.CheckPassword(User, QStringLiteral("GEHEIM7")));
        QVERIFY(!D.CheckPassword(User, QStringLiteral("geheim7")));
        QByteArray Held;
        D.Connection().Search(User.Key.Text, TLdapConnection::TScope::Base, QStringLiteral("(objectClass=*)"),
                              {QStringLiteral("userPassword")}, [&Held](const TLdapEntry& E) {
                                  if (const TLdapAttribute* A = E.Find(QStringLiteral("userPassword")))
                                      Held = A->Values.value(0);
                              });
        QVERIFY2(Held.startsWith("{SSHA}"), Held.left(6).constData());
        D.SetPassword(User, QString());
        QVERIFY(D.CheckPassword(User, QString()));
        QVERIFY(!D.CheckPassword(User, QStringLiteral("GEHEIM7")));
    }

    // A server that stops answering fails each call after the time-out, and the next call after
    // its return goes through on a new connection.
    void ServerStopsAnswering() {
        TLdapSettings Settings = FServer->Settings();
        Settings.TimeoutMs = 700;
        auto D = std::make_shared<TLdapDirectory>(Settings, FServer->Password());
        TDirectoryClient Client(std::make_shared<TTreeRouter>(
                                    FStore->Store, std::vector<TTreeRouter::TRoute>{{Settings.Tree, D}}),
                                FStore->Store);
        NWDir Dir(Client);
        Dir.SetFullName(Schueler);
        QElapsedTimer T;
        {
            TServerStopped Stopped(*FServer);
            T.start();
            QCOMPARE(CodeOf([&] { Dir.SetFullName(Schueler + QStringLiteral("\\5a")); }),
                     ERR_TRANSPORT_FAILURE);
            QCOMPARE(CodeOf([&] { Dir.Entries()->Count(); }), ERR_TRANSPORT_FAILURE);
            QVERIFY2(T.elapsed() < 5000, qPrintable(QString::number(T.elapsed())));
        }
        Dir.SetFullName(Schueler + QStringLiteral("\\5a"));
        QVERIFY(Dir.Entries()->Count() > 0);
    }

    // The settings name the server; a password file readable by others is refused; a refused
    // bind asks again with the reason, and the dialog hands the password over.
    void ConfiguredClient() {
        QTemporaryDir Folder;
        const QString PasswordFile = Folder.filePath(QStringLiteral("bind"));
        {
            QFile F(PasswordFile);
            QVERIFY(F.open(QIODevice::WriteOnly));
            F.write(FServer->Password().toUtf8() + '\n');
        }
        QFile::setPermissions(PasswordFile, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        QCOMPARE(CodeOf([&] { ReadPasswordFile(PasswordFile); }), ERR_FAILED_AUTHENTICATION);
        QFile::setPermissions(PasswordFile, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(ReadPasswordFile(PasswordFile), FServer->Password());

        const TLdapSettings S = FServer->Settings();
        {
            QFile Ini(Folder.filePath(QStringLiteral("client.ini")));
            QVERIFY(Ini.open(QIODevice::WriteOnly));
            Ini.write(
                QStringLiteral(
                    "[SCHULE]\nDirectory=ldap\nUrl=%1\nBase=%2\nBindDn=%3\nTimeout=3\nUidRange=20000-29999\n")
                    .arg(S.Url, S.Base, S.BindDn)
                    .toUtf8());
        }
        const std::vector<TLdapSettings> Read =
            ReadClientSettings(Folder.filePath(QStringLiteral("client.ini")));
        QCOMPARE(Read.size(), size_t(1));
        QCOMPARE(Read[0].Base, S.Base);
        QCOMPARE(Read[0].BindDn, S.BindDn);
        QCOMPARE(Read[0].TimeoutMs, 3000);
        QCOMPARE(Read[0].Uids.First, 20000);
        QCOMPARE(Read[0].Gids.Last, 59999);

        const TBindPasswordPrompt Prompt = [](const TBindRequest& R, const QString& Problem,
                                              QString& Password) {
            return AskBindPassword(R.Tree, R.Url, R.BindDn, Problem, Password);
        };
        QStringList Problems;
        TModalSeam::Clear();
        TModalSeam::Push([](QDialog& D) {
            D.findChild<QLineEdit*>(QStringLiteral("edKennwort"))->setText(QStringLiteral("Irrtum7"));
            return int(QDialog::Accepted);
        });
        TModalSeam::Push([this, &Problems](QDialog& D) {
            Problems << D.findChild<QLabel*>(QStringLiteral("laFehler"))->text();
            D.findChild<QLineEdit*>(QStringLiteral("edKennwort"))->setText(FServer->Password());
            return int(QDialog::Accepted);
        });
        const std::unique_ptr<TDirectoryClient> Client = OpenConfiguredClient(Prompt, Folder.path());
        QCOMPARE(TModalSeam::Shown(), QStringList(2, QStringLiteral("Anmeldung am Verzeichnis")));
        QVERIFY2(Problems.value(0).startsWith(
                     QStringLiteral("Anmeldung fehlgeschlagen: Benutzer oder Kennwort ist falsch (")),
                 qPrintable(Problems.value(0)));
        QVERIFY(Problems.value(0).contains(QStringLiteral("LDAP-Code 49")));
        QVERIFY(!Problems.value(0).contains(QStringLiteral("Irrtum7")));
        NWDir Dir(*Client);
        Dir.SetFullName(Schueler + QStringLiteral("\\5a\\User_Template"));
        QCOMPARE(Dir.Entry()->Layout(), QStringLiteral("Template"));

        // A refused bind leaves no connection behind: the next call is refused again, not anonymous.
        TLdapDirectory Wrong(S, QStringLiteral("Irrtum7"));
        for (int I = 0; I < 2; ++I)
            QCOMPARE(CodeOf([&] { Wrong.Resolve(Schueler); }), ERR_FAILED_AUTHENTICATION);

        // Declined: the tree refuses every call with the reason instead of binding anonymously; the
        // dialog said so once, the calls do not ask again.
        TModalSeam::Clear();
        const std::unique_ptr<TDirectoryClient> Declined = OpenConfiguredClient(Prompt, Folder.path());
        for (int I = 0; I < 2; ++I)
            QCOMPARE(CodeOf([&] { NWDir(*Declined).SetFullName(Schueler); }), ERR_FAILED_AUTHENTICATION);
        QCOMPARE(TModalSeam::Shown().size(), 2);
        QVERIFY(TModalSeam::Shown().last().startsWith(QStringLiteral("Fehler|")));
        QCOMPARE(MessageOf([&] { NWDir(*Declined).SetFullName(Schueler); }),
                 TModalSeam::Shown().last().mid(7) + QStringLiteral(" (-669)"));

        // Three wrong passwords: the calls give the last reason, not a missing password.
        TModalSeam::Clear();
        for (int I = 0; I < 3; ++I)
            TModalSeam::Push([](QDialog& D) {
                D.findChild<QLineEdit*>(QStringLiteral("edKennwort"))->setText(QStringLiteral("Irrtum7"));
                return int(QDialog::Accepted);
            });
        const std::unique_ptr<TDirectoryClient> Failed = OpenConfiguredClient(Prompt, Folder.path());
        const QString Why = MessageOf([&] { NWDir(*Failed).SetFullName(Schueler); });
        QVERIFY2(
            Why.startsWith(QStringLiteral("Der Verzeichnisbaum „SCHULE“ ist nicht erreichbar: Die Anmeldung "
                                          "ist dreimal fehlgeschlagen: Benutzer oder Kennwort ist falsch (")),
            qPrintable(Why));
    }
    // With the server stopped, a command and the catalog worker end within the timeout and a
    // second, however many calls they make: a fresh client that failed to bind at start fails its
    // first call at once, and the worker's failure report does not wait a second time.
    void WaitsEndWithinTimeout() {
        TLdapSettings S = FServer->Settings();
        S.TimeoutMs = 2000;
        const TObjectRef Catalog =
            FStore->Client->Directory().Resolve(QStringLiteral("NDS:\\\\SCHULE\\dienste\\benutzer"));
        TLdapDirectory Refreshing(S, FServer->Password());
        Refreshing.HoldCatalogRefreshes(true);
        QVERIFY(Refreshing.StartCatalogRefresh(Refreshing.Resolve(Catalog.FullName)));
        qint64 Command = 0, Worker = 0;
        {
            TServerStopped Stopped(*FServer);
            const QDateTime Start = TClock::Now();
            TLdapDirectory Fresh(S, FServer->Password());
            QCOMPARE(CodeOf([&] { Fresh.Connect(); }), ERR_TRANSPORT_FAILURE);
            QCOMPARE(CodeOf([&] { Fresh.Resolve(Schueler); }), ERR_TRANSPORT_FAILURE);
            QCOMPARE(CodeOf([&] { Fresh.Resolve(Schueler + QStringLiteral("\\5a")); }),
                     ERR_TRANSPORT_FAILURE);
            Command = Start.msecsTo(TClock::Now());
            const QDateTime Released = TClock::Now();
            Refreshing.HoldCatalogRefreshes(false);
            Refreshing.WaitForCatalogRefreshes();
            Worker = Released.msecsTo(TClock::Now());
        }
        qInfo("Timeout 2 s, server stopped: command %lld ms, catalog worker %lld ms", Command, Worker);
        QVERIFY2(Command < S.TimeoutMs + 1000, qPrintable(QString::number(Command)));
        QVERIFY2(Worker < S.TimeoutMs + 1000, qPrintable(QString::number(Worker)));
    }
};

PARVON_TEST_MAIN(TstLdapBackend)
#include "tst_ldap_backend.moc"
