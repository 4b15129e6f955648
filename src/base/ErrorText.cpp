#include "ErrorText.h"

QString ErrorText(const std::exception& Error) {
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
