#pragma once

#include <QString>
#include <QStringList>

class TClientStore;

// File-system operations on network paths ("\\SRV\VOL\dir"), through the client's volume map.
// Nothing outside a volume's root folder is ever touched; a path that climbs out ("..") or names
// an unknown server or volume is refused.
namespace NWFileSystem {
// Creates the folder with all missing parents; true on success (also when it already exists).
bool ForceDirectories(const QString& UncPath);
bool ForceDirectories(TClientStore& Store, const QString& UncPath);
bool DirectoryExists(const QString& UncPath);
bool DirectoryExists(TClientStore& Store, const QString& UncPath);
// The local folder a network path maps to, or "" when it maps to none.
QString LocalPath(TClientStore& Store, const QString& UncPath);
// The volume names of \\Server in map order (any letter case of Server).
QStringList ServerVolumes(const QString& Server);
// The names of the subfolders of a network folder: folders only, no links. Throws EDirectoryError
// for a path outside every volume.
QStringList ListFolders(const QString& UncPath);
} // namespace NWFileSystem
