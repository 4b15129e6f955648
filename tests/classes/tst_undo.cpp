// Taking a class run back: a fresh class goes without a trace in the store, on the volumes and on
// the directory server; what was added to a class since stays, and so does what holds it.

#include "KlasseAnlegenFixture.h"
#include "StoreSnapshot.h"

#include <TestMain.h>

#include <DirectoryClient.h>
#include <KlassenListe_U.h>
#include <RunUndo.h>
#include <SqliteJournal.h>

#include <QMenu>
#include <QProcess>
#include <QTableWidget>
#include <QtTest>

using namespace Demo;

class TUndoTest : public TKlasseAnlegenFixture {
    Q_OBJECT

    TStorePerCase Stores{{}};
    std::shared_ptr<TSqliteJournal> Journal;
    const QString Klasse = Schueler + QStringLiteral("\\7c");

    qint64 LastRun() const { return Journal->Runs().back().Id; }

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

    void freshClassGoesWithoutTrace();
    void addedSinceStays();
    void contextMenuAsksFirst();
};

void TUndoTest::freshClassGoesWithoutTrace() {
    const TStoreSnapshot Before(*Case);
    Start();
    QVERIFY(Exists(Klasse));
    const TUndoPlan Plan = PlanUndo(**Case, LastRun());
    QVERIFY(Plan.Complete());
    bool Ok = false;
    ExecuteUndo(**Case, Plan, &Ok);
    QVERIFY(Ok);
    const TStoreSnapshot After(*Case);
    QCOMPARE(After.DumpLines(), Before.DumpLines());
    QCOMPARE(After.Folders, Before.Folders);
    QCOMPARE(After.LdapFields, Before.LdapFields);
    // Taken back once: the journal says so, and a second time is refused.
    QCOMPARE(Journal->Runs().front().UndoneBy, LastRun());
    QCOMPARE(Journal->CreatedBy({Klasse}), std::vector<qint64>{0});
    QVERIFY_THROWS_EXCEPTION(EDirectoryError, PlanUndo(**Case, Journal->Runs().front().Id));
}

void TUndoTest::addedSinceStays() {
    Start();
    const qint64 Run = LastRun();
    TDirectoryBackend& D = (**Case).Directory();
    D.CreateUser(D.Resolve(Klasse), QStringLiteral("neu"), QStringLiteral("Neu"), nullptr);
    const QString Notiz =
        (**Case).VolumeStore().LocalPath(HomeBase + QStringLiteral("\\7c")) + QStringLiteral("/notiz.txt");
    {
        QFile F(Notiz);
        QVERIFY(F.open(QIODevice::WriteOnly));
        F.write("bleibt");
    }
    if (!Case->Ldap) {
        // The console lists the same and changes nothing with --dry-run.
        QProcess P;
        P.start(QStringLiteral(PARVON_DIRTOOL),
                {QStringLiteral("--store"), Case->Path(), QStringLiteral("undo"), QString::number(Run),
                 QStringLiteral("--dry-run")});
        QVERIFY(P.waitForFinished(60000));
        const QString Text = QString::fromUtf8(P.readAllStandardOutput());
        QCOMPARE(P.exitCode(), 0);
        QVERIFY2(
            Text.contains(QStringLiteral("BLEIBT: Angelegt: Organizational Unit 7c.schueler.unterricht – "
                                         "enthält, was seit dem Lauf dazukam: neu (User)")),
            qPrintable(Text));
        QVERIFY(Text.contains(QStringLiteral("notiz.txt")));
    }
    const TUndoPlan Plan = PlanUndo(**Case, Run);
    QVERIFY(!Plan.Complete());
    bool Ok = true;
    const QStringList Done = ExecuteUndo(**Case, Plan, &Ok);
    QVERIFY(!Ok);
    QVERIFY2(Done.contains(
                 QStringLiteral("Zurückgenommen: Angelegt: Template User_Template.7c.schueler.unterricht")),
             qPrintable(Done.join(u'\n')));
    // The user, the class that holds it, the file and the folder that holds it stay.
    QVERIFY(Exists(Klasse + QStringLiteral("\\neu")));
    QVERIFY(QFile::exists(Notiz));
    QVERIFY(!Exists(Klasse + QStringLiteral("\\User_Template")));
    QVERIFY(!FolderExists(TauschBase + QStringLiteral("\\7c")));
    // Not taken back whole: the run can be taken back again once the class is empty.
    QCOMPARE(Journal->Find(Run)->UndoneBy, 0);
    QCOMPARE(Journal->CreatedBy({Klasse}), std::vector<qint64>{Run});
}

void TUndoTest::contextMenuAsksFirst() {
    Start();
    auto* Liste = Child<TKlassenListeTab>(Form.get(), QStringLiteral("TabListeKlassen"));
    auto* Grid = Child<QTableWidget>(Liste, QStringLiteral("sgKlassen"));
    Liste->TabListeKlassenShow();
    auto RowOf = [Grid](const QString& Name) {
        for (int R = 0; R < Grid->rowCount(); ++R)
            if (Grid->item(R, 0) && Grid->item(R, 0)->text() == Name)
                return R;
        return -1;
    };
    auto Item = [&](int Row) {
        const std::unique_ptr<QMenu> Menu(Liste->KontextMenue(Row));
        // The grid's own items stay in the menu.
        if (!Menu->actions().contains(Child<QAction>(Grid, QStringLiteral("acKlassenCsv"))))
            qFatal("the CSV item is missing from the class menu");
        return Child<QAction>(Menu.get(), QStringLiteral("meKlasseEntfernen"))->isEnabled();
    };
    QVERIFY(!Item(RowOf(QStringLiteral("5a")))); // no run made it
    QVERIFY(Item(RowOf(QStringLiteral("7c"))));

    // Asked, and declined: nothing goes. Asked again and confirmed: the class goes.
    QString Asked;
    Answer::With<QDialog>([&Asked](QDialog& D) {
        Asked = Child<QPlainTextEdit>(&D, QStringLiteral("meListe"))->toPlainText();
        return int(QDialog::Rejected);
    });
    Liste->KlasseEntfernen(RowOf(QStringLiteral("7c")));
    QVERIFY(Exists(Klasse));
    QVERIFY(
        Asked.contains(QStringLiteral("Zurücknehmen: Angelegt: Organizational Unit 7c.schueler.unterricht")));
    Answer::With<QDialog>(
        [](QDialog& D) { return D.objectName() == QLatin1String("KlasseEntfernen") ? 1 : 0; });
    Answer::With<QDialog>([](QDialog&) { return int(QDialog::Accepted); });
    Liste->KlasseEntfernen(RowOf(QStringLiteral("7c")));
    QVERIFY(!Exists(Klasse));
    QCOMPARE(RowOf(QStringLiteral("7c")), -1);
}

PARVON_TEST_MAIN(TUndoTest)
#include "tst_undo.moc"
