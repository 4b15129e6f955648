// The names and paths of TNDK: dotted and full names, class codes and their icons, volume paths,
// path field texts and network paths.

#include "NdkFixture.h"

#include <DemoNamen.h>
#include <EDirectoryError.h>
#include <FaultInjection.h>
#include <ModalSeam.h>
#include <ndk_u.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <TestMain.h>

class TstDirectoryNames : public QObject, TNdkFixture {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        PARVON_REQUIRE_TEST_BACKEND();
        Start();
        QVERIFY(TModalSeam::Shown().isEmpty());
    }
    void init() { Reset(); }
    void cleanupTestCase() { Stop(); }

    void PathToDotted_data() {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<QString>("Dotted");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("full name") << Q(R"(NDS:\\TREE\O\OU\CN)") << Q("CN.OU.O");
        QTest::newRow("top container") << Q(R"(NDS:\\TREE\O)") << Q("O");
        QTest::newRow("tree root") << Q(R"(NDS:\\TREE)") << Q("TREE");
        QTest::newRow("dotted stays") << Q("schueler.unterricht") << Q("schueler.unterricht");
        QTest::newRow("dot wins over backslash") << Q(R"(NDS:\\T\a.b\c)") << Q(R"(NDS:\\T\a.b\c)");
        QTest::newRow("no double backslash drops first level") << Q(R"(O\OU\CN)") << Q("CN.OU");
        QTest::newRow("single level") << Q("CN") << Q("CN");
    }
    void PathToDotted() {
        QFETCH(QString, Name);
        QFETCH(QString, Dotted);
        QCOMPARE(TNDK::PathToDotted(Name), Dotted);
    }

    void DottedToPath_data() {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<QString>("Full");
        QTest::newRow("empty is the tree root") << QString() << Tree();
        QTest::newRow("two levels") << Q("schueler.unterricht") << Schueler();
        QTest::newRow("three levels") << Q("CN.OU.O") << Tree() + Q(R"(\O\OU\CN)");
        QTest::newRow("leading dot ignored") << Q(".CN.O") << Tree() + Q(R"(\O\CN)");
        QTest::newRow("trailing dot gives empty top level") << Q("CN.O.") << Tree() + Q(R"(\\O\CN)");
        QTest::newRow("full name stays") << Q(R"(NDS:\\X\Y)") << Q(R"(NDS:\\X\Y)");
        QTest::newRow("any backslash stays") << Q(R"(a\b.c)") << Q(R"(a\b.c)");
    }
    void DottedToPath() {
        QFETCH(QString, Name);
        QFETCH(QString, Full);
        QCOMPARE(FNdk->DottedToPath(Name), Full);
    }

    void ClassCode_data() {
        QTest::addColumn<QString>("Layout");
        QTest::addColumn<int>("Code");
        QTest::newRow("user") << Q("User") << 1;
        QTest::newRow("user upper") << Q("USER") << 1;
        QTest::newRow("ou") << Q("Organizational Unit") << 2;
        QTest::newRow("group") << Q("group") << 3;
        QTest::newRow("organization") << Q("Organization") << 4;
        QTest::newRow("role") << Q("Organizational Role") << 5;
        QTest::newRow("root") << Q("Root") << 6;
        QTest::newRow("top lower") << Q("top") << 6;
        QTest::newRow("tree") << Q("Tree") << 7;
        QTest::newRow("template") << Q("Template") << 8;
        QTest::newRow("volume") << Q("Volume") << 9;
        QTest::newRow("catalog") << Q("ndscat:master catalog") << 10;
        QTest::newRow("workstation") << Q("Workstation") << 0;
        QTest::newRow("prefix only") << Q("Organizational") << 0;
        QTest::newRow("empty") << QString() << 0;
    }
    void ClassCode() {
        QFETCH(QString, Layout);
        QFETCH(int, Code);
        QCOMPARE(TNDK::ClassCode(Layout), Code);
    }

    void ImageList() {
        QCOMPARE(FNdk->ImageList.size(), 11);
        QList<QImage> Images;
        for (const QIcon& Icon : std::as_const(FNdk->ImageList)) {
            const QPixmap Pix = Icon.pixmap(16, 16);
            QCOMPARE(Pix.size(), QSize(16, 16));
            Images << Pix.toImage();
        }
        // Every class code has a picture of its own.
        for (int I = 0; I < Images.size(); ++I)
            for (int J = I + 1; J < Images.size(); ++J)
                QVERIFY2(Images[I] != Images[J], qPrintable(QStringLiteral("icons %1 and %2").arg(I).arg(J)));
    }

    void VolumeOfPath_data() {
        QTest::addColumn<QString>("Path");
        QTest::addColumn<QString>("Volume");
        QTest::newRow("deep") << Q(R"(\\SRV\VOL\HOME\7A)") << Q(R"(\\SRV\VOL)");
        QTest::newRow("volume itself") << Q(R"(\\SRV\VOL)") << Q(R"(\\SRV\VOL)");
        QTest::newRow("trailing backslash") << Q(R"(\\SRV\VOL\)") << Q(R"(\\SRV\VOL)");
        QTest::newRow("empty") << QString() << QString();
    }
    void VolumeOfPath() {
        QFETCH(QString, Path);
        QFETCH(QString, Volume);
        QCOMPARE(TNDK::VolumeOfPath(Path), Volume);
    }

    void SplitFilePath_data() {
        QTest::addColumn<QString>("Text");
        QTest::addColumn<QString>("Path");
        const QString Vol = Demo::DataVolumeObjekt;
        QTest::newRow("leading backslash") << Vol + Q(R"(,\home\5a)") << Demo::DataVolume + Q(R"(\home\5a)");
        QTest::newRow("no leading backslash")
            << Vol + Q(R"(,home\5a)") << Demo::DataVolume + Q(R"(\home\5a)");
        QTest::newRow("blanks and slashes") << Vol + Q(", /home/ 5a") << Demo::DataVolume + Q(R"(\home\5a)");
        QTest::newRow("one level") << Vol + Q(R"(,\home)") << Demo::DataVolume + Q(R"(\home)");
    }
    void SplitFilePath() {
        QFETCH(QString, Text);
        QFETCH(QString, Path);
        QCOMPARE(FNdk->SplitFilePath(Text), Path);
    }

    void SplitFilePathPassesUncThrough() {
        // A file-system path never reaches the library: a parse would fail here.
        TFaultInjection::FailAlways(Q("NWParsePath"), QString(), -1);
        const QString Unc = Q(R"(\\ANY\WHERE\dir with blank)");
        QCOMPARE(FNdk->SplitFilePath(Unc), Unc);
        QCOMPARE(TFaultInjection::Count(Q("NWParsePath")), 0);
    }

    void SplitFilePathRefuses_data() {
        QTest::addColumn<QString>("Text");
        QTest::newRow("no comma") << Demo::DataVolumeObjekt + Q(R"(\home)");
        QTest::newRow("unknown volume object") << Demo::Dienste + Q(R"(\SRV9_NONE,\home)");
        QTest::newRow("empty") << QString();
    }
    void SplitFilePathRefuses() {
        QFETCH(QString, Text);
        QVERIFY_THROWS_EXCEPTION(EDirectoryError, FNdk->SplitFilePath(Text));
    }

    void UncToNds_data() {
        QTest::addColumn<QStringList>("Connections");
        QTest::addColumn<QString>("Path");
        QTest::addColumn<QString>("Text");
        const QString Path = Demo::DataVolume + Q(R"(\home\7A)");
        QTest::newRow("one connection")
            << QStringList{Demo::ServerObjekt} << Path << Q(R"(NDS:\\SCHULE\DIENSTE\SRV1_DATA,home\7A)");
        QTest::newRow("first in list order, also as part of a longer name")
            << QStringList{Q(R"(NDS:\\SCHULE\a\SRV10)"), Demo::ServerObjekt} << Path
            << Q(R"(NDS:\\SCHULE\A\SRV10_DATA,home\7A)");
        QTest::newRow("case of the connection ignored")
            << QStringList{Q(R"(NDS:\\schule\dienste\srv1)")} << Path
            << Q(R"(NDS:\\SCHULE\DIENSTE\SRV1_DATA,home\7A)");
        QTest::newRow("no match") << QStringList{Demo::Dienste + Q(R"(\OTHER)")} << Path << QString();
        QTest::newRow("no connection") << QStringList() << Path << QString();
    }
    void UncToNds() {
        QFETCH(QStringList, Connections);
        QFETCH(QString, Path);
        QFETCH(QString, Text);
        const auto Saved = FStore->Store->ServerConnections();
        std::vector<TServerConnection> List;
        for (const QString& C : std::as_const(Connections))
            List.push_back({C, C.section(u'\\', -1)});
        FStore->Store->SetServerConnections(List);
        const QString Result = FNdk->UncToNds(Path);
        FStore->Store->SetServerConnections(Saved);
        QCOMPARE(Result, Text);
    }

    void UncToNdsUnparsedStaysUnchanged() {
        const QString Text = Q("kein Pfad");
        QCOMPARE(FNdk->UncToNds(Text), Text);
    }

    void UncToNdsAndBack() {
        // The demo workstation's own connection: the path field text leads back to the folder.
        const QString Path = Demo::HomeBase;
        const QString Text = FNdk->UncToNds(Path);
        QVERIFY(!Text.isEmpty());
        QCOMPARE(FNdk->SplitFilePath(Text).toUpper(), Path.toUpper());
    }
};

PARVON_TEST_MAIN(TstDirectoryNames)
#include "tst_directory_names.moc"
