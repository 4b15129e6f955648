#pragma once

#include <QObject>
#include <QString>
#include <memory>

class TClientStore;

enum class TRight { Supervisor, Read, Write, Create, Modify, FileScan, Erase, AccessControl };

// The eight rights of one trustee on one folder; every write goes to the store at once.
class NWRights {
public:
    NWRights(TClientStore& Store, qint64 FolderId, qint64 TrusteeId)
        : FStore(Store), FFolderId(FolderId), FTrusteeId(TrusteeId) {}
    bool Right(TRight R) const;
    void SetRight(TRight R, bool Granted);
    int Mask() const;   // rights mask: S 0x100, R 0x001, W 0x002, E 0x010, C 0x008, M 0x080, F 0x040, A 0x020

private:
    TClientStore& FStore;
    qint64 FFolderId, FTrusteeId;
};

class NWTrustee {
public:
    NWTrustee(TClientStore& Store, qint64 FolderId, qint64 TrusteeId, const QString& FullName)
        : FStore(Store), FFolderId(FolderId), FTrusteeId(TrusteeId), FFullName(FullName) {}
    QString FullName() const { return FFullName; }
    NWRights Rights() const { return NWRights(FStore, FFolderId, FTrusteeId); }

private:
    TClientStore& FStore;
    qint64 FFolderId, FTrusteeId;
    QString FFullName;
};
using NWTrusteePtr = std::shared_ptr<NWTrustee>;

class NWTrustees {
public:
    NWTrustees(TClientStore& Store, qint64 FolderId) : FStore(Store), FFolderId(FolderId) {}
    // Adds the trustee (or returns the existing assignment); throws when the directory does not
    // know the trustee. A new assignment starts with no rights.
    NWTrusteePtr Add(const QString& TrusteeFullName, int Reserved = 0);
    // The trustee holding rights here; throws when it holds none. Name: full or dotted name.
    NWTrusteePtr Item(const QString& TrusteeName, int Reserved = 0);
    int Count() const;
    NWTrusteePtr ItemAt(int Index) const;

private:
    TClientStore& FStore;
    qint64 FFolderId;
};

// A folder on a volume: its Delete Inhibit / Rename Inhibit flags and its trustees.
class NWDirectoryEntry {
public:
    NWDirectoryEntry(TClientStore& Store, qint64 FolderId, const QString& Path)
        : FStore(Store), FFolderId(FolderId), FPath(Path) {}
    QString Path() const { return FPath; }
    bool DeleteInhibit() const;
    void SetDeleteInhibit(bool On);
    bool RenameInhibit() const;
    void SetRenameInhibit(bool On);
    NWTrustees Trustees() const { return NWTrustees(FStore, FFolderId); }

private:
    TClientStore& FStore;
    qint64 FFolderId;
    QString FPath;
};
using NWDirectoryEntryPtr = std::shared_ptr<NWDirectoryEntry>;

// The volume-administration control: positioned on a volume ("\\SRV\VOL").
class NWVolAdm : public QObject {
    Q_OBJECT
public:
    explicit NWVolAdm(QObject* Parent = nullptr);
    explicit NWVolAdm(TClientStore& Store, QObject* Parent = nullptr);
    QString FullName() const { return FFullName; }
    void SetFullName(const QString& Volume);          // throws for an unknown volume
    // The folder Path ("\\SRV\VOL\dir\sub") on the positioned volume; throws when the folder does
    // not exist or the path lies outside the volume.
    NWDirectoryEntryPtr GetDirectoryEntry(const QString& Path) const;

private:
    TClientStore& FStore;
    QString FFullName;
    qint64 FVolumeId = 0;
};
