#include "PosixVolumes.h"

#include "PosixAcl.h"
#include "PosixPaths.h"

#include <EDirectoryError.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void BadPath(const QString& Why) {
    ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("Ungültiger Pfad: %1").arg(Why));
}

QString VolumeName(const TVolume& V) {
    return QStringLiteral("\\\\%1\\%2").arg(V.Server, V.Volume);
}

} // namespace

TPosixVolumes::TPosixVolumes(std::vector<TVolume> Volumes, std::shared_ptr<TVolumeStore> Inner,
                             TPosixResolver Resolver)
    : TForwardingVolumeStore(std::move(Inner)), FVolumes(std::move(Volumes)), FResolver(std::move(Resolver)) {
    for (TVolume& V : FVolumes) {
        V.RootFolder = QDir::cleanPath(QDir(V.RootFolder).absolutePath());
        const QString Problem = PosixSupportProblem(V.RootFolder);
        if (!Problem.isEmpty())
            ThrowDirectoryError(ERR_INVALID_REQUEST,
                                QStringLiteral("Das Volume %1 kann nicht im Ordner %2 liegen: %3.")
                                    .arg(VolumeName(V), V.RootFolder, Problem));
        TVolume Known;
        if (V.VolumeObject.isEmpty() && TForwardingVolumeStore::FindVolume(V.Server, V.Volume, Known))
            V.VolumeObject = Known.VolumeObject;
    }
}

const TVolume* TPosixVolumes::Own(const QString& Server, const QString& Volume) const {
    for (const TVolume& V : FVolumes)
        if (V.Server.compare(Server, Qt::CaseInsensitive) == 0 &&
            V.Volume.compare(Volume, Qt::CaseInsensitive) == 0)
            return &V;
    return nullptr;
}

bool TPosixVolumes::Map(const QString& Unc, TMapped& Out) const {
    if (!Unc.startsWith(QLatin1String("\\\\")))
        return false;
    QString Rest = Unc.mid(2);
    if (Rest.endsWith(QLatin1Char('\\')))
        Rest.chop(1);
    const QStringList Parts = Rest.split(QLatin1Char('\\'));
    if (Parts.size() < 2 || !(Out.Volume = Own(Parts[0], Parts[1])))
        return false;
    TPosixMapped M;
    if (!MapBelowRoot(Out.Volume->RootFolder, Parts.mid(2), M, &Out.Why)) {
        Out.Local.clear();
        Out.IsDir = false;
        if (Out.Why.isEmpty())
            Out.Why = Unc;
        return true;
    }
    Out.Local = M.Local;
    Out.IsDir = M.IsDir;
    return true;
}

const TVolume& TPosixVolumes::VolumeOfKey(const TFolderKey& Key) const {
    for (const TVolume& V : FVolumes)
        if (Key.Text == V.RootFolder || Key.Text.startsWith(V.RootFolder + QLatin1Char('/')))
            return V;
    BadPath(Key.Text);
}

// ---------------------------------------------------------------------------------------------
// The volume map

std::vector<TVolume> TPosixVolumes::Volumes() {
    std::vector<TVolume> All = TForwardingVolumeStore::Volumes();
    for (TVolume& V : All)
        if (const TVolume* Mine = Own(V.Server, V.Volume))
            V = *Mine;
    for (const TVolume& Mine : FVolumes) {
        TVolume Known;
        if (!TForwardingVolumeStore::FindVolume(Mine.Server, Mine.Volume, Known))
            All.push_back(Mine);
    }
    return All;
}

bool TPosixVolumes::FindVolume(const QString& Server, const QString& Volume, TVolume& Out) {
    if (const TVolume* Mine = Own(Server, Volume)) {
        Out = *Mine;
        return true;
    }
    return TForwardingVolumeStore::FindVolume(Server, Volume, Out);
}

void TPosixVolumes::AddVolume(const TVolume& Volume) {
    if (Own(Volume.Server, Volume.Volume))
        ThrowDirectoryError(ERR_ENTRY_ALREADY_EXISTS,
                            QStringLiteral("Das Volume gibt es bereits: %1").arg(VolumeName(Volume)));
    TForwardingVolumeStore::AddVolume(Volume);
}

void TPosixVolumes::SetVolumeRoot(const QString& Server, const QString& Volume, const QString& RootFolder) {
    if (const TVolume* Mine = Own(Server, Volume))
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("Der Ordner des Volumes %1 steht in client.ini: %2")
                                .arg(VolumeName(*Mine), Mine->RootFolder));
    TForwardingVolumeStore::SetVolumeRoot(Server, Volume, RootFolder);
}

// ---------------------------------------------------------------------------------------------
// Folders

QString TPosixVolumes::LocalPath(const QString& UncPath) {
    TMapped M;
    if (!Map(UncPath, M))
        return TForwardingVolumeStore::LocalPath(UncPath);
    return M.Local;
}

bool TPosixVolumes::FolderExists(const QString& UncPath) {
    TMapped M;
    if (!Map(UncPath, M))
        return TForwardingVolumeStore::FolderExists(UncPath);
    return M.IsDir;
}

bool TPosixVolumes::CreateFolder(const QString& UncPath) {
    TMapped M;
    if (!Map(UncPath, M))
        return TForwardingVolumeStore::CreateFolder(UncPath);
    if (M.Local.isEmpty())
        return false;
    if (M.IsDir)
        return true;
    // Level by level from the root, so that each made folder gets its mode whatever the umask.
    const QString& Root = M.Volume->RootFolder;
    const QStringList Levels = M.Local.mid(Root.size() + 1).split(QLatin1Char('/'));
    QString Path = Root;
    for (const QString& Level : Levels) {
        Path += QLatin1Char('/') + Level;
        const QByteArray Native = QFile::encodeName(Path);
        if (mkdir(Native.constData(), 0700) == 0) {
            if (chmod(Native.constData(), 0711) != 0)
                return false;
        } else {
            const QFileInfo Info(Path);
            if (Info.isSymLink() || !Info.isDir())
                return false;
        }
    }
    return true;
}

bool TPosixVolumes::RemoveFolder(const QString& UncPath) {
    TMapped M;
    if (!Map(UncPath, M))
        return TForwardingVolumeStore::RemoveFolder(UncPath);
    // The flags and assignments live with the folder and go with it; a folder that holds anything
    // stays.
    if (M.Local.isEmpty() || !M.IsDir || M.Local == M.Volume->RootFolder || QFileInfo(M.Local).isSymLink())
        return false;
    return rmdir(QFile::encodeName(M.Local).constData()) == 0;
}

QStringList TPosixVolumes::ListFolders(const QString& UncPath) {
    TMapped M;
    if (!Map(UncPath, M))
        return TForwardingVolumeStore::ListFolders(UncPath);
    if (M.Local.isEmpty())
        BadPath(M.Why);
    if (!M.IsDir)
        return {};
    return QDir(M.Local).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                                   QDir::Name | QDir::IgnoreCase);
}

TFolderKey TPosixVolumes::OpenFolder(const QString& UncPath) {
    TMapped M;
    if (!Map(UncPath, M))
        return TForwardingVolumeStore::OpenFolder(UncPath);
    if (M.Local.isEmpty())
        BadPath(M.Why);
    if (!M.IsDir)
        ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("Ordner nicht gefunden: %1").arg(UncPath));
    return {-1, M.Local};
}
