#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

class TDirectoryClient;

// Reading the files below a folder of a volume, for copying them elsewhere (an archive). The folder
// is found through the client's volume map, so its path keeps the volume's rules; below it every
// level is opened without following a link, so a link placed in the folder (or swapped in while it
// is read) never leads out of it: links are listed as left out, never read.
namespace VolumeFiles {

// A file or subfolder below the folder read.
struct TEntry {
    QString Path; // below the folder, levels joined by "/"
    bool Folder = false;
    qint64 Size = 0;
    QDateTime Modified;
    QString LeftOut; // why it is not read ("" when it is): a link, a device, too deep
};

// The folder's files and subfolders, each folder before what it holds, names sorted; nothing for
// a folder that does not exist. Throws EDirectoryError for a path outside every volume or a
// folder that cannot be read.
std::vector<TEntry> List(TDirectoryClient& Client, const QString& UncPath);
// The local folder the entries of List lie in ("" when the path maps to none).
QString Root(TDirectoryClient& Client, const QString& UncPath);
// Opens a file that List named (Path below Root) for reading, every level without following a
// link; the file descriptor, or -1 with errno set.
int OpenBelow(const QString& Root, const QString& Path);

} // namespace VolumeFiles
