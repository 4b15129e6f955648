#include "VolumePath.h"

namespace VolumePath {

QString LevelFault(const QString& Level) {
    if (Level.isEmpty())
        return QStringLiteral("leere Ebene");
    if (Level == QLatin1String(".") || Level == QLatin1String(".."))
        return QStringLiteral("Ebene \"%1\"").arg(Level);
    for (QChar C : Level)
        if (C.unicode() < 0x20 || C.unicode() == 0x7F || QStringLiteral("/:*?\"<>|").contains(C))
            return C.unicode() < 0x20 || C.unicode() == 0x7F
                       ? QStringLiteral("Steuerzeichen in der Ebene \"%1\"").arg(Level)
                       : QStringLiteral("Zeichen \"%1\" in der Ebene \"%2\"").arg(C).arg(Level);
    if (Level.toUtf8().size() > MaxLevelBytes)
        return QStringLiteral("Ebene länger als %1 Byte").arg(MaxLevelBytes);
    return QString();
}

QString DirectoryFault(const QString& Directory) {
    if (Directory.isEmpty())
        return QString();
    const QStringList Levels = Directory.split(QLatin1Char('\\'));
    if (Levels.size() > MaxDepth)
        return QStringLiteral("mehr als %1 Ebenen").arg(MaxDepth);
    if (Directory.toUtf8().size() > MaxPathBytes)
        return QStringLiteral("Pfad länger als %1 Byte").arg(MaxPathBytes);
    for (const QString& Level : Levels)
        if (const QString Fault = LevelFault(Level); !Fault.isEmpty())
            return Fault;
    return QString();
}

bool Split(const QString& UncPath, TParts& Out, QString* Why) {
    auto No = [&](const QString& Reason) {
        if (Why)
            *Why = Reason;
        return false;
    };
    if (!UncPath.startsWith(QLatin1String("\\\\")))
        return No(QStringLiteral("kein Netzwerkpfad: %1").arg(UncPath));
    QString Rest = UncPath.mid(2);
    if (Rest.endsWith(QLatin1Char('\\')))
        Rest.chop(1);
    QStringList Parts = Rest.split(QLatin1Char('\\'));
    if (Parts.size() < 2 || Parts[0].isEmpty() || Parts[1].isEmpty())
        return No(QStringLiteral("kein Volume in %1").arg(UncPath));
    for (const QString& Part : {Parts[0], Parts[1]})
        if (const QString Fault = LevelFault(Part); !Fault.isEmpty())
            return No(QStringLiteral("ungültiger Pfad %1 (%2)").arg(UncPath, Fault));
    Out.Server = Parts[0];
    Out.Volume = Parts[1];
    Out.Levels = Parts.mid(2);
    if (const QString Fault = DirectoryFault(Out.Levels.join(QLatin1Char('\\'))); !Fault.isEmpty())
        return No(QStringLiteral("ungültiger Pfad %1 (%2)").arg(UncPath, Fault));
    return true;
}

} // namespace VolumePath
