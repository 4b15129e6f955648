#include <DemoNamen.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <KlassenLauf.h>
#include <NdkCase.h>
#include <PosixVolumes.h>
#include <RunAs.h>
#include <TestMain.h>
#include <TestStore.h>
#include <VolumeFile.h>
#include <WorkstationClient.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// The id the directory holds for an object, given to it first.
qint64 IdOf(TDirectoryBackend& Directory, const QString& FullName) {
    TObjectRef Ref;
    if (!Directory.TryResolve(FullName, Ref))
        return -1;
    return Directory.EnsurePosixIdentity(Ref).Id;
}

QByteArray Attr(const QString& Path, const char* Name) {
    char Buf[4096];
    const ssize_t N = lgetxattr(QFile::encodeName(Path).constData(), Name, Buf, sizeof Buf);
    return N < 0 ? QByteArray() : QByteArray(Buf, N);
}

// The folder's access and default ACL, with numeric ids: "user::rwx,...,mask::rwx | user::rwx,...".
QString AclTexts(const QString& Path) {
    QStringList Texts;
    for (const acl_type_t Type : {ACL_TYPE_ACCESS, ACL_TYPE_DEFAULT}) {
        const acl_t A = acl_get_file(QFile::encodeName(Path).constData(), Type);
        char* T = A ? acl_to_any_text(A, nullptr, ',', TEXT_NUMERIC_IDS) : nullptr;
        Texts << (T ? QString::fromLatin1(T) : QStringLiteral("?"));
        acl_free(T);
        acl_free(A);
    }
    return Texts.join(QStringLiteral(" | "));
}

} // namespace

// Volumes on real folders: flags and trustees in extended attributes, enforced through POSIX ACLs.
class TstPosixVolumes : public QObject {
    Q_OBJECT

private:
    // The volume store the client's settings give Store when they put \\SRV1\DATA on Root, and
    // the store's client over it; Directory: the directory the ids come from (default: Store's).
    std::shared_ptr<TPosixVolumes> UsePosix(TTestStore& Store, const QString& Root,
                                            std::shared_ptr<TDirectoryBackend> Directory = nullptr) {
        QFile Ini(Store.Path() + QStringLiteral("/client.ini"));
        if (!Ini.open(QIODevice::WriteOnly))
            return nullptr;
        Ini.write("[SCHULE]\nVolume\\SRV1\\DATA=" + QFile::encodeName(Root) + '\n');
        Ini.close();
        if (!Directory)
            Directory = Store.Faults;
        const auto Posix =
            std::dynamic_pointer_cast<TPosixVolumes>(ConfiguredVolumes(Store.Store, Directory));
        Store.Client = std::make_unique<TDirectoryClient>(Directory, Posix);
        TDirectoryClient::SetInstance(Store.Client.get());
        return Posix;
    }
    QString Passable(QTemporaryDir& Dir) {
        chmod(QFile::encodeName(Dir.path()).constData(), 0711);
        return Dir.path();
    }

private Q_SLOTS:
    void RefusedRoots_data() {
        QTest::addColumn<QString>("Root");
        QTest::addColumn<QString>("Why");
        QTest::newRow("no extended attributes")
            << QStringLiteral("/proc/sys") << QStringLiteral("keine erweiterten Attribute");
        QTest::newRow("no ACL") << QStringLiteral("/sys/kernel") << QStringLiteral("keine POSIX-ACL");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/parvon") << QStringLiteral("gibt es nicht");
    }
    void RefusedRoots() {
        QFETCH(QString, Root);
        QFETCH(QString, Why);
        TTestStore Store;
        try {
            UsePosix(Store, Root);
            QFAIL("accepted");
        } catch (const EDirectoryError& E) {
            QVERIFY2(
                E.Message().startsWith(
                    QStringLiteral("Das Volume \\\\SRV1\\DATA kann nicht im Ordner %1 liegen: ").arg(Root)) &&
                    E.Message().contains(Why),
                qPrintable(E.Message()));
        }
        QVERIFY(!QFileInfo::exists(Root + QStringLiteral("/home")));
    }

    // Two classes made by the class run; what a second workstation reads and what the kernel lets
    // their students do.
    void ClassRunEnforced() {
        QTemporaryDir Dir;
        const QString Root = Passable(Dir);
        TTestStore Store;
        const auto Posix = UsePosix(Store, Root);
        QVERIFY(Posix);
        {
            TNdkCase Case(*Store);
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
            QCOMPARE(NDK->GetTrusteeRights(Demo::TauschBase + QStringLiteral("\\8c"),
                                           Demo::Schueler + QStringLiteral("\\8c")),
                     QStringLiteral("-R----F-"));
        }
        const QString Tausch = Root + QStringLiteral("/home/Tausch/schueler");
        const qint64 G8c = IdOf(*Store.Directory, Demo::Schueler + QStringLiteral("\\8c")),
                     G7c = IdOf(*Store.Directory, Demo::Schueler + QStringLiteral("\\7c"));
        QCOMPARE(Attr(Tausch + QStringLiteral("/7c"), "user.parvon.trustees"),
                 "-RWECMF-\tg:" + QByteArray::number(G7c) + '\t' +
                     (Demo::Schueler + QStringLiteral("\\7c")).toUtf8() + '\n');
        QCOMPARE(Attr(Tausch + QStringLiteral("/7c"), "user.parvon.flags"), QByteArray("DI RI"));

        // A second workstation on the same directory and the same folders, with a store of its own.
        {
            TTestStore Other;
            UsePosix(Other, Root, Store.Faults);
            TDirectoryClient& Second = *Other;
            TNdkCase Case(Second);
            QCOMPARE(NDK->GetTrusteeRights(Demo::TauschBase + QStringLiteral("\\7c"),
                                           Demo::Schueler + QStringLiteral("\\7C")),
                     QStringLiteral("-RWECMF-"));
        }
        TDirectoryClient::SetInstance(Store.Client.get());

        // Exam accounts: a user entry each on its own home folder.
        const QString Own = Demo::DataVolume + QStringLiteral("\\home\\pruefung\\B01");
        const QString Neighbour = Demo::DataVolume + QStringLiteral("\\home\\pruefung\\B02");
        const QString Examinee = Demo::Pruefung + QStringLiteral("\\EDV1_B01");
        const QString Admin = Demo::Dienste + QStringLiteral("\\admin");
        {
            TNdkCase Case(*Store);
            for (const QString& F : {Own, Neighbour})
                QVERIFY((*Store).VolumeStore().CreateFolder(F));
            NDK->SetTrusteeRights(Own, Examinee, QStringLiteral("RWECMF"));
            NDK->SetTrusteeRights(Neighbour, Admin, QStringLiteral("RWECMF"));
        }
        QVERIFY(QFile(Tausch + QStringLiteral("/8c/aufgabe.txt")).open(QIODevice::WriteOnly));
        for (const char* F : {"Abgabe", "Frei"})
            QVERIFY((*Store).VolumeStore().CreateFolder(Demo::TauschBase + QStringLiteral("\\7c\\") +
                                                        QLatin1String(F)));
        if (geteuid() != 0)
            QSKIP("POSIX enforcement: needs root to run as a student");

        struct TCase {
            const char* Name;
            qint64 Uid, Gid;
            QString Command;
            bool Allowed;
        };
        auto Check = [](const std::vector<TCase>& Cases) {
            for (const TCase& C : Cases)
                if ((RunAs(C.Uid, C.Gid, C.Command) == 0) != C.Allowed)
                    return QByteArray(C.Name);
            return QByteArray();
        };
        const QString T = Tausch;
        const qint64 Student = 61001, Classmate = 61002, ExamUid = IdOf(*Store.Directory, Examinee);
        QCOMPARE(Check({
                     {"8c lists its folder", Student, G8c, QStringLiteral("ls %1/8c").arg(T), true},
                     {"8c reads a file", Student, G8c, QStringLiteral("cat %1/8c/aufgabe.txt").arg(T), true},
                     {"8c creates a file", Student, G8c, QStringLiteral("touch %1/8c/neu").arg(T), false},
                     {"7c creates a file", Student, G7c, QStringLiteral("touch %1/7c/neu").arg(T), true},
                     {"a classmate writes to it", Classmate, G7c,
                      QStringLiteral("echo x >> %1/7c/neu").arg(T), true},
                     {"8c enters 7c", Student, G8c, QStringLiteral("cd %1/7c").arg(T), false},
                     {"7c enters 8c", Student, G7c, QStringLiteral("cd %1/8c").arg(T), false},
                     {"7c lists the exchange base", Student, G7c, QStringLiteral("ls %1").arg(T), false},
                     {"7c renames its exchange folder", Student, G7c, QStringLiteral("mv %1/7c %1/7x").arg(T),
                      false},
                     {"7c renames an unflagged folder", Student, G7c,
                      QStringLiteral("mv %1/7c/Abgabe %1/7c/A2 && mv %1/7c/A2 %1/7c/Abgabe").arg(T), true},
                     {"examinee writes at home", ExamUid, 65534,
                      QStringLiteral("touch %1/home/pruefung/B01/x").arg(Root), true},
                     {"examinee writes next door", ExamUid, 65534,
                      QStringLiteral("touch %1/home/pruefung/B02/x").arg(Root), false},
                 }),
                 QByteArray());
        {
            TNdkCase Case(*Store);
            NDK->SetDirectoryFlags(Demo::TauschBase + QStringLiteral("\\7c\\Abgabe"), QStringLiteral("/+DI"));
        }
        QCOMPARE(Check({
                     {"7c renames a flagged folder", Student, G7c,
                      QStringLiteral("mv %1/7c/Abgabe %1/7c/A2").arg(T), false},
                     {"7c removes a flagged folder", Student, G7c,
                      QStringLiteral("rmdir %1/7c/Abgabe").arg(T), false},
                     {"7c removes a folder beside it", Student, G7c,
                      QStringLiteral("rmdir %1/7c/Frei").arg(T), false},
                     {"7c removes its own file", Student, G7c, QStringLiteral("rm %1/7c/neu").arg(T), true},
                 }),
                 QByteArray());

        // Someone changes the modes behind the store's back (and so takes away 7c's sticky bit): the
        // check finds it, the repair undoes it.
        QVERIFY(Posix->CheckFolders(false).isEmpty());
        chmod(QFile::encodeName(Tausch + QStringLiteral("/8c")).constData(), 0777);
        chmod(QFile::encodeName(Tausch + QStringLiteral("/7c")).constData(), 0700);
        QCOMPARE(Posix->CheckFolders(true), QStringList({Demo::TauschBase + QStringLiteral("\\7c"),
                                                         Demo::TauschBase + QStringLiteral("\\7c\\Abgabe"),
                                                         Demo::TauschBase + QStringLiteral("\\8c")}));
        QVERIFY(Posix->CheckFolders(false).isEmpty());
        QCOMPARE(RunAs(Student, G8c, QStringLiteral("touch %1/8c/neu").arg(T)) == 0, false);

        // Entries no assignment explains: 8c's trustees taken away behind the store's back, a user
        // added to 7c's subfolder beside the class's entry it inherited. The repair drops exactly
        // those; what the subfolder inherits stays.
        QCOMPARE(removexattr(QFile::encodeName(Tausch + QStringLiteral("/8c")).constData(),
                             "user.parvon.trustees"),
                 0);
        QCOMPARE(system(qPrintable(QStringLiteral("setfacl -m u:61003:rwx %1/7c/Frei").arg(T))), 0);
        QCOMPARE(Posix->CheckFolders(true), QStringList({Demo::TauschBase + QStringLiteral("\\7c\\Frei"),
                                                         Demo::TauschBase + QStringLiteral("\\8c")}));
        QVERIFY(Posix->CheckFolders(false).isEmpty());
        const QString Frei = AclTexts(Tausch + QStringLiteral("/7c/Frei"));
        QVERIFY2(!Frei.contains(QStringLiteral("user:61003")) &&
                     Frei.count(QStringLiteral("group:%1:rwx").arg(G7c)) == 2,
                 qPrintable(Frei));
        QCOMPARE(Check({
                     {"8c lists its folder after its trustees went", Student, G8c,
                      QStringLiteral("ls %1/8c").arg(T), false},
                     {"7c writes into the subfolder", Student, G7c,
                      QStringLiteral("touch %1/7c/Frei/k").arg(T), true},
                 }),
                 QByteArray());
    }

    // A trustee taken away (a run undone) loses its ACL entries too, the last one included, and
    // the kernel lets it in no more.
    void RemovedTrusteeLosesAccess() {
        QTemporaryDir Dir;
        const QString Root = Passable(Dir);
        TTestStore Store;
        UsePosix(Store, Root);
        TVolumeStore& V = (*Store).VolumeStore();
        const QString Folder = Demo::TauschBase + QStringLiteral("\\5a");
        QVERIFY(V.CreateFolder(Folder));
        {
            TNdkCase Case(*Store);
            NDK->SetTrusteeRights(Folder, Demo::Klasse5a, QStringLiteral("RWECMF"));
        }
        const QString Local = V.LocalPath(Folder);
        const qint64 Gid = IdOf(*Store.Directory, Demo::Klasse5a);
        auto Named = [&] { return AclTexts(Local); };
        QVERIFY2(Named().contains(QStringLiteral("group:%1:rwx").arg(Gid)), qPrintable(Named()));
        V.RemoveTrustee(V.OpenFolder(Folder), Demo::Klasse5a);
        QVERIFY2(!Named().contains(QStringLiteral("group:%1").arg(Gid)), qPrintable(Named()));
        QVERIFY(Attr(Local, "user.parvon.trustees").isEmpty());
        if (geteuid() != 0)
            QSKIP("POSIX enforcement: needs root to run as a student");
        QVERIFY(RunAs(61001, Gid, QStringLiteral("ls %1").arg(Local)) != 0);
    }

    // The embedded store's volume moves onto real folders through the volume file, unchanged.
    void VolumeFileMovesOnto() {
        QTemporaryDir Dir;
        TTestStore Store;
        const QByteArray Embedded = VolumeFile::Export(*Store.Store);
        UsePosix(Store, Passable(Dir));
        VolumeFile::Import(*Store.Directory, (*Store).VolumeStore(), Embedded);
        QCOMPARE(QString::fromUtf8(VolumeFile::Export((*Store).VolumeStore())), QString::fromUtf8(Embedded));
    }
};

PARVON_TEST_MAIN(TstPosixVolumes)
#include "tst_posix_volumes.moc"
