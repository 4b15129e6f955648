// POSIX identities on the LDAP test server.

#include <Clock.h>
#include <DemoNamen.h>
#include <ErrorCode.h>
#include <KlassenLauf.h>
#include <KlassenListe_U.h>
#include <Konfiguration.h>
#include <LdapDirectory.h>
#include <NdkCase.h>
#include <PosixIds.h>
#include <PrintDialog.h>
#include <RunAs.h>
#include <TestMain.h>
#include <TestStore.h>
#include <WorkstationClient.h>

#include <QHash>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QTableWidget>
#include <QTest>
#include <thread>

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString Schueler = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler");

// The named entries of a folder's access and default ACL, as "g:gid:rwx" / "u:uid:rwx"; the two
// lists joined by " | ".
QString NamedAclEntries(const QString& Folder) {
    QStringList Both;
    for (const acl_type_t Type : {ACL_TYPE_ACCESS, ACL_TYPE_DEFAULT}) {
        const acl_t Acl = acl_get_file(QFile::encodeName(Folder).constData(), Type);
        if (!Acl)
            return QStringLiteral("no ACL");
        QStringList Entries;
        acl_entry_t E;
        for (int Which = ACL_FIRST_ENTRY; acl_get_entry(Acl, Which, &E) == 1; Which = ACL_NEXT_ENTRY) {
            acl_tag_t Tag;
            acl_get_tag_type(E, &Tag);
            if (Tag != ACL_USER && Tag != ACL_GROUP)
                continue;
            void* Qualifier = acl_get_qualifier(E);
            const qint64 Id =
                Tag == ACL_USER ? *static_cast<uid_t*>(Qualifier) : *static_cast<gid_t*>(Qualifier);
            acl_free(Qualifier);
            acl_permset_t P;
            acl_get_permset(E, &P);
            Entries << (Tag == ACL_USER ? QStringLiteral("u:") : QStringLiteral("g:")) + QString::number(Id) +
                           u':' + QChar(acl_get_perm(P, ACL_READ) ? u'r' : u'-') +
                           QChar(acl_get_perm(P, ACL_WRITE) ? u'w' : u'-') +
                           QChar(acl_get_perm(P, ACL_EXECUTE) ? u'x' : u'-');
        }
        acl_free(Acl);
        Both << Entries.join(u',');
    }
    return Both.join(QStringLiteral(" | "));
}

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
    // allocating at once, passing over an id an imported account holds; an id given stays; an
    // object the server does not hold is an unknown trustee.
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
        // An account loaded with an id of its own, inside the first ids the counter hands out.
        const qint64 Imported = Ldap.Settings().Uids.First + 2;
        if (!Concurrent) {
            const TObjectRef Other = Ldap.Resolve(
                Ldap.Search(Ldap.Resolve(Schueler + QStringLiteral("\\7a")), {}, QStringLiteral("User"), 1)
                    .first());
            Ldap.Connection().Modify(Other.Key.Text, {},
                                     {{QStringLiteral("objectClass"), {"posixAccount"}},
                                      {QStringLiteral("uid"), {Other.ShortName.toUtf8()}},
                                      {QStringLiteral("uidNumber"), {QByteArray::number(Imported)}},
                                      {QStringLiteral("gidNumber"), {QByteArray::number(Imported)}},
                                      {QStringLiteral("homeDirectory"), {"/nonexistent"}}});
        }
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
        QVERIFY(!Uids.contains(Imported));

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
        // The POSIX home folder (homeDirectory) is no value of "Home Directory" (ndsHomeDirectory).
        QStringList Fields;
        for (const TFieldValues& F : Ldap.ReadFields(Ldap.Resolve(Students.first())))
            Fields << QStringLiteral("%1 %2").arg(F.Field).arg(F.Values.size());
        QCOMPARE(Fields.filter(QStringLiteral("Home Directory")),
                 QStringList{QStringLiteral("Home Directory 1")});
    }

    // Two workstations, each with a store of its own and a client.ini naming the test server and
    // the same volume root: what the first one's class run sets, the second one's class overview
    // reads from the folders, its own store holding none of it; the ACL entries carry the ids
    // ldapsearch shows, and the kernel lets a process with those ids do what the rights say. An
    // account's home folder on the server is the one on the real folders.
    void TwoWorkstations() {
        FServer->Reset();
        QTemporaryDir RootDir, First, Second;
        const QString Root = RootDir.path();
        chmod(QFile::encodeName(Root).constData(), 0711);
        const TLdapSettings S = FServer->Settings();
        for (QTemporaryDir* W : {&First, &Second}) {
            QFile Ini(W->path() + QStringLiteral("/client.ini"));
            QVERIFY(Ini.open(QIODevice::WriteOnly));
            Ini.write(QStringLiteral("[SCHULE]\nDirectory=ldap\nUrl=%1\nBase=%2\nBindDn=%3\nPasswordFile=%4\n"
                                     "Volume\\SRV1\\DATA=%5\n")
                          .arg(S.Url, S.Base, S.BindDn, S.PasswordFile, Root)
                          .toUtf8());
        }
        const std::unique_ptr<TDirectoryClient> One = OpenConfiguredClient({}, First.path()),
                                                Two = OpenConfiguredClient({}, Second.path());
        TClock::SetInstantPauses(true);
        const auto Undo = qScopeGuard([] {
            TClock::Reset();
            TDirectoryClient::SetInstance(nullptr);
        });

        TDirectoryClient::SetInstance(One.get());
        {
            TNdkCase Case(*One);
            QStringList Protocol;
            TKlassenLauf Run(*NDK, [&](const QString& Line) { Protocol << Line; });
            for (const auto& [Name, Rights] : {std::pair{"8c", "R----F"}, std::pair{"7c", "RWECMF"}}) {
                TKlassenEingaben E;
                E.Name = QString::fromLatin1(Name);
                E.Basis = Demo::Schueler;
                E.LoginKlasse = Demo::Klasse5a;
                E.HomeBase = Demo::HomeBase;
                E.HomeFlags = E.TauschFlags = QStringLiteral("/+DI/+RI");
                E.Tausch = true;
                E.TauschBase = Demo::TauschBase;
                E.Rechte = QString::fromLatin1(Rights);
                QVERIFY2(Run.Anlegen(E), qPrintable(Protocol.join(u'\n')));
            }
        }

        TDirectoryClient::SetInstance(Two.get());
        QStringList Exchange;
        {
            TNdkCase Case(*Two);
            TKonfiguration K;
            K.ouSchueler = Demo::Schueler;
            K.TauschBase = Demo::TauschBase;
            TPrintDialog Print;
            TKlassenListeTab Tab(K, NDK, Print);
            Tab.TabListeKlassenShow();
            const QTableWidget* Grid = Tab.findChild<QTableWidget*>(QStringLiteral("sgKlassen"));
            for (int R = 0; R < Grid->rowCount(); ++R)
                if (Grid->item(R, 2)->text() == QStringLiteral("ja"))
                    Exchange << Grid->item(R, 0)->text() + u'|' + Grid->item(R, 3)->text();
        }
        QCOMPARE(Exchange, QStringList({QStringLiteral("7c|-RWECMF-"), QStringLiteral("8c|-R----F-")}));
        for (const std::unique_ptr<TDirectoryClient>* C : {&One, &Two})
            for (const char* Name : {"7c", "8c"})
                QCOMPARE((*C)->VolumeStore().FolderFlag(
                             (*C)->VolumeStore().OpenFolder(Demo::TauschBase + u'\\' + QLatin1String(Name)),
                             TFolderFlag::DeleteInhibit),
                         true);
        // Nothing of it went into either workstation's own store.
        for (QTemporaryDir* W : {&First, &Second}) {
            TSqliteStore Own(W->path());
            for (const TFolderState& F : Own.FolderStates(QStringLiteral("SRV1"), QStringLiteral("DATA")))
                QVERIFY2(!F.Path.contains(QStringLiteral("Tausch\\schueler\\7c"), Qt::CaseInsensitive) &&
                             !F.Path.contains(QStringLiteral("Tausch\\schueler\\8c"), Qt::CaseInsensitive),
                         qPrintable(F.Path));
        }

        // An account's home folder, as the server tells other hosts, lies on the real folders.
        TDirectoryBackend& Directory = One->Directory();
        const QString Account =
            Directory
                .Search(Directory.Resolve(Schueler + QStringLiteral("\\5b")), {}, QStringLiteral("User"), 1)
                .first();
        const QString Home = Directory.EnsurePosixIdentity(Directory.Resolve(Account)).HomeDirectory;
        QVERIFY2(Home.startsWith(Root + QStringLiteral("/home/schueler/5b/")), qPrintable(Home));

        // The ids as a host reading the server sees them.
        auto GidOnServer = [&](const char* Class) {
            QProcess P;
            P.start(QStringLiteral("ldapsearch"),
                    {QStringLiteral("-x"), QStringLiteral("-LLL"), QStringLiteral("-H"), S.Url,
                     QStringLiteral("-D"), S.BindDn, QStringLiteral("-y"), S.PasswordFile,
                     QStringLiteral("-b"), S.Base,
                     QStringLiteral("(&(objectClass=parvonPosixGroup)(ou=%1))").arg(QLatin1String(Class)),
                     QStringLiteral("gidNumber")});
            P.waitForFinished(20000);
            for (const QByteArray& Line : P.readAllStandardOutput().split('\n'))
                if (Line.startsWith("gidNumber: "))
                    return Line.mid(11).toLongLong();
            return qint64(-1);
        };
        const qint64 G8c = GidOnServer("8c"), G7c = GidOnServer("7c");
        QVERIFY(G8c > 0 && G7c > 0 && G8c != G7c);
        const QString Tausch = Root + QStringLiteral("/home/Tausch/schueler");
        QCOMPARE(NamedAclEntries(Tausch + QStringLiteral("/8c")),
                 QStringLiteral("g:%1:r-x | g:%1:r-x").arg(G8c));
        QCOMPARE(NamedAclEntries(Tausch + QStringLiteral("/7c")),
                 QStringLiteral("g:%1:rwx | g:%1:rwx").arg(G7c));

        if (geteuid() != 0)
            QSKIP("POSIX enforcement: needs root to run as a student");
        const qint64 Student = 61001;
        QCOMPARE(RunAs(Student, G8c, QStringLiteral("ls %1/8c").arg(Tausch)), 0);
        QVERIFY(RunAs(Student, G8c, QStringLiteral("touch %1/8c/neu").arg(Tausch)) != 0);
        QCOMPARE(RunAs(Student, G7c, QStringLiteral("touch %1/7c/neu").arg(Tausch)), 0);
        QVERIFY(RunAs(Student, G7c, QStringLiteral("ls %1/8c").arg(Tausch)) != 0);
    }
};

PARVON_TEST_MAIN(TstLdapPosix)
#include "tst_ldap_posix.moc"
