// Writes of TNDK: creation, field writes, stream copies, template copies, trustee rights, flags.

#include "DirectoryTestSupport.h"

#include <Clock.h>
#include <DemoNamen.h>
#include <ModalSeam.h>
#include <ndk_u.h>

#include <EDirectoryError.h>
#include <ErrorCode.h>
#include <FaultInjection.h>
#include <NWFileSystem.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <TestMain.h>
#include <memory>

namespace {
// An access object whose stream files cannot be removed (the file is still removed by the clean-up).
class TStickyNDK : public TNDK {
public:
    using TNDK::TNDK;
    QStringList Refused;

protected:
    bool RemoveStreamFile(const QString& Path) override {
        Refused << Path;
        return false;
    }
};
} // namespace

class TstDirectoryWrite : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> FStore;
    std::unique_ptr<TNDK> FNdk;
    QTemporaryDir FStreamDir;
    int FSerial = 0;

    static QString Tree() { return Demo::Prefix; }
    static QDateTime Then() { return QDateTime(QDate(2003, 6, 13), QTime(8, 0)); }
    static QString Schueler() { return Demo::Schueler; }
    static QString Template() { return Demo::Template; }

    QString NewContainer() {
        const QString Name = QStringLiteral("w%1").arg(++FSerial);
        FNdk->AddOrganizationalUnit(Schueler(), Name);
        if (FNdk->AddFailed)
            qFatal("cannot create the test container");
        return Schueler() + u'\\' + Name;
    }
    // A new folder on the demo volume \\SRV1\DATA; answers its network path.
    QString NewFolder() {
        const QString Path = Demo::DataVolume + QStringLiteral("\\test\\f%1").arg(++FSerial);
        if (!NWFileSystem::ForceDirectories(**FStore, Path))
            qFatal("cannot create the test folder");
        return Path;
    }
    NWEntryPtr EntryOf(const QString& FullName) const {
        NWDir Dir(**FStore);
        Dir.SetFullName(FullName);
        return Dir.Entry();
    }
    QString ScriptOf(const QString& FullName) const {
        return EntryOf(FullName)->GetFieldValue(Q("Login Script")).toString();
    }
    QStringList StreamDirFiles() const {
        return QDir(FStreamDir.path()).entryList(QDir::Files | QDir::Hidden);
    }

private Q_SLOTS:
    void initTestCase() {
        PARVON_REQUIRE_TEST_BACKEND();
        TModalSeam::SetUnattended(true);
        FStore = std::make_unique<TTestStore>();
        FNdk = std::make_unique<TNDK>(nullptr);
        FNdk->StreamFolder = FStreamDir.path();
    }
    void init() {
        TModalSeam::Clear();
        TFaultInjection::Clear();
        FNdk->Debug = false;
        // The trustee attempts pause through the clock: instantly, counted on the fixed "now".
        TClock::SetNow(Then());
        TClock::SetInstantPauses(true);
    }
    void cleanup() { TClock::Reset(); }
    void cleanupTestCase() {
        FNdk.reset();
        FStore.reset();
    }

    // ----- creation

    void AddEntryNeverRaises_data() {
        QTest::addColumn<QString>("Container");
        QTest::addColumn<QString>("Name");
        QTest::addColumn<QString>("Layout");
        QTest::newRow("duplicate") << Schueler() << Q("User_Template") << Q("Template");
        QTest::newRow("duplicate other case") << Tree() << Q("UNTERRICHT") << Q("Organization");
        QTest::newRow("container missing")
            << Schueler() + Q(R"(\nichtda)") << Q("x") << Q("Organizational Unit");
        QTest::newRow("leaf as container") << Template() << Q("x") << Q("Organizational Unit");
        QTest::newRow("unknown layout") << Schueler() << Q("x") << Q("Kein Layout");
        QTest::newRow("dot in name") << Schueler() << Q("a.b") << Q("Organizational Unit");
        QTest::newRow("empty name") << Schueler() << QString() << Q("Organizational Unit");
    }
    void AddEntryNeverRaises() {
        QFETCH(QString, Container);
        QFETCH(QString, Name);
        QFETCH(QString, Layout);
        FNdk->AddFailed = false;
        FNdk->AddEntry(Container, Name, Layout);
        QVERIFY(FNdk->AddFailed);
        // The next creation starts afresh.
        const QString Ou = NewContainer();
        QVERIFY(!FNdk->AddFailed);
        QVERIFY(FNdk->EntryExists(Ou));
    }

    void AddOrganizationalUnitTwice() {
        const QString Ou = NewContainer();
        FNdk->AddOrganizationalUnit(Schueler(), Ou.section(u'\\', -1));
        QVERIFY(FNdk->AddFailed);
        QVERIFY(TModalSeam::Shown().isEmpty());
        QCOMPARE(FNdk->GetEntryLayout(Ou), Q("Organizational Unit"));
    }

    void AddUserFromTemplate() {
        const QString Ou = NewContainer();
        FNdk->AddUser(Ou, Q("mmuster"), Q("Muster"), Template());
        const QString User = Ou + Q(R"(\mmuster)");
        QCOMPARE(FNdk->GetEntryLayout(User), Q("User"));
        QCOMPARE(FNdk->GetFieldValue(User, Q("Surname")), Q("Muster"));
        QCOMPARE(FNdk->GetFieldValue(User, Q("Home Directory")),
                 FNdk->GetFieldValue(Template(), Q("Home Directory")));
        QVERIFY_THROWS_EXCEPTION(EDirectoryError, FNdk->AddUser(Ou, Q("mmuster"), Q("Muster"), Template()));
        QVERIFY_THROWS_EXCEPTION(EDirectoryError,
                                 FNdk->AddUser(Ou, Q("other"), Q("Other"), Ou + Q(R"(\keinTemplate)")));
    }

    void SetFieldValue() {
        const QString Ou = NewContainer();
        FNdk->AddTemplate(Ou, Q("T"));
        const QString Tpl = Ou + Q(R"(\T)");
        FNdk->SetFieldValue(Tpl, Q("Surname"), Q("Überschrift"));
        QCOMPARE(FNdk->GetFieldValue(Tpl, Q("Surname")), QStringLiteral("Überschrift"));
        QVERIFY_THROWS_EXCEPTION(EDirectoryError, FNdk->SetFieldValue(Tpl, Q("Keine Eigenschaft"), Q("x")));
        QVERIFY_THROWS_EXCEPTION(EDirectoryError, FNdk->SetFieldValue(Tpl, Q("Surname"), QString(65, u'x')));
        QVERIFY_THROWS_EXCEPTION(EDirectoryError,
                                 FNdk->SetFieldValue(Ou + Q(R"(\nichtda)"), Q("Surname"), Q("x")));
    }

    // ----- login scripts

    void LoginScriptFromFile() {
        const QString Ou = NewContainer();
        QTemporaryDir Dir;
        const QString File = Dir.filePath(Q("login.txt"));
        const QString Script = QStringLiteral("MAP ROOT H:=SRV1/DATA:home\r\nWRITE \"Grüß dich\"\r\n");
        {
            QFile F(File);
            QVERIFY(F.open(QIODevice::WriteOnly));
            F.write(Script.toUtf8());
        }
        FNdk->SetLoginScriptFromFile(Ou, File);
        QCOMPARE(ScriptOf(Ou), Script);
        QVERIFY(QFile::exists(File));
        QVERIFY_THROWS_EXCEPTION(EDirectoryError,
                                 FNdk->SetLoginScriptFromFile(Ou, Dir.filePath(Q("fehlt.txt"))));
        QCOMPARE(ScriptOf(Ou), Script);
    }

    void CopyLoginScript() {
        const QString Source = NewContainer();
        const QString Target = NewContainer();
        const NWEntryPtr S = EntryOf(Source);
        S->SetFieldValue(Q("Login Script"), Q("MAP F:=SRV1/SYS:\r\n"));
        S->Update();
        FNdk->CopyLoginScript(Source, Target);
        QCOMPARE(ScriptOf(Target), Q("MAP F:=SRV1/SYS:\r\n"));
        QCOMPARE(StreamDirFiles(), QStringList());
        QVERIFY_THROWS_EXCEPTION(EDirectoryError, FNdk->CopyLoginScript(Source + Q("x"), Target));
        QCOMPARE(StreamDirFiles(), QStringList());
    }

    void CopyLoginScriptUnremovableFile() {
        const QString Source = NewContainer();
        const QString Target = NewContainer();
        const NWEntryPtr S = EntryOf(Source);
        S->SetFieldValue(Q("Login Script"), Q("WRITE \"a\"\r\n"));
        S->Update();
        TStickyNDK Ndk(nullptr);
        Ndk.StreamFolder = FStreamDir.path();
        QVERIFY_THROWS_EXCEPTION(EDirectoryError, Ndk.CopyLoginScript(Source, Target));
        // Raised after the target was committed.
        QCOMPARE(ScriptOf(Target), Q("WRITE \"a\"\r\n"));
        QCOMPARE(Ndk.Refused.size(), 1);
        QVERIFY(Ndk.Refused.first().startsWith(FStreamDir.path()));
        QCOMPARE(StreamDirFiles(), QStringList());
    }

    void StreamFilesArePrivate() {
        // Each copy gets a file of its own that only the owner may read: a file planted under a
        // predictable name is neither used nor touched.
        const QString Planted = QDir(FStreamDir.path()).filePath(Q("$$$.txt"));
        {
            QFile F(Planted);
            QVERIFY(F.open(QIODevice::WriteOnly));
            F.write("fremd");
        }
        const QString Source = NewContainer();
        const QString Target = NewContainer();
        const NWEntryPtr S = EntryOf(Source);
        S->SetFieldValue(Q("Login Script"), Q("eigen"));
        S->Update();
        QFile::Permissions Seen;
        struct TWatchNDK : TNDK {
            using TNDK::TNDK;
            QFile::Permissions* Out = nullptr;
            bool RemoveStreamFile(const QString& Path) override {
                *Out = QFile::permissions(Path);
                return TNDK::RemoveStreamFile(Path);
            }
        } Ndk(nullptr);
        Ndk.Out = &Seen;
        Ndk.StreamFolder = FStreamDir.path();
        Ndk.CopyLoginScript(Source, Target);
        QCOMPARE(ScriptOf(Target), Q("eigen"));
        QCOMPARE(Seen & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
                 QFile::Permissions());
        QCOMPARE(StreamDirFiles(), QStringList{Q("$$$.txt")});
        QFile::remove(Planted);
    }

    // ----- template copies

    void CopyTemplateCopiesFields() {
        const QString Source = PrepareSourceTemplate();
        const QString Ou = NewContainer();
        FNdk->CopyTemplate(Source, Ou, Q("User_Template"));
        QVERIFY(!FNdk->AddFailed);
        const QString Target = Ou + Q(R"(\User_Template)");
        QCOMPARE(FNdk->GetEntryLayout(Target), Q("Template"));
        QCOMPARE(FNdk->GetFieldValue(Target, Q("Home Directory")),
                 FNdk->GetFieldValue(Source, Q("Home Directory")));
        QCOMPARE(FNdk->GetFieldValueList(Target, Q("Description")), Q("eins\r\nzwei\r\ndrei"));
        QCOMPARE(ScriptOf(Target), Q("WRITE \"Vorlage\"\r\n"));
        QCOMPARE(StreamDirFiles(), QStringList());
    }

    void CopyTemplateLeavesBookkeeping() {
        // The directory's own bookkeeping fields are never carried over, whatever the source holds.
        const QString Source = PrepareSourceTemplate();
        const QString Foreign = Tree() + Q(R"(\dienste)");
        const QByteArray Guid(16, char(0xAB));
        const QString UsedBy = EntryOf(Template())->GetFieldValue(Q("Home Directory")).toString();
        {
            const NWEntryPtr S = EntryOf(Source);
            S->SetFieldValue(Q("creatorsName"), Foreign);
            S->SetFieldValue(Q("modifiersName"), Foreign);
            S->SetFieldValue(Q("GUID"), Guid);
            S->SetFieldValue(Q("Revision"), qint64(999));
            S->SetFieldValue(Q("Used By"), QStringList{UsedBy});
            if (FStore->Ldap) {
                // A directory server keeps them itself and refuses to take them.
                QCOMPARE(CodeOf([&] { S->Update(); }), ERR_ILLEGAL_ATTRIBUTE);
            } else {
                S->Update();
                QCOMPARE(S->GetFieldValue(Q("Revision")).toLongLong(), 999);
            }
        }
        const QByteArray SourceGuid = EntryOf(Source)->GetFieldValue(Q("GUID")).toByteArray();
        QCOMPARE(SourceGuid.size(), 16);
        const QString Ou = NewContainer();
        FNdk->CopyTemplate(Source, Ou, Q("User_Template"));
        const NWEntryPtr T = EntryOf(Ou + Q(R"(\User_Template)"));
        QVERIFY(T->GetFieldValue(Q("creatorsName")).toString() != Foreign);
        QVERIFY(T->GetFieldValue(Q("modifiersName")).toString() != Foreign);
        QVERIFY(T->GetFieldValue(Q("GUID")).toByteArray() != SourceGuid);
        QVERIFY(T->GetFieldValue(Q("Revision")).toLongLong() != 999);
        QVERIFY(!T->GetFieldValue(Q("Used By"), QVariant(), true).isValid());
        // ... while the rest arrived.
        QCOMPARE(FNdk->GetFieldValueList(Ou + Q(R"(\User_Template)"), Q("Description")),
                 Q("eins\r\nzwei\r\ndrei"));
    }

    void CopyTemplateIntoMissingContainerRaises() {
        QVERIFY_THROWS_EXCEPTION(
            EDirectoryError,
            FNdk->CopyTemplate(Template(), Schueler() + Q(R"(\nichtda)"), Q("User_Template")));
        QVERIFY(FNdk->AddFailed);
    }

    void CopyTemplateStopsAtRefusedWrite() {
        const QString Source = PrepareSourceTemplate();
        const QString Ou = NewContainer();
        TFaultInjection::FailNext(Q("NWEntry.SetFieldValue"), 1, Q("verweigert"));
        try {
            FNdk->CopyTemplate(Source, Ou, Q("User_Template"));
            QFAIL("the refused write must end the copy");
        } catch (const EDirectoryError& E) {
            QCOMPARE(E.Message(), Q("verweigert"));
        }
        // The template exists, but nothing of the copy was committed.
        const QString Target = Ou + Q(R"(\User_Template)");
        QVERIFY(FNdk->EntryExists(Target));
        QCOMPARE(FNdk->GetFieldValue(Target, Q("Home Directory")), QString());
        QCOMPARE(FNdk->GetFieldValueList(Target, Q("Description")), QString());
        QCOMPARE(StreamDirFiles(), QStringList());
    }

    // ----- rights

    void RightsToLetters_data() {
        QTest::addColumn<quint32>("Mask");
        QTest::addColumn<QString>("Letters");
        QTest::newRow("all") << quint32(0x1FF) << Q("SRWECMFA");
        QTest::newRow("bit 4 only") << quint32(0x004) << QString();
        QTest::newRow("all but S") << quint32(0x0FB) << Q("RWECMFA");
        QTest::newRow("none") << quint32(0) << QString();
        QTest::newRow("high bits ignored") << quint32(0xFFFFFE00 | 0x041) << Q("RF");
        QTest::newRow("C before M") << quint32(0x088) << Q("CM");
    }
    void RightsToLetters() {
        QFETCH(quint32, Mask);
        QFETCH(QString, Letters);
        QCOMPARE(TNDK::RightsToLetters(Mask), Letters);
    }

    void TrusteeRights_data() {
        QTest::addColumn<QString>("Letters");
        QTest::addColumn<QString>("Read");
        QTest::newRow("read and scan") << Q("R----F") << Q("-R----F-");
        QTest::newRow("lower case") << Q("r----f") << Q("-R----F-");
        QTest::newRow("read-write") << Q("RWECMF") << Q("-RWECMF-");
        QTest::newRow("all mixed order") << Q("afmcewrs") << Q("SRWECMFA");
        QTest::newRow("empty revokes all") << QString() << Q("--------");
        QTest::newRow("other letters") << Q("xyz-") << Q("--------");
    }
    void TrusteeRights() {
        QFETCH(QString, Letters);
        QFETCH(QString, Read);
        const QString Folder = NewFolder();
        const QString Ou = NewContainer();
        // Start from every right so that revoking shows.
        FNdk->SetTrusteeRights(Folder, Ou, Q("SRWECMFA"));
        QCOMPARE(FNdk->GetTrusteeRights(Folder, Ou), Q("SRWECMFA"));
        FNdk->SetTrusteeRights(Folder, Ou, Letters);
        QCOMPARE(FNdk->GetTrusteeRights(Folder, Ou), Read);
        QVERIFY(TModalSeam::Shown().isEmpty());
    }

    void TrusteeRightsThroughPathField() {
        const QString Folder = NewFolder();
        const QString Ou = NewContainer();
        const QString Field = FNdk->UncToNds(Folder);
        QVERIFY(Field.contains(u','));
        FNdk->SetTrusteeRights(Field, Ou, Q("RF"));
        QCOMPARE(FNdk->GetTrusteeRights(Field, Ou), Q("-R----F-"));
        QCOMPARE(FNdk->GetTrusteeRights(Folder, Ou), Q("-R----F-"));
    }

    void GetTrusteeRightsFailures() {
        const QString Folder = NewFolder();
        const QString Ou = NewContainer();
        QCOMPARE(FNdk->GetTrusteeRights(Folder, Ou), QString());                  // holds no rights here
        QCOMPARE(FNdk->GetTrusteeRights(Folder + Q(R"(\fehlt)"), Ou), QString()); // no such folder
        QCOMPARE(FNdk->GetTrusteeRights(Q(R"(\\SRV9\NONE\x)"), Ou), QString());   // no such volume
        QVERIFY_THROWS_EXCEPTION(EDirectoryError, FNdk->GetTrusteeRights(Q("kein Pfad"), Ou));
        QVERIFY(TModalSeam::Shown().isEmpty());
    }

    void TrusteeKnownOnThirdAttempt_data() {
        QTest::addColumn<bool>("Debug");
        QTest::addColumn<QStringList>("Boxes");
        const QString Title = QApplication::applicationName();
        QTest::newRow("debug off") << false << QStringList();
        QTest::newRow("debug on") << true
                                  << QStringList{Title + Q("|Error (100% %s %1 unbekannt)"),
                                                 Title + Q("|Error (100% %s %1 unbekannt)")};
    }
    void TrusteeKnownOnThirdAttempt() {
        QFETCH(bool, Debug);
        QFETCH(QStringList, Boxes);
        const QString Folder = NewFolder();
        const QString Ou = NewContainer();
        FNdk->Debug = Debug;
        TFaultInjection::FailNext(Q("NWTrustees.Add"), 2, Q("100% %s %1 unbekannt"));
        FNdk->SetTrusteeRights(Folder, Ou, Q("R----F"));
        QCOMPARE(TFaultInjection::Count(Q("NWTrustees.Add")), 3);
        QCOMPARE(Then().msecsTo(TClock::Now()), 300); // a pause before each attempt
        QCOMPARE(TModalSeam::Shown(), Boxes);
        QCOMPARE(FNdk->GetTrusteeRights(Folder, Ou), Q("-R----F-"));
    }

    void TrusteeNeverKnown() {
        // All hundred attempts fail, ten seconds in all: one box, then the error reaches the caller.
        const QString Folder = NewFolder();
        TFaultInjection::FailAlways(Q("NWTrustees.Add"), Q("Trustee unbekannt"));
        try {
            FNdk->SetTrusteeRights(Folder, Schueler(), Q("R"));
            QFAIL("must raise");
        } catch (const EDirectoryError& E) {
            QCOMPARE(E.Message(), Q("Trustee unbekannt"));
        }
        QCOMPARE(Then().msecsTo(TClock::Now()), 10000);
        QCOMPARE(TFaultInjection::Count(Q("NWTrustees.Add")), 100);
        QCOMPARE(TModalSeam::Shown(),
                 QStringList{QApplication::applicationName() + Q("|Error (Trustee unbekannt)")});
    }

    void SetTrusteeRightsRefusals() {
        const QString Ou = NewContainer();
        QVERIFY_THROWS_EXCEPTION(EDirectoryError, FNdk->SetTrusteeRights(Q("kein Pfad"), Ou, Q("R")));
        QVERIFY_THROWS_EXCEPTION(EDirectoryError,
                                 FNdk->SetTrusteeRights(Demo::DataVolume + Q(R"(\fehlt\x)"), Ou, Q("R")));
        QVERIFY(TModalSeam::Shown().isEmpty());
    }

    // ----- flags

    void DirectoryFlags_data() {
        QTest::addColumn<bool>("DeleteBefore");
        QTest::addColumn<bool>("RenameBefore");
        QTest::addColumn<QString>("Flags");
        QTest::addColumn<bool>("DeleteAfter");
        QTest::addColumn<bool>("RenameAfter");
        QTest::newRow("both set") << false << false << Q("/+DI/+RI") << true << true;
        QTest::newRow("both set other order") << false << false << Q("+ri+di") << true << true;
        QTest::newRow("clear DI lower case") << true << true << Q("-di") << false << true;
        QTest::newRow("empty changes nothing") << true << false << QString() << true << false;
        QTest::newRow("no token changes nothing") << false << true << Q("DI RI") << false << true;
        QTest::newRow("set and clear: cleared") << false << false << Q("+DI-DI") << false << false;
        QTest::newRow("mixed") << false << true << Q("-Ri /+dI") << true << false;
    }
    void DirectoryFlags() {
        QFETCH(bool, DeleteBefore);
        QFETCH(bool, RenameBefore);
        QFETCH(QString, Flags);
        QFETCH(bool, DeleteAfter);
        QFETCH(bool, RenameAfter);
        const QString Folder = NewFolder();
        NWVolAdm Vol(**FStore);
        Vol.SetFullName(TNDK::VolumeOfPath(Folder));
        Vol.GetDirectoryEntry(Folder)->SetDeleteInhibit(DeleteBefore);
        Vol.GetDirectoryEntry(Folder)->SetRenameInhibit(RenameBefore);
        FNdk->SetDirectoryFlags(Folder, Flags);
        QCOMPARE(Vol.GetDirectoryEntry(Folder)->DeleteInhibit(), DeleteAfter);
        QCOMPARE(Vol.GetDirectoryEntry(Folder)->RenameInhibit(), RenameAfter);
    }

    void DirectoryFlagsRefusals() {
        QVERIFY_THROWS_EXCEPTION(EDirectoryError,
                                 FNdk->SetDirectoryFlags(Demo::DataVolume + Q(R"(\fehlt\x)"), Q("+DI")));
        QVERIFY_THROWS_EXCEPTION(EDirectoryError, FNdk->SetDirectoryFlags(Q("kein Pfad"), Q("+DI")));
    }

private:
    // A template with a path field, a multi-valued text field and a login script.
    QString PrepareSourceTemplate() {
        const QString Ou = NewContainer();
        FNdk->AddTemplate(Ou, Q("Quelle"));
        const QString Source = Ou + Q(R"(\Quelle)");
        const NWEntryPtr S = EntryOf(Source);
        S->SetFieldValue(Q("Home Directory"), EntryOf(Template())->GetFieldValue(Q("Home Directory")));
        S->SetFieldValue(Q("Description"), QStringList{Q("eins"), Q("zwei"), Q("drei")});
        S->SetFieldValue(Q("Login Script"), Q("WRITE \"Vorlage\"\r\n"));
        S->Update();
        return Source;
    }
};

PARVON_TEST_MAIN(TstDirectoryWrite)
#include "tst_directory_write.moc"
