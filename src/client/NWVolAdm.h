#pragma once

#include <Rights.h>
#include <VolumeStore.h>

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class TDirectoryClient;

// The eight rights of one trustee on one folder; every write goes to the volume store at once.
// Found: the mask as the trustee's look-up read it; reads answer it until the first write, and
// read the store otherwise.
class NWRights {
public:
    NWRights(TDirectoryClient& Client, const TFolderKey& Folder, const QString& Trustee,
             std::optional<int> Found = std::nullopt)
        : FClient(Client), FFolder(Folder), FTrustee(Trustee), FFound(Found) {}
    bool Right(TRight R) const;
    void SetRight(TRight R, bool Granted);
    int Mask() const; // rights mask: S 0x100, R 0x001, W 0x002, E 0x010, C 0x008, M 0x080, F 0x040, A 0x020

private:
    int Read() const;

    TDirectoryClient& FClient;
    TFolderKey FFolder;
    QString FTrustee;
    std::optional<int> FFound;
};

class NWTrustee {
public:
    // Found: the rights mask read together with the assignment (NWTrustees::Item).
    NWTrustee(TDirectoryClient& Client, const TFolderKey& Folder, const QString& FullName,
              std::optional<int> Found = std::nullopt)
        : FClient(Client), FFolder(Folder), FFullName(FullName), FFound(Found) {}
    QString FullName() const { return FFullName; }
    NWRights Rights() const { return NWRights(FClient, FFolder, FFullName, FFound); }

private:
    TDirectoryClient& FClient;
    TFolderKey FFolder;
    QString FFullName;
    std::optional<int> FFound;
};
using NWTrusteePtr = std::shared_ptr<NWTrustee>;

class NWTrustees {
public:
    // VolumeObject: the full name of the folder's volume object, whose tree dotted names are in.
    NWTrustees(TDirectoryClient& Client, const TFolderKey& Folder, const QString& VolumeObject)
        : FClient(Client), FFolder(Folder), FVolumeObject(VolumeObject) {}
    // Adds the trustee (or returns the existing assignment); throws when the directory does not
    // know the trustee. A new assignment starts with no rights.
    NWTrusteePtr Add(const QString& TrusteeFullName, int Reserved = 0);
    // Add and then the eight rights of Mask written, as one write to the folder (the assignment
    // with its rights); it fails as Add does, under the same fault-injection name.
    NWTrusteePtr Assign(const QString& TrusteeFullName, int Mask);
    // The trustee holding rights here, read with its rights; throws when it holds none. Name: full
    // or dotted name.
    NWTrusteePtr Item(const QString& TrusteeName, int Reserved = 0);
    int Count() const;
    NWTrusteePtr ItemAt(int Index) const;

private:
    TDirectoryClient& FClient;
    TFolderKey FFolder;
    QString FVolumeObject;
};

// A folder on a volume: its Delete Inhibit / Rename Inhibit flags and its trustees.
class NWDirectoryEntry {
public:
    NWDirectoryEntry(TDirectoryClient& Client, const TFolderKey& Folder, const QString& Path,
                     const QString& VolumeObject)
        : FClient(Client), FFolder(Folder), FPath(Path), FVolumeObject(VolumeObject) {}
    QString Path() const { return FPath; }
    bool DeleteInhibit() const { return Flag(TFolderFlag::DeleteInhibit); }
    void SetDeleteInhibit(bool On) { SetFlag(TFolderFlag::DeleteInhibit, On); }
    bool RenameInhibit() const { return Flag(TFolderFlag::RenameInhibit); }
    void SetRenameInhibit(bool On) { SetFlag(TFolderFlag::RenameInhibit, On); }
    NWTrustees Trustees() const { return NWTrustees(FClient, FFolder, FVolumeObject); }

private:
    bool Flag(TFolderFlag Which) const;
    void SetFlag(TFolderFlag Which, bool On);

    TDirectoryClient& FClient;
    TFolderKey FFolder;
    QString FPath;
    QString FVolumeObject;
};
using NWDirectoryEntryPtr = std::shared_ptr<NWDirectoryEntry>;

// The volume-administration control: positioned on a volume ("\\SRV\VOL").
class NWVolAdm : public QObject {
    Q_OBJECT
public:
    explicit NWVolAdm(QObject* Parent = nullptr);
    explicit NWVolAdm(TDirectoryClient& Client, QObject* Parent = nullptr);
    QString FullName() const { return FFullName; }
    void SetFullName(const QString& Volume); // throws for an unknown volume
    // The folder Path ("\\SRV\VOL\dir\sub") on the positioned volume; throws when the folder does
    // not exist or the path lies outside the volume.
    NWDirectoryEntryPtr GetDirectoryEntry(const QString& Path) const;

private:
    TDirectoryClient& FClient;
    QString FFullName;
    TVolume FVolume;
};
