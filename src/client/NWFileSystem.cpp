#include "NWFileSystem.h"

#include "DirectoryClient.h"

#include "EDirectoryError.h"

namespace NWFileSystem {

bool ForceDirectories(const QString& UncPath) {
    return ForceDirectories(TDirectoryClient::Instance(), UncPath);
}

bool ForceDirectories(TDirectoryClient& Client, const QString& UncPath) {
    return Client.VolumeStore().CreateFolder(UncPath);
}

bool DirectoryExists(const QString& UncPath) {
    return DirectoryExists(TDirectoryClient::Instance(), UncPath);
}

bool DirectoryExists(TDirectoryClient& Client, const QString& UncPath) {
    return Client.VolumeStore().FolderExists(UncPath);
}

QString LocalPath(TDirectoryClient& Client, const QString& UncPath) {
    return Client.VolumeStore().LocalPath(UncPath);
}

QStringList ServerVolumes(const QString& Server) {
    return ServerVolumes(TDirectoryClient::Instance(), Server);
}

QStringList ServerVolumes(TDirectoryClient& Client, const QString& Server) {
    const QString Name = Server.startsWith(QLatin1String("\\\\")) ? Server.mid(2) : Server;
    QStringList Names;
    for (const TVolume& V : Client.VolumeStore().Volumes())
        if (V.Server.compare(Name, Qt::CaseInsensitive) == 0)
            Names.append(V.Volume);
    return Names;
}

QStringList ListFolders(const QString& UncPath) {
    return ListFolders(TDirectoryClient::Instance(), UncPath);
}

QStringList ListFolders(TDirectoryClient& Client, const QString& UncPath) {
    return Client.VolumeStore().ListFolders(UncPath);
}

} // namespace NWFileSystem
