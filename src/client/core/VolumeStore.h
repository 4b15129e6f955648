#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// A volume of the map: "\\SERVER\VOLUME" held in a local root folder, named in the directory by
// its volume object.
struct TVolume {
    QString Server;       // "SRV1"
    QString Volume;       // "DATA"
    QString RootFolder;   // local folder that holds the volume's content
    QString VolumeObject; // full name of the volume object, "NDS:\\SCHULE\dienste\SRV1_DATA"
};

// How a volume store names one of its folders; only the store that handed it out reads it.
struct TFolderKey {
    qint64 Id = 0;
    QString Text;
};

enum class TFolderFlag { DeleteInhibit, RenameInhibit };

// What the store keeps for one folder of a volume: its flags and its trustees with their rights.
struct TFolderState {
    QString Path; // the levels below the volume's root joined by "\" ("" for the root), in any case
    bool DeleteInhibit = false;
    bool RenameInhibit = false;
    QStringList Trustees; // full names, in the order they were assigned
    QList<int> Rights;    // the rights mask of each trustee
};

// The volumes the workstation reaches, their folders, the folders' flags and trustees. Network
// paths are "\\SERVER\VOLUME\dir\sub"; server, volume and folder names compare without regard to
// case; every level keeps the rules of VolumePath.h. Nothing outside a volume's root folder is ever touched:
// a path that climbs out (".."), leads out through a link, or names an unknown volume maps to no folder. A
// trustee is the directory object of that full name; the caller checks with the directory that it exists.
// Every failing call throws EDirectoryError with the client's status code.
class TVolumeStore {
public:
    virtual ~TVolumeStore() = default;

    // The map, in the order the volumes were added.
    virtual std::vector<TVolume> Volumes() = 0;
    // Any case; false for an unknown volume.
    virtual bool FindVolume(const QString& Server, const QString& Volume, TVolume& Out) = 0;
    // Creates the root folder (default: a folder of the store's own); throws on a duplicate or a
    // bad name.
    virtual void AddVolume(const TVolume& Volume) = 0;
    virtual void SetVolumeRoot(const QString& Server, const QString& Volume, const QString& RootFolder) = 0;

    // The local folder a network path maps to (existing levels as spelt on disk); "" when it maps
    // to none.
    virtual QString LocalPath(const QString& UncPath) = 0;
    // True when the network path maps to a folder that exists as a directory.
    virtual bool FolderExists(const QString& UncPath) = 0;
    // Creates the folder with all missing parents; true also when it exists. Inside a transaction
    // of the directory the store belongs to, the folders it made go again should that roll back.
    virtual bool CreateFolder(const QString& UncPath) = 0;
    // Removes a folder that holds nothing (no file, no subfolder), with the flags and trustees the
    // store keeps for it; false when it holds anything, does not exist, or is a volume's root.
    virtual bool RemoveFolder(const QString& UncPath) = 0;
    // The names of the subfolders of a folder (no links), sorted without regard to case; none for
    // a folder that does not exist. Throws for a path outside any volume.
    virtual QStringList ListFolders(const QString& UncPath) = 0;
    // An existing folder (a volume's root included); throws ERR_INVALID_PATH otherwise.
    virtual TFolderKey OpenFolder(const QString& UncPath) = 0;

    virtual bool FolderFlag(const TFolderKey& Folder, TFolderFlag Flag) = 0;
    virtual void SetFolderFlag(const TFolderKey& Folder, TFolderFlag Flag, bool On) = 0;

    // Trustees by full name, in the order they were assigned.
    virtual QStringList Trustees(const TFolderKey& Folder) = 0;
    // The rights mask of the trustee's assignment here; none when it holds none.
    virtual std::optional<int> FindTrustee(const TFolderKey& Folder, const QString& Trustee) = 0;
    // Assigns the trustee with no rights; an existing assignment stays as it is.
    virtual void AddTrustee(const TFolderKey& Folder, const QString& Trustee) = 0;
    // Removes the trustee's assignment; nothing happens when it holds none.
    virtual void RemoveTrustee(const TFolderKey& Folder, const QString& Trustee) = 0;
    // The rights mask (see Rights.h); throws ERR_NO_SUCH_VALUE when the trustee holds no
    // assignment here.
    virtual int TrusteeRights(const TFolderKey& Folder, const QString& Trustee) = 0;
    // Grants the rights in Grant and takes away those in Revoke, at once.
    virtual void ChangeTrusteeRights(const TFolderKey& Folder, const QString& Trustee, int Grant,
                                     int Revoke) = 0;
    // Gives the trustee exactly the rights of the mask, assigning it first when it holds no
    // assignment here; a store that can does both in one write.
    virtual void AssignTrustee(const TFolderKey& Folder, const QString& Trustee, int Rights) {
        AddTrustee(Folder, Trustee);
        ChangeTrusteeRights(Folder, Trustee, Rights, ~Rights);
    }

    // Every folder of a volume that carries a flag or a trustee, in one reading (an export of the
    // whole volume); a folder that no longer exists on disk may be among them. Throws for an unknown
    // volume.
    virtual std::vector<TFolderState> FolderStates(const QString& Server, const QString& Volume) = 0;
};
