#include <TestMain.h>

#include <ErrorGuard.h>
#include <MaskFormat.h>
#include <ModalSeam.h>

#include <QtTest>

using namespace Qt::StringLiterals;

// The naming-mask formatter: what it writes for the directives it knows, and that it refuses the
// rest with the format error the standard error box shows.
class TMaskFormatTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pattern_data() {
        QTest::addColumn<QString>("Mask");
        QTest::addColumn<QString>("Pattern"); // "-" for none
        QTest::newRow("first %% becomes the number") << u"EDV1_B%%"_s << u"EDV1_B%2.2d"_s;
        QTest::newRow("second %% stays") << u"R%%_%%"_s << u"R%2.2d_%%"_s;
        QTest::newRow("three %") << u"A%%%"_s << u"A%2.2d%"_s;
        QTest::newRow("none") << u"EDV1_B%"_s << u"-"_s;
        QTest::newRow("empty") << QString() << u"-"_s;
    }
    void pattern() {
        QFETCH(QString, Mask);
        QFETCH(QString, Pattern);
        QCOMPARE(MaskPattern(Mask).value_or(u"-"_s), Pattern);
    }

    void accepted_data() {
        QTest::addColumn<QString>("Pattern");
        QTest::addColumn<int>("Number");
        QTest::addColumn<QString>("Expected");
        QTest::newRow("two digits") << u"EDV1_B%2.2d"_s << 1 << u"EDV1_B01"_s;
        QTest::newRow("three digits") << u"EDV1_B%2.2d"_s << 153 << u"EDV1_B153"_s;
        QTest::newRow("%% after the number") << u"R%2.2d_%%"_s << 1 << u"R01_%"_s;
        QTest::newRow("no directive") << u"Prüfling 100%%"_s << 7 << u"Prüfling 100%"_s;
        QTest::newRow("width") << u"%5d|"_s << 42 << u"   42|"_s;
        QTest::newRow("left-justified") << u"%-5d|"_s << 42 << u"42   |"_s;
        QTest::newRow("leading zero is a width") << u"%02d"_s << 1 << u" 1"_s;
        QTest::newRow("precision") << u"%.3d"_s << 7 << u"007"_s;
        QTest::newRow("precision without digits") << u"%.d"_s << 0 << u"0"_s;
        QTest::newRow("negative") << u"%.3d"_s << -5 << u"-005"_s;
        QTest::newRow("unsigned") << u"%u"_s << -1 << u"4294967295"_s;
        QTest::newRow("hex in capitals") << u"%4.3x"_s << 255 << u" 0FF"_s;
        QTest::newRow("type letter in capitals") << u"%D"_s << 9 << u"9"_s;
        QTest::newRow("index 0 twice") << u"%0:d-%0:-3d|"_s << 3 << u"3-3  |"_s;
        QTest::newRow("index 0 after the argument") << u"%d%0:d"_s << 4 << u"44"_s;
        QTest::newRow("widest") << u"%64d"_s << 1 << QString(63, u' ') + u'1';
    }
    void accepted() {
        QFETCH(QString, Pattern);
        QFETCH(int, Number);
        QTEST(FormatMask(Pattern, Number), "Expected");
    }

    void refused_data() {
        QTest::addColumn<QString>("Pattern");
        QTest::newRow("no argument left") << u"%d%d"_s;
        QTest::newRow("%s") << u"B%s"_s;
        QTest::newRow("%n") << u"%n"_s;
        QTest::newRow("%f") << u"%f"_s;
        QTest::newRow("%p") << u"%p"_s;
        QTest::newRow("unknown letter") << u"EDV1_%q"_s;
        QTest::newRow("% at the end") << u"EDV1_%2.2d%"_s;
        QTest::newRow("unfinished directive") << u"%0:-5"_s;
        QTest::newRow("index 1") << u"%1:d"_s;
        QTest::newRow("star width") << u"%*d"_s;
        QTest::newRow("too wide") << u"%65d"_s;
        QTest::newRow("too precise") << u"%.65d"_s;
        QTest::newRow("huge width") << u"%s%n%999999999d"_s;
        QTest::newRow("width beyond int") << u"%99999999999999999999d"_s;
        QTest::newRow("minus after width") << u"%5-d"_s;
    }
    void refused() {
        QFETCH(QString, Pattern);
        TModalSeam::Clear();
        TModalSeam::SetUnattended(true);
        QVERIFY(!Guarded(nullptr, [&] { FormatMask(Pattern, 1); }));
        QCOMPARE(TModalSeam::Shown(), QStringList{u"Fehler|Ungültiges Format in der Maske: "_s + Pattern});
    }
};

PARVON_TEST_MAIN(TMaskFormatTest)
#include "tst_maskformat.moc"
