#pragma once

#include <PosixIds.h>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

typedef struct ldap LDAP;
typedef struct ldapmsg LDAPMessage;
typedef struct ldapcontrol LDAPControl;

// How the client reaches the LDAP server that holds one directory tree.
struct TLdapSettings {
    QString Tree;               // the tree the server holds, "SCHULE"
    QString Url;                // "ldap://host:389", "ldaps://host"; the extension "!StartTLS"
                                // ("ldap://host:389/????!StartTLS") asks for StartTLS
    QString Base;               // DN of the tree root, "dc=schule,dc=test"
    QString BindDn;             // whom the client binds as
    QString PasswordFile;       // the bind password, in a file readable by its owner only; "": ask
    int TimeoutMs = 10000;      // the longest wait for any answer of the server
    bool PasswordModify = true; // passwords through the password modify operation where offered
    bool Transactions = false;  // groups of writes as LDAP transactions where offered (their writes
                                // are deferred: reads inside a group do not see them); false: the
                                // journal, and reads see the writes
    QString Journal;            // the file a group of writes without a transaction notes how to take
                                // them back in, next to the workstation's store (LdapJournal.h);
                                // "": in memory only, lost with the process
    TPosixRange Uids, Gids;     // the ranges POSIX ids are given from
    QString Refusal;            // why the workstation does not bind (the login was cancelled or
                                // failed for good): every call fails with it; "": bind
};

// An attribute as the server holds it: its name and its values as bytes.
struct TLdapAttribute {
    QString Name;
    QList<QByteArray> Values;
};

struct TLdapEntry {
    QString Dn;
    std::vector<TLdapAttribute> Attributes;
    // The attribute of that name (any case); nullptr when the entry has none.
    const TLdapAttribute* Find(const QString& Name) const;
};

// One step that takes a write of a group back: delete an entry the group added, put back the values
// a replace overwrote (an attribute without values was not held), add again an entry it deleted.
struct TLdapUndo {
    enum class TKind { Delete, Restore, Add };
    TKind Kind = TKind::Delete;
    QString Dn;
    std::vector<TLdapAttribute> Attributes;
};

class TLdapJournal;

struct TLdapMessageFree {
    void operator()(LDAPMessage* Message) const;
};
using TLdapMessage = std::unique_ptr<LDAPMessage, TLdapMessageFree>;

// The bind password in memory of its own: locked (never swapped, left out of core dumps), read-only
// once written, and wiped when the last connection that binds with it goes.
class TLdapSecret {
public:
    explicit TLdapSecret(const QString& Password);
    ~TLdapSecret();
    TLdapSecret(const TLdapSecret&) = delete;
    TLdapSecret& operator=(const TLdapSecret&) = delete;
    const char* Data() const { return FData; }
    size_t Size() const { return FSize; }

private:
    char* FData = nullptr;
    size_t FSize = 0;
};

// Whether a server answered lately, shared by the connections to it: after a time-out or a failed
// connect, every call within the timeout fails at once with that reason instead of waiting again,
// so that a command (and the catalog worker) ends within the timeout however many calls it makes.
struct TLdapReach {
    QMutex Mutex;
    QDateTime FailedAt; // invalid: no failure since the last successful bind
    int Code = 0;
    QString Message;
};

// A bound connection to one server. Each wait for an answer lasts at most the settings' timeout
// (connect and bind together as well); a connection that failed or timed out is dropped and opened
// anew by the next call. Failures throw EDirectoryError with the client's status code
// (StatusOfLdapResult) and a German message that keeps the server's text and the LDAP code; no
// message holds a password.
class TLdapConnection {
public:
    TLdapConnection(TLdapSettings Settings, const QString& Password);
    ~TLdapConnection();
    TLdapConnection(const TLdapConnection&) = delete;
    TLdapConnection& operator=(const TLdapConnection&) = delete;

    const TLdapSettings& Settings() const { return FSettings; }
    // A connection of its own to the same server with the same credentials, not yet connected;
    // for work on another thread, which must never use this connection's handle.
    std::unique_ptr<TLdapConnection> Twin() const {
        return std::unique_ptr<TLdapConnection>(new TLdapConnection(FSettings, FPassword, FReach));
    }
    // Connects and binds unless connected.
    void Connect();

    enum class TScope { Base, OneLevel, Subtree };
    // The entries found, in the order the server sends them; a search below a base that finds more
    // than a page (500) reads in pages (RFC 2696), so that a container of any size is read whole.
    // Attributes {"1.1"}: none. False, and no entry, when the base object does not exist.
    bool Search(const QString& Base, TScope Scope, const QString& Filter, const QStringList& Attributes,
                const std::function<void(const TLdapEntry&)>& OnEntry);
    // The number of entries found, without fetching any attribute; -1 when the base does not exist.
    int Count(const QString& Base, TScope Scope, const QString& Filter);

    void Add(const QString& Dn, const std::vector<TLdapAttribute>& Attributes);
    // An add that joins no group of writes, so that no abort takes it back (the id counter).
    void AddOutsideGroup(const QString& Dn, const std::vector<TLdapAttribute>& Attributes);
    // One modify operation: each attribute's values replace the held ones (none: removes them).
    void Replace(const QString& Dn, const std::vector<TLdapAttribute>& Attributes);
    void Delete(const QString& Dn);
    // One modify operation that adds values to those held, in the group of writes like Replace
    // (taken back by putting the held values of those attributes back).
    void AddValues(const QString& Dn, const std::vector<TLdapAttribute>& Adds);
    // One modify operation outside any group: deletes the values of Deletes, then adds those of Adds. It
    // fails whole, changing nothing, when a value to delete is not held (ERR_NO_SUCH_VALUE) or one to add is.
    void Modify(const QString& Dn, const std::vector<TLdapAttribute>& Deletes,
                const std::vector<TLdapAttribute>& Adds);

    // A group of writes (Add, Replace, Delete) that lands whole or not at all. Where the server
    // offers LDAP transactions (RFC 5805) and the settings ask for them, the writes go into one, which
    // the server applies at the commit in one step; they are deferred, so reads inside the group do
    // not see them. Otherwise each write is preceded by the step that takes it back (the values a
    // replace overwrites and the entry a delete removes are read first), kept in memory and in the
    // settings' journal file; AbortWrites takes the group back from memory, and a group that
    // neither committed nor was taken back (the server or this process died) is taken back from
    // the journal at the next bind to the server, or before the next group starts, with a notice
    // (DirectoryNotice.h). A connection lost inside a transaction fails every further write of the
    // group. Nested groups join the outer.
    void BeginWrites();
    void CommitWrites();
    void AbortWrites() noexcept;
    // Whether the server offers transactions (asked once).
    bool OffersTransactions();

    // Sets the password of an entry: the password modify operation (RFC 3062) where the server offers
    // it and the settings allow it, else a replace of userPassword with a salted hash; an empty
    // password removes it.
    void SetPassword(const QString& Dn, const QString& Password);
    // Whether a bind as the entry with the password succeeds (on a connection of its own); for the
    // empty password, whether the entry holds no password.
    bool CheckPassword(const QString& Dn, const QString& Password);

    // A value inside a search filter (RFC 4515); "*" stays a wildcard when Wildcards is set.
    static QString FilterValue(const QString& Value, bool Wildcards = false);

private:
    // Replace and AddValues: one modify operation of that kind (LDAP_MOD_REPLACE, LDAP_MOD_ADD),
    // taken back by putting the held values of those attributes back.
    void ModifyValues(const QString& Dn, const std::vector<TLdapAttribute>& Attributes, int Op);
    TLdapConnection(TLdapSettings Settings, std::shared_ptr<const TLdapSecret> Password,
                    std::shared_ptr<TLdapReach> Reach);
    struct TRequest {
        QByteArray Base, Filter;
        int Scope = 0;
        std::vector<const char*> Attributes; // null-terminated
        QString What;
    };
    // One search request: a page of a paged search (Cookie in and out) or a plain one with a size
    // limit. Answers the result code: success, no such object or size limit exceeded; throws on
    // any other.
    int SearchOnce(const TRequest& R, QByteArray& Cookie, bool Paged, int SizeLimit,
                   const std::function<void(TLdapEntry&)>& OnEntry);
    LDAP* Handle(); // connected and bound
    void Drop();
    // Waits for the answer (one message, or all of it) to a request; throws on time-out or a lost
    // connection.
    TLdapMessage Wait(int MessageId, bool All, const QString& What, int Ms = -1);
    // The handle for a write and the controls that put it into the open transaction (started here
    // on the group's first write).
    LDAP* WriteHandle(LDAPControl**& Controls);
    void CheckWrite(LDAPMessage* Result, const QString& What);
    void NoteUnreachable(int Code, const QString& Message);
    bool OffersExtension(const char* Oid);
    // Groups without a transaction (LdapTransactions.cpp): whether writes are noted now; the group's
    // journal, started on its first write; a step noted before its write; a journal left behind
    // taken back (false: it belongs to another server and stays); steps taken back, last first.
    bool Noting() const { return FGroupDepth > 0 && !FInTxn && !FRecovering && !FOutside; }
    void StartJournal();
    void NoteUndo(TLdapUndo Step);
    void RecoverJournal();
    bool RecoverFrom(TLdapJournal& Journal);
    struct TUndone {
        int Deleted = 0, Restored = 0, Added = 0;
        QStringList Left; // steps the server refused, with its reason
    };
    TUndone Undo(const std::vector<TLdapUndo>& Steps);
    // The values Attributes names as Dn holds them now (none: not held); all user attributes for
    // an empty list.
    std::vector<TLdapAttribute> HeldValues(const QString& Dn, const QStringList& Attributes);
    // Throws for a result code other than success.
    void CheckResult(LDAPMessage* Result, const QString& What);
    [[noreturn]] void Fail(int Code, const QString& What);
    bool OffersPasswordModify();

    TLdapSettings FSettings;
    std::shared_ptr<const TLdapSecret> FPassword;
    std::shared_ptr<TLdapReach> FReach;
    LDAP* FLd = nullptr;
    int FPasswordModify = -1; // -1: not yet asked
    int FTransactions = -1;   // -1: not yet asked
    int FGroupDepth = 0;
    bool FInTxn = false;        // the group's writes go into an LDAP transaction
    QByteArray FTxnId;          // its id; OpenLDAP names it by the connection and answers an empty one
    quint64 FConnections = 0;   // connections opened so far
    quint64 FTxnConnection = 0; // the one the transaction was opened on
    std::shared_ptr<LDAPControl> FTxnControl; // names FTxnId
    LDAPControl* FTxnControls[2] = {nullptr, nullptr};
    // Without a transaction: the group writes noted (FNoted), the steps that take them back, the
    // entries it added (lower case), its journal; and whether a journal is being taken back. Only
    // the connection a backend makes takes journals back, not its twins nor password probes.
    bool FNoted = false;
    std::vector<TLdapUndo> FUndo;
    QSet<QString> FAddedDns;
    std::unique_ptr<TLdapJournal> FJournal;
    bool FRecovering = false;
    bool FOutside = false; // a write that joins no group
    bool FRecovers = false;
};

// German text of the LDAP result codes a user meets; "" for others.
QString GermanLdapText(int Result);

// The client's status code for an LDAP result code (no such object -601, already exists -606, ...);
// LdapResults.cpp, with the messages of failed requests.
int StatusOfLdapResult(int Result);

// The bind password from a settings' password file; throws when the file is missing or readable
// by others than its owner. LdapPasswords.cpp, with the passwords of entries.
QString ReadPasswordFile(const QString& Path);
