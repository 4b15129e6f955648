#include <ClientTestCase.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <ErrorCode.h>
#include <FaultInjection.h>
#include <NWCalls.h>
#include <NWDir.h>
#include <NWFileSystem.h>
#include <NWNetAddress.h>
#include <NWUsrGrp.h>
#include <NWVolAdm.h>
#include <TestMain.h>
#include <TestStore.h>
#include <TestText.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Root = Q("NDS:\\\\SCHULE");
const QString Schueler = Q("NDS:\\\\SCHULE\\unterricht\\schueler");
const QString Class5a = Q("NDS:\\\\SCHULE\\unterricht\\schueler\\5a");
const QString Class6b = Q("NDS:\\\\SCHULE\\unterricht\\schueler\\6b");
const QString Template5a = Q("NDS:\\\\SCHULE\\unterricht\\schueler\\5a\\User_Template");
const QString DataVolume = Q("NDS:\\\\SCHULE\\dienste\\SRV1_DATA");

// The eight places of the rights, each asked on its own.
QString RightsText(const NWRights& R) {
    QString T;
    for (const TRight Right : RightsInOrder)
        T += R.Right(Right) ? RightLetter(Right) : QChar(u'-');
    return T;
}
} // namespace

// Volumes, folders, trustees, flags and users created from templates.
class TstClientVolumes : public TClientTestCase {
    Q_OBJECT
public:
    TstClientVolumes()
        : TClientTestCase({"DemoFoldersExist", "RefusedPaths", "VolumeControlPositioning", "UserRefusals",
                           "UsrGrpNeedsAContainer"}) {}

private Q_SLOTS:
    void init() {
        TClientTestCase::init();
        FVol = std::make_unique<NWVolAdm>(**FStore);
        FVol->SetFullName(Q("\\\\SRV1\\DATA"));
    }
    void cleanup() {
        FVol.reset();
        TClientTestCase::cleanup();
    }

    // ----- file system through the volume map

    void DemoFoldersExist() {
        for (const char* Path : {"\\\\SRV1\\DATA\\home\\schueler\\5a", "\\\\SRV1\\DATA\\Tausch",
                                 "\\\\SRV1\\DATA\\home\\Tausch\\schueler\\6a", "\\\\SRV1\\SYS\\public",
                                 "\\\\srv1\\data\\HOME\\SCHUELER\\11"})
            QVERIFY2(NWFileSystem::DirectoryExists(**FStore, Q(Path)), Path);
        const QString Local = NWFileSystem::LocalPath(**FStore, Q("\\\\SRV1\\DATA\\home"));
        QVERIFY(Local.startsWith((*FStore)->Folder()));
        QCOMPARE(QFileInfo(Local).permissions() & 0x0077, QFile::Permissions());
    }

    void RefusedPaths_data() {
        QTest::addColumn<QString>("Path");
        QTest::newRow("dot dot") << Q("\\\\SRV1\\DATA\\home\\..\\..\\..\\etc");
        QTest::newRow("dot dot at end") << Q("\\\\SRV1\\DATA\\home\\..");
        QTest::newRow("dot") << Q("\\\\SRV1\\DATA\\.\\home");
        QTest::newRow("empty level") << Q("\\\\SRV1\\DATA\\home\\\\x");
        QTest::newRow("slash inside") << Q("\\\\SRV1\\DATA\\home/../../x");
        QTest::newRow("unknown volume") << Q("\\\\SRV1\\VOL9\\x");
        QTest::newRow("unknown server") << Q("\\\\SRV2\\DATA\\x");
        QTest::newRow("no volume") << Q("\\\\SRV1");
        QTest::newRow("local path") << Q("/tmp/x");
        QTest::newRow("volume object form") << Q("SRV1_DATA:home");
    }
    void RefusedPaths() {
        QFETCH(QString, Path);
        const QStringList Before =
            QDir((*FStore)->Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QVERIFY(!NWFileSystem::ForceDirectories(**FStore, Path));
        QVERIFY(!NWFileSystem::DirectoryExists(**FStore, Path));
        QCOMPARE(NWFileSystem::LocalPath(**FStore, Path), QString());
        QVERIFY(CodeOf([&] { FVol->GetDirectoryEntry(Path); }) != 0);
        QCOMPARE(QDir((*FStore)->Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), Before);
    }

    // A link in a volume is followed while it stays inside; one that leads out is refused, as the
    // folder asked or as a level on its way.
    void LinksInAVolume_data() {
        QTest::addColumn<bool>("Out");
        QTest::addColumn<QString>("Below"); // the levels asked behind the link
        QTest::newRow("out, the link") << true << QString();
        QTest::newRow("out, a folder behind it") << true << Q("\\sub");
        QTest::newRow("inside, the link") << false << QString();
        QTest::newRow("inside, a folder behind it") << false << Q("\\sub");
    }
    void LinksInAVolume() {
        QFETCH(bool, Out);
        QFETCH(QString, Below);
        QTemporaryDir Outside;
        const QString Target =
            Out ? Outside.path() : NWFileSystem::LocalPath(**FStore, Q("\\\\SRV1\\DATA\\Tausch"));
        QVERIFY(QDir(Target).mkpath(Q("sub")));
        const QString Home = NWFileSystem::LocalPath(**FStore, Q("\\\\SRV1\\DATA\\home"));
        QVERIFY(QFile::link(Target, Home + Q("/ausgang")));
        const QString Path = Q("\\\\SRV1\\DATA\\home\\ausgang") + Below;
        QCOMPARE(NWFileSystem::DirectoryExists(**FStore, Path), !Out);
        QCOMPARE(CodeOf([&] { FVol->GetDirectoryEntry(Path); }) == 0, !Out);
        QCOMPARE(NWFileSystem::ForceDirectories(**FStore, Path + Q("\\neu")), !Out);
        QCOMPARE(QFileInfo::exists(Target + QString(Below).replace(u'\\', u'/') + Q("/neu")), !Out);
    }

    void ForceDirectoriesFollowsExistingSpelling() {
        QVERIFY(NWFileSystem::ForceDirectories(**FStore, Q("\\\\srv1\\data\\HOME\\Schueler\\12B\\Projekte")));
        QVERIFY(NWFileSystem::ForceDirectories(**FStore, Q("\\\\SRV1\\DATA\\home\\schueler\\12b"))); // exists
        const QString Local =
            NWFileSystem::LocalPath(**FStore, Q("\\\\SRV1\\DATA\\home\\schueler\\12b\\projekte"));
        QVERIFY(Local.endsWith(Q("/home/schueler/12B/Projekte"))); // existing levels as on disk, new as given
        QVERIFY(QFileInfo(Local).isDir());
        QCOMPARE(QDir(NWFileSystem::LocalPath(**FStore, Q("\\\\SRV1\\DATA\\home\\schueler")))
                     .entryList({Q("12*")}, QDir::Dirs),
                 QStringList{Q("12B")});
    }

    void VolumeMapAndRoots() {
        QTemporaryDir Elsewhere;
        TVolume V;
        V.Server = Q("SRV2");
        V.Volume = Q("APPS");
        V.RootFolder = Elsewhere.path() + Q("/apps");
        (*FStore)->AddVolume(V);
        QVERIFY(QFileInfo(V.RootFolder).isDir());
        QVERIFY(NWFileSystem::ForceDirectories(**FStore, Q("\\\\SRV2\\APPS\\office")));
        QVERIFY(QFileInfo(V.RootFolder + Q("/office")).isDir());
        QCOMPARE(CodeOf([&] { (*FStore)->AddVolume(V); }), ERR_ENTRY_ALREADY_EXISTS);
        V.Volume = Q("..");
        QVERIFY(CodeOf([&] { (*FStore)->AddVolume(V); }) != 0);
        (*FStore)->SetVolumeRoot(Q("srv2"), Q("apps"), Elsewhere.path() + Q("/neu"));
        QVERIFY(!NWFileSystem::DirectoryExists(**FStore, Q("\\\\SRV2\\APPS\\office")));
        QVERIFY(NWFileSystem::DirectoryExists(**FStore, Q("\\\\SRV2\\APPS")));
    }

    // The picker's calls: a server's volumes, a folder's subfolders, nothing outside a volume.
    void FolderListing() {
        QCOMPARE(NWFileSystem::ServerVolumes(Q("srv1")), (QStringList{Q("SYS"), Q("DATA")}));
        QCOMPARE(NWFileSystem::ServerVolumes(Q("\\\\SRV1")), (QStringList{Q("SYS"), Q("DATA")}));
        QVERIFY(NWFileSystem::ServerVolumes(Q("SRV2")).isEmpty());
        const QString Home = NWFileSystem::LocalPath(**FStore, Q("\\\\SRV1\\DATA\\home"));
        QTemporaryDir Outside;
        QVERIFY(QFile::link(Outside.path(), Home + Q("/ausgang")));
        QFile File(Home + Q("/datei.txt"));
        QVERIFY(File.open(QIODevice::WriteOnly));
        File.close();
        QCOMPARE(NWFileSystem::ListFolders(Q("\\\\srv1\\data\\HOME")),
                 (QStringList{Q("pruefung"), Q("schueler"), Q("Tausch")}));
        QVERIFY(NWFileSystem::ListFolders(Q("\\\\SRV1\\DATA\\gibtsnicht")).isEmpty());
        for (const char* Path :
             {"\\\\SRV1\\DATA\\home\\..", "\\\\SRV9\\DATA", "\\\\SRV1\\DATA\\home\\ausgang", "/tmp"})
            QVERIFY2(CodeOf([&] { NWFileSystem::ListFolders(Q(Path)); }) == ERR_INVALID_PATH, Path);
    }

    // ----- volume control, flags, trustees

    void VolumeControlPositioning() {
        QCOMPARE(FVol->FullName(), Q("\\\\SRV1\\DATA"));
        FVol->SetFullName(Q("\\\\srv1\\sys\\"));
        QCOMPARE(FVol->FullName(), Q("\\\\SRV1\\SYS"));
        QVERIFY(CodeOf([&] { FVol->SetFullName(Q("\\\\SRV1\\NOPE")); }) != 0);
        QVERIFY(CodeOf([&] { FVol->SetFullName(Q("\\\\SRV1\\SYS\\public")); }) != 0);
        FVol->SetFullName(Q("\\\\SRV1\\SYS"));
        QVERIFY(CodeOf([&] { FVol->GetDirectoryEntry(Q("\\\\SRV1\\DATA\\home")); }) != 0); // another volume
        QVERIFY(CodeOf([&] { FVol->GetDirectoryEntry(Q("\\\\SRV1\\SYS\\gibtsnicht")); }) != 0);
        QVERIFY(FVol->GetDirectoryEntry(Q("\\\\SRV1\\SYS\\PUBLIC")) != nullptr);
        QVERIFY(FVol->GetDirectoryEntry(Q("\\\\SRV1\\SYS")) != nullptr); // the root itself
    }

    void FlagsWrittenThrough() {
        NWFileSystem::ForceDirectories(**FStore, Q("\\\\SRV1\\DATA\\home\\schueler\\neu"));
        NWDirectoryEntryPtr E = FVol->GetDirectoryEntry(Q("\\\\SRV1\\DATA\\home\\schueler\\neu"));
        QVERIFY(!E->DeleteInhibit());
        QVERIFY(!E->RenameInhibit());
        E->SetDeleteInhibit(true);
        // A fresh control on the same folder, spelled otherwise, sees it at once.
        NWVolAdm Other(**FStore);
        Other.SetFullName(Q("\\\\SRV1\\DATA"));
        NWDirectoryEntryPtr Again = Other.GetDirectoryEntry(Q("\\\\srv1\\data\\HOME\\SCHUELER\\NEU"));
        QVERIFY(Again->DeleteInhibit());
        QVERIFY(!Again->RenameInhibit());
        Again->SetRenameInhibit(true);
        Again->SetDeleteInhibit(false);
        QVERIFY(E->RenameInhibit());
        QVERIFY(!E->DeleteInhibit());
        // The demo's flagged folders.
        NWDirectoryEntryPtr Demo = FVol->GetDirectoryEntry(Q("\\\\SRV1\\DATA\\home\\schueler\\5a"));
        QVERIFY(Demo->DeleteInhibit() && Demo->RenameInhibit());
    }

    void TrusteesAndRights() {
        NWDirectoryEntryPtr E = FVol->GetDirectoryEntry(Q("\\\\SRV1\\DATA\\home\\Tausch\\schueler\\5a"));
        NWTrusteePtr Existing = E->Trustees().Item(Q("nds:\\\\schule\\UNTERRICHT\\schueler\\5A"));
        QCOMPARE(Existing->FullName(), Class5a);
        QCOMPARE(RightsText(Existing->Rights()), Q("-R----F-"));
        QCOMPARE(E->Trustees().Item(Q("5a.schueler.unterricht"))->FullName(), Class5a); // dotted name

        // Adding an existing trustee keeps its rights.
        NWTrusteePtr Same = E->Trustees().Add(Class5a);
        QCOMPARE(RightsText(Same->Rights()), Q("-R----F-"));
        QCOMPARE(E->Trustees().Count(), 1);

        // A new trustee starts without rights; each right is written at once.
        NWTrusteePtr New = E->Trustees().Add(Class6b, 0);
        QCOMPARE(RightsText(New->Rights()), Q("--------"));
        NWRights Rights = New->Rights();
        for (TRight R :
             {TRight::Write, TRight::Read, TRight::Create, TRight::Erase, TRight::Modify, TRight::FileScan})
            Rights.SetRight(R, true);
        Rights.SetRight(TRight::Write, false);
        QCOMPARE(E->Trustees().Item(Class6b)->Rights().Mask(), 0x001 | 0x008 | 0x010 | 0x080 | 0x040);
        QCOMPARE(RightsText(E->Trustees().Item(Class6b)->Rights()), Q("-R-ECMF-"));
        QCOMPARE(E->Trustees().Count(), 2);
        QCOMPARE(E->Trustees().ItemAt(1)->FullName(), Class6b);
        QVERIFY(CodeOf([&] { E->Trustees().ItemAt(2); }) != 0);

        // Rights read with their trustee answer reads until they are written.
        NWRights Found = E->Trustees().Item(Class5a)->Rights();
        Found.SetRight(TRight::Write, true);
        QCOMPARE(Found.Mask(), 0x001 | 0x002 | 0x040);
    }

    void TrusteeRefusals() {
        NWDirectoryEntryPtr E = FVol->GetDirectoryEntry(Q("\\\\SRV1\\DATA\\home\\schueler\\5a"));
        QCOMPARE(CodeOf([&] { E->Trustees().Add(Schueler + Q("\\5z")); }), ERR_NO_SUCH_ENTRY);
        QCOMPARE(CodeOf([&] { E->Trustees().Add(Root); }), ERR_NO_SUCH_ENTRY); // a tree root is no trustee
        QVERIFY(CodeOf([&] { E->Trustees().Item(Class6b); }) != 0);            // holds no rights here
        QVERIFY(CodeOf([&] { E->Trustees().Item(Q("niemand.schueler.unterricht")); }) != 0);
        QCOMPARE(E->Trustees().Count(), 0);
    }

    void TrusteeKnownOnTheThirdAttempt() {
        NWDirectoryEntryPtr E = FVol->GetDirectoryEntry(Q("\\\\SRV1\\DATA\\home\\schueler\\6b"));
        TFaultInjection::FailNext(Q("NWTrustees.Add"), 2, Q("Unknown trustee (-601)"), ERR_NO_SUCH_ENTRY);
        int Attempts = 0;
        NWTrusteePtr T;
        while (!T) {
            ++Attempts;
            try {
                T = E->Trustees().Add(Class6b, 0);
            } catch (const EDirectoryError& Err) {
                QCOMPARE(Err.Code(), ERR_NO_SUCH_ENTRY);
            }
        }
        QCOMPARE(Attempts, 3);
        QCOMPARE(TFaultInjection::Count(Q("NWTrustees.Add")), 3);
        T->Rights().SetRight(TRight::Read, true);
        QCOMPARE(RightsText(E->Trustees().Item(Class6b)->Rights()), Q("-R------"));
    }

    // ----- users from templates

    void UserFromTemplate() {
        NWUsrGrp UsrGrp(**FStore);
        UsrGrp.SetFullName(Q("nds:\\\\SCHULE\\unterricht\\schueler\\5A"));
        QCOMPARE(UsrGrp.FullName(), Class5a);
        NWDir Dir(**FStore);
        NWEntryPtr Tpl = Dir.FindEntry(Template5a);
        Tpl->SetFieldValue(
            Q("Network Address Restriction"),
            QVariantList{QVariant::fromValue(NWNetAddress(1, QByteArray("\x0A\x01\x01\x01", 4)))});
        Tpl->Update();

        UsrGrp.Users().Add(Class5a + Q("\\neuling"), Q("Neuling"), Template5a, QVariant(), QVariant());
        NWEntryPtr User = Dir.FindEntry(Class5a + Q("\\neuling"));
        QCOMPARE(User->Layout(), Q("User"));
        QCOMPARE(User->GetFieldValue(Q("Surname")).toString(), Q("Neuling"));
        QCOMPARE(User->GetFieldValue(Q("Home Directory")).toString(), DataVolume + Q(",home\\schueler\\5a"));
        QCOMPARE(User->GetFieldValue(Q("Password Required")), QVariant(true));
        QCOMPARE(User->GetFieldValue(Q("Network Address Restriction"), {}, true).toList().size(), 1);
        // The directory's own fields are the user's, not the template's.
        QCOMPARE(User->GetFieldValue(Q("Object Class"), {}, true).toStringList().first(), Q("User"));
        QVERIFY(User->GetFieldValue(Q("GUID")) != Tpl->GetFieldValue(Q("GUID")));
        QCOMPARE(User->GetFieldValue(Q("Revision")), QVariant(qint64(1)));
        const QStringList Fields = User->GetFieldValue(QString(), {}, true).toStringList();
        QCOMPARE(Fields.count(Q("Object Class")), 1);
        QVERIFY(Fields.contains(Q("Description")));

        Dir.SetFullName(Class5a);
        Dir.SetFilters(Q("User"));
        QCOMPARE(Dir.Entries()->Item(Dir.Entries()->Count() - 1)->ShortName(), Q("neuling"));
    }

    void UserRefusals_data() {
        QTest::addColumn<QString>("Container");
        QTest::addColumn<QString>("FullName");
        QTest::addColumn<QString>("Template");
        QTest::addColumn<int>("Code");
        const QString Admin = Q("NDS:\\\\SCHULE\\dienste\\admin");
        QTest::newRow("duplicate") << Class5a << Class5a + Q("\\User_Template") << Template5a
                                   << ERR_ENTRY_ALREADY_EXISTS;
        QTest::newRow("unknown template")
            << Class5a << Class5a + Q("\\x") << Class5a + Q("\\Nix") << ERR_NO_SUCH_ENTRY;
        QTest::newRow("template is a user") << Class5a << Class5a + Q("\\x") << Admin << ERR_NO_SUCH_ENTRY;
        QTest::newRow("tree root") << Root << Root + Q("\\x") << Template5a << ERR_ILLEGAL_CONTAINMENT;
        QTest::newRow("other container")
            << Class5a << Class6b + Q("\\x") << Template5a << ERR_INVALID_REQUEST;
        QTest::newRow("bad name") << Class5a << Class5a + Q("\\a.b") << Template5a << ERR_ILLEGAL_DS_NAME;
    }
    void UserRefusals() {
        QFETCH(QString, Container);
        QFETCH(QString, FullName);
        QFETCH(QString, Template);
        QFETCH(int, Code);
        NWUsrGrp UsrGrp(**FStore);
        UsrGrp.SetFullName(Container);
        QCOMPARE(CodeOf([&] { UsrGrp.Users().Add(FullName, Q("Name"), Template); }), Code);
        NWDir Dir(**FStore);
        QVERIFY(FullName.endsWith(Q("User_Template")) ||
                CodeOf([&] { Dir.FindEntry(FullName); }) == ERR_NO_SUCH_ENTRY);
    }

    void UsrGrpNeedsAContainer() {
        NWUsrGrp UsrGrp(**FStore);
        QVERIFY(CodeOf([&] { UsrGrp.Users(); }) != 0);
        QVERIFY(CodeOf([&] { UsrGrp.SetFullName(Template5a); }) != 0);
        QVERIFY(CodeOf([&] { UsrGrp.SetFullName(Class5a + Q("\\nix")); }) != 0);
    }

private:
    std::unique_ptr<NWVolAdm> FVol;
};

PARVON_TEST_MAIN(TstClientVolumes)
#include "tst_client_volumes.moc"
