#pragma once

#include <EDirectoryError.h>

// The status code of a call that must throw EDirectoryError; 0 when it did not throw.
template <typename F> int CodeOf(F&& Call) {
    try {
        Call();
    } catch (const EDirectoryError& E) {
        return E.Code();
    }
    return 0;
}

// The message of a call that must throw EDirectoryError; "" when it did not throw.
template <typename F> QString MessageOf(F&& Call) {
    try {
        Call();
    } catch (const EDirectoryError& E) {
        return E.Message();
    }
    return QString();
}
