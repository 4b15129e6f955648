#include "PosixPaths.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

bool GoodPathLevel(const QString& Level) {
    if (Level.isEmpty() || Level == QLatin1String(".") || Level == QLatin1String(".."))
        return false;
    for (QChar C : Level)
        if (C.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(C))
            return false;
    return true;
}

bool MapBelowRoot(const QString& Root, const QStringList& Levels, TPosixMapped& Out, QString* Why) {
    auto No = [&](const QString& Reason) {
        if (Why)
            *Why = Reason;
        return false;
    };
    const QFileInfo RootInfo(Root);
    if (RootInfo.isSymLink())
        return No(QStringLiteral("der Ordner des Volumes ist eine Verknüpfung: %1").arg(Root));
    QString Local = Root;
    bool Exists = RootInfo.isDir();
    bool IsDir = Exists;
    for (const QString& Level : Levels) {
        if (!GoodPathLevel(Level))
            return No(QStringLiteral("ungültige Pfadebene \"%1\"").arg(Level));
        QString Next = Local + QLatin1Char('/') + Level;
        if (Exists) {
            QFileInfo Info(Next);
            if (!Info.exists() && !Info.isSymLink()) {
                const QStringList Entries = QDir(Local).entryList(QDir::AllEntries | QDir::System |
                                                                  QDir::NoDotAndDotDot | QDir::Hidden);
                const auto It = std::find_if(Entries.begin(), Entries.end(), [&](const QString& E) {
                    return E.compare(Level, Qt::CaseInsensitive) == 0;
                });
                if (It != Entries.end()) {
                    Next = Local + QLatin1Char('/') + *It;
                    Info.setFile(Next);
                }
            }
            if (Info.isSymLink())
                return No(QStringLiteral("der Pfad führt über eine Verknüpfung: %1").arg(Next));
            Exists = Info.exists();
            IsDir = Exists && Info.isDir();
            if (Exists && !IsDir) // a file in the middle: nothing below it
                Exists = false;
        }
        Local = Next;
    }
    Out.Local = Local;
    Out.IsDir = Exists && IsDir;
    return true;
}
