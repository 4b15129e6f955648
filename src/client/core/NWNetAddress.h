#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

// A network address value of the directory ("Net Address" syntax): type and address bytes.
// Type 0 is IPX (10 bytes), type 1 TCP/IP (4 bytes).
class NWNetAddress {
public:
    NWNetAddress() = default;
    NWNetAddress(int Type, const QByteArray& Address) : FType(Type), FAddress(Address) {}
    int AddressType() const { return FType; }
    void SetAddressType(int Type) { FType = Type; }
    QByteArray Address() const { return FAddress; }
    void SetAddress(const QByteArray& Address) { FAddress = Address; }
    // Text form: "TCP/IP:" + one separator character + eight hex digits for type 1
    // ("TCP/IP: 0A010517"), "IPX:" + hex for type 0; empty for an unset value.
    QString Value() const;
    // The address of a TCP/IP value as a dotted quad ("10.1.5.23"); "" for any other value.
    QString DottedQuad() const;
    bool IsEmpty() const { return FType < 0; }
    bool operator==(const NWNetAddress& Other) const = default;

private:
    int FType = -1;
    QByteArray FAddress;
};
Q_DECLARE_METATYPE(NWNetAddress)
