#pragma once

#include <QString>
#include <exception>

// The text of an exception as the user sees it: what() as UTF-8 (every error of the program carries
// its German message there).
QString ErrorText(const std::exception& Error);
// The text of the exception being handled: ErrorText for a std::exception, a generic text for
// anything else. Only valid inside a catch block.
QString CurrentErrorText();
