#include "NWFileSystem.h"

#include "DirectoryClient.h"

#include "EDirectoryError.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

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

std::vector<TFolderEntry> ListFoldersMarked(const QString& UncPath) {
    return ListFoldersMarked(TDirectoryClient::Instance(), UncPath);
}

std::vector<TFolderEntry> ListFoldersMarked(TDirectoryClient& Client, const QString& UncPath) {
    const QStringList Names = ListFolders(Client, UncPath);
    const QString Local = LocalPath(Client, UncPath);
    std::vector<TFolderEntry> Entries;
    Entries.reserve(size_t(Names.size()));
    for (const QString& Name : Names) {
        // The first subfolder answers; the listing stops there.
        QDirIterator Inside(Local + QLatin1Char('/') + Name,
                            QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
        Entries.push_back({Name, Inside.hasNext()});
    }
    return Entries;
}

} // namespace NWFileSystem
