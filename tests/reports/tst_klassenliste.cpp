#include "ListenFixture.h"

#include <TestMain.h>

#include <ErrorCode.h>
#include <ErrorGuard.h>
#include <FaultInjection.h>
#include <KlassenListe_U.h>
#include <ReadOnlyStore.h>

#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

using namespace Demo;
using namespace Qt::StringLiterals;

// The tab "Liste der Klassen": the rows read on every showing, a read that fails half way, and
// the printed list.
class TKlassenListeTest : public TListenFixture {
    Q_OBJECT

    TKlassenListeTab* Tab() const {
        return Child<TKlassenListeTab>(Form.get(), QStringLiteral("TabListeKlassen"));
    }
    QString LabelText(const char* Name) const {
        return Child<QLabel>(Form.get(), QLatin1String(Name))->text();
    }
    // The rows with the number of students replaced by "n" when it is one.
    QStringList RowsWithoutCounts() const {
        QStringList Rows = GridRows();
        for (QString& R : Rows)
            R.replace(QRegularExpression(QStringLiteral("^([^|]*)\\|[1-9][0-9]*\\|")),
                      QStringLiteral("\\1|n|"));
        return Rows;
    }

private Q_SLOTS:
    void init() { StartListCase(); }
    void cleanup() { EndListCase(); }

    void rows();
    void failures_data();
    void failures();
    void printedLines_data();
    void printedLines();
    void readOnlyStore();
};

void TKlassenListeTest::rows() {
    // Names as people read them: numbers by their value.
    const QStringList Demo = {u"5a|n|ja|-R----F-"_s, u"5b|n|-|"_s,  u"6a|n|ja|-RWECMF-"_s,
                              u"6b|n|-|"_s,          u"7a|n|-|"_s,  u"7b|n|ja|-R----F-"_s,
                              u"8a|n|-|"_s,          u"9a|n|-|"_s,  u"10a|n|-|"_s,
                              u"11|n|-|"_s,          u"EDV1|-|-|"_s};
    Tab()->TabListeKlassenShow();
    QCOMPARE(RowsWithoutCounts(), Demo);
    QCOMPARE(LabelText("laKlassen"), QStringLiteral("Anzahl: 11"));

    // Classes made meanwhile appear when the tab is shown again, in reading order without
    // regard to case.
    Klasse(Schueler, QStringLiteral("7c"), 0);
    Klasse(Schueler, QStringLiteral("B1"), 2);
    Klasse(Schueler, QStringLiteral("a2"), 1);
    Form->show();
    Of<QTabWidget>(Form, "PageControl1")->setCurrentWidget(Tab());
    QStringList Now = Demo;
    Now.insert(6, QStringLiteral("7c|-|-|"));
    Now.insert(11, QStringLiteral("a2|n|-|"));
    Now.insert(12, QStringLiteral("B1|n|-|"));
    QCOMPARE(RowsWithoutCounts(), Now);
    QCOMPARE(GridRows().mid(11, 2), (QStringList{u"a2|1|-|"_s, u"B1|2|-|"_s}));
    QCOMPARE(LabelText("laKlassen"), QStringLiteral("Anzahl: 14"));
    QVERIFY(TModalSeam::Shown().isEmpty());
}

// On a store the user may only read, the program starts and lists the classes; a change is
// refused with the reason.
void TKlassenListeTest::readOnlyStore() {
    Form.reset();
    Store->Close();
    TReadOnlyStore ReadOnly(Store->Path(), true);
    Store->Open();
    OpenForm();
    Tab()->TabListeKlassenShow();
    QCOMPARE(GridRows().size(), 11);
    QCOMPARE(LabelText("laKlassen"), QStringLiteral("Anzahl: 11"));
    QCOMPARE(
        CodeOf([] { NDK->SetFieldValue(Klasse5a, QStringLiteral("Description"), QStringLiteral("neu")); }),
        ERR_NO_ACCESS);
    QVERIFY(TModalSeam::Shown().isEmpty());
    Form.reset();
}

void TKlassenListeTest::failures_data() {
    QTest::addColumn<QString>("Fault");
    QTest::addColumn<bool>("Always");      // else the next call, once the names are in the grid
    QTest::addColumn<QStringList>("Rows"); // the first two rows afterwards
    QTest::addColumn<bool>("Box");
    QTest::newRow("listing") << u"NWEntries.Refresh"_s << false << QStringList() << true;
    // The listing itself fails when armed at once; armed when the names arrive, the first count does.
    QTest::newRow("count of a class")
        << u"NWEntries.Refresh"_s << false << QStringList{u"5a||ja|-R----F-"_s, u"5b||-|"_s} << true;
    QTest::newRow("rights") << u"NWRights.Mask"_s << true << QStringList{u"5a|n|ja|"_s, u"5b|n|-|"_s}
                            << false;
}

void TKlassenListeTest::failures() {
    QFETCH(QString, Fault);
    QFETCH(bool, Always);
    QFETCH(QStringList, Rows);
    QFETCH(bool, Box);
    Tab()->TabListeKlassenShow(); // a full table first: nothing of it may stay
    if (Always)
        TFaultInjection::FailAlways(Fault);
    else if (Rows.isEmpty())
        TFaultInjection::FailNext(Fault);
    else {
        auto Once = std::make_shared<QMetaObject::Connection>();
        *Once = connect(Grid()->model(), &QAbstractItemModel::rowsInserted, this, [Fault, Once] {
            TFaultInjection::FailNext(Fault);
            disconnect(*Once);
        });
    }
    QVERIFY(Guarded(Form.get(), [this] { Tab()->TabListeKlassenShow(); }) != Box);

    QCOMPARE(RowsWithoutCounts().mid(0, 2), Rows);
    if (Always) // a folder whose rights cannot be read shows as existing, its rights empty
        QCOMPARE(RowsWithoutCounts().at(2), QStringLiteral("6a|n|ja|"));
    QCOMPARE(LabelText("laKlassen"),
             Rows.isEmpty() ? QStringLiteral("Anzahl:") : QStringLiteral("Anzahl: 11"));
    QCOMPARE(TModalSeam::Shown().size(), Box ? 1 : 0);
    QVERIFY(LabelText("laUpdate").isEmpty());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(NDK->NWDir1->Filters(), QString());

    // The next showing reads everything again.
    TFaultInjection::Clear();
    Tab()->TabListeKlassenShow();
    QCOMPARE(GridRows().size(), 11);
    QVERIFY(!GridRows().at(2).endsWith(u'|'));
}

void TKlassenListeTest::printedLines_data() {
    QTest::addColumn<bool>("WithClasses");
    QTest::addColumn<QStringList>("Lines");
    const QString Header = QStringLiteral("       Klasse       Schülerzahl  Tausch    Rechte");
    const QString Rule = QStringLiteral("      ") + QString(57, u'-');
    const QString Title = QStringLiteral("      Liste der Klassen");
    // Empty lines draw nothing.
    QTest::newRow("no classes") << false
                                << QStringList{Title, Header, Rule, Rule,
                                               QStringLiteral("        Anzahl der Klassen: 0")};
    QTest::newRow("a long name pushes its line on")
        << true
        << QStringList{Title,
                       Header,
                       Rule,
                       QStringLiteral("       7a                3         ja       -R----F-"),
                       QStringLiteral("       Langername           -         -                "),
                       Rule,
                       QStringLiteral("        Anzahl der Klassen: 2")};
}

void TKlassenListeTest::printedLines() {
    QFETCH(bool, WithClasses);
    const QString Druck = Prefix + QStringLiteral("\\unterricht\\druck");
    const QString Tausch = DataVolume + QStringLiteral("\\druck");
    NDK->AddOrganizationalUnit(Unterricht, QStringLiteral("druck"));
    if (WithClasses) {
        const QString Class = Klasse(Druck, QStringLiteral("7a"), 3);
        Klasse(Druck, QStringLiteral("Langername"), 0);
        QVERIFY(NDK->ForceDirectories(Tausch + QStringLiteral("\\7a")));
        NDK->SetTrusteeRights(Tausch + QStringLiteral("\\7a"), Class, QStringLiteral("RF"));
    }
    K().ouSchueler = Druck;
    K().TauschBase = Tausch;
    Tab()->TabListeKlassenShow();

    TModalSeam::Push(TPrintDialog::AcceptToPdf(Dir->filePath(QStringLiteral("liste.pdf"))));
    Child<QToolButton>(Tab(), QStringLiteral("buDruckenKlassen"))->click();
    QCOMPARE(Paper.Documents(), 1);
    QCOMPARE(Paper.Pages(1), 1);
    QTEST(Paper.TextsOf(1, 1), "Lines");
    QCOMPARE(Paper.Texts(1, 1).first().Font, (TPrintFont{QStringLiteral("Courier New"), 12, false}));
    QCOMPARE(TModalSeam::Shown(), QStringList{QStringLiteral("Drucken")});
}

PARVON_TEST_MAIN(TKlassenListeTest)
#include "tst_klassenliste.moc"
