#pragma once

#include "DirectoryBackend.h"
#include "VolumeStore.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

// One change a run made to the directory or the volumes, with what was there before; a dry run
// lists the same items for what the run would do. Values are typed as reads give them (QString,
// qint64, bool, QDateTime, NWNetAddress, QByteArray).
struct TRunChange {
    enum class TKind {
        CreateObject, // Target: full name; Detail: layout; Fields: the fields it was created with
        WriteField,   // Target: full name; Detail: the field; Before, After: its values
        SetPassword,  // Target: full name of the user; the password itself is never kept
        DeleteObject, // Target: full name; Detail: layout; Fields: the fields it held
        CreateFolder, // Target: network path of a folder that did not exist
        FolderExists, // Target: network path of a folder that existed already (nothing changed)
        RemoveFolder, // Target: network path
        SetFlag,      // Target: network path; Detail: FlagName(); Before, After: one bool each
        SetRights,    // Target: network path; Detail: the trustee's full name; Before: its rights
                      // mask (none: no assignment); After: the mask (none: assignment removed)
        WriteFile,    // Target: a local file written outside the volumes; Detail: what it holds
        Failure,      // Target: the step or object concerned; Detail: why it failed
    };
    TKind Kind = TKind::Failure;
    QString Target;
    QString Detail;
    std::vector<QVariant> Before;
    std::vector<QVariant> After;
    std::vector<TFieldValues> Fields;

    bool operator==(const TRunChange& Other) const;
};

// The stable name a kind is stored under ("create-object", ...), and back; false for an unknown one.
QString ChangeKindName(TRunChange::TKind Kind);
bool ChangeKindFromName(const QString& Name, TRunChange::TKind& Kind);

// "Delete Inhibit" and "Rename Inhibit", as flag changes name them.
QString FlagName(TFolderFlag Flag);

// A value as one line of text that ValueFromText gives back exactly (type and value).
QString ValueToText(const QVariant& Value);
QVariant ValueFromText(const QString& Text);

// How a change reads for the administrator, in German: a first line and, for an object, one
// indented line per field. Planned (a dry run): "wird angelegt"; else what was done. A password is
// never shown.
QStringList ChangeLines(const TRunChange& Change, bool Planned);

// One input of a run as the administrator gave it (never a password).
struct TRunInput {
    QString Name;
    QString Value;
    bool operator==(const TRunInput& Other) const = default;
};

// A run as the journal keeps it.
struct TJournalRun {
    qint64 Id = 0;
    QString Kind;  // what ran: "Klasse anlegen", "Prüflinge anlegen", "Rückgängig", ...
    QString Title; // what it was about: the class, the container
    QDateTime Started;
    QDateTime Ended; // invalid while the run is open (or when the program ended during it)
    QString Login;   // who ran it: the name the workstation or the server knows them by
    QString Tree;    // full name of the tree it changed ("NDS:\\SCHULE")
    QString Server;  // the server that holds the tree; "" for the workstation's own store
    std::vector<TRunInput> Inputs;
    QString Result;      // how it ended
    qint64 Undoes = 0;   // the run this one took back
    qint64 UndoneBy = 0; // the run that took this one back
    int Changes = 0;     // the number of changes recorded
};

// The runs of the workstation and the changes each made, in the order they were made. Every call
// that fails throws EDirectoryError.
class TRunJournal {
public:
    virtual ~TRunJournal() = default;

    // Opens a run as given (its Id, Ended, Result, UndoneBy and Changes are ignored); answers its id.
    virtual qint64 Begin(const TJournalRun& Run) = 0;
    // Adds a change to a run as the last one.
    virtual void Record(qint64 Run, const TRunChange& Change) = 0;
    // Closes a run with its end and how it ended.
    virtual void End(qint64 Run, const QDateTime& Ended, const QString& Result) = 0;
    // Notes that the run UndoRun took Run back.
    virtual void SetUndone(qint64 Run, qint64 UndoRun) = 0;

    // Every run, oldest first.
    virtual std::vector<TJournalRun> Runs() = 0;
    virtual std::optional<TJournalRun> Find(qint64 Run) = 0;
    virtual std::vector<TRunChange> Changes(qint64 Run) = 0;
    // The runs not taken back whose changes created the objects of these full names (any case),
    // one per name in the order given; 0 where none did.
    virtual std::vector<qint64> CreatedBy(const QStringList& FullNames) = 0;
};
