// The browse control inside the picker: its model, filters and order, expand marks and modes,
// clicks, a large container, and a listing that fails.

#include "BrowseKlick.h"
#include "OUBrowser_U.h"

#include <DemoNamen.h>
#include <DirectoryClient.h>
#include <FaultInjection.h>
#include <ModalSeam.h>
#include <NWBrowse.h>
#include <NWDir.h>
#include <NdkCase.h>
#include <TestMain.h>
#include <TestStore.h>
#include <TestText.h>
#include <ndk_u.h>

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QLocale>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTreeView>
#include <optional>

using namespace Demo;

class TPickerBrowseTest : public QObject {
    Q_OBJECT

private:
    // Most cases only read the demo directory and share one; the others get their own.
    TStorePerCase FStores{{"browseModelPassesTester", "browseFilters", "browseDoesNotFollowSharedCursor",
                           "expandModes", "expandModeTwoOpensLoadedLevels", "entryClickedSignal",
                           "listingFailureShown"}};
    TTestStore* FStore = nullptr;
    std::optional<TNdkCase> FCase;
    QWidget* Owner() const { return FCase->Owner(); }

private Q_SLOTS:
    void initTestCase() { FStores.InitTestCase(); }
    void cleanupTestCase() { FStores.CleanupTestCase(); }

    void init() {
        FStore = &FStores.Init(QTest::currentTestFunction());
        FCase.emplace(**FStore);
    }
    void cleanup() {
        FCase.reset();
        FStores.Cleanup();
        FStore = nullptr;
    }

    void browseModelPassesTester() {
        NDK->SetFilters(QString());
        NDK->NWDir1->SetFullName(Prefix);
        NWBrowse Browse;
        QAbstractItemModelTester Tester(Browse.Model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        Browse.SetDirectory(NDK->NWDir1);
        Browse.SetExpandMode(1);
        QVERIFY(Browse.SelectEntry(Template5a)); // opens three more levels on the way
        QVERIFY(Browse.SelectEntry(Workstations));
        Browse.SetDirectory(NDK->NWDir1); // rebuilt from scratch
        QCOMPARE(Browse.Model()->rowCount(Browse.Model()->index(0, 0)) > 0, true);
    }

    void browseFilters_data() {
        QTest::addColumn<QString>("filters");
        QTest::addColumn<bool>("templateShown");
        QTest::newRow("units only") << Q("Organizational Unit") << false;
        QTest::newRow("units and templates") << Q("Organizational Unit,Template") << true;
        QTest::newRow("no filter") << QString() << true;
    }

    void browseFilters() {
        QFETCH(QString, filters);
        QFETCH(bool, templateShown);
        NDK->SetFilters(filters);
        NDK->NWDir1->SetFullName(Schueler);
        NWBrowse Browse;
        Browse.SetDirectory(NDK->NWDir1);
        QVERIFY(Browse.Model()->IndexOf(Klasse5a).isValid());
        QCOMPARE(Browse.Model()->IndexOf(Template5a).isValid(), templateShown);
        // Numbers in names sort by value.
        QVERIFY(Browse.Model()->IndexOf(Klasse5a).row() <
                Browse.Model()->IndexOf(Schueler + Q(R"(\10a)")).row());
    }

    // Classes in the order people read them, also on a workstation without a locale of its own.
    void classesInReadingOrder() {
        const QLocale Before;
        QLocale::setDefault(QLocale::c());
        const auto Restore = qScopeGuard([&] { QLocale::setDefault(Before); });
        NDK->SetFilters(Q("Organizational Unit"));
        NDK->NWDir1->SetFullName(Schueler);
        NWBrowse Browse;
        Browse.SetExpandMode(1);
        Browse.SetDirectory(NDK->NWDir1);
        const QModelIndex Root = Browse.Model()->index(0, 0);
        QStringList Names;
        for (int R = 0; R < Browse.Model()->rowCount(Root); ++R)
            Names << Browse.Model()->data(Browse.Model()->index(R, 0, Root)).toString();
        QCOMPARE(Names, (QStringList{Q("5a"), Q("5b"), Q("6a"), Q("6b"), Q("7a"), Q("7b"), Q("8a"), Q("9a"),
                                     Q("10a"), Q("11"), Q("EDV1")}));
    }

    // A container with nothing to show under the filter has no expand mark, before it is opened.
    void expandMarkOnlyWhereSomethingShows_data() {
        QTest::addColumn<QString>("filters");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("mark");
        QTest::newRow("class, units only") << Q("Organizational Unit") << Schueler << Klasse5a << false;
        QTest::newRow("class with its template")
            << Q("Organizational Unit,Template") << Schueler << Klasse5a << true;
        QTest::newRow("services hold no unit")
            << Q("Organization,Organizational Unit") << Prefix << Prefix + Q(R"(\dienste)") << false;
        QTest::newRow("teaching holds units")
            << Q("Organization,Organizational Unit") << Prefix << Unterricht << true;
    }

    void expandMarkOnlyWhereSomethingShows() {
        QFETCH(QString, filters);
        QFETCH(QString, base);
        QFETCH(QString, entry);
        QFETCH(bool, mark);
        NDK->SetFilters(filters);
        NDK->NWDir1->SetFullName(base);
        NWBrowse Browse;
        Browse.SetExpandMode(1);
        Browse.SetDirectory(NDK->NWDir1);
        const QModelIndex Entry = Browse.Model()->IndexOf(entry);
        QVERIFY(Entry.isValid());
        QVERIFY(!Browse.Model()->IsLoaded(Entry));
        QCOMPARE(Browse.Model()->hasChildren(Entry), mark);
        QCOMPARE(Browse.Model()->FetchCount(), 1); // the start's listing answered it
    }

    void browseDoesNotFollowSharedCursor() {
        NDK->SetFilters(QString());
        NDK->NWDir1->SetFullName(Schueler);
        NWBrowse Browse;
        Browse.SetDirectory(NDK->NWDir1);
        NDK->NWDir1->SetFullName(Klasse5a); // other calls move the shared control
        NDK->SetFilters(Q("User"));
        Browse.SetExpandMode(1);
        const QModelIndex Root = Browse.Model()->index(0, 0);
        QCOMPARE(Browse.Model()->FullName(Root).toUpper(), Schueler.toUpper());
        QVERIFY(Browse.Model()->IndexOf(Klasse5a).isValid());
    }

    void expandModes_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("rootOpen");
        QTest::addColumn<int>("fetches");
        QTest::newRow("0: closed") << 0 << false << 0;
        QTest::newRow("1: one level") << 1 << true << 1;
        QTest::newRow("2: loaded levels") << 2 << true << 1;
        QTest::newRow("out of range") << 7 << false << 0;
    }

    void expandModes() {
        QFETCH(int, mode);
        QFETCH(bool, rootOpen);
        QFETCH(int, fetches);
        NDK->SetFilters(QString());
        NDK->NWDir1->SetFullName(Schueler);
        NWBrowse Browse;
        Browse.SetExpandMode(mode);
        Browse.SetDirectory(NDK->NWDir1);
        const QModelIndex Root = Browse.Model()->index(0, 0);
        QCOMPARE(Browse.View()->isExpanded(Root), rootOpen);
        QCOMPARE(Browse.Model()->FetchCount(), fetches);
        QCOMPARE(Browse.ExpandMode(), mode > 2 ? 0 : mode);
    }

    void expandModeTwoOpensLoadedLevels() {
        NDK->SetFilters(QString());
        NDK->NWDir1->SetFullName(Schueler);
        NWBrowse Browse;
        Browse.SetDirectory(NDK->NWDir1);
        QVERIFY(Browse.SelectEntry(Template5a)); // reads the class's level
        const QModelIndex Class = Browse.Model()->IndexOf(Klasse5a);
        Browse.View()->collapseAll();
        Browse.SetExpandMode(1);
        QVERIFY(!Browse.View()->isExpanded(Class));
        Browse.SetExpandMode(2);
        QVERIFY(Browse.View()->isExpanded(Class));
        // Levels not read yet stay closed and unread.
        const int Fetches = Browse.Model()->FetchCount();
        Browse.SetExpandMode(2);
        QCOMPARE(Browse.Model()->FetchCount(), Fetches);
    }

    void entryClickedSignal() {
        NDK->SetFilters(QString());
        NDK->NWDir1->SetFullName(Schueler);
        NWBrowse Browse;
        Browse.SetExpandMode(1);
        Browse.SetDirectory(NDK->NWDir1);
        Browse.resize(300, 400);
        Browse.show();
        QSignalSpy Spy(&Browse, &NWBrowse::EntryClicked);
        QVERIFY(ClickEntry(&Browse, Template5a));
        QCOMPARE(Spy.count(), 1);
        QCOMPARE(Spy.at(0).at(0).toString().toUpper(), Template5a.toUpper());
        QCOMPARE(Spy.at(0).at(1).toString(), Q("Template"));
        // The icon comes from the image list through the layout's index.
        Browse.SetImages(NDK->ImageList);
        Browse.SetImageIndex(&TNDK::ClassCode);
        const QModelIndex T = Browse.Model()->IndexOf(Template5a);
        QVERIFY(!Browse.Model()->data(T, Qt::DecorationRole).value<QIcon>().isNull());
    }

    void largeContainerOpensWithOneListing() {
        const int Count = 10000;
        NDK->AddOrganizationalUnit(Schueler, Q("gross"));
        const QString Big = Schueler + Q(R"(\gross)");
        {
            NDK->SetFilters(QString());
            NDK->NWDir1->SetFullName(Big);
            NWEntries* Entries = NDK->NWDir1->Entries();
            QVERIFY(Entries);
            TDirectoryTransaction T((**FStore).Directory());
            for (int I = 0; I < Count; ++I)
                Entries->Add(Q("Organizational Unit"), QStringLiteral("k%1").arg(I, 5, 10, QChar(u'0')));
            T.Commit();
        }
        NDK->NWDir1->SetFullName(Big);
        NWBrowse Browse;
        QAbstractItemModelTester Tester(Browse.Model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        Browse.SetDirectory(NDK->NWDir1);
        Browse.resize(300, 400);
        Browse.show();
        QCOMPARE(Browse.Model()->FetchCount(), 0);

        TFaultInjection::Clear();
        QElapsedTimer Clock;
        Clock.start();
        const QModelIndex Root = Browse.Model()->index(0, 0);
        Browse.View()->expand(Root);
        QCOMPARE(Browse.Model()->rowCount(Root), Count);
        // Rows show without reading anything more; their own levels stay unread.
        const QModelIndex Last = Browse.Model()->index(Count - 1, 0, Root);
        QCOMPARE(Browse.Model()->data(Last).toString(), Q("k09999"));
        Browse.View()->scrollTo(Last);
        QVERIFY(!Browse.Model()->IsLoaded(Last));
        QCOMPARE(Browse.Model()->FetchCount(), 1);
        QCOMPARE(TFaultInjection::Count(Q("NWEntries.Refresh")), 1); // one listing
        QCOMPARE(TFaultInjection::Count(Q("NWDir.FullName")), 1);    // one positioning
        QCOMPARE(TFaultInjection::Count(Q("NWEntry.GetFieldValue")), 0);
        // A sanity bound only (sanitizers, shared machine); the benchmark times it properly.
        QVERIFY2(Clock.elapsed() < 20000, qPrintable(QString::number(Clock.elapsed())));
    }

    void listingFailureShown() {
        NDK->SetFilters(QString());
        NDK->NWDir1->SetFullName(Schueler);
        TouBrowser Dlg(*NDK, Owner());
        Dlg.Base = Schueler;
        Dlg.SetExpandMode(1);
        QVERIFY(Dlg.Prepare());
        QSignalSpy Failed(Dlg.NWBrowse1, &NWBrowse::LoadFailed);
        TFaultInjection::FailNext(Q("NWEntries.Refresh"), 1, Q("Verbindung verloren"));
        TNWBrowseModel* M = Dlg.NWBrowse1->Model();
        const QModelIndex Class = M->IndexOf(Klasse5a);
        QVERIFY(Class.isValid());
        Dlg.NWBrowse1->View()->expand(Class);
        QCOMPARE(Failed.count(), 1);
        QCOMPARE(M->rowCount(Class), 0);
        QVERIFY(!M->hasChildren(Class));
        // The box comes once the view is done with the expansion.
        QTRY_COMPARE(TModalSeam::Shown().size(), 1);
        QVERIFY(TModalSeam::Shown().first().startsWith(Q("Fehler|Verbindung verloren")));
    }
};

PARVON_TEST_MAIN(TPickerBrowseTest)
#include "tst_picker_browse.moc"
