#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

#include <ConvertError.h>

// Address functions over dotted quads ("10.1.5.23"): pure text functions without directory access.
// A part that is no integer throws EConvertError, one outside 0 to 255 ERangeError.

// The four parts of an address text: the texts before the first four "." of the text with "."
// appended, so "1.2.3.4.5" gives 1, 2, 3, 4. Throws EConvertError for a part that is not an
// integer (an empty part included) and ERangeError for one outside 0 to 255.
std::array<quint8, 4> IpOctets(const QString& Text);
// The part at Position (1 to 4) of IpOctets(Text).
quint8 IpOctet(const QString& Text, int Position);
// Digits and "." only, with exactly three ".". Never throws.
bool IsDottedQuad(const QString& Text);
// The part-wise AND of address and mask, as a dotted quad.
QString MaskAddress(const QString& Address, const QString& Mask);
// Whether address and network are equal under the mask.
bool InNetwork(const QString& Network, const QString& Address, const QString& Mask);
// The first of the CR LF-separated values that is a dotted quad inside the network, else "".
// A value that looks like a dotted quad but has an empty or too large part throws.
QString SelectWorkstationAddress(const QString& Values, const QString& Network, const QString& Mask);

// The dotted quad of an address value's text form ("TCP/IP:", one character, eight hex digits,
// two per part); "" for every other text. Used by the access object for restriction values.
QString AddressToText(const QString& ValueText);
