#pragma once

#include <QString>
#include <stdexcept>

// A text that names no value of the type asked for: no date and time in the program's formats, no
// integer where an address part is expected.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const QString& Message) : std::runtime_error(Message.toStdString()) {}
};

// A value outside the range its type allows (an address part outside 0 to 255).
class ERangeError : public std::runtime_error {
public:
    explicit ERangeError(const QString& Message) : std::runtime_error(Message.toStdString()) {}
};
