// The address functions on arbitrary texts: they answer or throw their conversion or range error,
// and what they answer is consistent with the address parts.
#include <IPTools_u.h>

#include <QString>
#include <cstdint>
#include <cstdlib>

namespace {
void Check(bool Condition) {
    if (!Condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QString Text = QString::fromUtf8(reinterpret_cast<const char*>(Data), qsizetype(Size));

    const QString Address = AddressToText(Text);
    Check(Address.isEmpty() || (IsDottedQuad(Address) && IpOctets(Address).size() == 4));

    try {
        const auto Octets = IpOctets(Text);
        for (int I = 0; I < 4; ++I)
            Check(IpOctet(Text, I + 1) == Octets[size_t(I)]);
        const QString All = MaskAddress(Text, QStringLiteral("255.255.255.255"));
        Check(IpOctets(All) == Octets &&
              MaskAddress(Text, QStringLiteral("0.0.0.0")) == QStringLiteral("0.0.0.0"));
        Check(InNetwork(Text, All, QStringLiteral("255.255.255.255")));
    } catch (const EConvertError&) {
    } catch (const ERangeError&) {
    }

    try {
        const QString Chosen =
            SelectWorkstationAddress(Text, QStringLiteral("10.1.0.0"), QStringLiteral("255.255.0.0"));
        Check(Chosen.isEmpty() ||
              (IsDottedQuad(Chosen) && Text.contains(Chosen) &&
               InNetwork(QStringLiteral("10.1.0.0"), Chosen, QStringLiteral("255.255.0.0"))));
    } catch (const EConvertError&) {
    } catch (const ERangeError&) {
    }
    return 0;
}
