#include "ErrorGuard.h"

#include "ModalSeam.h"

#include <exception>
#include <stdexcept>

QString CurrentErrorText() {
    try {
        throw;
    } catch (const std::exception& E) {
        return QString::fromUtf8(E.what());
    } catch (...) {
        return QStringLiteral("Unbekannter Fehler.");
    }
}

bool Guarded(QWidget* Parent, const std::function<void()>& Handler) {
    QString Text;
    try {
        Handler();
        return true;
    } catch (...) {
        Text = CurrentErrorText();
    }
    TModalSeam::Error(Parent, Text);
    return false;
}
