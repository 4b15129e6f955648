#include "Schema.h"

#include "Dn.h"
#include "EDirectoryError.h"
#include "NWNetAddress.h"
#include "Names.h"
#include "Syntax.h"

#include <QStringDecoder>

// Field values as attribute values, by the field's syntax.

namespace Schema {
namespace {
[[noreturn]] void BadValue(const QString& Message) {
    throw EDirectoryError(Message, ERR_SYNTAX_VIOLATION);
}
} // namespace

QByteArray EncodeValue(const QVariant& Item, const NWFieldType& Type, const TDnOf& DnOf) {
    if (Item.metaType() == QMetaType::fromType<NWNetAddress>()) {
        const NWNetAddress A = Item.value<NWNetAddress>();
        return QByteArray::number(A.AddressType()) + '#' + A.Address();
    }
    switch (Item.metaType().id()) {
    case QMetaType::QDateTime:
        return FormatGeneralizedTime(Item.toDateTime()).toLatin1();
    case QMetaType::Bool:
        return Item.toBool() ? "TRUE" : "FALSE";
    case QMetaType::QByteArray:
        return Item.toByteArray();
    default:
        break;
    }
    const QString Text = Item.toString();
    switch (KindOfSyntax(Type.Syntax)) {
    case TSyntaxKind::Path: {
        // "NDS:\\T\dienste\SRV1_DATA,home\x" gives "cn=SRV1_DATA,o=dienste#0#home\x".
        const qsizetype Comma = Text.indexOf(QLatin1Char(','));
        const QString Dn = Comma < 0 ? QString() : DnOf(Text.left(Comma).trimmed());
        if (Dn.isEmpty())
            return Text.toUtf8();
        return (Dn + QStringLiteral("#0#") + Text.mid(Comma + 1)).toUtf8();
    }
    case TSyntaxKind::DistinguishedName: {
        const QString Dn = DnOf(Text);
        return (Dn.isEmpty() ? Text : Dn).toUtf8();
    }
    default:
        return Text.toUtf8();
    }
}

QVariant DecodeValue(const QByteArray& Bytes, const NWFieldType& Type, const TFullNameOf& FullNameOf) {
    const TSyntaxKind Kind = KindOfSyntax(Type.Syntax);
    if (Kind == TSyntaxKind::NetAddress) {
        const qsizetype Hash = Bytes.indexOf('#');
        bool Ok = false;
        const int AddressType = Hash > 0 ? Bytes.left(Hash).toInt(&Ok) : 0;
        if (!Ok || AddressType < 0)
            BadValue(QStringLiteral("Netzwerkadresse erwartet (Typ \"#\" Adressbytes)"));
        return QVariant::fromValue(NWNetAddress(AddressType, Bytes.mid(Hash + 1)));
    }
    if (Kind == TSyntaxKind::Octets)
        return QVariant(Bytes);
    QStringDecoder Decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString Text = Decoder.decode(Bytes);
    if (Decoder.hasError())
        BadValue(QStringLiteral("ungültiges UTF-8"));
    switch (Kind) {
    case TSyntaxKind::Integer: {
        bool Ok = false;
        const qint64 N = Text.trimmed().toLongLong(&Ok);
        if (!Ok)
            BadValue(QStringLiteral("ganze Zahl erwartet, nicht \"%1\"").arg(Text));
        return QVariant(N);
    }
    case TSyntaxKind::Boolean: {
        const QString B = Text.trimmed().toUpper();
        if (B != QLatin1String("TRUE") && B != QLatin1String("FALSE"))
            BadValue(QStringLiteral("TRUE oder FALSE erwartet, nicht \"%1\"").arg(Text));
        return QVariant(B == QLatin1String("TRUE"));
    }
    case TSyntaxKind::Time: {
        const QDateTime T = ParseGeneralizedTime(Text);
        if (!T.isValid())
            BadValue(QStringLiteral("Zeitangabe (generalized time, YYYYMMDDHHMMSSZ) erwartet, nicht \"%1\"")
                         .arg(Text));
        return QVariant(T);
    }
    case TSyntaxKind::Path: {
        const qsizetype End = Dn::EndOfDn(Text);
        if (End < 0)
            return Text; // written as stored
        const QString Volume = FullNameOf(Text.left(End));
        const QString Rest = Text.mid(End + 1);
        const qsizetype Hash = Rest.indexOf(QLatin1Char('#'));
        bool Ok = false;
        if (Hash > 0)
            Rest.left(Hash).toInt(&Ok);
        if (!Ok)
            BadValue(QStringLiteral("Pfad erwartet (Volume-DN \"#\" Namensraum \"#\" Pfad)"));
        return QString(Volume + QLatin1Char(',') + Rest.mid(Hash + 1));
    }
    case TSyntaxKind::DistinguishedName:
        if (Text.startsWith(TreeFullName(QString()), Qt::CaseInsensitive))
            return Text; // an object of another tree, written as stored
        return FullNameOf(Text);
    default:
        return Text;
    }
}

} // namespace Schema
