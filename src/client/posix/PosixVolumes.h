#pragma once

#include <DirectoryBackend.h>
#include <ForwardingBackend.h>

#include <functional>
#include <memory>
#include <vector>

// The numeric identity of a trustee, by its full name (the directory's EnsurePosixIdentity); throws
// EDirectoryError when the trustee has none yet or is unknown.
using TPosixResolver = std::function<TPosixIdentity(const QString& FullName)>;

// Volumes whose roots are real folders of a file system with extended attributes and POSIX ACLs.
// Everything about a folder lives with the folder (PosixAcl.h): its flags and trustee assignments
// in extended attributes, so that every workstation on the same folders sees the same, and the
// assignments projected into the folder's ACL by the trustees' ids, so that the kernel enforces
// them. Every other volume is handed on to the inner store.
//
// Delete and Rename Inhibit: a folder carrying either flag gets the sticky bit on its parent (inside
// the volume), so that nobody but the owner of the folder or of the parent removes or renames it,
// whatever write right a trustee holds on the parent. Clearing the flags leaves the sticky bit.
// Folders the store makes get mode 0711: their owner does everything, anybody may pass through them
// to a folder whose ACL lets it in, nobody else lists them.
class TPosixVolumes : public TForwardingVolumeStore {
public:
    // Volumes: the volumes on real folders (RootFolder set); a volume the inner store also holds
    // takes its volume object from there when it names none. Throws EDirectoryError, before
    // anything is written, for a root folder that is missing or cannot carry attributes and ACLs.
    TPosixVolumes(std::vector<TVolume> Volumes, std::shared_ptr<TVolumeStore> Inner, TPosixResolver Resolver);

    // Folders of the POSIX volumes whose ACL (or, for a flagged folder, its parent's sticky bit) is
    // not what their flags and assignments give, as network paths; Repair sets them anew.
    QStringList CheckFolders(bool Repair);

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
    // One write of the extended attribute and one of the ACL (access and default).
    void AssignTrustee(const TFolderKey& Folder, const QString& Trustee, int Rights) override;
    std::vector<TFolderState> FolderStates(const QString& Server, const QString& Volume) override;

private:
    struct TMapped {
        const TVolume* Volume = nullptr; // null: not one of ours, the inner store's
        QString Local;
        bool IsDir = false;
        QString Why; // when it maps to nothing
    };
    const TVolume* Own(const QString& Server, const QString& Volume) const;
    // Splits a network path; false when it is none of ours.
    bool Map(const QString& Unc, TMapped& Out) const;
    static bool OwnKey(const TFolderKey& Key) { return Key.Id == -1 && !Key.Text.isEmpty(); }
    const TVolume& VolumeOfKey(const TFolderKey& Key) const;
    // The record after Change, written (the attributes that changed) and projected.
    template <typename F> void Update(const TFolderKey& Folder, F Change);
    // The trustee's identity; throws as an unknown trustee when it has none yet.
    TPosixIdentity Resolve(const QString& Trustee) const;
    void SetParentSticky(const TFolderKey& Folder);
    bool ParentSticky(const QString& Local) const;

    std::vector<TVolume> FVolumes;
    TPosixResolver FResolver;
};
