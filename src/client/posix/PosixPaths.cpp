#include "PosixPaths.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <algorithm>
#include <atomic>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

bool GoodPathLevel(const QString& Level) {
    if (Level.isEmpty() || Level == QLatin1String(".") || Level == QLatin1String(".."))
        return false;
    for (QChar C : Level)
        if (C.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(C))
            return false;
    return true;
}

namespace {

// lstat of a path: false when there is nothing (or nothing reachable) of that name.
bool LinkStat(const QString& Path, struct stat& St) {
    return lstat(QFile::encodeName(Path).constData(), &St) == 0;
}

// Whether Path, as spelled, is a folder reached without any symbolic link on the way, in one call
// (openat2 with RESOLVE_NO_SYMLINKS). False also where the kernel offers no openat2, for a link in
// the root's own path and for a level spelled otherwise on disk: the walk level by level decides.
bool PlainFolder(const QString& Path) {
    static std::atomic<bool> Unsupported = false;
    if (Unsupported)
        return false;
    open_how How{};
    How.flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    How.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const int Fd = int(syscall(SYS_openat2, AT_FDCWD, QFile::encodeName(Path).constData(), &How, sizeof How));
    if (Fd < 0) {
        if (errno == ENOSYS || errno == EPERM || errno == E2BIG)
            Unsupported = true;
        return false;
    }
    close(Fd);
    return true;
}

// The entry of Folder named Level in any case, as spelled on disk; "" for none. Listings are kept
// per folder while the folder's change time stays, so that looking up many missing names in a
// large folder reads it once. A listing taken within two seconds of the folder's last change is not
// kept: a change in the same clock tick would leave the time as it was.
QString SpelledOnDisk(const QString& Folder, const struct stat& FolderStat, const QString& Level) {
    struct TListing {
        dev_t Dev = 0;
        ino_t Ino = 0;
        timespec Changed{};
        QHash<QString, QString> ByFolded; // case-folded name -> the first such name, sorted
    };
    static QMutex Mutex;
    static QHash<QString, TListing> Listings;
    const auto Same = [&](const TListing& L) {
        return L.Dev == FolderStat.st_dev && L.Ino == FolderStat.st_ino &&
               L.Changed.tv_sec == FolderStat.st_ctim.tv_sec &&
               L.Changed.tv_nsec == FolderStat.st_ctim.tv_nsec;
    };
    const QString Folded = Level.toCaseFolded();
    {
        QMutexLocker Lock(&Mutex);
        const auto It = Listings.constFind(Folder);
        if (It != Listings.constEnd() && Same(*It))
            return It->ByFolded.value(Folded);
    }
    TListing L{FolderStat.st_dev, FolderStat.st_ino, FolderStat.st_ctim, {}};
    // Sorted by name: of names that differ in case only, the first is taken.
    for (const QString& E :
         QDir(Folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString Key = E.toCaseFolded();
        if (!L.ByFolded.contains(Key))
            L.ByFolded.insert(Key, E);
    }
    const QString Found = L.ByFolded.value(Folded);
    timespec Now{};
    clock_gettime(CLOCK_REALTIME, &Now);
    if (Now.tv_sec - FolderStat.st_ctim.tv_sec >= 2) {
        QMutexLocker Lock(&Mutex);
        if (Listings.size() >= 64)
            Listings.clear();
        Listings.insert(Folder, std::move(L));
    }
    return Found;
}

} // namespace

bool MapBelowRoot(const QString& Root, const QStringList& Levels, TPosixMapped& Out, QString* Why) {
    auto No = [&](const QString& Reason) {
        if (Why)
            *Why = Reason;
        return false;
    };
    // Most paths exist as spelled: one call settles them.
    if (std::all_of(Levels.begin(), Levels.end(), GoodPathLevel)) {
        const QString Whole =
            Levels.isEmpty() ? Root : Root + QLatin1Char('/') + Levels.join(QLatin1Char('/'));
        if (PlainFolder(Whole)) {
            Out.Local = Whole;
            Out.IsDir = true;
            return true;
        }
    }
    struct stat St {};
    bool Exists = LinkStat(Root, St);
    if (Exists && S_ISLNK(St.st_mode))
        return No(QStringLiteral("der Ordner des Volumes ist eine Verknüpfung: %1").arg(Root));
    Exists = Exists && S_ISDIR(St.st_mode);
    bool IsDir = Exists;
    QString Local = Root;
    for (const QString& Level : Levels) {
        if (!GoodPathLevel(Level))
            return No(QStringLiteral("ungültige Pfadebene \"%1\"").arg(Level));
        QString Next = Local + QLatin1Char('/') + Level;
        if (Exists) {
            const struct stat Parent = St;
            bool Found = LinkStat(Next, St);
            if (!Found) {
                const QString Spelled = SpelledOnDisk(Local, Parent, Level);
                if (!Spelled.isEmpty()) {
                    Next = Local + QLatin1Char('/') + Spelled;
                    Found = LinkStat(Next, St);
                }
            }
            if (Found && S_ISLNK(St.st_mode))
                return No(QStringLiteral("der Pfad führt über eine Verknüpfung: %1").arg(Next));
            Exists = Found;
            IsDir = Exists && S_ISDIR(St.st_mode);
            if (Exists && !IsDir) // a file in the middle: nothing below it
                Exists = false;
        }
        Local = Next;
    }
    Out.Local = Local;
    Out.IsDir = Exists && IsDir;
    return true;
}
