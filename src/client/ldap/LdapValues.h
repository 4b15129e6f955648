#pragma once

// Small conversions between Qt's and libldap's types, for the LDAP backend's own files.

#include <QByteArray>
#include <QString>

#include <ldap.h>

// A berval that borrows the bytes of a QByteArray.
inline berval Borrow(const QByteArray& Bytes) {
    berval B{};
    B.bv_len = ber_len_t(Bytes.size());
    B.bv_val = const_cast<char*>(Bytes.constData());
    return B;
}

// A text libldap handed out; null reads as empty.
inline QString Text(const char* C) {
    return C ? QString::fromUtf8(C) : QString();
}
