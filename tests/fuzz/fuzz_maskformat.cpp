// The naming-mask formatter on arbitrary masks and numbers: it either formats or throws
// EFormatError, and its output stays within what the pattern can ask for.
#include <MaskFormat.h>

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    int Number = 0;
    if (Size >= sizeof Number) {
        std::memcpy(&Number, Data, sizeof Number);
        Data += sizeof Number;
        Size -= sizeof Number;
    }
    const QString Mask = QString::fromUtf8(reinterpret_cast<const char*>(Data), qsizetype(Size));
    const QString Pattern = MaskPattern(Mask).value_or(Mask);
    if (MaskPattern(Mask) && !Pattern.contains(QStringLiteral("%2.2d")))
        std::abort();
    try {
        const QString Result = FormatMask(Pattern, Number);
        // A directive writes at most 64 characters, and every character of the pattern at most one
        // directive's worth.
        if (Result.size() > 64 * (Pattern.size() + 1))
            std::abort();
        if (!Pattern.contains(u'%') && Result != Pattern)
            std::abort();
    } catch (const EFormatError&) {
    }
    return 0;
}
