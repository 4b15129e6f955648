#pragma once

#include <QString>
#include <cstdint>
#include <exception>
#include <stdexcept>

// The status codes of the directory client: negative directory error numbers, as a real client
// answers them, and the path-parse code.
using NWCCODE = std::int32_t;
constexpr NWCCODE ERR_NO_SUCH_VALUE = -602;
constexpr NWCCODE ERR_NO_SUCH_ENTRY = -601;
constexpr NWCCODE ERR_NO_SUCH_ATTRIBUTE = -603;
constexpr NWCCODE ERR_NO_SUCH_CLASS = -604;
constexpr NWCCODE ERR_ENTRY_ALREADY_EXISTS = -606;
constexpr NWCCODE ERR_NOT_EFFECTIVE_CLASS = -608;
constexpr NWCCODE ERR_ILLEGAL_ATTRIBUTE = -609;
constexpr NWCCODE ERR_ILLEGAL_DS_NAME = -610;     // bad object or tree name
constexpr NWCCODE ERR_ILLEGAL_CONTAINMENT = -611; // layout may not stand in that container
constexpr NWCCODE ERR_CANT_HAVE_MULTIPLE_VALUES = -612;
constexpr NWCCODE ERR_SYNTAX_VIOLATION = -613;
constexpr NWCCODE ERR_DUPLICATE_VALUE = -614; // also answered when removing values from an empty attribute
constexpr NWCCODE ERR_ATTRIBUTE_ALREADY_EXISTS = -615;
constexpr NWCCODE ERR_TRANSPORT_FAILURE = -625; // the directory server cannot be reached or did not answer
constexpr NWCCODE ERR_INCONSISTENT_DATABASE = -618; // the directory's database is empty or damaged
constexpr NWCCODE ERR_INVALID_REQUEST = -641;
constexpr NWCCODE ERR_BUFFER_FULL = -649;
constexpr NWCCODE ERR_BAD_CONTEXT = -667;
constexpr NWCCODE ERR_FAILED_AUTHENTICATION = -669;
constexpr NWCCODE ERR_NO_ACCESS = -672;      // a write where the workstation may only read
constexpr NWCCODE ERR_INVALID_PATH = 0x899C; // path parse: malformed text or unknown volume
constexpr NWCCODE ERR_PASSWORD_TOO_SHORT = -216;

// The error every failing call of the directory client throws.
class EDirectoryError : public std::runtime_error {
public:
    explicit EDirectoryError(const QString& Message, int Code = -1)
        : std::runtime_error(Message.toStdString()), FMessage(Message), FCode(Code) {}
    const QString& Message() const { return FMessage; }
    // The client's status code (one of the codes above), or -1.
    int Code() const { return FCode; }

private:
    QString FMessage;
    int FCode;
};

// Throws EDirectoryError with the status code appended to the message: "Objekt nicht gefunden: X (-601)".
[[noreturn]] void ThrowDirectoryError(int Code, const QString& Message);

#include <ErrorText.h> // ErrorText, CurrentErrorText: a directory error's text is its message
