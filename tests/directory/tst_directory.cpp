// The reads and searches of TNDK.

#include "DirectoryTestSupport.h"
#include "NdkFixture.h"

#include <DemoNamen.h>

#include <Clock.h>
#include <ModalSeam.h>
#include <ndk_u.h>
#include <treeSelect_u.h>

#include <EDirectoryError.h>
#include <FaultInjection.h>
#include <NWNetAddress.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <TestMain.h>
#include <ctime>
#include <memory>

class TstDirectory : public QObject, TNdkFixture {
    Q_OBJECT

    static QString Template() { return Schueler() + Q(R"(\User_Template)"); }

private Q_SLOTS:
    void initTestCase() {
        PARVON_REQUIRE_TEST_BACKEND();
        Start();
        QVERIFY(TModalSeam::Shown().isEmpty());
    }
    void init() { Reset(); }
    void cleanupTestCase() { Stop(); }

    // ----- reads

    void GetFieldValue_data() {
        QTest::addColumn<QString>("Field");
        QTest::addColumn<QString>("Value");
        QTest::newRow("home directory") << Q("Home Directory") << HomeDirectoryOfTemplate();
        QTest::newRow("missing field") << Q("Keine Eigenschaft") << QString();
        QTest::newRow("field without value") << Q("Surname") << QString();
    }
    void GetFieldValue() {
        QFETCH(QString, Field);
        QFETCH(QString, Value);
        QCOMPARE(FNdk->GetFieldValue(Template(), Field), Value);
    }

    void TypedFieldValuesAsText() {
        TClock::SetShortDateFormat(Q("dd.MM.yyyy"));
        TClock::SetTimeFormat(Q("HH:mm:ss"));
        const QString Catalog = Tree() + Q(R"(\dienste\benutzer)");
        const QString Field = Q("NDSCAT:Actual End Time");
        {
            NWDir Dir(**FStore);
            Dir.SetFullName(Catalog);
            const NWEntryPtr E = Dir.Entry();
            E->SetFieldValue(Field, QDateTime(QDate(2024, 2, 3), QTime(13, 14, 15)));
            E->Update();
        }
        const QString Time = FNdk->GetFieldValue(Catalog, Field);
        TClock::Reset();
        QCOMPARE(Time, Q("03.02.2024 13:14:15"));

        const QString Ou = NewContainer(Q("typed"));
        FNdk->AddTemplate(Ou, Q("T"));
        FNdk->SetFieldValue(Ou + Q(R"(\T)"), Q("Home Directory Rights"), Q("251"));
        QCOMPARE(FNdk->GetFieldValue(Ou + Q(R"(\T)"), Q("Home Directory Rights")), Q("251"));
    }

    void GetFieldValueRaisesOnlyForPositioning() {
        QVERIFY_THROWS_EXCEPTION(EDirectoryError,
                                 FNdk->GetFieldValue(Schueler() + Q(R"(\gibtsnicht)"), Q("Surname")));
        // The tree root has no entry: a failure after positioning gives "".
        QCOMPARE(FNdk->GetFieldValue(Tree(), Q("Surname")), QString());
        QCOMPARE(FNdk->GetFieldValueList(Tree(), Q("Surname")), QString());
    }

    void GetHomeDirectoryDropsBlanks() {
        const QString Ou = NewContainer(Q("homeblanks"));
        FNdk->AddTemplate(Ou, Q("User_Template"));
        QVERIFY(!FNdk->AddFailed);
        const QString Tpl = Ou + Q(R"(\User_Template)");
        FNdk->SetFieldValue(Tpl, Q("Home Directory"), Demo::DataVolumeObjekt + Q(R"(, \home\a b)"));
        QCOMPARE(FNdk->GetHomeDirectory(Tpl), Demo::DataVolumeObjekt + Q(R"(,\home\ab)"));
    }

    void GetFieldValueList_data() {
        QTest::addColumn<QStringList>("Values");
        QTest::addColumn<QString>("Text");
        QTest::newRow("one") << QStringList{Q("a")} << Q("a");
        QTest::newRow("three") << QStringList{Q("a"), Q("b"), Q("c")} << Q("a\r\nb\r\nc");
        QTest::newRow("none") << QStringList() << QString();
    }
    void GetFieldValueList() {
        QFETCH(QStringList, Values);
        QFETCH(QString, Text);
        const QString Ou =
            NewContainer(Q("list") + QString::fromLatin1(QTest::currentDataTag()).remove(u' '));
        NWDir Dir(**FStore);
        Dir.SetFullName(Ou);
        const NWEntryPtr E = Dir.Entry();
        E->SetFieldValue(MultiValuedField(), Values);
        E->Update();
        QCOMPARE(FNdk->GetFieldValueList(Ou, MultiValuedField()), Text);
    }

    void ShortNameAndLayout() {
        QCOMPARE(FNdk->GetShortName(Schueler().toUpper()), Q("schueler"));
        QCOMPARE(FNdk->GetShortName(Tree()), Q("SCHULE"));
        QCOMPARE(FNdk->GetEntryLayout(Schueler()), Q("Organizational Unit"));
        QCOMPARE(FNdk->GetEntryLayout(Template()), Q("Template"));
        QVERIFY_THROWS_EXCEPTION(EDirectoryError, FNdk->GetShortName(Tree() + Q(R"(\nichtda)")));
    }

    void EntryExists_data() {
        QTest::addColumn<QString>("Entry");
        QTest::addColumn<bool>("Exists");
        QTest::newRow("container") << Schueler() << true;
        QTest::newRow("other case") << Schueler().toUpper() << true;
        QTest::newRow("template") << Template() << true;
        QTest::newRow("absent") << Schueler() + Q(R"(\absent)") << false;
        QTest::newRow("other tree") << Q(R"(NDS:\\ANDERS\unterricht)") << false;
        QTest::newRow("garbage") << Q("...") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void EntryExists() {
        QFETCH(QString, Entry);
        QFETCH(bool, Exists);
        QCOMPARE(FNdk->EntryExists(Entry), Exists);
    }

    void ListEntriesAppends() {
        const QString Ou = NewContainer(Q("enum"));
        TStringList List;
        FNdk->ListEntries(Ou, List);
        QCOMPARE(List.Count(), 0);
        QCOMPARE(FNdk->CountEntries(Ou), 0);

        FNdk->AddOrganizationalUnit(Ou, Q("b"));
        FNdk->AddTemplate(Ou, Q("a"));
        FNdk->AddOrganizationalUnit(Ou, Q("c"));
        FNdk->ListEntries(Ou, List);
        FNdk->ListEntries(Ou, List);
        QCOMPARE(List.Count(), 6);
        QStringList Once = List.Texts().mid(0, 3);
        QCOMPARE(List.Texts().mid(3), Once);
        for (int I = 0; I < List.Count(); ++I)
            QCOMPARE(List.Object(I)->Text, Ou + u'\\' + List.Text(I));
        // The embedded store lists in creation order, a directory server in an order of its own.
        if (FStore->Ldap)
            Once.sort();
        QCOMPARE(Once,
                 (FStore->Ldap ? QStringList{Q("a"), Q("b"), Q("c")} : QStringList{Q("b"), Q("a"), Q("c")}));
        QCOMPARE(FNdk->CountEntries(Ou), 3);
    }

    void FiltersStayInForce() {
        const QString Ou = NewContainer(Q("filter"));
        FNdk->AddOrganizationalUnit(Ou, Q("k1"));
        FNdk->AddTemplate(Ou, Q("t1"));
        FNdk->AddOrganizationalUnit(Ou, Q("k2"));

        FNdk->SetFilters(Q("organizational unit"));
        TStringList List;
        FNdk->ListEntries(Ou, List);
        QCOMPARE(List.Texts(), (QStringList{Q("k1"), Q("k2")}));
        // Still in force for the next calls, also after positioning elsewhere.
        QCOMPARE(FNdk->CountEntries(Ou), 2);
        FNdk->GetShortName(Template());
        QCOMPARE(FNdk->CountEntries(Ou), 2);
        FNdk->SetFilters(Q("Template,User"));
        QCOMPARE(FNdk->CountEntries(Ou), 1);
        FNdk->SetFilters(QString());
        QCOMPARE(FNdk->CountEntries(Ou), 3);
    }

    void CountEntriesOfLeafIsZero() {
        QCOMPARE(FNdk->CountEntries(Template()), 0);
        TStringList List;
        FNdk->ListEntries(Template(), List);
        QCOMPARE(List.Count(), 0);
    }

    void ListFieldNamesAndTypes() {
        QStringList Names;
        FNdk->ListFieldNames(Template(), Names);
        QVERIFY(Names.contains(Q("Home Directory")));
        QCOMPARE(FNdk->GetFieldTypeInfo(Q("Login Script")), Q("Stream"));
        QCOMPARE(FNdk->GetFieldTypeInfo(Q("login script")), QString());
        QCOMPARE(FNdk->GetFieldTypeInfo(Q("Home Directory")), Q("Path"));
        QCOMPARE(FNdk->GetFieldTypeInfo(Q("Keine Eigenschaft")), QString());
    }

    // ----- search

    void SearchFromRoot_data() {
        QTest::addColumn<QString>("Base");
        QTest::newRow("upper") << Q("[ROOT]");
        QTest::newRow("lower") << Q("[root]");
        QTest::newRow("mixed") << Q("[RoOt]");
        QTest::newRow("tree prefix") << Tree();
        QTest::newRow("organization") << Unterricht();
    }
    void SearchFromRoot() {
        QFETCH(QString, Base);
        TStringList List;
        List.Add(Q("vorher"));
        FNdk->SearchObjects(Base, Q("schueler"), Q("Organizational Unit"), List);
        QCOMPARE(List.Count(), 2);
        QCOMPARE(List.Text(0), Q("vorher"));
        QCOMPARE(List.Text(1), Q("schueler.unterricht"));
        QCOMPARE(List.Object(1)->Text, Schueler());
        QVERIFY(!FNdk->SearchRunning);
        QCOMPARE(FNdk->SearchResults, nullptr);
    }

    void SearchWithoutHits() {
        TStringList List;
        List.Add(Q("bleibt"));
        FNdk->SearchObjects(Q("[ROOT]"), Q("gibtsnicht"), Q("Organizational Unit"), List);
        QCOMPARE(List.Texts(), QStringList{Q("bleibt")});
        // A layout that does not match the name finds nothing either.
        FNdk->SearchObjects(Q("[ROOT]"), Q("schueler"), Q("User"), List);
        QCOMPARE(List.Count(), 1);
    }

    void SearchWildcardBelowBase() {
        TStringList List;
        FNdk->SearchObjects(Unterricht(), Q("User_Temp*"), Q("Template"), List);
        QVERIFY(List.Count() > 1);
        QVERIFY(List.Texts().contains(Q("User_Template.schueler.unterricht")));
        for (int I = 0; I < List.Count(); ++I)
            QVERIFY(List.Object(I)->Text.startsWith(Unterricht() + u'\\'));
    }

    void SearchWaitsWithoutSpinning() {
        TFaultInjection::SetSearchDelay(600);
        TStringList List;
        QElapsedTimer Wall;
        Wall.start();
        const std::clock_t Cpu = std::clock();
        FNdk->SearchObjects(Q("[ROOT]"), Q("schueler"), Q("Organizational Unit"), List);
        const double CpuMs = double(std::clock() - Cpu) * 1000.0 / CLOCKS_PER_SEC;
        QVERIFY(Wall.elapsed() >= 550);
        QCOMPARE(List.Count(), 1);
        // A busy wait would burn most of the 600 ms.
        QVERIFY2(CpuMs < 150, qPrintable(QStringLiteral("CPU time while waiting: %1 ms").arg(CpuMs)));
    }

    void SearchStartedDuringSearch() {
        // A second search started while the first waits takes over; whatever arrives after a
        // search returned stays out of its (by then gone) list.
        TFaultInjection::SetSearchDelay(300);
        QSignalSpy Arrived(FNdk->NWDir1, &NWDir::SearchCompleted);
        int Inner = -1;
        QTimer::singleShot(50, this, [&] {
            TStringList InnerList;
            FNdk->SearchObjects(Q("[ROOT]"), Q("unterricht"), Q("Organization"), InnerList);
            Inner = InnerList.Count();
        });
        TStringList Outer;
        FNdk->SearchObjects(Q("[ROOT]"), Q("schueler"), Q("Organizational Unit"), Outer);
        QCOMPARE(Inner, 1); // the first search's hit, delivered into the list of the second
        QCOMPARE(Outer.Count(), 0);
        QTRY_COMPARE(Arrived.count(), 2);
        QVERIFY(!FNdk->SearchRunning);
        QCOMPARE(FNdk->SearchResults, nullptr);
    }

    void SearchOfUnknownBaseRaises() {
        TStringList List;
        try {
            FNdk->SearchObjects(Tree() + Q(R"(\nichtda)"), Q("*"), QString(), List);
        } catch (const EDirectoryError&) {
            // A refused start leaves no search behind.
        }
        QVERIFY(!FNdk->SearchRunning);
        QCOMPARE(FNdk->SearchResults, nullptr);
        QCOMPARE(List.Count(), 0);
    }

    void SearchCompletedHandler_data() {
        QTest::addColumn<QVariant>("Results");
        QTest::addColumn<QStringList>("Lines");
        QTest::addColumn<QStringList>("Objects");
        QTest::newRow("empty texts skipped")
            << QVariant(QStringList{Q(R"(NDS:\\T\O\A)"), QString(), Q(R"(NDS:\\T\O\B)"), QString()})
            << QStringList{Q("A.O"), Q("B.O")} << QStringList{Q(R"(NDS:\\T\O\A)"), Q(R"(NDS:\\T\O\B)")};
        QTest::newRow("variant list") << QVariant(QVariantList{Q(R"(NDS:\\T\X)")}) << QStringList{Q("X")}
                                      << QStringList{Q(R"(NDS:\\T\X)")};
        QTest::newRow("not a list") << QVariant(42) << QStringList() << QStringList();
        QTest::newRow("nothing") << QVariant() << QStringList() << QStringList();
    }
    void SearchCompletedHandler() {
        QFETCH(QVariant, Results);
        QFETCH(QStringList, Lines);
        QFETCH(QStringList, Objects);
        TStringList List;
        FNdk->SearchResults = &List;
        FNdk->SearchRunning = true;
        FNdk->NWDir1SearchCompleted(Results);
        FNdk->SearchResults = nullptr;
        QVERIFY(!FNdk->SearchRunning);
        QCOMPARE(List.Texts(), Lines);
        QStringList Got;
        for (int I = 0; I < List.Count(); ++I)
            Got << List.Object(I)->Text;
        QCOMPARE(Got, Objects);
        QVERIFY(TModalSeam::Shown().isEmpty());
    }

private:
    QString HomeDirectoryOfTemplate() const {
        NWDir Dir(**FStore);
        Dir.SetFullName(Template());
        return Dir.Entry()->GetFieldValue(Q("Home Directory")).toString();
    }
    static QString MultiValuedField() { return Q("Description"); }
};

PARVON_TEST_MAIN(TstDirectory)
#include "tst_directory.moc"
