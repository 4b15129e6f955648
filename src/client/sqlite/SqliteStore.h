#pragma once

#include <DirectoryBackend.h>
#include <PosixIds.h>
#include <VolumeStore.h>

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

struct TSqliteStoreParts;
class TSqliteCatalogs;

// The embedded directory: one SQLite database in a folder of its own (write-ahead log, foreign
// keys on, a numbered layout that older stores are brought to on opening) holding trees, objects,
// field values, the schema, the workstation's connections, volumes with their folder flags and
// trustees, catalogs with their gathered rows and password hashes; the volumes' folders are real folders
// under each volume's root. It is both the client's directory and its volume store.
class TSqliteStore final : public TDirectoryBackend, public TVolumeStore {
public:
    // Where the database lives: the file "directory.db" in the store's folder, or the memory of
    // this process (for tests and fuzzing: nothing of it outlives the store, but its volumes'
    // folders are real folders below the store's folder all the same).
    enum class TStorage { File, Memory };

    // Opens the store in Folder: database "directory.db" and the default volume roots below
    // "volumes/". Only a missing database file makes a new store (whole or not at all); an
    // existing file that is empty, damaged or holds no store is refused with ERR_INCONSISTENT_DATABASE
    // and left as it is. A database the user may not write (the file or its folder) opens for
    // reading: every write then throws ERR_NO_ACCESS. Files created are readable by the owner only.
    explicit TSqliteStore(const QString& Folder, TStorage Storage = TStorage::File);
    ~TSqliteStore() override;
    TSqliteStore(const TSqliteStore&) = delete;
    TSqliteStore& operator=(const TSqliteStore&) = delete;

    QString Folder() const { return FFolder; }
    QString ConnectionName() const;
    bool ReadOnly() const;
    bool IsEmpty(); // no tree yet

    // Setting up the workstation and the directory.
    void RemoveTree(const QString& TreeName); // with every object in it; its volumes stay
    void SetConnectedTrees(const QStringList& TreeFullNames);
    void SetServerConnections(const std::vector<TServerConnection>& Connections);
    // The full name the workstation is logged in as ("creatorsName", "modifiersName"); "" for none.
    QString Identity();
    void SetIdentity(const QString& FullName);
    // Adds a field type to the schema; throws when the name exists or the syntax is unknown.
    void AddFieldType(const QString& Name, const QString& Syntax, bool SingleValued, int MaxLength = 0);
    // Passwords set from now on are hashed at the library's minimal limits instead of its
    // interactive ones, so that tests building many directories stay fast. The program never calls
    // it; checking takes the limits a hash was made with.
    void UseMinimalPasswordCostForTests();
    // POSIX identities are taken from the ranges of the store's settings ("POSIX UID Range" and
    // "POSIX GID Range", 10000-59999 unless set), each kind from a counter that only goes up, so
    // that the id of a deleted object is never given again. Setting a range throws for a store that
    // may only be read; ids given already stay.
    TPosixRange PosixRange(TPosixIdentity::TKind Kind);
    void SetPosixRange(TPosixIdentity::TKind Kind, const TPosixRange& Range);
    // How a user's "Home Directory" becomes its home folder; by default through this store's
    // volume map.
    void SetHomePathMap(THomePathMap Map) { FHomePathMap = std::move(Map); }

    // TDirectoryBackend
    QStringList Trees() override;
    void AddTree(const QString& TreeName) override;
    QStringList ConnectedTrees() override;
    std::vector<TServerConnection> ServerConnections() override;
    bool TryResolve(const QString& FullName, TObjectRef& Out) override;
    std::vector<TChildEntry> Children(const TObjectRef& Container, const QStringList& Layouts) override;
    int CountChildren(const TObjectRef& Container, const QStringList& Layouts) override;
    std::vector<TChildEntry> ChildrenCounted(const TObjectRef& Container,
                                             const QStringList& Layouts) override;
    QStringList Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                       int Scope) override;
    const std::vector<NWFieldType>& FieldTypes() override;
    const NWFieldType* FieldType(const QString& Field) override;
    std::vector<QVariant> ReadField(const TObjectRef& Object, const NWFieldType& Type) override;
    std::vector<TFieldValues> ReadFields(const TObjectRef& Object) override;
    QStringList FieldNames(const TObjectRef& Object) override;
    void WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) override;
    TObjectRef CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                            const std::vector<TFieldWrite>& Fields = {}) override;
    TObjectRef CreateUser(const TObjectRef& Container, const QString& Name, const QString& Surname,
                          const TObjectRef* Template) override;
    void DeleteObject(const TObjectRef& Object) override;
    void BeginTransaction() override;
    void CommitTransaction() override;
    void RollbackTransaction() override;
    void SetPassword(const TObjectRef& Object, const QString& Password) override;
    bool CheckPassword(const TObjectRef& Object, const QString& Password) override;
    std::optional<TPosixIdentity> PosixIdentity(const TObjectRef& Object) override;
    TPosixIdentity EnsurePosixIdentity(const TObjectRef& Object) override;
    int EnsurePosixIdentities(const TObjectRef& Base) override;
    std::vector<TPosixHolder> PosixIdentities(const TObjectRef& Base) override;
    void GivePosixIdentities(const std::vector<TPosixGrant>& Grants) override;
    bool StartCatalogRefresh(const TObjectRef& Catalog) override;
    std::vector<TCatalogRow> CatalogRows(const TObjectRef& Catalog) override;
    void WaitForCatalogRefreshes() override;

    // TVolumeStore
    std::vector<TVolume> Volumes() override;
    bool FindVolume(const QString& Server, const QString& Volume, TVolume& Out) override;
    void AddVolume(const TVolume& Volume) override;
    void SetVolumeRoot(const QString& Server, const QString& Volume, const QString& RootFolder) override;
    QString LocalPath(const QString& UncPath) override;
    bool FolderExists(const QString& UncPath) override;
    bool CreateFolder(const QString& UncPath) override;
    bool RemoveFolder(const QString& UncPath) override;
    QStringList ListFolders(const QString& UncPath) override;
    TFolderKey OpenFolder(const QString& UncPath) override;
    bool FolderFlag(const TFolderKey& Folder, TFolderFlag Flag) override;
    void SetFolderFlag(const TFolderKey& Folder, TFolderFlag Flag, bool On) override;
    QStringList Trustees(const TFolderKey& Folder) override;
    std::optional<int> FindTrustee(const TFolderKey& Folder, const QString& Trustee) override;
    void AddTrustee(const TFolderKey& Folder, const QString& Trustee) override;
    void RemoveTrustee(const TFolderKey& Folder, const QString& Trustee) override;
    int TrusteeRights(const TFolderKey& Folder, const QString& Trustee) override;
    void ChangeTrusteeRights(const TFolderKey& Folder, const QString& Trustee, int Grant,
                             int Revoke) override;
    std::vector<TFolderState> FolderStates(const QString& Server, const QString& Volume) override;

private:
    QString FFolder;
    std::unique_ptr<TSqliteStoreParts> P;
    bool FMinimalPasswordCost = false;
    THomePathMap FHomePathMap;
    std::unique_ptr<TSqliteCatalogs> FCatalogs; // goes first, waiting for its refreshes
};
