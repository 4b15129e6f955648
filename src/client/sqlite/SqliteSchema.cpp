#include "SqliteSchema.h"

#include "SqlConnection.h"

#include <EDirectoryError.h>
#include <FieldValues.h>

#include <vector>

namespace SqliteSchema {
namespace {

// The tables every layout since the first numbered one holds unchanged.
const char* const Tables[] = {
    "CREATE TABLE IF NOT EXISTS trees(id INTEGER PRIMARY KEY, name TEXT NOT NULL, uname TEXT NOT NULL "
    "UNIQUE)",
    // dn: the levels below the tree as written ("unterricht\schueler\5a"); path: the same
    // upper-cased, so that a full name resolves with one indexed look-up and a subtree is one range.
    "CREATE TABLE IF NOT EXISTS objects(id INTEGER PRIMARY KEY,"
    " tree_id INTEGER NOT NULL REFERENCES trees(id) ON DELETE CASCADE,"
    " parent_id INTEGER REFERENCES objects(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL, uname TEXT NOT NULL, layout TEXT NOT NULL, dn TEXT NOT NULL, path TEXT NOT NULL)",
    "CREATE UNIQUE INDEX IF NOT EXISTS objects_path ON objects(tree_id, path)",
    // Covering: a container's listing reads the index alone.
    "CREATE INDEX IF NOT EXISTS objects_children ON objects(parent_id, id, name, layout)",
    "CREATE INDEX IF NOT EXISTS objects_top ON objects(tree_id, id) WHERE parent_id IS NULL",
    "CREATE INDEX IF NOT EXISTS objects_uname ON objects(uname)",
    "CREATE TABLE IF NOT EXISTS field_types(name TEXT PRIMARY KEY COLLATE NOCASE, syntax TEXT NOT NULL,"
    " single_valued INTEGER NOT NULL, max_length INTEGER NOT NULL, seq INTEGER NOT NULL)",
    // ord: the field's place among the object's fields (first written first); idx: the value's place.
    "CREATE TABLE IF NOT EXISTS field_values(object_id INTEGER NOT NULL REFERENCES objects(id) ON DELETE "
    "CASCADE,"
    " field TEXT NOT NULL, ord INTEGER NOT NULL, idx INTEGER NOT NULL, value)",
    "CREATE INDEX IF NOT EXISTS field_values_object ON field_values(object_id, field, idx)",
    "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value TEXT)",
    "CREATE TABLE IF NOT EXISTS connected_trees(seq INTEGER PRIMARY KEY, full_name TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS server_connections(seq INTEGER PRIMARY KEY, full_name TEXT NOT NULL,"
    " display_name TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS volumes(id INTEGER PRIMARY KEY, server TEXT NOT NULL, volume TEXT NOT NULL,"
    " userver TEXT NOT NULL, uvolume TEXT NOT NULL, root TEXT NOT NULL, volume_object TEXT NOT NULL,"
    " uvolume_object TEXT NOT NULL, UNIQUE(userver, uvolume))",
    "CREATE INDEX IF NOT EXISTS volumes_object ON volumes(uvolume_object)",
    // path: the folder's levels below the volume root, upper-cased, joined by "\" ("" for the root).
    "CREATE TABLE IF NOT EXISTS folders(id INTEGER PRIMARY KEY,"
    " volume_id INTEGER NOT NULL REFERENCES volumes(id) ON DELETE CASCADE, path TEXT NOT NULL,"
    " delete_inhibit INTEGER NOT NULL DEFAULT 0, rename_inhibit INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE(volume_id, path))",
    "CREATE TABLE IF NOT EXISTS catalogs(object_id INTEGER PRIMARY KEY REFERENCES objects(id) ON DELETE "
    "CASCADE,"
    " state INTEGER NOT NULL DEFAULT 0, requested INTEGER, started INTEGER, finished INTEGER)",
    "CREATE TABLE IF NOT EXISTS passwords(object_id INTEGER PRIMARY KEY REFERENCES objects(id) ON DELETE "
    "CASCADE,"
    " algorithm TEXT NOT NULL, salt BLOB NOT NULL, hash BLOB NOT NULL)",
};

// Trustees are directory objects named by full name (utrustee: upper-cased), so that the volumes
// can stand beside any directory; rowid keeps the order of assignment.
const char* const TrusteeTable[] = {
    "CREATE TABLE trustees(folder_id INTEGER NOT NULL REFERENCES folders(id) ON DELETE CASCADE,"
    " trustee TEXT NOT NULL, utrustee TEXT NOT NULL, rights INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE(folder_id, utrustee))",
    "CREATE INDEX trustees_name ON trustees(utrustee)",
};

// The rows the catalogs gathered: per catalog, the full name of each object, its field and values
// in stored order (value as held in field_values). rowid keeps the order of gathering.
const char* const CatalogTables[] = {
    "CREATE TABLE IF NOT EXISTS catalog_rows(catalog_id INTEGER NOT NULL REFERENCES objects(id) ON DELETE "
    "CASCADE,"
    " object_id INTEGER NOT NULL, name TEXT NOT NULL, field TEXT NOT NULL, idx INTEGER NOT NULL, value)",
    "CREATE INDEX IF NOT EXISTS catalog_rows_catalog ON catalog_rows(catalog_id)",
};

// The POSIX identities: a user's uid (kind 0) or a container's gid (kind 1), each number given once
// per kind. The counters the ids are taken from are settings.
const char* const PosixTables[] = {
    "CREATE TABLE IF NOT EXISTS posix_ids(object_id INTEGER PRIMARY KEY REFERENCES objects(id) ON DELETE "
    "CASCADE,"
    " kind INTEGER NOT NULL, number INTEGER NOT NULL, UNIQUE(kind, number))",
};

// The field types that came with the catalog rows.
const char* const CatalogFields[] = {"NDSCAT:Attribute List", "NDSCAT:Actual Object Count",
                                     "NDSCAT:Actual Value Count"};

template <size_t N> void ExecuteAll(TSqlConnection& Db, const char* const (&Statements)[N]) {
    for (const char* Sql : Statements)
        Db.Execute(QString::fromLatin1(Sql));
}

int Version(TSqlConnection& Db) {
    static const TStatement Read("PRAGMA user_version");
    TQuery Q(Db, Read);
    return Q.Next() ? Q.Value(0).toInt() : 0;
}

bool HasTable(TSqlConnection& Db, const char* Table) {
    static const TStatement Find("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?");
    TQuery Q(Db, Find, QString::fromLatin1(Table));
    return Q.Next();
}

void SeedFieldTypes(TSqlConnection& Db) {
    static const TStatement Count("SELECT COUNT(*) FROM field_types");
    {
        TQuery Q(Db, Count);
        if (Q.Next() && Q.Value(0).toInt() > 0)
            return;
    }
    static const TStatement Insert("INSERT INTO field_types(name, syntax, single_valued, max_length, seq) "
                                   "VALUES(?, ?, ?, ?, ?)");
    int Seq = 0;
    for (const NWFieldType& F : StandardFieldTypes())
        TQuery(Db, Insert, F.Name, F.Syntax, F.SingleValued ? 1 : 0, F.MaxLength, ++Seq);
}

void CreateDb(TSqlConnection& Db) {
    ExecuteAll(Db, Tables);
    ExecuteAll(Db, TrusteeTable);
    ExecuteAll(Db, CatalogTables);
    ExecuteAll(Db, PosixTables);
    SeedFieldTypes(Db);
}

// The stores written before the layout was numbered: bring every table to the last unnumbered
// layout, then name trustees by full name instead of by object row.
void UpdateFromUnnumbered(TSqlConnection& Db) {
    Db.Execute(QStringLiteral("DROP INDEX IF EXISTS objects_parent"));
    ExecuteAll(Db, Tables);
    SeedFieldTypes(Db);
    struct TRow {
        qint64 Folder;
        QString Trustee;
        qint64 Rights;
    };
    std::vector<TRow> Rows;
    if (HasTable(Db, "trustees")) {
        static const TStatement Old("SELECT t.folder_id, 'NDS:\\\\' || r.name || '\\' || o.dn, t.rights "
                                    "FROM trustees t JOIN objects o ON o.id=t.object_id "
                                    "JOIN trees r ON r.id=o.tree_id ORDER BY t.rowid");
        TQuery Q(Db, Old);
        while (Q.Next())
            Rows.push_back({Q.Value(0).toLongLong(), Q.Value(1).toString(), Q.Value(2).toLongLong()});
    }
    Db.Execute(QStringLiteral("DROP TABLE IF EXISTS trustees"));
    ExecuteAll(Db, TrusteeTable);
    static const TStatement Insert(
        "INSERT INTO trustees(folder_id, trustee, utrustee, rights) VALUES(?, ?, ?, ?)");
    for (const TRow& R : Rows)
        TQuery(Db, Insert, R.Folder, R.Trustee, R.Trustee.toUpper(), R.Rights);
}

// The catalogs' rows and the field types that describe a catalog's refresh; a field type of the
// same name that the directory's administrator added already stays as it is.
void AddCatalogRows(TSqlConnection& Db) {
    ExecuteAll(Db, CatalogTables);
    static const TStatement Insert(
        "INSERT INTO field_types(name, syntax, single_valued, max_length, seq) SELECT ?, ?, ?, ?, "
        "COALESCE(MAX(seq), 0) + 1 FROM field_types WHERE NOT EXISTS (SELECT 1 FROM field_types WHERE "
        "name=?)");
    for (const NWFieldType& F : StandardFieldTypes())
        for (const char* Name : CatalogFields)
            if (F.Name == QLatin1String(Name))
                TQuery(Db, Insert, F.Name, F.Syntax, F.SingleValued ? 1 : 0, F.MaxLength, F.Name);
}

void AddPosixIds(TSqlConnection& Db) {
    ExecuteAll(Db, PosixTables);
}

// Steps from one layout to the next; the index is the layout a step starts from.
using TStep = void (*)(TSqlConnection&);
constexpr TStep Steps[] = {UpdateFromUnnumbered, AddCatalogRows, AddPosixIds};
static_assert(std::size(Steps) == CurrentVersion);

void UpdateDb(TSqlConnection& Db, int FromVersion) {
    for (int V = FromVersion; V < CurrentVersion; ++V)
        Steps[V](Db);
}

} // namespace

void Create(TSqlConnection& Db) {
    TSqlTransaction T(Db);
    CreateDb(Db);
    Db.Execute(QStringLiteral("PRAGMA user_version=%1").arg(CurrentVersion));
    T.Commit();
}

void Upgrade(TSqlConnection& Db) {
    const int Found = Version(Db);
    // Every store, the ones before the layout was numbered too, holds its trees.
    if (Found == 0 && !HasTable(Db, "trees"))
        Db.Broken();
    if (Found == CurrentVersion)
        return;
    if (Found > CurrentVersion)
        ThrowDirectoryError(
            -1,
            QStringLiteral("Der Verzeichnisspeicher hat das Format %1; dieses Programm kennt Formate bis %2")
                .arg(Found)
                .arg(CurrentVersion));
    if (Db.ReadOnly())
        ThrowDirectoryError(ERR_NO_ACCESS,
                            QStringLiteral("Die Verzeichnisdatenbank „%1“ hat ein älteres Format "
                                           "und ist schreibgeschützt: Sie kann nicht "
                                           "umgestellt werden.")
                                .arg(Db.File()));
    TSqlTransaction T(Db);
    // Another program may have brought it on meanwhile.
    if (const int Now = Version(Db); Now < CurrentVersion) {
        UpdateDb(Db, Now);
        Db.Execute(QStringLiteral("PRAGMA user_version=%1").arg(CurrentVersion));
    }
    T.Commit();
}

} // namespace SqliteSchema
