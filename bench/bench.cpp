// parvon-bench: builds a large school directory in a fresh store and times the directory reads the
// workflows make through TNDK against the same reads done as plain SQL on the same database; with
// --ldap also against the same directory on a throwaway LDAP server (LdapBench.h). Then the lists, the
// catalog refresh, the exam-account run and the import of a volume file; --only runs one of these parts.

#include "BenchBImport.h"
#include "BenchCommon.h"
#include "BenchPrueflinge.h"
#include "BenchReports.h"
#include "CatalogBench.h"
#include "VolumeBench.h"

#include <DirectoryClient.h>
#include <LdapBench.h>
#include <NWDir.h>
#include <SqliteStore.h>
#include <ndk_u.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <functional>
#include <limits>
#include <sys/resource.h>
#include <tuple>

namespace {

[[noreturn]] void Die(const QString& Message) {
    QTextStream(stderr) << "parvon-bench: " << Message << '\n';
    std::exit(2);
}

const char* const GivenNames[] = {"Anna",  "Ben",   "Clara", "David", "Emma",  "Felix", "Greta", "Hannah",
                                  "Jonas", "Julia", "Leon",  "Lena",  "Lukas", "Marie", "Max",   "Mia"};
const char* const Surnames[] = {"Müller",  "Schmidt",  "Schneider", "Fischer", "Weber",
                                "Meyer",   "Wagner",   "Becker",    "Schulz",  "Hoffmann",
                                "Schäfer", "Koch",     "Bauer",     "Richter", "Klein",
                                "Wolf",    "Schröder", "Neumann",   "Schwarz", "Zimmermann"};

// The directory: tree SCHULE, unterricht, schueler, Classes classes with Students students each,
// built through the directory control in one transaction.
void Build(TSqliteStore& Store, TDirectoryClient& Client, int Classes, int Students) {
    TDirectoryTransaction T(Store);
    Store.AddTree(QStringLiteral("SCHULE"));
    Store.SetConnectedTrees({TreeRoot});
    NWDir Dir(Client);
    Dir.SetFullName(TreeRoot);
    Dir.Entries()->Add(QStringLiteral("Organization"), QStringLiteral("unterricht"));
    Dir.SetFullName(TreeRoot + QStringLiteral("\\unterricht"));
    Dir.Entries()->Add(QStringLiteral("Organizational Unit"), QStringLiteral("schueler"));
    for (int C = 1; C <= Classes; ++C) {
        Dir.SetFullName(Schueler);
        const QString Class = ClassName(C);
        NWEntryPtr Unit = Dir.Entries()->Add(QStringLiteral("Organizational Unit"), Class);
        Unit->SetFieldValue(
            QStringLiteral("Login Script"),
            QStringLiteral("MAP DISPLAY OFF\r\nMAP ROOT H:=SRV1_DATA:home\\schueler\\%1\\%LOGIN_NAME\r\n"
                           "WRITE \"Guten Tag, %FULL_NAME!\"\r\n")
                .arg(Class));
        Unit->Update();
        Dir.SetFullName(Schueler + QLatin1Char('\\') + Class);
        NWEntries* Entries = Dir.Entries();
        for (int S = 1; S <= Students; ++S) {
            const int K = C * 31 + S * 7;
            const QString Given = QString::fromUtf8(GivenNames[K % std::size(GivenNames)]);
            const QString Surname = QString::fromUtf8(Surnames[(K / 3) % std::size(Surnames)]);
            NWEntryPtr User = Entries->Add(QStringLiteral("User"), UserName(C, S));
            User->SetFieldValue(QStringLiteral("Given Name"), Given);
            User->SetFieldValue(QStringLiteral("Surname"), Surname);
            User->SetFieldValue(QStringLiteral("Full Name"), Given + QLatin1Char(' ') + Surname);
            User->Update();
        }
    }
    T.Commit();
}

// Plain SQL on a second connection to the same database: the reads the program's calls make,
// each in the fewest statements that give the same result.
class TRawReads {
public:
    explicit TRawReads(const QString& DatabaseFile) {
        FDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench_raw"));
        FDb.setDatabaseName(DatabaseFile);
        if (!FDb.open())
            Die(FDb.lastError().text());
        QSqlQuery Tree(FDb);
        if (!Tree.exec(QStringLiteral("SELECT id FROM trees WHERE uname='SCHULE'")) || !Tree.next())
            Die(QStringLiteral("no tree SCHULE"));
        FTreeId = Tree.value(0).toLongLong();
        Prepare(FResolve, "SELECT id FROM objects WHERE tree_id=? AND path=?");
        Prepare(FChildren, "SELECT name FROM objects WHERE parent_id=? ORDER BY id");
        Prepare(FCount, "SELECT COUNT(*) FROM objects WHERE parent_id=?");
        Prepare(FField, "SELECT v.value FROM objects o JOIN field_values v ON v.object_id=o.id "
                        "WHERE o.tree_id=? AND o.path=? AND v.field=? ORDER BY v.idx LIMIT 1");
        Prepare(FSearch, "SELECT dn FROM objects WHERE tree_id=? AND uname=? AND layout=? ORDER BY id");
    }
    ~TRawReads() {
        for (QSqlQuery* Q : {&FResolve, &FChildren, &FCount, &FField, &FSearch})
            *Q = QSqlQuery();
        FDb.close();
        FDb = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("bench_raw"));
    }

    // Short names and full names of a container's subordinates.
    QStringList List(const QString& Levels, const QString& FullName, QStringList& FullNames) {
        const qint64 Id = Resolve(Levels);
        FChildren.bindValue(0, Id);
        Exec(FChildren);
        QStringList Names;
        while (FChildren.next()) {
            Names << FChildren.value(0).toString();
            FullNames << FullName + QLatin1Char('\\') + Names.back();
        }
        FChildren.finish();
        return Names;
    }

    int Count(const QString& Levels) {
        const qint64 Id = Resolve(Levels);
        FCount.bindValue(0, Id);
        Exec(FCount);
        const int N = FCount.next() ? FCount.value(0).toInt() : 0;
        FCount.finish();
        return N;
    }

    QString Field(const QString& Levels, const QString& Field) {
        FField.bindValue(0, FTreeId);
        FField.bindValue(1, Levels.toUpper());
        FField.bindValue(2, Field);
        Exec(FField);
        const QString Value = FField.next() ? FField.value(0).toString() : QString();
        FField.finish();
        return Value;
    }

    QStringList Search(const QString& Name, const QString& Layout) {
        FSearch.bindValue(0, FTreeId);
        FSearch.bindValue(1, Name.toUpper());
        FSearch.bindValue(2, Layout);
        Exec(FSearch);
        QStringList Result;
        while (FSearch.next())
            Result << TreeRoot + QLatin1Char('\\') + FSearch.value(0).toString();
        FSearch.finish();
        return Result;
    }

private:
    void Prepare(QSqlQuery& Q, const char* Sql) {
        Q = QSqlQuery(FDb);
        Q.setForwardOnly(true);
        if (!Q.prepare(QString::fromLatin1(Sql)))
            Die(Q.lastError().text());
    }
    static void Exec(QSqlQuery& Q) {
        if (!Q.exec())
            Die(Q.lastError().text());
    }
    qint64 Resolve(const QString& Levels) {
        FResolve.bindValue(0, FTreeId);
        FResolve.bindValue(1, Levels.toUpper());
        Exec(FResolve);
        if (!FResolve.next())
            Die(QStringLiteral("no object %1").arg(Levels));
        const qint64 Id = FResolve.value(0).toLongLong();
        FResolve.finish();
        return Id;
    }

    QSqlDatabase FDb;
    qint64 FTreeId = 0;
    QSqlQuery FResolve, FChildren, FCount, FField, FSearch;
};

double PeakMegabytes() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return Usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parvon"));

    int Classes = 1000, Students = 30, Rounds = 15;
    bool Ldap = false;
    QString Only; // one part of the bench; empty: all
    const QStringList Parts{QStringLiteral("reads"), QStringLiteral("lists"), QStringLiteral("catalog"),
                            QStringLiteral("exam"), QStringLiteral("volumes")};
    const QStringList Args = App.arguments().mid(1);
    for (int I = 0; I < Args.size(); ++I) {
        bool Ok = true;
        if (Args[I] == QLatin1String("--classes") && I + 1 < Args.size())
            Classes = Args[++I].toInt(&Ok);
        else if (Args[I] == QLatin1String("--students") && I + 1 < Args.size())
            Students = Args[++I].toInt(&Ok);
        else if (Args[I] == QLatin1String("--rounds") && I + 1 < Args.size())
            Rounds = Args[++I].toInt(&Ok);
        else if (Args[I] == QLatin1String("--ldap"))
            Ldap = true;
        else if (Args[I] == QLatin1String("--only") && I + 1 < Args.size())
            Ok = Parts.contains(Only = Args[++I]);
        else
            Ok = false;
        if (!Ok || Classes < 1 || Students < 1 || Rounds < 1) {
            QTextStream(stderr)
                << "Usage: parvon-bench [--classes N] [--students N] [--rounds N] [--ldap] [--only "
                << Parts.join(QLatin1Char('|')) << "]\n";
            return 2;
        }
    }

    QTemporaryDir Folder;
    if (!Folder.isValid())
        Die(QStringLiteral("no temporary folder"));
    const auto Store = std::make_shared<TSqliteStore>(Folder.path());
    TDirectoryClient Client(Store, Store);
    TDirectoryClient::SetInstance(&Client);

    QElapsedTimer BuildTimer;
    BuildTimer.start();
    Build(*Store, Client, Classes, Students);
    const double BuildSeconds = BuildTimer.nsecsElapsed() / 1e9;
    Out() << QStringLiteral("Directory: %1 classes x %2 students = %3 users, built in %4 s\n")
                 .arg(Classes)
                 .arg(Students)
                 .arg(Classes * Students)
                 .arg(BuildSeconds, 0, 'f', 2);
    Out().flush();

    TNDK Ndk(nullptr, Client);
    TRawReads Raw(Store->Folder() + QStringLiteral("/directory.db"));

    // The sample: up to 100 classes spread over the directory.
    QList<int> Sample;
    const int Step = qMax(1, Classes / 100);
    for (int C = 1; C <= Classes; C += Step)
        Sample << C;
    auto Levels = [](int C) { return QStringLiteral("unterricht\\schueler\\") + ClassName(C); };
    auto Full = [](int C) { return Schueler + QLatin1Char('\\') + ClassName(C); };

    bool AllMet = BuildSeconds < 30;
    const auto Runs = [&Only](const char* Part) { return Only.isEmpty() || Only == QLatin1String(Part); };
    // The two sides must read the same.
    if (Runs("reads")) {
        TStringList List;
        Ndk.ListEntries(Full(Sample.back()), List);
        QStringList FullNames;
        const QStringList Names = Raw.List(Levels(Sample.back()), Full(Sample.back()), FullNames);
        if (List.Texts() != Names || List.Count() != Students || List.Object(0)->Text != FullNames.first())
            Die(QStringLiteral("ListEntries and SQL disagree"));
        if (Ndk.CountEntries(Full(1)) != Raw.Count(Levels(1)))
            Die(QStringLiteral("CountEntries and SQL disagree"));
        const QString User = Full(1) + QLatin1Char('\\') + UserName(1, 1);
        if (Ndk.GetFieldValue(User, QStringLiteral("Full Name")) !=
            Raw.Field(Levels(1) + QLatin1Char('\\') + UserName(1, 1), QStringLiteral("Full Name")))
            Die(QStringLiteral("GetFieldValue and SQL disagree"));
        TStringList Found;
        Ndk.DottedResults = false;
        Ndk.SearchObjects(QStringLiteral("[ROOT]"), ClassName(Classes), QStringLiteral("Organizational Unit"),
                          Found);
        if (Found.Texts() != Raw.Search(ClassName(Classes), QStringLiteral("Organizational Unit")))
            Die(QStringLiteral("SearchObjects and SQL disagree"));

        const QList<TRow> Rows = TimeReads(
            Ndk, Sample, Students, Rounds,
            {[&](int C) {
                 QStringList FullNames;
                 Raw.List(Levels(C), Full(C), FullNames);
             },
             [&](int C) { Raw.Count(Levels(C)); },
             [&](int C, int S) {
                 Raw.Field(Levels(C) + QLatin1Char('\\') + UserName(C, S), QStringLiteral("Full Name"));
             },
             [&](int C) { Raw.Search(ClassName(C), QStringLiteral("Organizational Unit")); }});
        AllMet = PrintRows(Rows, QStringLiteral("SQL"), 2.0) && AllMet;
        if (Ldap)
            AllMet = BenchLdap(Store, Client, Students, Rounds, Sample) && AllMet;
    }

    // The lists, timed through their tabs.
    if (Runs("lists")) {
        QList<TRow> ListRows;
        for (const TBenchZeile& Z : BenchReports(*Store, Client, Ndk, Schueler, Students,
                                                 [&](int Calls, const auto&Program, const auto&Sql) {
                                                     const TTiming T = Time(Rounds, Calls, Program, Sql);
                                                     return std::pair{T.Program, T.Floor};
                                                 }))
            ListRows << TRow{Z.Name, {Z.Program, Z.Sql}, Z.GrenzeMikro, Z.Verhaeltnisziel};
        AllMet = PrintRows(ListRows, QStringLiteral("SQL"), 2.0) && AllMet;
    }

    if (Runs("catalog")) {
        const TCatalogTiming Catalog = TimeCatalog(*Store, Client, Ndk, Schueler, qMin(Rounds, 9));
        const double CatalogRatio = Catalog.RefreshMs / Catalog.SqlMs;
        AllMet = AllMet && CatalogRatio <= 1.5 && Catalog.LongestGapMs < 100 && Catalog.DemoMs < 1000;
        Out()
            << QStringLiteral(
                   "Catalog refresh (%1 objects, %2 values; fastest of %3 rounds): %4 ms, SQL %5 ms (rows "
                   "before deleted, rows gathered and inserted, one transaction; reading them alone %6 ms), "
                   "ratio %7%8; medians %9 ms and %10 ms, ratio %11\n")
                   .arg(Catalog.Objects)
                   .arg(Catalog.Values)
                   .arg(Catalog.Rounds)
                   .arg(Catalog.RefreshMs, 0, 'f', 1)
                   .arg(Catalog.SqlMs, 0, 'f', 1)
                   .arg(Catalog.ReadMs, 0, 'f', 1)
                   .arg(CatalogRatio, 0, 'f', 2)
                   .arg(CatalogRatio <= 1.5 ? QString() : QStringLiteral("  (target: at most 1.5)"))
                   .arg(Catalog.RefreshMedianMs, 0, 'f', 1)
                   .arg(Catalog.SqlMedianMs, 0, 'f', 1)
                   .arg(Catalog.RefreshMedianMs / Catalog.SqlMedianMs, 0, 'f', 2);
        Out() << QStringLiteral(
                     "Catalog refresh through the dialog: %1 ms, %2 reads of the end time, longest "
                     "event-loop gap %3 ms (target: under 100 ms)\n")
                     .arg(Catalog.DialogMs, 0, 'f', 1)
                     .arg(Catalog.EndTimeReads)
                     .arg(Catalog.LongestGapMs, 0, 'f', 1);
        Out() << QStringLiteral("Catalog refresh of the demo directory: %1 ms (target: under 1000 ms)\n")
                     .arg(Catalog.DemoMs, 0, 'f', 1);
    }

    // The exam-account run through its run unit; the hashing is the directory's work, the trustee
    // waits are prescribed.
    if (Runs("exam")) {
        const TPrueflingeBench Exam = BenchPrueflinge(Store, Schueler, 99, qMin(Rounds, 2));
        AllMet = AllMet && Exam.Neu.Programm() < 2.0 && Exam.Zweiter.Programm() < 1.0;
        for (const auto& [Name, Zeit, Ziel] :
             {std::tuple{QStringLiteral("new accounts"), Exam.Neu, 2.0},
              std::tuple{QStringLiteral("accounts, second run"), Exam.Zweiter, 1.0}})
            Out() << QStringLiteral(
                         "Exam run, %1 %2: program %3 s (target: under %4 s); password hashing %5 s; "
                         "trustee waits %6 s\n")
                         .arg(Exam.Konten)
                         .arg(Name)
                         .arg(Zeit.Programm(), 0, 'f', 3)
                         .arg(Ziel, 0, 'f', 0)
                         .arg(Zeit.Hashen, 0, 'f', 2)
                         .arg(Zeit.Warten, 0, 'f', 1);

        // The import of a BImport file against the exam run's own cost per account (its hashing apart;
        // the import sets no passwords).
        const TBImportBench Import = BenchBImport(Store, Schueler, 1000, qMin(Rounds, 2));
        const double ExamMs = 1000 * Exam.Neu.Programm() / Exam.Konten;
        const double ImportMs = 1000 * Import.Neu / Import.Zeilen;
        AllMet = AllMet && ImportMs <= 2 * ExamMs;
        Out() << QStringLiteral(
                     "BImport import, %1 lines: %2 s, %3 ms an account, the exam run %4 ms an account, "
                     "ratio %5 (target: at most 2); the same file again %6 s; trustee waits %7 s\n")
                     .arg(Import.Zeilen)
                     .arg(Import.Neu, 0, 'f', 3)
                     .arg(ImportMs, 0, 'f', 3)
                     .arg(ExamMs, 0, 'f', 3)
                     .arg(ImportMs / ExamMs, 0, 'f', 2)
                     .arg(Import.Zweiter, 0, 'f', 3)
                     .arg(Import.Warten, 0, 'f', 1);
    }

    if (Runs("volumes")) {
        const TVolumeImportTiming Volumes = TimeVolumeImport(8000);
        AllMet =
            AllMet && Volumes.ImportMs < 3000 && Volumes.WriterOverlapped && Volumes.WriterFailure.isEmpty();
        Out() << QStringLiteral(
                     "import-volumes of %1 folders in one parent: %2 ms (target: under 3000 ms), mkdir "
                     "of the same folders alone %3 ms; a second writer started %4 ms in and %5 at "
                     "%6 ms%7\n")
                     .arg(Volumes.Folders)
                     .arg(Volumes.ImportMs, 0, 'f', 1)
                     .arg(Volumes.MkdirMs, 0, 'f', 1)
                     .arg(Volumes.WriterStartedMs, 0, 'f', 1)
                     .arg(Volumes.WriterFailure.isEmpty()
                              ? QStringLiteral("succeeded")
                              : QStringLiteral("failed (%1)").arg(Volumes.WriterFailure))
                     .arg(Volumes.WriterEndedMs, 0, 'f', 1)
                     .arg(Volumes.WriterOverlapped ? QString()
                                                   : QStringLiteral("  (after the import: no overlap)"));
    }

    const double Peak = PeakMegabytes();
    AllMet = AllMet && Peak < 200;
    Out() << QStringLiteral("Build time: %1 s (target: under 30 s)\n").arg(BuildSeconds, 0, 'f', 2);
    Out() << QStringLiteral("Peak memory: %1 MB (target: under 200 MB)\n").arg(Peak, 0, 'f', 1);
    Out() << (AllMet ? "All targets met.\n" : "Some targets missed.\n");
    Out().flush();
    TDirectoryClient::SetInstance(nullptr);
    return AllMet ? 0 : 1;
}
