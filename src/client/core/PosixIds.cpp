#include "PosixIds.h"

#include "EDirectoryError.h"
#include "Layouts.h"
#include "VolumeStore.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <limits>

std::optional<TPosixIdentity::TKind> PosixKindOfLayout(const QString& Layout) {
    switch (KindOfLayout(Layout)) {
    case TLayoutKind::Organization:
    case TLayoutKind::OrganizationalUnit:
        return TPosixIdentity::TKind::Group;
    case TLayoutKind::Leaf:
        if (CanonicalLayout(Layout) == QLatin1String("User"))
            return TPosixIdentity::TKind::User;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

bool IsPosixIdNumber(qint64 Id) {
    return Id >= 1 && Id <= std::numeric_limits<qint32>::max();
}

bool ParsePosixRange(const QString& Text, TPosixRange& Out) {
    static const QRegularExpression Form(QStringLiteral("^\\s*(\\d{1,10})\\s*-\\s*(\\d{1,10})\\s*$"));
    const QRegularExpressionMatch M = Form.match(Text);
    if (!M.hasMatch())
        return false;
    const qint64 First = M.captured(1).toLongLong();
    const qint64 Last = M.captured(2).toLongLong();
    if (!IsPosixIdNumber(First) || !IsPosixIdNumber(Last) || First > Last)
        return false;
    Out = {First, Last};
    return true;
}

QString PosixRangeText(const TPosixRange& Range) {
    return QStringLiteral("%1-%2").arg(Range.First).arg(Range.Last);
}

void ThrowPosixRangeExhausted(TPosixIdentity::TKind Kind, const TPosixRange& Range) {
    ThrowDirectoryError(ERR_INVALID_REQUEST,
                        QStringLiteral("Alle %1 des Bereichs %2 sind vergeben")
                            .arg(Kind == TPosixIdentity::TKind::User ? QStringLiteral("Benutzerkennungen")
                                                                     : QStringLiteral("Gruppenkennungen"),
                                 PosixRangeText(Range)));
}

namespace {
QString KindText(TPosixIdentity::TKind Kind) {
    return Kind == TPosixIdentity::TKind::User ? QStringLiteral("Benutzerkennung")
                                               : QStringLiteral("Gruppenkennung");
}
QString IdKey(TPosixIdentity::TKind Kind, qint64 Id) {
    return QString::number(int(Kind)) + QLatin1Char(':') + QString::number(Id);
}
} // namespace

std::optional<TPosixGrantFault> PosixGrantFault(const std::vector<TPosixGrant>& Grants,
                                                const std::vector<TPosixHolder>& Held) {
    QHash<QString, const TPosixHolder*> ByObject, ById; // case-folded full name; kind and id
    for (const TPosixHolder& H : Held) {
        ByObject.insert(H.FullName.toCaseFolded(), &H);
        ById.insert(IdKey(H.Kind, H.Id), &H);
    }
    QHash<QString, QString> Given; // kind and id -> the object granted it
    for (size_t I = 0; I < Grants.size(); ++I) {
        const TPosixGrant& G = Grants[I];
        auto Fault = [I](const QString& Message) { return TPosixGrantFault{I, Message}; };
        const std::optional<TPosixIdentity::TKind> Kind = PosixKindOfLayout(G.Object.Layout);
        if (!Kind || G.Object.IsTreeRoot())
            return Fault(QStringLiteral("%1 kann keine POSIX-Kennung haben").arg(G.Object.FullName));
        if (!IsPosixIdNumber(G.Id))
            return Fault(QStringLiteral("Die %1 %2 für %3 liegt nicht zwischen 1 und %4")
                             .arg(KindText(*Kind), QString::number(G.Id), G.Object.FullName,
                                  QString::number(std::numeric_limits<qint32>::max())));
        const QString Key = IdKey(*Kind, G.Id);
        if (const QString Other = Given.value(Key);
            !Other.isEmpty() && Other.compare(G.Object.FullName, Qt::CaseInsensitive) != 0)
            return Fault(QStringLiteral("Die %1 %2 soll %3 und %4 gehören")
                             .arg(KindText(*Kind), QString::number(G.Id), Other, G.Object.FullName));
        Given.insert(Key, G.Object.FullName);
        if (const TPosixHolder* Own = ByObject.value(G.Object.FullName.toCaseFolded())) {
            if (Own->Id == G.Id)
                continue;
            return Fault(QStringLiteral("%1 hat bereits die %2 %3; eine POSIX-Kennung wird nicht geändert")
                             .arg(G.Object.FullName, KindText(*Kind), QString::number(Own->Id)));
        }
        if (const TPosixHolder* Holder = ById.value(Key))
            return Fault(
                QStringLiteral("Die %1 %2 für %3 hat bereits %4")
                    .arg(KindText(*Kind), QString::number(G.Id), G.Object.FullName, Holder->FullName));
    }
    return std::nullopt;
}

std::vector<TPosixGrant> PosixGrantsToWrite(const std::vector<TPosixGrant>& Grants,
                                            const std::vector<TPosixHolder>& Held) {
    if (const std::optional<TPosixGrantFault> F = PosixGrantFault(Grants, Held))
        ThrowDirectoryError(ERR_INVALID_REQUEST, F->Message);
    QSet<QString> HeldAlready; // case-folded full names that hold the id granted them
    for (const TPosixHolder& H : Held)
        HeldAlready.insert(H.FullName.toCaseFolded() + QLatin1Char('#') + QString::number(H.Id));
    std::vector<TPosixGrant> Groups, Users;
    for (const TPosixGrant& G : Grants)
        if (!HeldAlready.contains(G.Object.FullName.toCaseFolded() + QLatin1Char('#') +
                                  QString::number(G.Id)))
            (PosixKindOfLayout(G.Object.Layout) == TPosixIdentity::TKind::User ? Users : Groups).push_back(G);
    Groups.insert(Groups.end(), Users.begin(), Users.end());
    return Groups;
}

qint64 HighestGrantInRange(const std::vector<TPosixGrant>& Grants, TPosixIdentity::TKind Kind,
                           const TPosixRange& Range) {
    qint64 Highest = -1;
    for (const TPosixGrant& G : Grants)
        if (PosixKindOfLayout(G.Object.Layout) == Kind && Range.Contains(G.Id))
            Highest = std::max(Highest, G.Id);
    return Highest;
}

void ThrowPosixUnknown(const QString& FullName) {
    ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Unbekannter Trustee: %1").arg(FullName));
}

QString HomePathOnVolumes(const QString& HomeDirectoryValue, TVolumeStore& Volumes) {
    const qsizetype Comma = HomeDirectoryValue.indexOf(QLatin1Char(','));
    if (Comma <= 0)
        return QString();
    const QString Object = HomeDirectoryValue.left(Comma);
    QString Path = HomeDirectoryValue.mid(Comma + 1);
    while (Path.startsWith(QLatin1Char('\\')))
        Path.remove(0, 1);
    for (const TVolume& V : Volumes.Volumes()) {
        if (V.VolumeObject.compare(Object, Qt::CaseInsensitive) != 0)
            continue;
        QString Unc = QStringLiteral("\\\\") + V.Server + QLatin1Char('\\') + V.Volume;
        if (!Path.isEmpty())
            Unc += QLatin1Char('\\') + Path;
        return Volumes.LocalPath(Unc);
    }
    return QString();
}
