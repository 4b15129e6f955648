#pragma once

#include <QString>
#include <optional>
#include <stdexcept>

// A naming mask that cannot be formatted. The text names the pattern.
class EFormatError : public std::runtime_error {
public:
    explicit EFormatError(const QString& Message) : std::runtime_error(Message.toStdString()) {}
};

// The pattern a naming mask stands for: its first "%%" replaced by "%2.2d". A mask without "%%"
// gives no pattern, and the caller keeps the one it had.
std::optional<QString> MaskPattern(const QString& Mask);

// Formats a pattern with one integer. Understood are "%%" (one "%") and integer directives
//     "%" [index ":"] ["-"] [width] ["." precision] type
// with index 0, width and precision up to 64 and the types d (decimal), u (unsigned decimal) and
// x (hexadecimal, upper-case digits), in either case: the precision is the least number of
// digits (filled with zeros), the width the least length (filled with blanks on the left, or on
// the right after "-"). Each directive without an index takes the argument after the previous
// one, so only the first may go without. Anything else throws EFormatError.
QString FormatMask(const QString& Pattern, int Number);
