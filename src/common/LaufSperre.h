#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

// The guard of a run that lets events through while it works: from its start the run counts as
// running and its start button is off, so that a second start meanwhile is refused; at its end,
// however the run ends (a return or an exception), the run no longer counts as running and the
// button comes back: through Danach, where the tab's inputs decide about it, else switched on.
class TLaufSperre {
public:
    // Danach must not raise.
    TLaufSperre(bool& Laeuft, QWidget* Knopf, std::function<void()> Danach = {});
    ~TLaufSperre();
    TLaufSperre(const TLaufSperre&) = delete;
    TLaufSperre& operator=(const TLaufSperre&) = delete;

private:
    bool& FLaeuft;
    QPointer<QWidget> FKnopf;
    std::function<void()> FDanach;
};
