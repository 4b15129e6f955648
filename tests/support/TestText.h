#pragma once

#include <QString>

// A text of a test from a UTF-8 literal; the flags forbid the implicit conversion, so tests name
// their texts with this, QStringLiteral or u"..."_s. Backslash-heavy names read best as raw
// strings: Q(R"(NDS:\\SCHULE\unterricht)").
inline QString Q(const char* Text) {
    return QString::fromUtf8(Text);
}
