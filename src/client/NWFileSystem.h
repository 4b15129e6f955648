#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class TDirectoryClient;

// File-system operations on network paths ("\\SRV\VOL\dir"), through the client's volume map.
// Nothing outside a volume's root folder is ever touched; a path that climbs out ("..") or names
// an unknown server or volume is refused. The forms without a client use TDirectoryClient::Instance().
namespace NWFileSystem {
// Creates the folder with all missing parents; true on success (also when it already exists).
bool ForceDirectories(const QString& UncPath);
bool ForceDirectories(TDirectoryClient& Client, const QString& UncPath);
bool DirectoryExists(const QString& UncPath);
bool DirectoryExists(TDirectoryClient& Client, const QString& UncPath);
// The local folder a network path maps to, or "" when it maps to none.
QString LocalPath(TDirectoryClient& Client, const QString& UncPath);
// The volume names of \\Server (the server's name, any case, with or without the leading "\\"),
// in the order of the volume map.
QStringList ServerVolumes(const QString& Server);
QStringList ServerVolumes(TDirectoryClient& Client, const QString& Server);
// The names of the subfolders of a network folder (no links), sorted without regard to case; none
// for a folder that does not exist. Throws EDirectoryError for a path outside any volume.
QStringList ListFolders(const QString& UncPath);
QStringList ListFolders(TDirectoryClient& Client, const QString& UncPath);
// A subfolder with the mark whether it holds subfolders of its own.
struct TFolderEntry {
    QString Name;
    bool HasFolders = false;
};
// ListFolders, each subfolder marked (looked at on disk, links not followed), so that a tree shows
// an empty folder without an expand mark.
std::vector<TFolderEntry> ListFoldersMarked(const QString& UncPath);
std::vector<TFolderEntry> ListFoldersMarked(TDirectoryClient& Client, const QString& UncPath);
} // namespace NWFileSystem
