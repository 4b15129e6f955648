#pragma once

// The parts of the SQLite store, one per concern. Not for use outside the SQLite store.

#include "SqlConnection.h"
#include "SqliteStore.h"

#include <CatalogRefresh.h>
#include <DirectoryBackend.h>
#include <VolumeStore.h>

#include <QHash>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// Settings (key and value), the workstation's identity and its connections.
class TSqliteSettings {
public:
    explicit TSqliteSettings(TSqlConnection& Db);
    QString Setting(const QString& Key);
    void SetSetting(const QString& Key, const QString& Value);
    QString Identity(); // cached
    QStringList ConnectedTrees();
    void SetConnectedTrees(const QStringList& TreeFullNames);
    std::vector<TServerConnection> ServerConnections();
    void SetServerConnections(const std::vector<TServerConnection>& Connections);

private:
    TSqlConnection& Db;
    bool FIdentityLoaded = false;
    QString FIdentity;
};

// Trees and objects: names, listings, search, creation and deletion of rows. Object keys: Scope
// is the tree's row, Id the object's (0 for a tree root).
class TSqliteObjects {
public:
    explicit TSqliteObjects(TSqlConnection& Db);

    QStringList Trees();
    void AddTree(const QString& TreeName);
    void RemoveTree(const QString& TreeName);
    bool IsEmpty();

    // Resolved names are cached (objects are never renamed; the cache is dropped when objects go
    // or a transaction rolls back).
    bool Lookup(const QString& FullName, TObjectRef& Out);
    bool Exists(const TObjectRef& Object);
    // Checks that an object Layout/Name may be created below Parent; returns the canonical layout.
    QString CheckCreate(const TObjectRef& Parent, const QString& Layout, const QString& Name);
    // Inserts the object's row (after CheckCreate); inside a transaction.
    TObjectRef Insert(const TObjectRef& Parent, const QString& CanonicalLayout, const QString& Name);
    // Deletes a leaf or an empty container; inside a transaction.
    void Delete(const TObjectRef& Object);

    // Counted: each container listed also counts its subordinates of the same layouts, in the
    // same statement.
    std::vector<TChildEntry> Children(const TObjectRef& Container, const QStringList& Layouts,
                                      bool Counted = false);
    int CountChildren(const TObjectRef& Container, const QStringList& Layouts);
    QStringList Search(const TObjectRef& Base, const QString& Name, const QString& Layout, int Scope);

private:
    struct TTree {
        qint64 Id;
        QString Name;
    };
    void LoadTrees();
    qint64 TreeId(const QString& Name); // 0 when unknown
    QString TreeName(qint64 Id);
    QString TreePrefix(qint64 Id);
    void DropCaches();
    // The statement of one kind of listing or search, its text built on first use.
    QSqlQuery& Statement(int Kind, const std::function<QString()>& Sql);

    TSqlConnection& Db;
    std::vector<TTree> FTrees;
    bool FTreesLoaded = false;
    TResolvedNames FResolved;
    std::map<int, QSqlQuery*> FStatements;
};

// Field types and values. Values are held as text, integer or bytes; reads hand them out typed.
class TSqliteFields {
public:
    TSqliteFields(TSqlConnection& Db, TSqliteObjects& Objects, TSqliteSettings& Settings);

    void LoadSchema();
    const std::vector<NWFieldType>& Types() const { return FTypes; }
    const NWFieldType* Type(const QString& Field) const;
    void AddType(const QString& Name, const QString& Syntax, bool SingleValued, int MaxLength);

    // Values as held in the database, in stored order.
    std::vector<QVariant> Stored(qint64 Object, const QString& Field);
    std::vector<QVariant> Read(qint64 Object, const NWFieldType& Type);
    std::vector<TFieldValues> ReadAll(qint64 Object);
    QStringList Names(qint64 Object);

    // A field write converted to the values held.
    struct TWrite {
        const NWFieldType* Type;
        std::vector<QVariant> Values; // empty: remove every value
    };
    // Converts written values (the last write of a field counts); throws on an unknown field or a
    // value that does not fit.
    std::vector<TWrite> Convert(const std::vector<TFieldWrite>& Fields);
    // Writes converted fields of one object inside a transaction; maintains "modifiersName" and
    // "Revision" unless written explicitly.
    void Write(qint64 Object, const std::vector<TWrite>& Writes);
    // The fields of a new object: the operational ones (unless given) and Given.
    void WriteNew(const TObjectRef& Object, const std::vector<TWrite>& Given);
    // The fields a user takes over from a template: every field but the operational ones and
    // Except, with the values as held.
    std::vector<TWrite> TemplateFields(qint64 Template, const QString& Except);

    // Converts one written value to the values held; throws on a syntax or length fault.
    std::vector<QVariant> ToStored(const NWFieldType& Type, const QVariant& Value);
    // A value as held, typed as reads give it (a field the schema lacks reads as text).
    QVariant Typed(const QString& Field, const QVariant& Stored) const;

private:
    void WriteRows(qint64 Object, const std::vector<TWrite>& Writes, bool Maintain, bool Fresh);

    TSqlConnection& Db;
    TSqliteObjects& Objects;
    TSqliteSettings& Settings;
    std::vector<NWFieldType> FTypes;
    QHash<QString, int> FTypeIndex; // upper-cased name -> index into FTypes
    bool FTypesUncommitted = false; // a transaction that still runs added a type
};

// The volume map, folders, flags and trustees. The map and the ids of the folders opened are
// cached (a folder's row goes only with the folder); both caches are dropped when the map changes or a
// transaction rolls back.
class TSqliteVolumes {
public:
    TSqliteVolumes(TSqlConnection& Db, const QString& StoreFolder);

    std::vector<TVolume> Volumes();
    bool Find(const QString& Server, const QString& Volume, TVolume& Out);
    void Add(const TVolume& Volume);
    void SetRoot(const QString& Server, const QString& Volume, const QString& RootFolder);

    QString LocalPath(const QString& UncPath);
    bool FolderExists(const QString& UncPath);
    bool CreateFolder(const QString& UncPath);
    bool RemoveFolder(const QString& UncPath);
    QStringList ListFolders(const QString& UncPath);
    TFolderKey OpenFolder(const QString& UncPath);
    bool Flag(const TFolderKey& Folder, TFolderFlag Flag);
    void SetFlag(const TFolderKey& Folder, TFolderFlag Flag, bool On);

    QStringList Trustees(const TFolderKey& Folder);
    std::optional<int> FindTrustee(const TFolderKey& Folder, const QString& Trustee);
    void AddTrustee(const TFolderKey& Folder, const QString& Trustee);
    void RemoveTrustee(const TFolderKey& Folder, const QString& Trustee);
    int Rights(const TFolderKey& Folder, const QString& Trustee);
    void ChangeRights(const TFolderKey& Folder, const QString& Trustee, int Grant, int Revoke);
    std::vector<TFolderState> States(const QString& Server, const QString& Volume);
    // Drops the assignments of an object and of everything below it (the object is gone).
    void ForgetTrustee(const QString& FullName);

private:
    struct TRow {
        qint64 Id = 0;
        TVolume Volume;
        QString UServer, UVolume; // upper-cased, as the map is keyed
    };
    struct TMapped {
        TRow Volume;
        QString Key;        // the levels below the root, upper-cased, joined by "\"
        QString Local;      // the local folder (existing levels as spelt on disk)
        bool IsDir = false; // the folder exists as a directory
    };
    // The cached map row of a volume (any case); null for an unknown volume.
    const TRow* FindRow(const QString& Server, const QString& Volume);
    const std::vector<TRow>& Rows();
    void DropCaches();
    // Maps "\\SERVER\VOLUME\dir\sub" to its local folder; false (with a reason) when the path is
    // malformed, climbs out, names an unknown volume, or would leave the volume's root.
    bool Map(const QString& UncPath, TMapped& Out, QString* Why = nullptr);
    void MakeRoot(const QString& Root, const QString& Shown);
    // The name on disk of the subfolder of Local spelt Level in any case; "" when there is none.
    // Inside a transaction each folder is listed once and the folders the transaction makes are
    // added, so that making many folders in one parent stays linear.
    QString SpeltOnDisk(const QString& Local, const QString& Level);
    QString AbsoluteRoot(const QString& Stored) const;
    QString StoredRoot(const QString& Absolute) const;

    TSqlConnection& Db;
    QString FStoreFolder;
    std::vector<TRow> FRows;
    bool FRowsLoaded = false;
    QHash<std::pair<qint64, QString>, qint64> FFolderIds; // (volume row, key) -> folder row
    QHash<QString, QHash<QString, QString>> FListings;    // local folder -> upper-cased name -> name
    quint64 FListingsTransaction = 0;                     // the transaction the listings belong to
};

// Creates a folder and its missing parents, readable by the owner only; true when it exists.
// Created receives the folders made, outermost first.
bool MakeOwnerOnlyPath(const QString& Folder, QStringList* Created = nullptr);

// Catalog refreshes: each runs on the worker thread with store parts over a connection of its own,
// so that the user interface reads the store meanwhile (CatalogRefresh.h). One catalog refreshes at
// most once at a time; refreshes queue up, the database takes one writer at a time anyway.
class TSqliteCatalogs {
public:
    TSqliteCatalogs(const QString& Database, TSqlAccess Access, const QString& StoreFolder);
    ~TSqliteCatalogs(); // waits for the refreshes that run
    TSqliteCatalogs(const TSqliteCatalogs&) = delete;
    TSqliteCatalogs& operator=(const TSqliteCatalogs&) = delete;

    // Queues the refresh of a catalog object; false when one of it is queued or runs.
    bool Start(const TObjectRef& Catalog);
    void WaitForAll();
    // The rows a catalog gathered, in the order gathered.
    static std::vector<TCatalogRow> Rows(TSqlConnection& Db, const TSqliteFields& Fields, qint64 Catalog);

private:
    QString FDatabase, FStoreFolder;
    TSqlAccess FAccess;
    TCatalogRefreshes FRefreshes;
};

struct TSqliteStoreParts {
    TSqliteStoreParts(const QString& Database, TSqlAccess Access, const QString& StoreFolder);
    TSqlConnection Db;
    TSqliteSettings Settings;
    TSqliteObjects Objects;
    TSqliteFields Fields;
    TSqliteVolumes Volumes;
};
