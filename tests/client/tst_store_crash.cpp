#include <DemoTree.h>
#include <WorkstationStore.h>
#include <SqliteStore.h>
#include <TestMain.h>
#include <TestText.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int Users = 20000;
constexpr int Classes = 40;
constexpr int MaxRounds = 6;
constexpr qint64 Budget = 40000; // ms

// The LDIF of a school: one organization, its classes, and the users spread over them.
QByteArray SchoolLdif() {
    QByteArray Text = "version: 1\n\ndn: o=schule\nobjectClass: organization\n\n";
    for (int C = 0; C < Classes; ++C)
        Text += QStringLiteral("dn: ou=k%1,o=schule\nobjectClass: organizationalUnit\n\n").arg(C).toUtf8();
    for (int U = 0; U < Users; ++U)
        Text += QStringLiteral("dn: cn=u%1,ou=k%2,o=schule\nobjectClass: inetOrgPerson\nsn: Nachname %1\n"
                               "givenName: Vorname\nfullName: Vorname Nachname %1\n\n")
                    .arg(U)
                    .arg(U % Classes)
                    .toUtf8();
    return Text;
}

struct TState {
    QString Integrity;
    int Objects = 0; // of the imported tree
};

// The database as a connection of its own reads it: its integrity check and the imported objects.
TState Inspect(const QString& DatabaseFile) {
    TState State;
    {
        QSqlDatabase Db = QSqlDatabase::addDatabase(Q("QSQLITE"), Q("inspect"));
        Db.setDatabaseName(DatabaseFile);
        if (Db.open()) {
            QSqlQuery Q1(Db);
            if (Q1.exec(Q("PRAGMA integrity_check")) && Q1.next())
                State.Integrity = Q1.value(0).toString();
            QSqlQuery Q2(Db);
            if (Q2.exec(
                    Q("SELECT COUNT(*) FROM objects o JOIN trees t ON t.id=o.tree_id WHERE t.uname='NEU'")) &&
                Q2.next())
                State.Objects = Q2.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(Q("inspect"));
    return State;
}

} // namespace

// A console import of a large school killed at random moments: whenever it dies, the store passes
// its integrity check, holds the whole import or nothing of it, and opens as the program opens it.
class TstStoreCrash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void KilledImportIsAllOrNothing() {
        QTemporaryDir Dir;
        const QString Ldif = Dir.filePath(Q("schule.ldif"));
        {
            QFile F(Ldif);
            const QByteArray Text = SchoolLdif();
            QVERIFY(F.open(QIODevice::WriteOnly) && F.write(Text) == Text.size());
        }
        const QString Folder = Dir.filePath(Q("store"));
        const QString Database = Folder + Q("/directory.db");
        const QString Pristine = Dir.filePath(Q("pristine.db"));
        {
            TSqliteStore Store(Folder);
            Store.AddTree(Q("ALT"));
        }
        QVERIFY(QFile::copy(Database, Pristine));
        const int All = 1 + Classes + Users;
        const QString Wal = Database + Q("-wal");

        // Starts the import into a copy of the pristine store and waits until it writes: the text
        // is read and checked first, and only then do pages go to the write-ahead log.
        auto Import = [&](QProcess& Child) {
            for (const char* Suffix : {"", "-wal", "-shm"})
                QFile::remove(Database + QLatin1String(Suffix));
            if (!QFile::copy(Pristine, Database))
                return false;
            QFile::setPermissions(Database, QFile::ReadOwner | QFile::WriteOwner);
            // The child is killed anyway: it does without leak checks and allocation stacks.
            QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
            Environment.insert(Q("ASAN_OPTIONS"), Q("detect_leaks=0:malloc_context_size=0"));
            Child.setProcessEnvironment(Environment);
            Child.start(QStringLiteral(PARVON_DIRTOOL), {Q("--store"), Folder, Q("import"), Q("NEU"), Ldif});
            if (!Child.waitForStarted())
                return false;
            while (QFileInfo(Wal).size() == 0 && !Child.waitForFinished(5)) {
            }
            return true;
        };

        // The whole import once: how long it writes sets the moments to kill it at.
        QElapsedTimer Test, Writing;
        Test.start();
        {
            QProcess Child;
            QVERIFY(Import(Child));
            Writing.start();
            QVERIFY(Child.waitForFinished(60000));
            QCOMPARE(Child.exitCode(), 0);
        }
        const int Writes = int(Writing.elapsed()) + 1;
        const qint64 Whole = Test.elapsed();
        QCOMPARE(Inspect(Database).Objects, All);

        const quint32 Seed = QRandomGenerator::global()->generate();
        QRandomGenerator Random(Seed);
        qInfo("whole import %lld ms, writing %d ms; kill moments from seed %u", Whole, Writes, Seed);
        // As many rounds as the time allows, no fewer than two.
        for (int Round = 0; Round < MaxRounds && (Round < 2 || Test.elapsed() + Whole < Budget); ++Round) {
            QProcess Child;
            QVERIFY(Import(Child));
            const int Moment = Random.bounded(Writes + Writes / 10);
            if (!Child.waitForFinished(Moment)) {
                Child.kill();
                QVERIFY(Child.waitForFinished(10000));
            }
            const TState State = Inspect(Database);
            const QByteArray Where =
                QStringLiteral("round %1, killed %2 ms into writing").arg(Round).arg(Moment).toUtf8();
            QVERIFY2(State.Integrity == Q("ok"), Where + ": " + State.Integrity.toUtf8());
            QVERIFY2(State.Objects == 0 || State.Objects == All,
                     Where + ": " + QByteArray::number(State.Objects) + " objects");
            const QStringList Trees = OpenWorkstationStore(Folder)->Trees();
            QCOMPARE(Trees, State.Objects ? QStringList({Q("ALT"), Q("NEU")}) : QStringList{Q("ALT")});
        }
    }
};

PARVON_TEST_MAIN(TstStoreCrash)
#include "tst_store_crash.moc"
