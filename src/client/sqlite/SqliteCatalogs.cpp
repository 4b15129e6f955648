#include "SqliteParts.h"

#include <CatalogFields.h>
#include <EDirectoryError.h>
#include <Layouts.h>
#include <Names.h>

#include <QDateTime>
#include <QMutexLocker>
#include <QThread>

// The refresh of a catalog: one statement gathers the chosen fields of every object in scope into
// the catalog's rows, one counts those objects, and the catalog's state fields are written in the
// same transaction.

namespace {

using namespace CatalogFields;

// "(?, ?, ...)" for Count values.
QString InList(qsizetype Count) {
    return QStringLiteral("(?") + QStringLiteral(", ?").repeated(Count - 1) + QLatin1Char(')');
}

// Which objects a catalog covers and which fields it gathers: a WHERE clause over objects "o"
// with its arguments, and the canonical field names.
struct TPlan {
    QString Where;
    QVariantList Args;
    QStringList Fields;
};

TPlan MakePlan(TSqliteStoreParts& P, const TObjectRef& Catalog) {
    TPlan Plan;
    // Scope: the subtree below each container, or the catalog's whole tree.
    QStringList Ranges;
    for (const QVariant& V : P.Fields.Stored(Catalog.Key.Id, ScopeField)) {
        TObjectRef Container;
        if (!P.Objects.Lookup(V.toString(), Container))
            ThrowDirectoryError(
                ERR_NO_SUCH_ENTRY,
                QStringLiteral("Der Bereich des Katalogs nennt kein Objekt: %1").arg(V.toString()));
        QString Tree, Levels;
        SplitFullName(Container.FullName, Tree, Levels);
        Levels = Levels.toUpper();
        Plan.Args << Container.Key.Scope;
        if (Levels.isEmpty()) {
            Ranges << QStringLiteral("o.tree_id=?");
        } else {
            Ranges << QStringLiteral("(o.tree_id=? AND o.path>? AND o.path<?)");
            Plan.Args << Levels + QLatin1Char('\\') << Levels + QLatin1Char(']');
        }
    }
    if (Ranges.isEmpty()) {
        Ranges << QStringLiteral("o.tree_id=?");
        Plan.Args << Catalog.Key.Scope;
    }
    Plan.Where = QLatin1Char('(') + Ranges.join(QStringLiteral(" OR ")) + QLatin1Char(')');

    // Layouts: a filter that names only layouts the directory does not know matches nothing.
    const std::vector<QVariant> Filter = P.Fields.Stored(Catalog.Key.Id, FilterField);
    const QString FilterText = Filter.empty() ? QString() : Filter.front().toString();
    QStringList Layouts;
    for (const QString& L : FilterText.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString C = CanonicalLayout(L.trimmed());
        if (!C.isEmpty() && !Layouts.contains(C))
            Layouts << C;
    }
    if (!Layouts.isEmpty()) {
        Plan.Where += QStringLiteral(" AND o.layout IN ") + InList(Layouts.size());
        for (const QString& L : Layouts)
            Plan.Args << L;
    } else if (!FilterText.trimmed().isEmpty()) {
        Plan.Where += QStringLiteral(" AND 0");
    }

    for (const QVariant& V : P.Fields.Stored(Catalog.Key.Id, ListField))
        if (const NWFieldType* T = P.Fields.Type(V.toString()); T && !Plan.Fields.contains(T->Name))
            Plan.Fields << T->Name;
    return Plan;
}

// Gathers the catalog's rows anew; returns the number of objects in scope and of values gathered.
std::pair<qint64, qint64> Gather(TSqliteStoreParts& P, const TObjectRef& Catalog) {
    const TPlan Plan = MakePlan(P, Catalog);
    static const TStatement Clear("DELETE FROM catalog_rows WHERE catalog_id=?");
    TQuery(P.Db, Clear, Catalog.Key.Id);

    qint64 Values = 0;
    if (!Plan.Fields.isEmpty()) {
        QVariantList Args{Catalog.Key.Id};
        Args << Plan.Args;
        for (const QString& F : Plan.Fields)
            Args << F;
        TQuery Insert(
            P.Db,
            QStringLiteral("INSERT INTO catalog_rows(catalog_id, object_id, name, field, idx, value) "
                           "SELECT ?, o.id, 'NDS:\\\\' || t.name || '\\' || o.dn, v.field, v.idx, "
                           "v.value FROM objects o JOIN trees t ON t.id=o.tree_id "
                           "JOIN field_values v ON v.object_id=o.id WHERE ") +
                Plan.Where + QStringLiteral(" AND v.field IN ") + InList(Plan.Fields.size()) +
                QStringLiteral(" ORDER BY o.path, v.field, v.idx"),
            Args);
        Values = Insert.RowsAffected();
    }
    TQuery Count(P.Db, QStringLiteral("SELECT COUNT(*) FROM objects o WHERE ") + Plan.Where, Plan.Args);
    return {Count.Next() ? Count.Value(0).toLongLong() : 0, Values};
}

void WriteState(TSqliteStoreParts& P, const TObjectRef& Catalog, std::vector<TFieldWrite> Fields) {
    TSqlTransaction T(P.Db);
    P.Fields.Write(Catalog.Key.Id, P.Fields.Convert(Fields));
    T.Commit();
}

// Runs on the worker thread with parts of its own.
void Refresh(TSqliteStoreParts& P, const TObjectRef& Catalog) {
    // End times have whole seconds: a refresh that ended within this very second would get the
    // same end time again, and a watcher could not tell the two apart.
    const std::vector<QVariant> Previous = P.Fields.Stored(Catalog.Key.Id, EndField);
    while (!Previous.empty() && QDateTime::currentSecsSinceEpoch() == Previous.front().toLongLong())
        QThread::msleep(20);

    const QDateTime Started = QDateTime::currentDateTime();
    int Result = 0;
    try {
        TSqlTransaction T(P.Db);
        const auto [Objects, Values] = Gather(P, Catalog);
        P.Fields.Write(Catalog.Key.Id, P.Fields.Convert({{StartField, Started},
                                                         {EndField, QDateTime::currentDateTime()},
                                                         {ObjectsField, Objects},
                                                         {ValuesField, Values},
                                                         {ResultField, qint64(0)}}));
        T.Commit();
        return;
    } catch (const EDirectoryError& E) {
        Result = E.Code();
    } catch (const std::exception&) {
        Result = -1;
    }
    // A failed refresh leaves the rows and their counts as they were.
    WriteState(
        P, Catalog,
        {{StartField, Started}, {EndField, QDateTime::currentDateTime()}, {ResultField, qint64(Result)}});
}

} // namespace

TSqliteCatalogs::TSqliteCatalogs(const QString& Database, TSqlAccess Access, const QString& StoreFolder)
    : FDatabase(Database), FStoreFolder(StoreFolder), FAccess(Access),
      FRunning(std::make_shared<TRunning>()) {
    // Refreshes queue up: the database takes one writer at a time anyway.
    FPool.setMaxThreadCount(1);
}

TSqliteCatalogs::~TSqliteCatalogs() {
    WaitForAll();
}

bool TSqliteCatalogs::Start(const TObjectRef& Catalog) {
    {
        QMutexLocker Lock(&FRunning->Mutex);
        if (FRunning->Catalogs.contains(Catalog.Key.Id))
            return false;
        FRunning->Catalogs.insert(Catalog.Key.Id);
    }
    FPool.start([Running = FRunning, Database = FDatabase, Access = FAccess, Folder = FStoreFolder, Catalog] {
        try {
            TSqliteStoreParts P(Database, Access, Folder);
            P.Fields.LoadSchema();
            Refresh(P, Catalog);
        } catch (...) {
            // Nothing to tell anyone: without a connection the catalog keeps its last state.
        }
        QMutexLocker Lock(&Running->Mutex);
        Running->Catalogs.remove(Catalog.Key.Id);
    });
    return true;
}

void TSqliteCatalogs::WaitForAll() {
    FPool.waitForDone();
}

std::vector<TCatalogRow> TSqliteCatalogs::Rows(TSqlConnection& Db, const TSqliteFields& Fields,
                                               qint64 Catalog) {
    static const TStatement Select(
        "SELECT name, field, value FROM catalog_rows WHERE catalog_id=? ORDER BY rowid");
    std::vector<TCatalogRow> Rows;
    TQuery Q(Db, Select, Catalog);
    while (Q.Next()) {
        const QString Field = Q.Value(1).toString();
        Rows.push_back({Q.Value(0).toString(), Field, Fields.Typed(Field, Q.Value(2))});
    }
    return Rows;
}
