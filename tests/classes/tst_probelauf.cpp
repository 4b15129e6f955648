// The class run's dry run and journal: a dry run changes nothing in the store, on the volumes or on
// the directory server, and lists exactly what the real run made right after it then journals.

#include "KlasseAnlegenFixture.h"
#include "StoreSnapshot.h"

#include <TestMain.h>

#include <DirectoryClient.h>
#include <SqliteJournal.h>

#include <QtTest>

using namespace Demo;

class TProbelaufTest : public TKlasseAnlegenFixture {
    Q_OBJECT

    TStorePerCase Stores{{}};
    std::shared_ptr<TSqliteJournal> Journal;

    QPushButton* Probelauf() const { return Child<QPushButton>(T, QStringLiteral("BuProbelauf")); }

private Q_SLOTS:
    void initTestCase() {
        PARVON_REQUIRE_TEST_BACKEND();
        Stores.InitTestCase();
    }
    void cleanupTestCase() { Stores.CleanupTestCase(); }
    void init() {
        TTestStore& S = Stores.Init(QTest::currentTestFunction());
        Journal = std::make_shared<TSqliteJournal>(S.Path());
        (*S).SetJournal(Journal, [](const QString&) {
            return TRunOrigin{QStringLiteral("admin"), QString()};
        });
        Begin(S);
    }
    void cleanup() {
        EndCase();
        Journal.reset();
        Stores.Cleanup();
    }

    void dryRunChangesNothingAndListsTheRun_data();
    void dryRunChangesNothingAndListsTheRun();
};

void TProbelaufTest::dryRunChangesNothingAndListsTheRun_data() {
    QTest::addColumn<bool>("Tausch");
    QTest::addColumn<bool>("Template");
    QTest::addColumn<QString>("Muster");
    QTest::addColumn<bool>("Succeeds");
    QTest::newRow("complete") << true << true << Template << true;
    QTest::newRow("class folder only") << false << false << Template << true;
    QTest::newRow("template unknown")
        << true << true << Schueler + QStringLiteral("\\Kein_Template") << false;
}

void TProbelaufTest::dryRunChangesNothingAndListsTheRun() {
    QFETCH(bool, Tausch);
    QFETCH(bool, Template);
    QFETCH(QString, Muster);
    QFETCH(bool, Succeeds);
    U.chTausch->setChecked(Tausch);
    U.chTemplate->setChecked(Template);
    K().MusterTemplate = Muster;
    U.EdNeueklasse->setText(QStringLiteral("7c"));
    T->KlassentabAktualisieren();
    QVERIFY(Probelauf()->isEnabled());

    const TStoreSnapshot Before(*Case);
    auto Unchanged = [&Before, this] {
        const TStoreSnapshot Now(*Case);
        QCOMPARE(Now.Dump, Before.Dump);
        QCOMPARE(Now.Folders, Before.Folders);
        QCOMPARE(Now.Ldap, Before.Ldap);
    };
    QString Shown;
    Answer::With<QDialog>([&Shown](QDialog& D) {
        Shown = Child<QPlainTextEdit>(&D, QStringLiteral("meListe"))->toPlainText();
        return int(QDialog::Accepted);
    });
    Probelauf()->click();
    Unchanged();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!Exists(Schueler + QStringLiteral("\\7c")));
    QVERIFY(Shown.contains(QStringLiteral("Anlegen: Organizational Unit 7c.schueler.unterricht")));
    QCOMPARE(Shown.contains(QStringLiteral("Würde fehlschlagen: Template konnte nicht übertragen werden.")),
             !Succeeds);
    QVERIFY(Journal->Runs().empty());
    const TLaufBericht Dry = T->LetzterProbelauf();
    QCOMPARE(Dry.Erfolgreich, Succeeds);

    Start();
    const std::vector<TJournalRun> Runs = Journal->Runs();
    QCOMPARE(Runs.size(), size_t(1));
    QCOMPARE(Runs.front().Result, Succeeds ? QStringLiteral("erfolgreich") : QStringLiteral("abgebrochen"));
    QCOMPARE(Protocol(), Dry.Protokoll);
    const std::vector<TRunChange> Real = Journal->Changes(Runs.front().Id);
    QCOMPARE(Real.size(), Dry.Aenderungen.size());
    for (size_t I = 0; I < Real.size(); ++I)
        QVERIFY2(Real[I] == Dry.Aenderungen[I],
                 qPrintable(ChangeLines(Real[I], false).join(u'\n') + QStringLiteral("\n  vs\n") +
                            ChangeLines(Dry.Aenderungen[I], true).join(u'\n')));
}

PARVON_TEST_MAIN(TProbelaufTest)
#include "tst_probelauf.moc"
