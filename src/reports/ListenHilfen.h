#pragma once

#include <QIcon>
#include <QString>

class QToolButton;
class QWidget;
class TNDK;

// Tools the list tabs share.

// The glyph of the print buttons.
QIcon DruckerSymbol();
// A print button Name showing the glyph; Hint is its tool tip.
QToolButton* DruckKnopf(QWidget* Parent, const char* Name, const QString& Hint);

// Lets pending window messages be processed, so that the window repaints during a long read.
void Nachrichten();

// Sets the directory control's filter and lifts it (empty filter) when it ends, also when an
// error ends the handler. A failing reset is not reported: the next reader sets its own filter.
class TFilter {
public:
    TFilter(TNDK& Ndk, const QString& Layouts);
    ~TFilter();
    TFilter(const TFilter&) = delete;
    TFilter& operator=(const TFilter&) = delete;

private:
    TNDK& FNdk;
};
