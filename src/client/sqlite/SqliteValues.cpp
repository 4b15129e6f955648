#include "SqliteParts.h"

#include <EDirectoryError.h>
#include <FieldValues.h>
#include <NWNetAddress.h>
#include <Names.h>
#include <Syntax.h>

// How written values become the values held: texts, integers (numbers, booleans, times as seconds
// since 1970 UTC) and bytes. The syntax rules themselves are the client's (FieldValues.h).

std::vector<QVariant> TSqliteFields::ToStored(const NWFieldType& Type, const QVariant& Value) {
    std::vector<QVariant> Stored = NormalizeFieldValues(Type, Value);
    for (QVariant& V : Stored) {
        switch (KindOfSyntax(Type.Syntax)) {
        case TSyntaxKind::Path: {
            const QString S = V.toString();
            const qsizetype Comma = S.indexOf(QLatin1Char(','));
            TObjectRef Volume;
            const QString VolumeName = S.left(Comma).trimmed();
            if (!Objects.Lookup(VolumeName, Volume) || Volume.Layout != QLatin1String("Volume"))
                ThrowDirectoryError(
                    ERR_NO_SUCH_ENTRY,
                    QStringLiteral("Feld \"%1\": Volume-Objekt nicht gefunden: %2").arg(Type.Name, VolumeName));
            V = QString(Volume.FullName + S.mid(Comma));
            CheckFieldLength(Type, V.toString());
            break;
        }
        case TSyntaxKind::DistinguishedName: {
            TObjectRef Ref;
            if (Objects.Lookup(V.toString(), Ref))
                V = Ref.FullName;
            CheckFieldLength(Type, V.toString());
            break;
        }
        case TSyntaxKind::Boolean:
            V = qint64(V.toBool() ? 1 : 0);
            break;
        case TSyntaxKind::Time:
            V = qint64(V.toDateTime().toSecsSinceEpoch());
            break;
        case TSyntaxKind::NetAddress: {
            const NWNetAddress A = V.value<NWNetAddress>();
            V = QStringLiteral("%1#%2")
                    .arg(A.AddressType())
                    .arg(QString::fromLatin1(A.Address().toHex().toUpper()));
            break;
        }
        default:
            break;
        }
    }
    return Stored;
}
