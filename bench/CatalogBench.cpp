#include "CatalogBench.h"

#include <CatRefresh_u.h>
#include <DemoTree.h>
#include <DirectoryClient.h>
#include <FaultInjection.h>
#include <ModalSeam.h>
#include <NWDir.h>
#include <SqliteStore.h>
#include <ndk_u.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <vector>

namespace {

const QString EndField = QStringLiteral("NDSCAT:Actual End Time");

[[noreturn]] void Fail(const QString& Message) {
    QTextStream(stderr) << "parvon-bench: catalog: " << Message << '\n';
    std::exit(2);
}

QVariant CatalogField(TDirectoryClient& Client, const QString& Catalog, const QString& Field) {
    NWDir Dir(Client);
    Dir.SetFullName(Catalog);
    return Dir.Entry()->GetFieldValue(Field);
}

// End times have whole seconds and a refresh never repeats the last one: start each timed
// refresh in a second of its own, so that none waits for the next second while timed.
void AfterEndSecond(TDirectoryClient& Client, const QString& Catalog) {
    const QDateTime End = CatalogField(Client, Catalog, EndField).toDateTime();
    while (End.isValid() && QDateTime::currentSecsSinceEpoch() <= End.toSecsSinceEpoch())
        QThread::msleep(10);
}

// The raw work of a refresh with plain SQL on a connection of its own: in one transaction, delete
// the catalog's rows before and insert the gathered rows (the same rows, in the same order). Read()
// only reads them, for comparison.
class TRawGather {
public:
    TRawGather(const QString& DatabaseFile, const QString& Container, qint64 CatalogId)
        : FCatalogId(CatalogId) {
        FDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench_catalog"));
        FDb.setDatabaseName(DatabaseFile);
        if (!FDb.open())
            Fail(FDb.lastError().text());
        FLevels = Container.section(QLatin1Char('\\'), 3).toUpper();
    }
    ~TRawGather() {
        FDb.close();
        FDb = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("bench_catalog"));
    }
    qint64 Read() {
        QSqlQuery Query = Prepare(QString());
        struct TRow {
            qint64 Object;
            QString Name, Field;
            qint64 Index;
            QVariant Value;
        };
        std::vector<TRow> Rows;
        while (Query.next())
            Rows.push_back({Query.value(0).toLongLong(), Query.value(1).toString(), Query.value(2).toString(),
                            Query.value(3).toLongLong(), Query.value(4)});
        return qint64(Rows.size());
    }
    qint64 Write() {
        if (!FDb.transaction())
            Fail(FDb.lastError().text());
        QSqlQuery Clear(FDb);
        Clear.prepare(QStringLiteral("DELETE FROM catalog_rows WHERE catalog_id=?"));
        Clear.bindValue(0, FCatalogId);
        if (!Clear.exec())
            Fail(Clear.lastError().text());
        QSqlQuery Insert = Prepare(QStringLiteral(
            "INSERT INTO catalog_rows(catalog_id, object_id, name, field, idx, value) SELECT ?, "));
        const qint64 Rows = Insert.numRowsAffected();
        if (!FDb.commit())
            Fail(FDb.lastError().text());
        return Rows;
    }

private:
    // The gathering statement, executed; Insert, when given, leads it and takes the catalog's id.
    QSqlQuery Prepare(const QString& Insert) {
        QSqlQuery Query(FDb);
        Query.setForwardOnly(true);
        const QString Select = Insert.isEmpty() ? QStringLiteral("SELECT ") : Insert;
        if (!Query.prepare(
                Select +
                QStringLiteral(
                    "o.id, 'NDS:\\\\' || t.name || '\\' || o.dn, v.field, v.idx, v.value FROM objects o "
                    "JOIN trees t ON t.id=o.tree_id JOIN field_values v ON v.object_id=o.id "
                    "WHERE o.tree_id=(SELECT id FROM trees WHERE uname='SCHULE') AND o.path>? AND "
                    "o.path<? AND o.layout='User' AND v.field IN ('Given Name', 'Surname', 'Full Name') "
                    "ORDER BY o.path, v.field, v.idx")))
            Fail(Query.lastError().text());
        int I = 0;
        if (!Insert.isEmpty())
            Query.bindValue(I++, FCatalogId);
        Query.bindValue(I++, FLevels + QLatin1Char('\\'));
        Query.bindValue(I, FLevels + QLatin1Char(']'));
        if (!Query.exec())
            Fail(Query.lastError().text());
        return Query;
    }

    QSqlDatabase FDb;
    QString FLevels;
    qint64 FCatalogId;
};

// One refresh through the dialog: the time until it showed the end, the longest gap between two
// passes of the event loop meanwhile, and how often it read the end time.
void ThroughDialog(TNDK& Ndk, TDirectoryClient& Client, const QString& Catalog, TCatalogTiming& R) {
    AfterEndSecond(Client, Catalog);
    TModalSeam::SetUnattended(true);
    TFCatRefresh Dlg(&Ndk);
    Dlg.edCAtalog->setText(TNDK::PathToDotted(Catalog));
    Dlg.show();
    QElapsedTimer Since, Total;
    qint64 Longest = 0;
    // A timer due every millisecond fires in every pass of the event loop without spinning it.
    QTimer Pass;
    Pass.setInterval(1);
    QObject::connect(&Pass, &QTimer::timeout, [&] {
        Longest = qMax(Longest, Since.nsecsElapsed());
        Since.start();
    });
    TFaultInjection::Clear(); // counts the calls
    Total.start();
    Since.start();
    Pass.start();
    Dlg.buAktualisieren->click();
    Pass.stop();
    R.DialogMs = Total.nsecsElapsed() / 1e6;
    R.LongestGapMs = qMax(Longest, Since.nsecsElapsed()) / 1e6;
    R.EndTimeReads = TFaultInjection::Count(QStringLiteral("NWEntry.GetFieldValue"));
    if (!Dlg.laErfolg->text().startsWith(QStringLiteral("Aktualisierung abgeschlossen ")))
        Fail(QStringLiteral("the dialog ended with \"%1\" (%2)")
                 .arg(Dlg.laErfolg->text(), TModalSeam::Shown().join(QStringLiteral("; "))));
}

double Fastest(const std::vector<double>& Ms) {
    return *std::min_element(Ms.begin(), Ms.end());
}

double Median(std::vector<double> Ms) {
    std::sort(Ms.begin(), Ms.end());
    const size_t N = Ms.size();
    return N % 2 ? Ms[N / 2] : (Ms[N / 2 - 1] + Ms[N / 2]) / 2;
}

double DemoRefreshMs() {
    QTemporaryDir Folder;
    if (!Folder.isValid())
        Fail(QStringLiteral("no temporary folder"));
    const auto Store = std::make_shared<TSqliteStore>(Folder.path());
    CreateDemoTree(*Store);
    TDirectoryClient Client(Store, Store);
    const double Ms = CatalogRefreshMs(Client, QStringLiteral("NDS:\\\\SCHULE\\dienste\\benutzer"));
    if (CatalogField(Client, QStringLiteral("NDS:\\\\SCHULE\\dienste\\benutzer"),
                     QStringLiteral("NDSCAT:Actual Value Count"))
            .toLongLong() <= 0)
        Fail(QStringLiteral("the demo catalog gathered nothing"));
    return Ms;
}

} // namespace

double CatalogRefreshMs(TDirectoryClient& Client, const QString& Catalog) {
    AfterEndSecond(Client, Catalog);
    TDirectoryBackend& Directory = Client.Directory();
    QElapsedTimer T;
    T.start();
    if (!Directory.StartCatalogRefresh(Directory.Resolve(Catalog)))
        Fail(QStringLiteral("a refresh runs already"));
    Directory.WaitForCatalogRefreshes();
    return T.nsecsElapsed() / 1e6;
}

QString CreateUserCatalog(TDirectoryClient& Client, const QString& Container, const QString& Name) {
    const QString Parent = Container.section(QLatin1Char('\\'), 0, -2);
    NWDir Dir(Client);
    Dir.SetFullName(Parent);
    const NWEntryPtr E = Dir.Entries()->Add(QStringLiteral("NDSCAT:Master Catalog"), Name);
    E->SetFieldValue(QStringLiteral("NDSCAT:Catalog Scope"), Container);
    E->SetFieldValue(QStringLiteral("NDSCAT:Filter"), QStringLiteral("User"));
    E->SetFieldValue(
        QStringLiteral("NDSCAT:Attribute List"),
        QStringList{QStringLiteral("Given Name"), QStringLiteral("Surname"), QStringLiteral("Full Name")});
    E->Update();
    return Parent + QLatin1Char('\\') + Name;
}

TCatalogTiming TimeCatalog(TSqliteStore& Store, TDirectoryClient& Client, TNDK& Ndk, const QString& Container,
                           int Rounds) {
    const QString Catalog = CreateUserCatalog(Client, Container);
    TRawGather Raw(Store.Folder() + QStringLiteral("/directory.db"), Container,
                   Store.Resolve(Catalog).Key.Id);

    // Every timed write, raw or refresh, replaces the rows of the one before. The two sides take
    // turns, each leading every other round, so that a busy moment of the machine or a checkpoint
    // of the write-ahead log falls on both alike.
    qint64 RawRows = Raw.Write();
    std::vector<double> Refresh, Sql, Read;
    for (int I = 0; I < Rounds; ++I) {
        const auto TimeRaw = [&] {
            QElapsedTimer T;
            T.start();
            if (Raw.Write() != RawRows)
                Fail(QStringLiteral("the rows written differ from round to round"));
            Sql.push_back(T.nsecsElapsed() / 1e6);
            T.start();
            if (Raw.Read() != RawRows)
                Fail(QStringLiteral("the rows read differ from the rows written"));
            Read.push_back(T.nsecsElapsed() / 1e6);
        };
        if (I % 2 == 0)
            TimeRaw();
        Refresh.push_back(CatalogRefreshMs(Client, Catalog));
        if (I % 2 == 1)
            TimeRaw();
    }
    TCatalogTiming R;
    R.Rounds = Rounds;
    R.RefreshMs = Fastest(Refresh);
    R.SqlMs = Fastest(Sql);
    R.ReadMs = Fastest(Read);
    R.RefreshMedianMs = Median(Refresh);
    R.SqlMedianMs = Median(Sql);
    R.Objects = CatalogField(Client, Catalog, QStringLiteral("NDSCAT:Actual Object Count")).toLongLong();
    R.Values = CatalogField(Client, Catalog, QStringLiteral("NDSCAT:Actual Value Count")).toLongLong();
    if (R.Values != RawRows || qint64(Store.CatalogRows(Store.Resolve(Catalog)).size()) != RawRows)
        Fail(QStringLiteral("the refresh gathered %1 values, SQL %2").arg(R.Values).arg(RawRows));
    ThroughDialog(Ndk, Client, Catalog, R);
    R.DemoMs = DemoRefreshMs();
    return R;
}
