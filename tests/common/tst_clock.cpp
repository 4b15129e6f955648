#include <TestMain.h>

#include <Clock.h>

#include <QLocale>
#include <QtTest>

// The one clock of the program: fixed by tests, German formats where the system has no locale.
class TClockTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { TClock::Reset(); }

    void fixedNowAndFormats() {
        const QDateTime Then(QDate(2003, 6, 13), QTime(7, 5, 9));
        TClock::SetNow(Then);
        TClock::SetShortDateFormat(QStringLiteral("dd.MM.yyyy"));
        TClock::SetTimeFormat(QStringLiteral("hh:mm:ss"));
        QCOMPARE(TClock::Now(), Then);
        QCOMPARE(TClock::Today(), QDate(2003, 6, 13));
        QCOMPARE(TClock::DateToStr(TClock::Today()), QStringLiteral("13.06.2003"));
        QCOMPARE(TClock::DateTimeToStr(Then), QStringLiteral("13.06.2003 07:05:09"));
        TClock::SetShortDateFormat(QStringLiteral("yyyy-MM-dd"));
        QCOMPARE(TClock::DateToStr(Then.date()), QStringLiteral("2003-06-13"));
    }

    void realClockAfterReset() {
        TClock::SetNow(QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
        TClock::Reset();
        QVERIFY(qAbs(TClock::Now().secsTo(QDateTime::currentDateTime())) < 5);
    }

    void instantPausesMoveNowOn() {
        // Fixed "now": each pause adds its length, nothing negative or empty counts.
        const QDateTime Then(QDate(2003, 6, 13), QTime(7, 5, 9));
        TClock::SetNow(Then);
        TClock::SetInstantPauses(true);
        for (int Ms : {100, 0, -5, 100})
            TClock::Pause(Ms);
        QCOMPARE(TClock::Now(), Then.addMSecs(200));
        // A real "now" is fixed by the first pause, then moved on.
        TClock::SetNow(QDateTime());
        const QDateTime Before = QDateTime::currentDateTime();
        TClock::Pause(10000);
        const QDateTime After = TClock::Now();
        QVERIFY(After >= Before.addMSecs(10000) && After < Before.addSecs(15));
        QCOMPARE(TClock::Now(), After);
    }

    // Texts read back in the formats they were written in; two-digit years lie near today.
    void strToDateTime_data() {
        QTest::addColumn<QString>("DateFormat");
        QTest::addColumn<QString>("Text");
        QTest::addColumn<QDateTime>("Value");
        const QDateTime Then(QDate(2003, 6, 13), QTime(7, 5, 9));
        QTest::newRow("four digits") << "dd.MM.yyyy"
                                     << "13.06.2003 07:05:09" << Then;
        QTest::newRow("two digits") << "dd.MM.yy"
                                    << "13.06.03 07:05:09" << Then;
        QTest::newRow("two digits, last century")
            << "dd.MM.yy"
            << "01.01.99 00:00:00" << QDateTime(QDate(1999, 1, 1), QTime(0, 0));
    }
    void strToDateTime() {
        QFETCH(QString, DateFormat);
        QFETCH(QString, Text);
        QFETCH(QDateTime, Value);
        TClock::SetNow(QDateTime(QDate(2003, 6, 13), QTime(8, 0)));
        TClock::SetShortDateFormat(DateFormat);
        TClock::SetTimeFormat(QStringLiteral("hh:mm:ss"));
        QCOMPARE(TClock::StrToDateTime(Text), Value);
        QCOMPARE(TClock::DateTimeToStr(Value), Text);
    }

    void systemFormats() {
        const QLocale System = QLocale::system();
        if (System.language() == QLocale::C) {
            QCOMPARE(TClock::ShortDateFormat(), QStringLiteral("dd.MM.yyyy"));
            QCOMPARE(TClock::TimeFormat(), QStringLiteral("hh:mm:ss"));
        } else {
            QCOMPARE(TClock::ShortDateFormat(), System.dateFormat(QLocale::ShortFormat));
            QVERIFY(!TClock::TimeFormat().contains(u't'));
            QVERIFY(TClock::TimeFormat().contains(QStringLiteral("ss")));
        }
    }
};

PARVON_TEST_MAIN(TClockTest)
#include "tst_clock.moc"
