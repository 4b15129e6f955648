#include <ClientTestCase.h>
#include <DirectoryClient.h>
#include <ErrorCode.h>
#include <FaultInjection.h>
#include <NWDir.h>
#include <TestMain.h>
#include <TestStore.h>
#include <TestText.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

namespace {
const QString Root = Q("NDS:\\\\SCHULE");
const QString Unterricht = Q("NDS:\\\\SCHULE\\unterricht");
const QString Schueler = Q("NDS:\\\\SCHULE\\unterricht\\schueler");
const QString Class5a = Q("NDS:\\\\SCHULE\\unterricht\\schueler\\5a");
} // namespace

// The directory control's asynchronous search.
class TstClientSearch : public TClientTestCase {
    Q_OBJECT
public:
    TstClientSearch()
        : TClientTestCase({"SearchDeliversThroughTheEventLoop", "SearchWholeTreeForUsers",
                           "SearchDelayIsInjected", "SearchOutlivedByItsControl"}) {}

private Q_SLOTS:
    void SearchDeliversThroughTheEventLoop_data() {
        QTest::addColumn<QString>("Base");
        QTest::addColumn<QString>("Name");
        QTest::addColumn<QString>("Layout");
        QTest::addColumn<int>("Scope");
        QTest::addColumn<QStringList>("Expected"); // empty: only the count matters
        QTest::addColumn<int>("Count");
        QTest::newRow("class by name")
            << Root << Q("5A") << Q("organizational unit") << 2 << QStringList{Class5a} << 1;
        QTest::newRow("templates below schueler")
            << Schueler << Q("user_template") << Q("Template") << 2 << QStringList{} << 11;
        QTest::newRow("star prefix") << Schueler << Q("1*") << Q("Organizational Unit") << 2
                                     << QStringList{Schueler + Q("\\10a"), Schueler + Q("\\11")} << 2;
        QTest::newRow("base excluded")
            << Schueler << Q("*") << Q("Organizational Unit") << 2 << QStringList{} << 11;
        QTest::newRow("direct children")
            << Unterricht << Q("*") << QString() << 1
            << QStringList{Schueler, Unterricht + Q("\\Pruefung_Template"), Unterricht + Q("\\pruefung")}
            << 3;
        QTest::newRow("base itself") << Class5a << Q("5*") << QString() << 0 << QStringList{Class5a} << 1;
        QTest::newRow("no hit") << Root << Q("nobody") << QString() << 2 << QStringList{} << 0;
        QTest::newRow("unknown layout") << Root << Q("*") << Q("Spaceship") << 2 << QStringList{} << 0;
        QTest::newRow("question mark is literal") << Root << Q("5?") << QString() << 2 << QStringList{} << 0;
        QTest::newRow("stars inside") << Schueler << Q("1*A") << Q("Organizational Unit") << 2
                                      << QStringList{Schueler + Q("\\10a")} << 1;
        QTest::newRow("stars around") << Schueler << Q("*0*") << Q("Organizational Unit") << 2
                                      << QStringList{Schueler + Q("\\10a")} << 1;
        QTest::newRow("parts do not overlap")
            << Schueler << Q("*a*a") << Q("Organizational Unit") << 2 << QStringList{} << 0;
        QTest::newRow("base itself, parts do not overlap")
            << Class5a << Q("5*A*a") << QString() << 0 << QStringList{} << 0;
        QTest::newRow("base itself, stars inside")
            << Class5a << Q("*5**A") << QString() << 0 << QStringList{Class5a} << 1;
    }
    void SearchDeliversThroughTheEventLoop() {
        QFETCH(QString, Base);
        QFETCH(QString, Name);
        QFETCH(QString, Layout);
        QFETCH(int, Scope);
        QFETCH(QStringList, Expected);
        QFETCH(int, Count);
        QSignalSpy Spy(FDir.get(), &NWDir::SearchCompleted);
        FDir->Search(Name, Layout, Scope, Base, 0);
        QCOMPARE(Spy.count(), 0); // never before the call returns
        QVERIFY(Spy.wait(2000));
        const QStringList Results = Spy.at(0).at(0).value<QVariant>().toStringList();
        QCOMPARE(Results.size(), Count);
        if (!Expected.isEmpty())
            QCOMPARE(Results, Expected);
    }

    void SearchWholeTreeForUsers() {
        QSignalSpy Spy(FDir.get(), &NWDir::SearchCompleted);
        FDir->Search(Q("*"), Q("User"), 2, Q("nds:\\\\SCHULE"), 0);
        QVERIFY(Spy.wait(2000));
        const QStringList Results = Spy.at(0).at(0).value<QVariant>().toStringList();
        QVERIFY(Results.size() > 200);
        QVERIFY(Results.contains(Q("NDS:\\\\SCHULE\\dienste\\admin")));
        QCOMPARE(CodeOf([&] { FDir->Search(Q("*"), QString(), 2, Root + Q("\\nirgends"), 0); }),
                 ERR_NO_SUCH_ENTRY);
    }

    void SearchDelayIsInjected() {
        TFaultInjection::SetSearchDelay(150);
        QSignalSpy Spy(FDir.get(), &NWDir::SearchCompleted);
        QElapsedTimer Timer;
        Timer.start();
        FDir->Search(Q("5a"), QString(), 2, Root, 0);
        QVERIFY(Spy.wait(2000));
        QVERIFY(Timer.elapsed() >= 140);
    }

    void SearchOutlivedByItsControl() {
        auto Dir = std::make_unique<NWDir>(**FStore);
        Dir->Search(Q("*"), QString(), 2, Root, 0);
        Dir.reset(); // a pending delivery must not reach a destroyed control
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
};

PARVON_TEST_MAIN(TstClientSearch)
#include "tst_client_search.moc"
