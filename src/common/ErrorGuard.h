#pragma once

#include <QString>
#include <functional>

class QWidget;

// Runs an event handler; an exception that escapes it is shown in the application's standard error
// box (title "Fehler", the error's own text) through the modal seam and never reaches the event
// loop. Clean-up held in RAII objects inside the handler runs before the box is shown.
// Returns false when the handler ended with an error.
bool Guarded(QWidget* Parent, const std::function<void()>& Handler);

// The text of the exception currently being handled (EDirectoryError, std::exception, or a
// generic text for anything else). Only valid inside a catch block.
QString CurrentErrorText();
