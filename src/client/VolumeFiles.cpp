#include "VolumeFiles.h"

#include "DirectoryClient.h"
#include "EDirectoryError.h"

#include <VolumePath.h>

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace VolumeFiles {
namespace {

// A file descriptor closed when it goes out of scope.
class TFd {
public:
    explicit TFd(int Fd = -1) : FFd(Fd) {}
    ~TFd() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    int Release() { return std::exchange(FFd, -1); }
    void Swap(TFd& Other) { std::swap(FFd, Other.FFd); }

private:
    int FFd;
};

constexpr int DirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

QDateTime Modified(const struct stat& St) {
    return QDateTime::fromSecsSinceEpoch(St.st_mtim.tv_sec);
}

// The names in a folder, sorted; throws when it cannot be read.
QStringList Names(int Dir, const QString& Where) {
    const int Copy = ::fcntl(Dir, F_DUPFD_CLOEXEC, 0);
    DIR* D = Copy >= 0 ? ::fdopendir(Copy) : nullptr;
    if (!D) {
        if (Copy >= 0)
            ::close(Copy);
        ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("Der Ordner %1 kann nicht gelesen werden: %2")
                                                  .arg(Where, QString::fromLocal8Bit(std::strerror(errno))));
    }
    QStringList Result;
    while (const dirent* E = ::readdir(D)) {
        const QString Name = QFile::decodeName(E->d_name);
        if (Name != QLatin1String(".") && Name != QLatin1String(".."))
            Result << Name;
    }
    ::closedir(D);
    std::sort(Result.begin(), Result.end(),
              [](const QString& A, const QString& B) { return A.compare(B, Qt::CaseInsensitive) < 0; });
    return Result;
}

void Walk(int Dir, const QString& Prefix, int Depth, std::vector<TEntry>& Out) {
    for (const QString& Name : Names(Dir, Prefix.isEmpty() ? QStringLiteral(".") : Prefix)) {
        const QByteArray Native = QFile::encodeName(Name);
        TEntry E;
        E.Path = Prefix.isEmpty() ? Name : Prefix + QLatin1Char('/') + Name;
        struct stat St {};
        if (::fstatat(Dir, Native.constData(), &St, AT_SYMLINK_NOFOLLOW) != 0) {
            E.LeftOut = QString::fromLocal8Bit(std::strerror(errno));
            Out.push_back(E);
            continue;
        }
        E.Modified = Modified(St);
        if (S_ISLNK(St.st_mode)) {
            E.LeftOut = QStringLiteral("Verknüpfung");
        } else if (S_ISDIR(St.st_mode)) {
            E.Folder = true;
            if (Depth >= VolumePath::MaxDepth)
                E.LeftOut = QStringLiteral("mehr als %1 Ebenen").arg(VolumePath::MaxDepth);
        } else if (S_ISREG(St.st_mode)) {
            E.Size = St.st_size;
        } else {
            E.LeftOut = QStringLiteral("keine gewöhnliche Datei");
        }
        Out.push_back(E);
        if (E.Folder && E.LeftOut.isEmpty()) {
            const TFd Sub(::openat(Dir, Native.constData(), DirFlags));
            if (Sub.Get() < 0) {
                Out.back().LeftOut = QString::fromLocal8Bit(std::strerror(errno));
                continue;
            }
            Walk(Sub.Get(), E.Path, Depth + 1, Out);
        }
    }
}

} // namespace

QString Root(TDirectoryClient& Client, const QString& UncPath) {
    return Client.VolumeStore().LocalPath(UncPath);
}

std::vector<TEntry> List(TDirectoryClient& Client, const QString& UncPath) {
    VolumePath::TParts Parts;
    QString Why;
    if (!VolumePath::Split(UncPath, Parts, &Why))
        ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("Ungültiger Pfad: %1").arg(Why));
    const QString Local = Root(Client, UncPath);
    if (Local.isEmpty())
        ThrowDirectoryError(ERR_INVALID_PATH,
                            QStringLiteral("Der Pfad liegt auf keinem Volume: %1").arg(UncPath));
    if (!Client.VolumeStore().FolderExists(UncPath))
        return {};
    // The store checked the path to the folder; the folder itself is opened as it is now.
    const TFd Dir(::open(QFile::encodeName(Local).constData(), DirFlags));
    if (Dir.Get() < 0)
        ThrowDirectoryError(ERR_INVALID_PATH,
                            QStringLiteral("Der Ordner %1 kann nicht geöffnet werden: %2")
                                .arg(UncPath, QString::fromLocal8Bit(std::strerror(errno))));
    std::vector<TEntry> Out;
    Walk(Dir.Get(), QString(), 1, Out);
    return Out;
}

int OpenBelow(const QString& Root, const QString& Path) {
    TFd Dir(::open(QFile::encodeName(Root).constData(), DirFlags));
    if (Dir.Get() < 0)
        return -1;
    const QStringList Levels = Path.split(QLatin1Char('/'));
    for (qsizetype I = 0; I < Levels.size(); ++I) {
        const QString& Level = Levels[I];
        if (Level.isEmpty() || Level == QLatin1String(".") || Level == QLatin1String("..")) {
            errno = EINVAL;
            return -1;
        }
        const QByteArray Native = QFile::encodeName(Level);
        const bool Last = I == Levels.size() - 1;
        // Non-blocking: a pipe swapped in for the file must not hold the reader.
        TFd Next(::openat(Dir.Get(), Native.constData(),
                          Last ? O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK : DirFlags));
        if (Next.Get() < 0)
            return -1;
        if (Last) {
            struct stat St {};
            if (::fstat(Next.Get(), &St) != 0)
                return -1;
            if (!S_ISREG(St.st_mode)) {
                errno = EINVAL;
                return -1;
            }
            const int Flags = ::fcntl(Next.Get(), F_GETFL);
            if (Flags >= 0)
                ::fcntl(Next.Get(), F_SETFL, Flags & ~O_NONBLOCK);
            return Next.Release();
        }
        Dir.Swap(Next);
    }
    errno = EINVAL;
    return -1;
}

} // namespace VolumeFiles
