#pragma once

#include "ForwardingBackend.h"

#include <QHash>
#include <QSet>
#include <map>
#include <memory>
#include <vector>

// A directory that reads through to the inner one and keeps every write to itself: objects made,
// fields written and objects deleted are seen by every later read through it, and nothing reaches
// the inner directory. A write is checked as the directory would check it (layout, name, place,
// existing name, field syntax and length, a path's volume object) and refused the same way.
// Passwords are checked for a user and forgotten. For a dry run.
class TOverlayBackend : public TForwardingBackend {
public:
    explicit TOverlayBackend(std::shared_ptr<TDirectoryBackend> Inner);

    void AddTree(const QString& TreeName) override;
    bool TryResolve(const QString& FullName, TObjectRef& Out) override;
    std::vector<TChildEntry> Children(const TObjectRef& Container, const QStringList& Layouts) override;
    int CountChildren(const TObjectRef& Container, const QStringList& Layouts) override;
    std::vector<TChildEntry> ChildrenCounted(const TObjectRef& Container,
                                             const QStringList& Layouts) override;
    QStringList Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                       int Scope) override;
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
    void GivePosixIdentities(const std::vector<TPosixGrant>& Grants) override;
    bool StartCatalogRefresh(const TObjectRef& Catalog) override;

private:
    struct TMade {
        TObjectRef Ref;
        QString Parent; // upper-cased full name
    };
    struct TState {
        std::vector<TMade> Made;                          // in creation order
        QHash<QString, size_t> MadeIndex;                 // upper-cased full name -> index into Made
        QSet<QString> Deleted;                            // upper-cased full names of inner objects
        QHash<QString, std::vector<TFieldValues>> Fields; // upper-cased full name -> fields written
                                                          // (all of a made object's), first written first
    };
    bool IsMade(const TObjectRef& Object) const;
    bool IsGone(const QString& UpperFullName) const; // the object or one above it deleted
    bool Exists(const QString& FullName);
    std::vector<TFieldValues>* KeptFields(const TObjectRef& Object);
    // Written values as the directory holds them: checked, paths and names resolved.
    std::vector<QVariant> Held(const NWFieldType& Type, const QVariant& Value);
    TObjectRef Make(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                    std::vector<TFieldValues> Fields);
    void SetFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields, bool Fresh);

    TState S;
    std::vector<TState> FSaved; // at the start of the outermost transaction
    int FDepth = 0;
    qint64 FNextId = 1;
};

// A volume store that reads through to the inner one and keeps folders made, flags, trustees and
// rights to itself; later reads through it see them. Paths are checked as the inner store maps
// them. For a dry run.
class TOverlayVolumeStore : public TForwardingVolumeStore {
public:
    explicit TOverlayVolumeStore(std::shared_ptr<TVolumeStore> Inner);

    void AddVolume(const TVolume& Volume) override;
    void SetVolumeRoot(const QString& Server, const QString& Volume, const QString& RootFolder) override;
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
    // Through AddTrustee and ChangeTrusteeRights above, so that it stays in the overlay.
    void AssignTrustee(const TFolderKey& Folder, const QString& Trustee, int Rights) override {
        TVolumeStore::AssignTrustee(Folder, Trustee, Rights);
    }
    std::vector<TFolderState> FolderStates(const QString& Server, const QString& Volume) override;

private:
    struct TFolder {
        QString Path;                 // as first named
        bool Made = false;            // made here, not in the inner store
        bool Loaded = false;          // what the inner store holds for it is read
        std::optional<bool> Flags[2]; // as held: set here, or read from the inner store
        bool TrusteesKept = false;    // the trustees below are the folder's
        std::vector<std::pair<QString, int>> Trustees;
    };
    static QString Key(const QString& UncPath); // upper-cased, without a trailing "\"
    TFolder& Folder(const TFolderKey& Key);
    // Reads what the inner store holds for a folder of its own from the states of its volume (one
    // reading per volume), so that no folder of the inner store is opened: opening one may write.
    void Load(TFolder& F);

    std::map<QString, TFolder> FFolders;                  // Key(path) -> what is kept of the folder
    QSet<QString> FRemoved;                               // Key(path) of inner folders removed
    std::map<QString, std::vector<TFolderState>> FStates; // Key of a volume -> its states
};
