#include "NWNetAddress.h"

QString NWNetAddress::Value() const {
    if (FType < 0)
        return QString();
    const QString Hex = QString::fromLatin1(FAddress.toHex().toUpper());
    switch (FType) {
    case 0:
        return QStringLiteral("IPX: ") + Hex;
    case 1:
        return QStringLiteral("TCP/IP: ") + Hex;
    default:
        return QStringLiteral("Type %1: %2").arg(FType).arg(Hex);
    }
}

QString NWNetAddress::DottedQuad() const {
    if (FType != 1 || FAddress.size() != 4)
        return QString();
    const auto Part = [this](int I) { return QString::number(quint8(FAddress.at(I))); };
    return Part(0) + u'.' + Part(1) + u'.' + Part(2) + u'.' + Part(3);
}
