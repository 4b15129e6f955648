#include "PosixIds.h"

#include "EDirectoryError.h"
#include "Layouts.h"
#include "VolumeStore.h"

#include <QRegularExpression>
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

bool ParsePosixRange(const QString& Text, TPosixRange& Out) {
    static const QRegularExpression Form(QStringLiteral("^\\s*(\\d{1,10})\\s*-\\s*(\\d{1,10})\\s*$"));
    const QRegularExpressionMatch M = Form.match(Text);
    if (!M.hasMatch())
        return false;
    const qint64 First = M.captured(1).toLongLong();
    const qint64 Last = M.captured(2).toLongLong();
    if (First < 1 || Last > std::numeric_limits<qint32>::max() || First > Last)
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
