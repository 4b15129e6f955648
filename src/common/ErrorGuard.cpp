#include "ErrorGuard.h"

#include "ModalSeam.h"

#include <ErrorText.h>

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
