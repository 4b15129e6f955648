#include "PosixPaths.h"

#include <QDir>
#include <QFile>
#include <algorithm>

#include <sys/stat.h>

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

} // namespace

bool MapBelowRoot(const QString& Root, const QStringList& Levels, TPosixMapped& Out, QString* Why) {
    auto No = [&](const QString& Reason) {
        if (Why)
            *Why = Reason;
        return false;
    };
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
