#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

// The embedded directory: one SQLite database (write-ahead log, foreign keys on) holding trees,
// objects, field values, the schema, the workstation's connections, volumes with their folder
// flags and trustees, catalog state and password hashes; the volumes' folders are real folders
// under each volume's root.
class TClientStore {
public:
    struct TVolume {
        qint64 Id = 0;
        QString Server;        // "SRV1"
        QString Volume;        // "DATA"
        QString RootFolder;    // local folder that holds the volume's content
        QString VolumeObject;  // full name of the volume object, "NDS:\\SCHULE\dienste\SRV1_DATA"
    };
    struct TServerConnection {
        QString FullName;
        QString DisplayName;
    };

    // Opens (and creates when missing) the store in Folder: database "directory.db" and the default
    // volume roots below "volumes/". Files created there are readable by the owner only.
    explicit TClientStore(const QString& Folder);
    ~TClientStore();
    TClientStore(const TClientStore&) = delete;
    TClientStore& operator=(const TClientStore&) = delete;

    // The workstation's store: $PARVON_CLIENT_STORE, else "client" in the user's data location.
    // Created with the demo school tree on first use when it holds no tree yet.
    static TClientStore& Instance();
    // Replaces the process-wide store (tests); nullptr returns to the default.
    static void SetInstance(TClientStore* Store);

    QString Folder() const { return FFolder; }
    QSqlDatabase Database() const;
    bool IsEmpty() const;  // no tree yet

    // Trees and the workstation's settings.
    void AddTree(const QString& TreeName);                 // throws when it exists
    QStringList Trees() const;                             // tree names in creation order
    QStringList ConnectedTrees() const;                    // full names "NDS:\\TREE", in order
    void SetConnectedTrees(const QStringList& TreeFullNames);
    std::vector<TServerConnection> ServerConnections() const;
    void SetServerConnections(const std::vector<TServerConnection>& Connections);

    // Volumes: the map from "\\SERVER\VOLUME" to a local root folder and the volume object.
    std::vector<TVolume> Volumes() const;
    void AddVolume(const TVolume& Volume);                 // creates the root folder; throws on duplicates
    void SetVolumeRoot(const QString& Server, const QString& Volume, const QString& RootFolder);

    // Passwords: kept as salted hashes, never as text.
    void SetPassword(qint64 ObjectId, const QString& Password);
    bool CheckPassword(qint64 ObjectId, const QString& Password) const;

    // Implementation of the controls: resolving names, objects, fields, folders. See ClientStore.cpp.
    struct TObjectRef {
        qint64 TreeId = 0;
        qint64 Id = 0;          // 0 for a tree root
        QString FullName;       // canonical spelling
        QString ShortName;
        QString Layout;         // "Tree" for a tree root
    };
    // Resolves a full name; throws EDirectoryError(-601) when no such object exists.
    TObjectRef Resolve(const QString& FullName) const;
    bool TryResolve(const QString& FullName, TObjectRef& Out) const;

    // The layouts (object classes) the directory knows, canonical spelling.
    static QStringList Layouts();
    // The full name the workstation is logged in as ("creatorsName", "modifiersName"); "" for none.
    QString Identity() const;
    void SetIdentity(const QString& FullName);
    // Removes a tree with every object in it (its volumes stay in the map); throws when unknown.
    void RemoveTree(const QString& TreeName);
    // Adds a field type to the schema; throws when the name exists or the syntax is unknown.
    void AddFieldType(const QString& Name, const QString& Syntax, bool SingleValued, int MaxLength = 0);

    // The inside of the client (ClientStorePrivate.h); not for use outside src/client/.
    struct TPrivate;
    TPrivate& Private() const { return *D; }

private:
    std::unique_ptr<TPrivate> D;
    QString FFolder;
};

// One transaction on the store. Nested scopes join the outermost one; a scope left without
// Commit (an exception) rolls the whole transaction back.
class TStoreTransaction {
public:
    explicit TStoreTransaction(TClientStore& Store);
    ~TStoreTransaction();
    void Commit();

private:
    TClientStore& FStore;
    bool FOuter = false;
    bool FDone = false;
};
