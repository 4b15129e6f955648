#pragma once

#include <QString>
#include <stdexcept>

// The error every failing control call of the directory client throws.
class EDirectoryError : public std::runtime_error {
public:
    explicit EDirectoryError(const QString& Message, int Code = -1)
        : std::runtime_error(Message.toStdString()), FMessage(Message), FCode(Code) {}
    const QString& Message() const { return FMessage; }
    // The client's status code (negative directory error numbers, as a real client answers), or -1.
    int Code() const { return FCode; }

private:
    QString FMessage;
    int FCode;
};
