#pragma once

#include <DryRun.h>
#include <RunJournal.h>
#include <ndk_u.h>

#include <QString>
#include <QStringList>
#include <vector>

// What a run did or would do: its protocol lines, its changes in order (a step that failed among
// them, with why), and whether it went through.
struct TLaufBericht {
    QStringList Protokoll;
    std::vector<TRunChange> Aenderungen;
    bool Erfolgreich = false;
};

// A step of a run that failed: what it was and why.
TRunChange LaufFehler(const QString& Was, const QString& Grund);

// The lines of a dry run's dialog: every change, then the run's protocol.
QStringList ProbelaufZeilen(const TLaufBericht& Bericht);

// An access object over a dry run of Ndk's client: it reads through, keeps every write to itself,
// and records each box a run would show as a failure.
class TProbeNdk {
public:
    TProbeNdk(TNDK& Real, QWidget* Owner);

    TDryRun Dry;
    TNDK Ndk;
};
