// An LDIF import into the tree on the test server with the server killed (kill -9) in its middle:
// once the server is back, the next contact leaves the server exactly as before the import, be the
// import one LDAP transaction or noted write by write in the client's journal; and every entry the
// server held meanwhile came with all its values. An import the server refuses in its middle is
// taken back at once.

#include <ClientSettings.h>
#include <DemoTree.h>
#include <DirectoryNotice.h>
#include <ForwardingBackend.h>
#include <LdapDirectory.h>
#include <Ldif.h>
#include <TestMain.h>
#include <TestStore.h>
#include <WorkstationClient.h>

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Schueler = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler");
constexpr int Users = 200;

// Kills the server right after the given number of writes went through.
class TKillAfter final : public TForwardingBackend {
public:
    TKillAfter(std::shared_ptr<TDirectoryBackend> Inner, TLdapTestServer& Server, int Writes)
        : TForwardingBackend(std::move(Inner)), FServer(Server), FWritesLeft(Writes) {}
    TObjectRef CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                            const std::vector<TFieldWrite>& Fields = {}) override {
        const TObjectRef R = TForwardingBackend::CreateObject(Parent, Layout, Name, Fields);
        Wrote();
        return R;
    }
    void WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) override {
        TForwardingBackend::WriteFields(Object, Fields);
        Wrote();
    }

private:
    void Wrote() {
        if (--FWritesLeft == 0)
            FServer.Kill();
    }
    TLdapTestServer& FServer;
    int FWritesLeft;
};

// Fails once the ids are given, so that the import's group must take them back.
class TFailAfterIds final : public TForwardingBackend {
public:
    using TForwardingBackend::TForwardingBackend;
    void GivePosixIdentities(const std::vector<TPosixGrant>& Grants) override {
        TForwardingBackend::GivePosixIdentities(Grants);
        ThrowDirectoryError(ERR_INVALID_REQUEST, QStringLiteral("nach den Kennungen"));
    }
};

// The ids a tree holds, sorted, as "full name kind id".
QStringList Ids(TDirectoryBackend& D) {
    QStringList L;
    for (const TPosixHolder& H : D.PosixIdentities(D.Resolve(QStringLiteral("NDS:\\\\SCHULE"))))
        L << QStringLiteral("%1 %2 %3").arg(H.FullName.toCaseFolded()).arg(int(H.Kind)).arg(H.Id);
    L.sort();
    return L;
}

// A dump with each entry's lines sorted: a journal that puts values back may leave the attributes
// of an entry in another order.
QByteArray EntriesSorted(const QByteArray& Dump) {
    QList<QByteArray> Entries = Dump.split('\n');
    QByteArray Out;
    QList<QByteArray> Entry;
    Entries.append(QByteArray());
    for (const QByteArray& Line : Entries) {
        if (!Line.isEmpty()) {
            Entry.append(Line);
            continue;
        }
        std::sort(Entry.begin(), Entry.end());
        Out += Entry.join('\n') + "\n\n";
        Entry.clear();
    }
    return Out;
}

// A new container with a group that comes before its members and that two of them name back,
// users with a home folder on an existing volume, then two existing entries changed; Refused: one
// user in the middle with a field the server refuses for users (a host server).
QByteArray ImportText(bool Refused) {
    QByteArray Text =
        "version: 1\n\ndn: ou=abgebrochen,o=unterricht\nobjectClass: organizationalUnit\n"
        "ou: abgebrochen\n\ndn: cn=kurs,ou=abgebrochen,o=unterricht\nobjectClass: groupOfNames\n"
        "cn: kurs\nmember: cn=k0,ou=abgebrochen,o=unterricht\n"
        "member: cn=k1,ou=abgebrochen,o=unterricht\n";
    for (int I = 0; I < Users; ++I) {
        Text +=
            QStringLiteral("\ndn: cn=k%1,ou=abgebrochen,o=unterricht\nobjectClass: inetOrgPerson\ncn: k%1\n"
                           "sn: Nachname%1\ngivenName: Vorname%1\n"
                           "ndsHomeDirectory: cn=SRV1_DATA,o=dienste#0#home\\abgebrochen\\k%1\n")
                .arg(I)
                .toUtf8();
        if (I < 2)
            Text += "groupMembership: cn=kurs,ou=abgebrochen,o=unterricht\n";
        if (Refused && I == Users / 2)
            Text += "hostServer: cn=SRV1,o=dienste\n";
    }
    Text += "\ndn: cn=jung_clara,ou=5a,ou=schueler,o=unterricht\nobjectClass: inetOrgPerson\ncn: jung_clara\n"
            "givenName: Klara\ndescription: umbenannt\n\ndn: ou=5a,ou=schueler,o=unterricht\n"
            "objectClass: organizationalUnit\nou: 5a\ndescription: Klasse 5a, geteilt\n";
    return Text;
}

} // namespace

class TstLdapImport : public QObject {
    Q_OBJECT

    TLdapTestServer* FServer = nullptr;
    std::unique_ptr<TTestStore> FStore;
    QStringList FNotices;

    // The whole directory as ldapsearch shows it, but for the id counter (which only goes up).
    QByteArray Dump() {
        const TLdapSettings S = FServer->Settings();
        QProcess P;
        P.start(QStringLiteral("ldapsearch"),
                {QStringLiteral("-LLL"), QStringLiteral("-x"), QStringLiteral("-H"), S.Url,
                 QStringLiteral("-D"), S.BindDn, QStringLiteral("-y"), S.PasswordFile, QStringLiteral("-b"),
                 S.Base, QStringLiteral("-o"), QStringLiteral("ldif-wrap=no"), QStringLiteral("-E"),
                 QStringLiteral("pr=1000/noprompt"), QStringLiteral("(!(objectClass=parvonIdCounter))"),
                 QStringLiteral("*")});
        if (!P.waitForFinished(60000) || P.exitCode() != 0)
            return "ldapsearch failed: " + P.readAllStandardError();
        return P.readAllStandardOutput();
    }

    // The users of the import the server holds, and how many of them lack a given name.
    QPair<int, int> ImportedUsers() {
        TLdapConnection Admin(FServer->Settings(), FServer->Password());
        int Held = 0, Half = 0;
        Admin.Search(QStringLiteral("ou=abgebrochen,o=unterricht,") + FServer->Settings().Base,
                     TLdapConnection::TScope::OneLevel, QStringLiteral("(objectClass=inetOrgPerson)"),
                     {QStringLiteral("givenName")}, [&](const TLdapEntry& E) {
                         ++Held;
                         Half += E.Find(QStringLiteral("givenName")) ? 0 : 1;
                     });
        return {Held, Half};
    }

    // Fails where the server differs from what ldapsearch showed before.
    void CompareWith(const QByteArray& Before) {
        const QByteArray After = Dump();
        if (After == Before)
            return;
        const QList<QByteArray> A = After.split('\n'), B = Before.split('\n');
        qsizetype I = 0;
        while (I < A.size() && I < B.size() && A[I] == B[I])
            ++I;
        QFAIL(qPrintable(QStringLiteral("the server differs from before at line %1: \"%2\" instead of \"%3\"")
                             .arg(I + 1)
                             .arg(QString::fromUtf8(A.value(I)), QString::fromUtf8(B.value(I)))));
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("PARVON_TEST_BACKEND", "ldap");
        PARVON_REQUIRE_TEST_BACKEND();
        FServer = TLdapTestServer::Shared();
        FStore = std::make_unique<TTestStore>();
        QVERIFY(FStore->Ldap);
        SetDirectoryNoticeSink([this](const QString& Text) { FNotices << Text; });
    }
    void cleanupTestCase() {
        SetDirectoryNoticeSink({});
        FStore.reset();
    }

    // The embedded store's ids move to the server with the export: every one, also on a second
    // import, and ids given later pass over them. An import that fails once they are given takes
    // them back, in a transaction as with the journal.
    void PosixIdsTravel_data() {
        QTest::addColumn<bool>("Transactions");
        QTest::addColumn<bool>("Fails");
        for (bool T : {true, false})
            for (bool F : {false, true})
                QTest::addRow("%s, %s", T ? "transaction" : "journal", F ? "failing" : "completing")
                    << T << F;
    }
    void PosixIdsTravel() {
        QFETCH(bool, Transactions);
        QFETCH(bool, Fails);
        FServer->Reset();
        QTemporaryDir Folder;
        TSqliteStore Source(Folder.path());
        CreateDemoTree(Source);
        Source.EnsurePosixIdentities(Source.Resolve(Schueler + QStringLiteral("\\5a")));
        const QByteArray Text = Ldif::ExportTree(Source, Source, QStringLiteral("SCHULE"));
        TLdapSettings S = FServer->Settings();
        S.Transactions = Transactions;
        S.Journal = Folder.filePath(QStringLiteral("journal"));
        const auto Ldap = std::make_shared<TLdapDirectory>(S, FServer->Password());
        const QByteArray Before = Dump();
        if (Fails) {
            TFailAfterIds Failing(Ldap);
            QVERIFY_THROWS_EXCEPTION(EDirectoryError, Ldif::ImportTree(Failing, FStore->Client->VolumeStore(),
                                                                       QStringLiteral("SCHULE"), Text));
            QVERIFY(EntriesSorted(Dump()) == EntriesSorted(Before));
            QCOMPARE(Ids(*Ldap), QStringList());
            return;
        }
        for (int Round = 0; Round < 2; ++Round)
            Ldif::ImportTree(*Ldap, FStore->Client->VolumeStore(), QStringLiteral("SCHULE"), Text);
        QCOMPARE(Ids(*Ldap), Ids(Source));
        const QString Student =
            Ldap->Search(Ldap->Resolve(Schueler + QStringLiteral("\\5a")), {}, QStringLiteral("User"), 1)
                .first();
        QCOMPARE(Ldap->PosixIdentity(Ldap->Resolve(Student))->PrimaryGid,
                 Source.PosixIdentity(Source.Resolve(Schueler + QStringLiteral("\\5a")))->Id);

        const TPosixIdentity New = Ldap->EnsurePosixIdentity(Ldap->Resolve(
            Ldap->Search(Ldap->Resolve(Schueler + QStringLiteral("\\5b")), {}, QStringLiteral("User"), 1)
                .first()));
        QSet<qint64> Uids, Gids;
        for (const TPosixHolder& H : Source.PosixIdentities(Source.Resolve(QStringLiteral("NDS:\\\\SCHULE"))))
            (H.Kind == TPosixIdentity::TKind::User ? Uids : Gids).insert(H.Id);
        QVERIFY(!Uids.contains(New.Id));
        QVERIFY(!Gids.contains(New.PrimaryGid));
        FServer->Reset();
    }

    void KilledImport_data() {
        QTest::addColumn<bool>("Transactions");
        QTest::addColumn<int>("KillAfter"); // writes; 0: never; -1: never, but the server refuses one
        const int Creations = Users + 2, Writes = Creations + 2 + 2;
        for (bool T : {true, false}) {
            const char* Mode = T ? "transaction" : "journal";
            QTest::addRow("%s, killed while creating", Mode) << T << 60;
            QTest::addRow("%s, killed while changing", Mode) << T << Writes - 1;
            QTest::addRow("%s, not killed", Mode) << T << 0;
            QTest::addRow("%s, refused by the server", Mode) << T << -1;
        }
    }
    void KilledImport() {
        QFETCH(bool, Transactions);
        QFETCH(int, KillAfter);
        // The workstation: its store's folder holds the settings and the journal.
        QTemporaryDir Folder;
        const auto Store = std::make_shared<TSqliteStore>(Folder.path());
        TLdapSettings S = FServer->Settings();
        S.Transactions = Transactions;
        S.Journal = LdapJournalFile(Store->Folder(), S.Tree);
        {
            QFile Ini(Folder.filePath(QStringLiteral("client.ini")));
            QVERIFY(Ini.open(QIODevice::WriteOnly));
            Ini.write(QStringLiteral("[SCHULE]\nDirectory=ldap\nUrl=%1\nBase=%2\nBindDn=%3\nPasswordFile=%4\n"
                                     "Transactions=%5\n")
                          .arg(S.Url, S.Base, S.BindDn, S.PasswordFile,
                               Transactions ? QStringLiteral("true") : QStringLiteral("false"))
                          .toUtf8());
        }
        const QByteArray Before = Dump();
        FNotices.clear();
        bool Completed = false;
        {
            auto Ldap = std::make_shared<TLdapDirectory>(S, FServer->Password());
            QCOMPARE(Ldap->Connection().OffersTransactions(), true);
            TKillAfter Directory(Ldap, *FServer, KillAfter);
            try {
                Ldif::ImportTree(Directory, FStore->Client->VolumeStore(), QStringLiteral("SCHULE"),
                                 ImportText(KillAfter < 0));
                Completed = true;
            } catch (const EDirectoryError& E) {
                QVERIFY2(KillAfter && (E.Code() == ERR_TRANSPORT_FAILURE) == (KillAfter > 0),
                         qPrintable(E.Message()));
            }
        }
        QCOMPARE(Completed, KillAfter == 0);
        if (KillAfter < 0) {
            // Taken back at once: nothing left to do at the next contact.
            QVERIFY(!QFile::exists(S.Journal));
            QCOMPARE(FNotices, QStringList());
            CompareWith(Before);
            return;
        }
        if (Completed) {
            QCOMPARE(ImportedUsers(), qMakePair(Users, 0));
            QVERIFY(!QFile::exists(S.Journal));
            QVERIFY(FNotices.isEmpty());
            FServer->Reset();
            return;
        }
        QVERIFY(FServer->Revive());
        // Before the next contact: a transaction left nothing, the journal only whole entries.
        const QPair<int, int> Held = ImportedUsers();
        QCOMPARE(Held.second, 0);
        QCOMPARE(Held.first, Transactions ? 0 : qMin(KillAfter, Users + 2) - 2);
        QCOMPARE(QFile::exists(S.Journal), !Transactions);

        // The next contact: the workstation's client as the console and the program open it.
        const std::shared_ptr<TDirectoryBackend> Next = ConfiguredDirectory(Store, {});
        QCOMPARE(Next->Resolve(Schueler).FullName, Schueler);
        QVERIFY(!QFile::exists(S.Journal));
        if (Transactions) {
            QCOMPARE(FNotices, QStringList());
        } else {
            QCOMPARE(FNotices.size(), 2);
            QVERIFY2(
                FNotices[0].startsWith(QStringLiteral("Die bisherigen Änderungen am Baum SCHULE werden "
                                                      "zurückgenommen, sobald der Server wieder erreichbar "
                                                      "ist")),
                qPrintable(FNotices[0]));
            const QString Undone =
                KillAfter > Users
                    ? QStringLiteral("%1 angelegte Einträge gelöscht, 1 geänderte").arg(Users + 2)
                    : QStringLiteral("%1 angelegte Einträge gelöscht, 0 geänderte").arg(KillAfter);
            QVERIFY2(FNotices[1].startsWith(QStringLiteral("Abgebrochene Änderungen am Baum SCHULE")) &&
                         FNotices[1].contains(Undone),
                     qPrintable(FNotices[1]));
        }
        CompareWith(Before);
    }
};

PARVON_TEST_MAIN(TstLdapImport)
#include "tst_ldap_import.moc"
