#include "IPTools_u.h"

#include <QStringList>
#include <algorithm>

namespace {
quint8 ToOctet(QStringView Part) {
    // Decimal digits only; the value saturates, so a long text cannot overflow it.
    if (Part.isEmpty())
        throw EConvertError(QStringLiteral("'' ist kein gültiger ganzzahliger Wert"));
    int Value = 0;
    for (const QChar C : Part) {
        if (C < u'0' || C > u'9')
            throw EConvertError(QStringLiteral("'%1' ist kein gültiger ganzzahliger Wert").arg(Part));
        Value = std::min(Value * 10 + (C.unicode() - u'0'), 256);
    }
    if (Value > 255)
        throw ERangeError(QStringLiteral("'%1' ist kein gültiger Wert zwischen 0 und 255").arg(Part));
    return quint8(Value);
}

int HexDigit(QChar C) {
    if (C >= u'0' && C <= u'9')
        return C.unicode() - u'0';
    if (C >= u'A' && C <= u'F')
        return C.unicode() - u'A' + 10;
    if (C >= u'a' && C <= u'f')
        return C.unicode() - u'a' + 10;
    return -1;
}
} // namespace

std::array<quint8, 4> IpOctets(const QString& Text) {
    std::array<quint8, 4> Result{};
    QStringView Rest(Text);
    for (quint8& Octet : Result) {
        const qsizetype Dot = Rest.indexOf(u'.');
        // The last part runs to the end of the text, as if a "." were appended.
        const QStringView Part = Dot < 0 ? Rest : Rest.left(Dot);
        Octet = ToOctet(Part);
        Rest = Dot < 0 ? QStringView() : Rest.mid(Dot + 1);
    }
    return Result;
}

quint8 IpOctet(const QString& Text, int Position) {
    if (Position < 1 || Position > 4)
        throw ERangeError(QStringLiteral("'%1' ist kein gültiger Wert zwischen 1 und 4").arg(Position));
    return IpOctets(Text)[size_t(Position - 1)];
}

bool IsDottedQuad(const QString& Text) {
    int Dots = 0;
    for (const QChar C : Text) {
        if (C == u'.')
            ++Dots;
        else if (C < u'0' || C > u'9')
            return false;
    }
    return Dots == 3;
}

QString MaskAddress(const QString& Address, const QString& Mask) {
    const auto A = IpOctets(Address);
    const auto M = IpOctets(Mask);
    return QStringLiteral("%1.%2.%3.%4").arg(A[0] & M[0]).arg(A[1] & M[1]).arg(A[2] & M[2]).arg(A[3] & M[3]);
}

bool InNetwork(const QString& Network, const QString& Address, const QString& Mask) {
    return MaskAddress(Network, Mask) == MaskAddress(Address, Mask);
}

QString SelectWorkstationAddress(const QString& Values, const QString& Network, const QString& Mask) {
    const QString Separator = QStringLiteral("\r\n");
    for (const QStringView Candidate : QStringView(Values).split(Separator)) {
        const QString Text = Candidate.toString();
        if (IsDottedQuad(Text) && InNetwork(Network, Text, Mask))
            return Text;
    }
    return QString();
}

QString AddressToText(const QString& ValueText) {
    if (ValueText.size() != 16 || !ValueText.startsWith(QStringLiteral("TCP/IP:")))
        return QString();
    QStringList Parts;
    for (int I = 8; I < 16; I += 2) {
        const int High = HexDigit(ValueText.at(I));
        const int Low = HexDigit(ValueText.at(I + 1));
        if (High < 0 || Low < 0)
            return QString();
        Parts << QString::number(High * 16 + Low);
    }
    return Parts.join(u'.');
}
