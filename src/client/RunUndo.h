#pragma once

#include <RunJournal.h>

#include <QString>
#include <QStringList>
#include <vector>

class TDirectoryClient;

// One change of a run as taking the run back treats it.
struct TUndoStep {
    enum class TAction {
        Revert, // taken back
        Along,  // goes with an object or folder that is taken back
        Refuse, // stays: what changed since, or what cannot be taken back
    };
    TRunChange Change;
    TAction Action = TAction::Revert;
    QString Why; // for Refuse
};

// How a journaled run would be taken back, read from the journal and the directory as they are now:
// its changes in reverse order, each taken back unless what it made changed since (an object that
// holds objects the run did not make or fields edited since, a folder that holds files or folders
// the run did not make, a field, flag or rights assignment that reads otherwise than the run left
// it) or it cannot be taken back (a password, an object or folder the run removed, a file written
// outside the volumes). What changed since is never deleted.
struct TUndoPlan {
    TJournalRun Run;
    std::vector<TUndoStep> Steps; // in the order they are taken back
    bool Complete() const;        // nothing refused
    // The lines the administrator confirms: every step, what stays with its reason.
    QStringList Lines() const;
};

// Throws EDirectoryError when the client keeps no journal, the run is unknown, or it was taken back
// already.
TUndoPlan PlanUndo(TDirectoryClient& Client, qint64 Run);

// Takes the plan's run back as a journaled run of its own ("Rückgängig") and, when nothing was
// refused or failed, marks the run as taken back. Answers what happened, a line per step done or
// failed; Ok is false when anything was refused or failed.
QStringList ExecuteUndo(TDirectoryClient& Client, const TUndoPlan& Plan, bool* Ok = nullptr);
