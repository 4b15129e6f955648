#include "SqliteParts.h"

#include <CatalogFields.h>
#include <EDirectoryError.h>
#include <Names.h>

#include <optional>
#include <utility>

// The steps of a catalog's refresh over the store: one statement gathers the chosen fields of every
// object in scope into the catalog's rows, one counts those objects, and the catalog's state is
// written in the same transaction, which a failure rolls back.

namespace {

using namespace CatalogFields;

// "(?, ?, ...)" for Count values.
QString InList(qsizetype Count) {
    return QStringLiteral("(?") + QStringLiteral(", ?").repeated(Count - 1) + QLatin1Char(')');
}

class TSqliteCatalogSteps final : public TCatalogRefreshSteps {
public:
    TSqliteCatalogSteps(const QString& Database, TSqlAccess Access, const QString& StoreFolder,
                        const TObjectRef& Catalog)
        : P(Database, Access, StoreFolder), FCatalog(Catalog) {
        P.Fields.LoadSchema();
    }

    bool ReadSettings(TCatalogSettings& Out) override {
        if (!P.Objects.Exists(FCatalog))
            return false;
        const qint64 Id = FCatalog.Key.Id;
        for (const QVariant& V : P.Fields.Stored(Id, ScopeField))
            Out.Scope << V.toString();
        const std::vector<QVariant> Filter = P.Fields.Stored(Id, FilterField);
        Out.Filter = Filter.empty() ? QString() : Filter.front().toString();
        for (const QVariant& V : P.Fields.Stored(Id, ListField))
            Out.Fields << V.toString();
        const std::vector<QVariant> End = P.Fields.Read(Id, *P.Fields.Type(EndField));
        Out.LastEnd = End.empty() ? QDateTime() : End.front().toDateTime();
        return true;
    }

    const NWFieldType* FieldType(const QString& Field) override { return P.Fields.Type(Field); }

    TCatalogCounts GatherRows(const TCatalogPlan& Plan) override {
        // Which objects: a WHERE clause over objects "o" with its arguments. Scope: the subtree below
        // each container, or the catalog's whole tree.
        QVariantList Args;
        QStringList Ranges;
        for (const QString& Name : Plan.Scope) {
            TObjectRef Container;
            if (!P.Objects.Lookup(Name, Container))
                ThrowDirectoryError(
                    ERR_NO_SUCH_ENTRY,
                    QStringLiteral("Der Bereich des Katalogs nennt kein Objekt: %1").arg(Name));
            QString Tree, Levels;
            SplitFullName(Container.FullName, Tree, Levels);
            Levels = Levels.toUpper();
            Args << Container.Key.Scope;
            if (Levels.isEmpty()) {
                Ranges << QStringLiteral("o.tree_id=?");
            } else {
                Ranges << QStringLiteral("(o.tree_id=? AND o.path>? AND o.path<?)");
                Args << Levels + QLatin1Char('\\') << Levels + QLatin1Char(']');
            }
        }
        if (Ranges.isEmpty()) {
            Ranges << QStringLiteral("o.tree_id=?");
            Args << FCatalog.Key.Scope;
        }
        QString Where = QLatin1Char('(') + Ranges.join(QStringLiteral(" OR ")) + QLatin1Char(')');
        if (Plan.NoLayout) {
            Where += QStringLiteral(" AND 0");
        } else if (!Plan.Layouts.isEmpty()) {
            Where += QStringLiteral(" AND o.layout IN ") + InList(Plan.Layouts.size());
            for (const QString& L : Plan.Layouts)
                Args << L;
        }

        // The rows refer to their catalog. Checked by the database, that reference costs a look-up
        // for every row deleted and every row inserted, most of a large refresh's time; this
        // connection is the refresh's own, so it checks once, inside the transaction, that the
        // catalog is there, and writes its rows unchecked.
        P.Db.Execute(QStringLiteral("PRAGMA foreign_keys=OFF"));
        FUnchecked = true;
        FTransaction.emplace(P.Db);
        if (!P.Objects.Exists(FCatalog))
            ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Der Katalog ist gelöscht worden"));
        static const TStatement Clear("DELETE FROM catalog_rows WHERE catalog_id=?");
        TQuery(P.Db, Clear, FCatalog.Key.Id);
        TCatalogCounts Counts;
        if (!Plan.Fields.empty()) {
            QVariantList InsertArgs{FCatalog.Key.Id};
            InsertArgs << Args;
            for (const NWFieldType* F : Plan.Fields)
                InsertArgs << F->Name;
            TQuery Insert(
                P.Db,
                QStringLiteral("INSERT INTO catalog_rows(catalog_id, object_id, name, field, idx, value) "
                               "SELECT ?, o.id, 'NDS:\\\\' || t.name || '\\' || o.dn, v.field, v.idx, "
                               "v.value FROM objects o JOIN trees t ON t.id=o.tree_id "
                               "JOIN field_values v ON v.object_id=o.id WHERE ") +
                    Where + QStringLiteral(" AND v.field IN ") + InList(qsizetype(Plan.Fields.size())) +
                    QStringLiteral(" ORDER BY o.path, v.field, v.idx"),
                InsertArgs);
            Counts.Values = Insert.RowsAffected();
        }
        TQuery Count(P.Db, QStringLiteral("SELECT COUNT(*) FROM objects o WHERE ") + Where, Args);
        Counts.Objects = Count.Next() ? Count.Value(0).toLongLong() : 0;
        return Counts;
    }

    void Publish(const std::vector<TFieldWrite>& State) override {
        P.Fields.Write(FCatalog.Key.Id, P.Fields.Convert(State));
        FTransaction->Commit();
        FTransaction.reset();
        CheckAgain();
    }

    void Discard() override {
        FTransaction.reset();
        CheckAgain();
    }

    void WriteFailure(const std::vector<TFieldWrite>& State) override {
        CheckAgain();
        TSqlTransaction T(P.Db);
        P.Fields.Write(FCatalog.Key.Id, P.Fields.Convert(State));
        T.Commit();
    }

private:
    // Outside the refresh's transaction every write is checked again.
    void CheckAgain() {
        if (std::exchange(FUnchecked, false))
            P.Db.Execute(QStringLiteral("PRAGMA foreign_keys=ON"));
    }

    TSqliteStoreParts P;
    TObjectRef FCatalog;
    std::optional<TSqlTransaction> FTransaction; // from the gathering to the publishing
    bool FUnchecked = false;                     // references left unchecked (see GatherRows)
};

} // namespace

TSqliteCatalogs::TSqliteCatalogs(const QString& Database, TSqlAccess Access, const QString& StoreFolder)
    : FDatabase(Database), FStoreFolder(StoreFolder), FAccess(Access) {}

TSqliteCatalogs::~TSqliteCatalogs() {
    WaitForAll();
}

bool TSqliteCatalogs::Start(const TObjectRef& Catalog) {
    return FRefreshes.Start(QString::number(Catalog.Key.Id), [Database = FDatabase, Access = FAccess,
                                                              Folder = FStoreFolder, Catalog] {
        return std::make_unique<TSqliteCatalogSteps>(Database, Access, Folder, Catalog);
    });
}

void TSqliteCatalogs::WaitForAll() {
    FRefreshes.WaitForAll();
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
