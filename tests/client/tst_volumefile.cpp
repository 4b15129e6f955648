#include <DemoTree.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <ErrorCode.h>
#include <Ldif.h>
#include <Rights.h>
#include <SqliteStore.h>
#include <TestMain.h>
#include <TestStore.h>
#include <TestText.h>
#include <VolumeFile.h>
#include <WorkstationStore.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <tuple>

namespace {
const QString Exchange5a = Q(R"(\\SRV1\DATA\home\Tausch\schueler\5a)");
const QString Class5a = Q(R"(NDS:\\SCHULE\unterricht\schueler\5a)");
const QString Class6a = Q(R"(NDS:\\SCHULE\unterricht\schueler\6a)");
} // namespace

// The volume file: a whole school's folders, flags and trustees from one store into another.
class TstVolumeFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { FStore.emplace(); }
    void cleanup() { FStore.reset(); }

    // The tree's LDIF and the volume file into an empty store: it is connected to the tree and the
    // server, and both exports come back byte for byte.
    void SchoolMovesWhole() {
        TTestStore& From = *FStore;
        const QByteArray Tree = Ldif::ExportTree((*From).Directory(), (*From).VolumeStore(), Q("SCHULE"));
        const QByteArray Volumes = VolumeFile::Export((*From).VolumeStore());
        QVERIFY(Volumes.contains(Q("folder\t%1\tDI RI\n").arg(Exchange5a).toUtf8()));
        QVERIFY(Volumes.contains(Q("trustee\t%1\t-R----F-\t%2\n").arg(Exchange5a, Class5a).toUtf8()));

        QTemporaryDir Dir;
        auto Store = std::make_shared<TSqliteStore>(Dir.path());
        TDirectoryClient To(Store, Store);
        const Ldif::TImportResult Imported =
            Ldif::ImportTree(To.Directory(), To.VolumeStore(), Q("SCHULE"), Tree);
        const TImportConnections Done = ConnectImportedTree(*Store, Q("SCHULE"), Imported.Servers);
        QVERIFY(Done.Tree);
        QCOMPARE(Done.Servers, QStringList{Q(R"(NDS:\\SCHULE\dienste\SRV1)")});
        QCOMPARE(Store->ConnectedTrees(), QStringList{Q(R"(NDS:\\SCHULE)")});
        QCOMPARE(Store->ServerConnections().front().DisplayName, Q("SRV1"));
        const VolumeFile::TImportResult Result =
            VolumeFile::Import(To.Directory(), To.VolumeStore(), Volumes);
        QCOMPARE(Result.Volumes, 0); // the LDIF import entered them through their host server
        QVERIFY(Result.Trustees >= 3);
        QCOMPARE(VolumeFile::Export(To.VolumeStore()), Volumes);
        QCOMPARE(Ldif::ExportTree(To.Directory(), To.VolumeStore(), Q("SCHULE")), Tree);
        for (const TVolume& V : Store->Volumes())
            QVERIFY2(V.RootFolder.startsWith(QDir(Dir.path()).absolutePath()), qPrintable(V.RootFolder));

        // Once more changes nothing; a connected store keeps its connections.
        VolumeFile::Import(To.Directory(), To.VolumeStore(), Volumes);
        QCOMPARE(VolumeFile::Export(To.VolumeStore()), Volumes);
        QVERIFY(!ConnectImportedTree(*Store, Q("SCHULE"), Imported.Servers).Tree);
    }

    // Each folder and trustee the text names gets what the text says; what it does not name stays.
    void ImportSetsWhatTheTextSays() {
        TSqliteStore& S = *(*FStore).Store;
        const TFolderKey F = S.OpenFolder(Exchange5a);
        S.AddTrustee(F, Class6a);
        S.ChangeTrusteeRights(F, Class6a, 0x001, 0);
        const QByteArray Text = "version\t1\nfolder\t" + Exchange5a.toUtf8() + "\tRI\ntrustee\t" +
                                Exchange5a.toUtf8() + "\t-RWECMF-\t" + Class5a.toUtf8() + '\n';
        VolumeFile::Import((**FStore).Directory(), (**FStore).VolumeStore(), Text);
        QVERIFY(!S.FolderFlag(F, TFolderFlag::DeleteInhibit));
        QVERIFY(S.FolderFlag(F, TFolderFlag::RenameInhibit));
        QCOMPARE(RightsText(S.TrusteeRights(F, Class5a)), Q("-RWECMF-"));
        QCOMPARE(RightsText(S.TrusteeRights(F, Class6a)), Q("-R------"));
        QCOMPARE(S.Trustees(F), (QStringList{Class5a, Class6a}));
    }

    void Malformed_data() {
        QTest::addColumn<QByteArray>("Text");
        QTest::addColumn<int>("Line");
        QTest::addColumn<QString>("Reason");
        const QByteArray V = "version\t1\n";
        QTest::newRow("no version") << QByteArray("volume\t\\\\SRV1\\DATA\t\n") << 1 << Q("version");
        QTest::newRow("unknown record") << V + "ordner\t\\\\SRV1\\DATA\\x\t\n" << 2 << Q("ordner");
        QTest::newRow("fields missing") << V + "folder\t\\\\SRV1\\DATA\\x\n" << 2 << Q("Felder");
        QTest::newRow("no network path") << V + "folder\tSRV1\\DATA\\x\t\n" << 2 << Q("Netzwerkpfad");
        QTest::newRow("climbs out") << V + "folder\t\\\\SRV1\\DATA\\..\\x\t\n" << 2 << Q("Netzwerkpfad");
        QTest::newRow("volume with a folder") << V + "volume\t\\\\SRV1\\DATA\\x\t\n" << 2 << Q("SERVER");
        QTest::newRow("volume twice") << V + "volume\t\\\\S\\V\t\n\nvolume\t\\\\s\\v\t\n"
                                      << 4 << Q("zweimal");
        QTest::newRow("unknown flag") << V + "folder\t\\\\SRV1\\DATA\\x\tDI XI\n" << 2 << Q("XI");
        QTest::newRow("rights as letters") << V + "trustee\t\\\\SRV1\\DATA\\x\tRF\tNDS:\\\\SCHULE\n"
                                           << 2 << Q("acht Stellen");
        QTest::newRow("unknown volume") << V + "# a comment\nfolder\t\\\\SRV9\\DATA\\x\t\n" << 3 << Q("SRV9");
        QTest::newRow("unknown trustee") << V + "folder\t\\\\SRV1\\DATA\\x\t\ntrustee\t\\\\SRV1\\DATA\\x\t-R-"
                                                "-----\tNDS:\\\\SCHULE\\fehlt\n"
                                         << 3 << Q("fehlt");
        QTest::newRow("invalid UTF-8") << V + "folder\t\\\\SRV1\\DATA\\\xFF\t\n" << 1 << Q("UTF-8");
        // Paths the volume store refuses, after a folder that would be made first: the check refuses
        // them, or the folders made go again with the transaction.
        const QByteArray X = V + "folder\t\\\\SRV1\\DATA\\x\t\n";
        const QByteArray Deep = QByteArray("\\a").repeated(65);
        for (const auto& [Name, Level, Reason] :
             {std::tuple{"colon", QByteArray("a:b"), "\":\""},
              std::tuple{"asterisk", QByteArray("a*"), "\"*\""},
              std::tuple{"question mark", QByteArray("a?"), "\"?\""},
              std::tuple{"slash", QByteArray("a/b"), "\"/\""},
              std::tuple{"control character", QByteArray("a\x01"), "Steuerzeichen"},
              std::tuple{"level of 256 bytes", QByteArray(256, 'a'), "255 Byte"},
              std::tuple{"too deep", QByteArray("a") + Deep, "Ebenen"},
              std::tuple{"link that leads out", QByteArray("raus\\y"), "hinaus"},
              std::tuple{"a file in the way", QByteArray("datei\\y"), "angelegt"}})
            QTest::newRow(Name) << X + "folder\t\\\\SRV1\\DATA\\" + Level + "\t\n" << 3 << Q(Reason);
        QTest::newRow("unknown volume after a folder") << X + "folder\t\\\\SRV1\\NIX\\x\t\n" << 3 << Q("NIX");
    }
    // A faulty text stops with its line before anything changes.
    void Malformed() {
        QFETCH(QByteArray, Text);
        QFETCH(int, Line);
        QFETCH(QString, Reason);
        // In the volume's root: a link that leads out of it, a file where a folder would go.
        QTemporaryDir Outside;
        const QString Root = (*FStore)->LocalPath(Q(R"(\\SRV1\DATA)"));
        QVERIFY(QFile::link(Outside.path(), Root + Q("/raus")));
        QFile File(Root + Q("/datei"));
        QVERIFY(File.open(QIODevice::WriteOnly));
        File.close();
        const QByteArray Before = VolumeFile::Export((**FStore).VolumeStore());
        const QString Message =
            MessageOf([&] { VolumeFile::Import((**FStore).Directory(), (**FStore).VolumeStore(), Text); });
        QVERIFY2(Message.startsWith(Q("Volume-Datei, Zeile %1: ").arg(Line)), qPrintable(Message));
        QVERIFY2(Message.contains(Reason), qPrintable(Message));
        QCOMPARE(VolumeFile::Export((**FStore).VolumeStore()), Before);
        QVERIFY(!QDir((*FStore)->LocalPath(Q(R"(\\SRV1\DATA\x)"))).exists());
        QVERIFY(QDir(Outside.path()).isEmpty());
    }

private:
    std::optional<TTestStore> FStore;
};

PARVON_TEST_MAIN(TstVolumeFile)
#include "tst_volumefile.moc"
