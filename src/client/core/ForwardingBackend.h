#pragma once

#include "DirectoryBackend.h"
#include "VolumeStore.h"

#include <memory>

// A directory backend that hands every call on: a call about an object to the backend Target names
// for the object's full name, every other call to the inner backend. A router overrides Target and
// the few calls that concern every backend; a decorator overrides only the calls it changes.
class TForwardingBackend : public TDirectoryBackend {
public:
    explicit TForwardingBackend(std::shared_ptr<TDirectoryBackend> Inner);

    TDirectoryBackend& Inner() const { return *FInner; }
    const std::shared_ptr<TDirectoryBackend>& InnerPtr() const { return FInner; }

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

protected:
    // The backend that serves the object of that full name: the inner one.
    virtual TDirectoryBackend& Target(const QString& FullName);

private:
    std::shared_ptr<TDirectoryBackend> FInner;
};

// A volume store that hands every call on to the inner store; a decorator overrides only what it
// changes.
class TForwardingVolumeStore : public TVolumeStore {
public:
    explicit TForwardingVolumeStore(std::shared_ptr<TVolumeStore> Inner);

    TVolumeStore& Inner() const { return *FInner; }
    const std::shared_ptr<TVolumeStore>& InnerPtr() const { return FInner; }

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
    void AssignTrustee(const TFolderKey& Folder, const QString& Trustee, int Rights) override;
    std::vector<TFolderState> FolderStates(const QString& Server, const QString& Volume) override;

private:
    std::shared_ptr<TVolumeStore> FInner;
};
