#include "EDirectoryError.h"

void ThrowDirectoryError(int Code, const QString& Message) {
    throw EDirectoryError(QStringLiteral("%1 (%2)").arg(Message).arg(Code), Code);
}

QString ErrorText(const std::exception& Error) {
    if (const auto* Directory = dynamic_cast<const EDirectoryError*>(&Error))
        return Directory->Message();
    return QString::fromUtf8(Error.what());
}

QString CurrentErrorText() {
    try {
        throw;
    } catch (const std::exception& E) {
        return ErrorText(E);
    } catch (...) {
        return QStringLiteral("Unbekannter Fehler.");
    }
}
