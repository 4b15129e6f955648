#include "PosixPaths.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <atomic>

#include <cerrno>
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
            bool Found = LinkStat(Next, St);
            if (!Found) {
                const QStringList Entries = QDir(Local).entryList(QDir::AllEntries | QDir::System |
                                                                  QDir::NoDotAndDotDot | QDir::Hidden);
                const auto It = std::find_if(Entries.begin(), Entries.end(), [&](const QString& E) {
                    return E.compare(Level, Qt::CaseInsensitive) == 0;
                });
                if (It != Entries.end()) {
                    Next = Local + QLatin1Char('/') + *It;
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
