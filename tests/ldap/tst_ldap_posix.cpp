// POSIX identities on the LDAP test server.

#include <ErrorCode.h>
#include <LdapDirectory.h>
#include <PosixIds.h>
#include <TestMain.h>
#include <TestStore.h>

#include <QHash>
#include <QSet>
#include <QTest>
#include <thread>

namespace {
const QString Schueler = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler");
} // namespace

class TstLdapPosix : public QObject {
    Q_OBJECT

    TLdapTestServer* FServer = nullptr;
    std::unique_ptr<TTestStore> FStore;

private Q_SLOTS:
    void initTestCase() {
        qputenv("PARVON_TEST_BACKEND", "ldap");
        PARVON_REQUIRE_TEST_BACKEND();
        FServer = TLdapTestServer::Shared();
        FStore = std::make_unique<TTestStore>();
        QVERIFY(FStore->Ldap);
    }
    void cleanupTestCase() { FStore.reset(); }

    // POSIX identities on the server: a user's posixAccount has its container's gid, given first
    // (parvonPosixGroup); ids come from the counter entry, once each, also to two workstations
    // allocating at once; an id given stays; an object the server does not hold is an unknown
    // trustee.
    void PosixIdentities_data() {
        QTest::addColumn<QString>("Class");
        QTest::addColumn<bool>("Concurrent");
        QTest::newRow("one writer") << QStringLiteral("5b") << false;
        QTest::newRow("two writers at once") << QStringLiteral("6b") << true;
    }
    void PosixIdentities() {
        QFETCH(QString, Class);
        QFETCH(bool, Concurrent);
        TLdapDirectory& Ldap = *FStore->Ldap;
        const TObjectRef Container = Ldap.Resolve(Schueler + QLatin1Char('\\') + Class);
        const QStringList Students = Ldap.Search(Container, {}, QStringLiteral("User"), 1);
        QVERIFY(Students.size() >= 20);
        QVERIFY(!Ldap.PosixIdentity(Container));
        QStringList Reversed = Students;
        std::reverse(Reversed.begin(), Reversed.end());
        std::vector<QHash<QString, qint64>> Seen(Concurrent ? 2 : 1);
        std::vector<QString> Faults(Seen.size());
        auto Writer = [&](size_t Index, const QStringList& Names) {
            try {
                TLdapDirectory Own(FServer->Settings(), FServer->Password());
                for (const QString& Name : Names)
                    Seen[Index].insert(Name, Own.EnsurePosixIdentity(Own.Resolve(Name)).Id);
            } catch (const std::exception& E) {
                Faults[Index] = ErrorText(E);
            }
        };
        if (Concurrent) {
            std::thread First(Writer, 0, Students), Second(Writer, 1, Reversed);
            First.join();
            Second.join();
        } else {
            Writer(0, Students);
        }
        QCOMPARE(Faults, std::vector<QString>(Seen.size()));
        const qint64 Gid = Ldap.PosixIdentity(Container).value().Id;
        QSet<qint64> Uids;
        for (const QString& Name : Students) {
            const TPosixIdentity Id = Ldap.EnsurePosixIdentity(Ldap.Resolve(Name));
            for (const auto& S : Seen)
                QCOMPARE(S.value(Name), Id.Id);
            QCOMPARE(Id.PrimaryGid, Gid);
            QCOMPARE(Id.LoginName, Name.section(QLatin1Char('\\'), -1));
            Uids.insert(Id.Id);
        }
        QCOMPARE(Uids.size(), Students.size());

        // What a Linux host reads: the account by its login, the class's group by its number.
        const QString Login = Students.first().section(QLatin1Char('\\'), -1);
        TLdapEntry Account;
        Ldap.Connection().Search(Ldap.Settings().Base, TLdapConnection::TScope::Subtree,
                                 QStringLiteral("(&(objectClass=posixAccount)(uid=%1))").arg(Login),
                                 {QStringLiteral("uidNumber"), QStringLiteral("gidNumber")},
                                 [&](const TLdapEntry& E) { Account = E; });
        QCOMPARE(
            Account.Find(QStringLiteral("uidNumber"))->Values,
            QList<QByteArray>{QByteArray::number(Ldap.PosixIdentity(Ldap.Resolve(Students.first()))->Id)});
        QCOMPARE(Ldap.Connection().Count(
                     Ldap.Settings().Base, TLdapConnection::TScope::Subtree,
                     QStringLiteral("(&(objectClass=parvonPosixGroup)(gidNumber=%1))").arg(Gid)),
                 1);
        // The counter is no directory object.
        QVERIFY(!Ldap.Search(Ldap.Resolve(QStringLiteral("NDS:\\\\SCHULE")), {}, {}, 1)
                     .join(u' ')
                     .contains(QStringLiteral("parvon-ids")));

        // A container not (yet) on the server: an unknown trustee.
        TObjectRef Gone = Container;
        Gone.Key.Text = QStringLiteral("ou=neu,") + Container.Key.Text;
        Gone.FullName = Container.FullName + QStringLiteral("\\neu");
        QCOMPARE(CodeOf([&] { Ldap.EnsurePosixIdentity(Gone); }), ERR_NO_SUCH_ENTRY);
        // The home folder follows "Home Directory" through the workstation's volume map.
        Ldap.SetHomePathMap(
            [this](const QString& Value) { return HomePathOnVolumes(Value, *FStore->Store); });
        const TPosixIdentity Home = Ldap.EnsurePosixIdentity(Ldap.Resolve(Students.first()));
        QCOMPARE(Home.HomeDirectory,
                 FStore->Store->LocalPath(QStringLiteral("\\\\SRV1\\DATA\\home\\schueler\\") + Class +
                                          QLatin1Char('\\') + Login));
        Ldap.SetHomePathMap({});
    }
};

PARVON_TEST_MAIN(TstLdapPosix)
#include "tst_ldap_posix.moc"
