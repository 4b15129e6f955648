// The start of a class creation: the refusal of an existing name and of a bad one, the run guard
// while the existence search lets events through, and the wait for a new entry.

#include "KlasseAnlegenFixture.h"

#include <TestMain.h>

#include <FaultInjection.h>
#include <KlassenLauf.h>
#include <NWFileSystem.h>

#include <QDir>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace Demo;
using namespace Protokoll;

class TKlasseAnlegenStartTest : public TKlasseAnlegenFixture {
    Q_OBJECT

    // The cases that make nothing share one store; the others get their own.
    TStorePerCase Stores{{"existingName", "badName", "templateWait"}};

private Q_SLOTS:
    void initTestCase() {
        PARVON_REQUIRE_TEST_BACKEND();
        Stores.InitTestCase();
    }
    void cleanupTestCase() { Stores.CleanupTestCase(); }
    void init() { Begin(Stores.Init(QTest::currentTestFunction())); }
    void cleanup() {
        EndCase();
        Stores.Cleanup();
    }

    void existingName_data();
    void existingName();
    void secondRunRefused();
    void badName_data();
    void badName();
    void buttonOffWhileRunning();
    void templateWait();
};

void TKlasseAnlegenStartTest::existingName_data() {
    QTest::addColumn<QString>("Name");
    QTest::addColumn<QString>("Container"); // full name of the base container
    QTest::addColumn<QString>("Shown");     // EdContainer
    QTest::newRow("class of the container") << "5a" << Schueler << "schueler.unterricht";
    QTest::newRow("other letter case") << "5A" << Schueler << "schueler.unterricht";
    QTest::newRow("deeper below the container") << "EDV2" << Prefix << "SCHULE";
}

void TKlasseAnlegenStartTest::existingName() {
    QFETCH(QString, Name);
    QFETCH(QString, Container);
    QFETCH(QString, Shown);
    K().BasisContainer = Container;
    U.EdContainer->setText(Shown);
    const int Before = EntriesBelow(Prefix);
    const QStringList FoldersBefore = QDir(NWFileSystem::LocalPath(**Case, HomeBase)).entryList(QDir::Dirs);

    Start(Name);
    QCOMPARE(TModalSeam::Shown(),
             QStringList{QStringLiteral("Fehler|Die Klasse ") + Name + QStringLiteral(" gibt es\nin ") +
                         Shown + QStringLiteral(" bereits.")});
    // The protocol stays hidden and empty before the first run; nothing is made.
    QVERIFY(U.MeProtokol->isHidden());
    QCOMPARE(Protocol(), QStringList());
    QCOMPARE(EntriesBelow(Prefix), Before);
    QCOMPARE(QDir(NWFileSystem::LocalPath(**Case, HomeBase)).entryList(QDir::Dirs), FoldersBefore);
    QCOMPARE(U.EdNeueklasse->text(), Name);
    QVERIFY(U.BuAnlegen->isEnabled());
}

void TKlasseAnlegenStartTest::secondRunRefused() {
    // A run that stops after the container keeps it; the next run with that name is refused and
    // leaves the protocol of the first one in place.
    U.edHomeBase->setText(QStringLiteral("\\\\SRV9\\DATA"));
    Start();
    const QStringList First = Protocol();
    QCOMPARE(First.last(), Abbruch);
    QVERIFY(Exists(Schueler + QStringLiteral("\\7c")));

    U.edHomeBase->setText(HomeBase);
    Form->show();
    QVERIFY(QTest::qWaitForWindowActive(Form.get()));
    U.MeProtokol->setFocus();
    U.BuAnlegen->click();
    QCOMPARE(TModalSeam::Shown(),
             QStringList{QStringLiteral("Fehler|Die Klasse 7c gibt es\nin schueler.unterricht bereits.")});
    QCOMPARE(Protocol(), First);
    QVERIFY(!FolderExists(HomeBase + QStringLiteral("\\7c")));
    QTRY_VERIFY(U.EdNeueklasse->hasFocus());
}

void TKlasseAnlegenStartTest::badName_data() {
    QTest::addColumn<QString>("Name");
    QTest::addColumn<QString>("Box");
    const QString Rule =
        QStringLiteral("\" ist ungültig.\nErlaubt sind nur die Buchstaben A bis Z und a bis z, die "
                       "Ziffern 0 bis 9 und \"_\".");
    QTest::newRow("empty") << ""
                           << "Fehler|Es ist kein Name für die neue Klasse angegeben.";
    QTest::newRow("climbing path") << "..\\7c" << u"Fehler|Der Klassenname \"..\\7c"_s + Rule;
    QTest::newRow("blank") << "7 c" << u"Fehler|Der Klassenname \"7 c"_s + Rule;
    QTest::newRow("umlaut") << "7ä" << u"Fehler|Der Klassenname \"7ä"_s + Rule;
    QTest::newRow("wildcard") << "*" << u"Fehler|Der Klassenname \"*"_s + Rule;
}

void TKlasseAnlegenStartTest::badName() {
    QFETCH(QString, Name);
    QFETCH(QString, Box);
    // Started by code with a name that did not pass the field's filter (the validator cleans
    // even texts set by code, so it is taken away here).
    U.EdNeueklasse->setValidator(nullptr);
    U.EdNeueklasse->blockSignals(true);
    U.EdNeueklasse->setText(Name);
    U.EdNeueklasse->blockSignals(false);
    const int Before = EntriesBelow(Prefix);
    TFaultInjection::Clear();
    U.MeProtokol->setPlainText(QStringLiteral("alt"));

    T->KlasseAnlegen();
    QCOMPARE(TModalSeam::Shown(), QStringList{Box});
    QCOMPARE(TFaultInjection::Count(QStringLiteral("NWDir.Search")), 0);
    QCOMPARE(TFaultInjection::Count(QStringLiteral("NWEntries.Add")), 0);
    QCOMPARE(Protocol(), QStringList{QStringLiteral("alt")});
    QCOMPARE(EntriesBelow(Prefix), Before);
}

void TKlasseAnlegenStartTest::buttonOffWhileRunning() {
    // While the existence search waits, the refresh timer runs and the user may click again:
    // the button stays off and a second start does nothing.
    TFaultInjection::SetSearchDelay(500);
    bool Checked = false;
    bool EnabledMeanwhile = true;
    QTimer::singleShot(100, T, [&] {
        Checked = true;
        T->KlassentabAktualisieren();
        U.EdNeueklasse->setText(QStringLiteral("7cd"));
        EnabledMeanwhile = U.BuAnlegen->isEnabled();
        QVERIFY(T->KlasseLaeuft());
        T->KlasseAnlegen();
    });
    Start();
    QVERIFY(Checked);
    QVERIFY(!EnabledMeanwhile);
    QVERIFY(!T->KlasseLaeuft());
    QCOMPARE(Protocol().size(), 13);
    QCOMPARE(Protocol().last(), Success);
    QVERIFY(!Exists(Schueler + QStringLiteral("\\7cd")));
    QCOMPARE(TFaultInjection::Count(QStringLiteral("NWDir.Search")), 1);
    QCOMPARE(TModalSeam::Shown(), QStringList());
}

void TKlasseAnlegenStartTest::templateWait() {
    TKlassenLauf Run(*NDK, [](const QString&) {});
    // Found at once: no pause.
    QVERIFY(Run.EintragAbwarten(Template, 100));
    QCOMPARE(TClock::Now(), Then());
    // Never found: one test, then one after each pause.
    TFaultInjection::Clear();
    QVERIFY(!Run.EintragAbwarten(Schueler + QStringLiteral("\\gibtsnicht"), 3));
    QCOMPARE(Then().msecsTo(TClock::Now()), 300);
    QCOMPARE(TFaultInjection::Count(QStringLiteral("NWDir.FindEntry")), 4);
}

PARVON_TEST_MAIN(TKlasseAnlegenStartTest)
#include "tst_klasseanlegen_start.moc"
