// The access object's network address restrictions.

#include "ndk_u.h"

#include "IPTools_u.h"

#include <ErrorGuard.h>
#include <ModalSeam.h>
#include <NWNetAddress.h>

namespace {

const QString Restriction = QStringLiteral("Network Address Restriction");

// The restriction as the control reads it: an array of address values that holds one element
// without a value when the user has none.
QVariantList ReadRestriction(const NWEntry& Entry) {
    return Entry.GetFieldValue(Restriction, QVariant(), true).toList();
}

// "What (reason)" for the exception being handled.
QString FailureText(const QString& What) {
    return What + QStringLiteral(" (") + CurrentErrorText() + u')';
}

// The text form of one element; "" for an element without a value or none at all.
QString ValueText(const QVariantList& Values, qsizetype Index) {
    return Values.value(Index).value<NWNetAddress>().Value();
}

} // namespace

void TNDK::Melden(const QString& Text) {
    if (Meldungen)
        Meldungen(Text);
    else
        TModalSeam::Plain(FOwner, Text);
}

NWEntryPtr TNDK::PositionOnUser(const QString& User) {
    NWDir1->SetFullName(NWDir1->ResolveName(User));
    return NWDir1->Entry();
}

void TNDK::ShowAddressError(const QString& Reason) {
    Melden(QStringLiteral("Error (") + Reason + u')');
}

bool TNDK::AddNetworkAddress(const QString& User, const QString& Address) {
    NWEntryPtr Entry;
    QVariantList Values;
    try {
        Entry = PositionOnUser(User);
        Values = ReadRestriction(*Entry);
    } catch (...) {
        Melden(FailureText(QStringLiteral("Error reading restrictions")));
        return false;
    }
    // The new value goes behind the last one, or into the element without a value.
    if (Values.isEmpty() || !ValueText(Values, 0).isEmpty())
        Values.append(QVariant());
    try {
        const std::array<quint8, 4> Octets = IpOctets(Address);
        Values.last() = QVariant::fromValue(NWNetAddress(
            1, QByteArray(reinterpret_cast<const char*>(Octets.data()), qsizetype(Octets.size()))));
    } catch (...) {
        // Nothing converted, nothing changed: the restriction is left as it is.
        Melden(FailureText(QStringLiteral("Error")));
        return false;
    }
    try {
        Entry->SetFieldValue(Restriction, Values);
        Entry->Update();
        return true;
    } catch (...) {
        Melden(FailureText(QStringLiteral("SetFieldValue/Update")));
        return false;
    }
}

bool TNDK::ClearNetworkAddresses(const QString& User) {
    return ClearAttribute(PathToDotted(User), Restriction) == 0;
}

QString TNDK::GetNetworkAddresses(const QString& User) {
    QString Result;
    try {
        const QVariantList Values = ReadRestriction(*PositionOnUser(User));
        if (ValueText(Values, 0).isEmpty())
            return Result;
        for (qsizetype I = 0; I < Values.size(); ++I) {
            const QString Quad = AddressToText(ValueText(Values, I));
            if (Quad.isEmpty())
                continue;
            Result += Quad;
            if (I < Values.size() - 1)
                Result += QStringLiteral("\r\n");
        }
    } catch (...) {
        Melden(FailureText(QStringLiteral("Error reading restrictions")));
    }
    return Result;
}
