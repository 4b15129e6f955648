#pragma once

#include "LdapConnection.h"

#include <QDateTime>
#include <QLockFile>
#include <QString>
#include <memory>
#include <vector>

// The journal of a group of writes that the server does not take as one transaction: a file of its
// own (next to the workstation's store) that holds, before each write reaches the server, the step
// that takes it back, so that a group broken off by a server (or a client) that died is taken back
// once the server is there again. One line a step (JSON, values base64), each handed to the system
// before its write is sent, so that no process that dies loses it; synced to the disk every few
// steps. A lock file beside it (QLockFile) marks the journal of a group that is still running.
class TLdapJournal {
public:
    explicit TLdapJournal(QString Path);
    ~TLdapJournal(); // releases the lock; the file stays until Remove
    TLdapJournal(const TLdapJournal&) = delete;
    TLdapJournal& operator=(const TLdapJournal&) = delete;

    const QString& Path() const { return FPath; }
    bool Exists() const;
    // Takes the lock, waiting at most Ms; false while another living process holds it.
    bool Lock(int Ms);

    // What a journal left behind holds: the base DN of its server, when its group began, and its
    // steps in the order written; the line of a step cut off in its middle is dropped (its write was
    // never sent). False when there is no journal.
    struct TContent {
        QString Base;
        QDateTime Began;
        std::vector<TLdapUndo> Steps;
    };
    bool Read(TContent& Content) const;

    // A new journal for a group on the server with that base (replaces any file there); throws
    // EDirectoryError when it cannot be written, as Note and Cancel do.
    void Start(const QString& Base);
    void Note(const TLdapUndo& Step);
    // The add of Dn did not happen (the server refused it): its step goes.
    void Cancel(const QString& Dn);
    // The group is done or taken back: the file goes.
    void Remove();

private:
    void Append(const QByteArray& Line, bool Sync);
    [[noreturn]] void Fail(const QString& What) const;

    QString FPath;
    QLockFile FLock;
    int FFd = -1;
    int FUnsynced = 0;
};
