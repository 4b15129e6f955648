#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

// How a backend names one of its objects. Only the backend that handed it out reads it: a backend
// over an embedded database keeps row numbers here, one over a directory server the object's DN.
struct TObjectKey {
    qint64 Scope = 0;
    qint64 Id = 0;
    QString Text;
};

// One directory object as the backend resolved it.
struct TObjectRef {
    TObjectKey Key;
    QString FullName;  // canonical spelling, "NDS:\\TREE\O\OU\CN"
    QString ShortName; // the tree name for a tree root
    QString Layout;    // canonical layout; "Tree" for a tree root
    bool IsTreeRoot() const { return Layout == QLatin1String("Tree"); }
};

// A subordinate in a listing; its full name is the container's, "\" and the short name.
struct TChildEntry {
    TObjectKey Key;
    QString ShortName;
    QString Layout;
    // From ChildrenCounted: the number of the container's own subordinates of the listed layouts;
    // -1 for a leaf and in a plain listing.
    int Subordinates = -1;
};

struct TServerConnection {
    QString FullName;    // "NDS:\\SCHULE\dienste\SRV1"
    QString DisplayName; // "SRV1"
};

// A field type of the directory's schema.
struct NWFieldType {
    QString Name;
    QString Syntax; // "Stream", "Path", "Net Address", "Integer", "Time", "Case Ignore String", ...
    bool SingleValued = false;
    int MaxLength = 0; // 0: unbounded
};

// A field written: a value, a list of values (QStringList or QVariantList), or an invalid
// QVariant or empty list to remove every value. Values are texts or the typed values reads give
// (qint64, bool, QDateTime, NWNetAddress, QByteArray).
struct TFieldWrite {
    QString Field;
    QVariant Value;
};

// The values of one field as reads hand them out: QString for the text syntaxes, qint64, bool,
// QDateTime, NWNetAddress or QByteArray for the others.
struct TFieldValues {
    QString Field;
    std::vector<QVariant> Values;
};

// The numeric identity of a directory object on a file server that enforces rights: a user's uid
// with the gid of its primary group (its container's), a container's gid. Only users and
// containers that can be trustees (Organization, Organizational Unit) have one.
struct TPosixIdentity {
    enum class TKind { User, Group };
    TKind Kind = TKind::Group;
    qint64 Id = -1;         // the uid of a user, the gid of a container
    qint64 PrimaryGid = -1; // a user's primary group: its container's gid; -1 for a container
    QString LoginName;      // a user's login name on the file server (its name); "" for a container
    QString HomeDirectory;  // a user's home folder as a path, from "Home Directory"; "" for none
};

// The id one object of a subtree holds itself, as the ids of a subtree are read together: a user's
// uid (also while its container holds no gid), a container's gid.
struct TPosixHolder {
    QString FullName;
    TPosixIdentity::TKind Kind = TPosixIdentity::TKind::Group;
    qint64 Id = -1;
};

// An id an object is to hold from now on (an import): a user's uid, a container's gid.
struct TPosixGrant {
    TObjectRef Object;
    qint64 Id = -1;
};

// One value a catalog gathered: the object's full name, the field and the value, typed as reads
// give it.
struct TCatalogRow {
    QString FullName;
    QString Field;
    QVariant Value;
};

// The directory behind the client's controls. Names compare without regard to case and are kept
// as written. Every failing call throws EDirectoryError with the client's status code.
class TDirectoryBackend {
public:
    virtual ~TDirectoryBackend() = default;

    // Trees, in creation order; the workstation's connected trees ("NDS:\\TREE") and server
    // connections, in the order the workstation lists them.
    virtual QStringList Trees() = 0;
    virtual void AddTree(const QString& TreeName) = 0; // throws when it exists or is no good name
    virtual QStringList ConnectedTrees() = 0;
    virtual std::vector<TServerConnection> ServerConnections() = 0;

    // Resolves a full name; false when no such object exists.
    virtual bool TryResolve(const QString& FullName, TObjectRef& Out) = 0;
    // The same, throwing EDirectoryError(ERR_NO_SUCH_ENTRY) when no such object exists.
    TObjectRef Resolve(const QString& FullName);

    // The subordinates of a container in creation order, and their number; Layouts (any case)
    // restricts both to those layouts, an empty list to none. A layout the directory does not
    // know matches nothing.
    virtual std::vector<TChildEntry> Children(const TObjectRef& Container, const QStringList& Layouts) = 0;
    virtual int CountChildren(const TObjectRef& Container, const QStringList& Layouts) = 0;
    // Children, and each container among them with the number of its own subordinates of the
    // same layouts (Subordinates), so that a tree tells an empty container from a full one without
    // opening it. This default counts container by container; a backend that can answers in one
    // query.
    virtual std::vector<TChildEntry> ChildrenCounted(const TObjectRef& Container, const QStringList& Layouts);
    // Full names of the objects whose short name matches Name ("*" any run of characters, "" all)
    // and whose layout is Layout ("" any), in creation order. Scope 0: Base itself, 1: its
    // subordinates, 2: the subtree below it.
    virtual QStringList Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                               int Scope) = 0;

    // The schema: every field type in a fixed order, and one field type by name (any case;
    // nullptr when unknown).
    virtual const std::vector<NWFieldType>& FieldTypes() = 0;
    virtual const NWFieldType* FieldType(const QString& Field) = 0;
    // The values of one field, in stored order; none when the object holds none.
    virtual std::vector<QVariant> ReadField(const TObjectRef& Object, const NWFieldType& Type) = 0;
    // Every field the object holds with its values, fields in the order they were first written.
    virtual std::vector<TFieldValues> ReadFields(const TObjectRef& Object) = 0;
    // The names of the fields the object holds, in the order they were first written.
    virtual QStringList FieldNames(const TObjectRef& Object) = 0;
    // Writes fields in one transaction (the last write of a field counts) and maintains the
    // operational fields; throws on an unknown field, a value that does not fit its syntax or
    // limit, several values for a single-valued field, or an object that no longer exists.
    virtual void WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) = 0;

    // Creates an object with its fields in one transaction; Layout in any case. Throws on an
    // unknown layout, a bad name, a layout that may not stand in Parent, an existing name or a
    // field fault.
    virtual TObjectRef CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                                    const std::vector<TFieldWrite>& Fields = {}) = 0;
    // Creates a user with the surname and every field the template holds (values as held, the
    // directory's own fields excepted); Template may be null.
    virtual TObjectRef CreateUser(const TObjectRef& Container, const QString& Name, const QString& Surname,
                                  const TObjectRef* Template) = 0;
    // Deletes a leaf object or an empty container.
    virtual void DeleteObject(const TObjectRef& Object) = 0;

    // Transactions nest: an inner one joins the outermost, and the outermost commits or rolls back
    // everything. Committing the outermost after an inner one rolled back throws and leaves the
    // rollback to the caller. Use TDirectoryTransaction.
    virtual void BeginTransaction() = 0;
    virtual void CommitTransaction() = 0;
    virtual void RollbackTransaction() = 0;

    // Passwords of users: set without the old one; checked without revealing it.
    virtual void SetPassword(const TObjectRef& Object, const QString& Password) = 0;
    virtual bool CheckPassword(const TObjectRef& Object, const QString& Password) = 0;

    // POSIX identities. The identity an object holds; none when it holds none yet (a user: until
    // its container holds one too), or when it is no user or container.
    virtual std::optional<TPosixIdentity> PosixIdentity(const TObjectRef& Object);
    // The identity an object holds, given to it first when it holds none: ids are allocated
    // atomically, so that two workstations never hand out the same one, and a user gets its
    // container's identity first (its primary group). An object the directory does not (yet) hold
    // throws ERR_NO_SUCH_ENTRY, as an unknown trustee does, so that callers that wait for a new
    // object wait for its identity alike. Throws ERR_INVALID_REQUEST for an object that can have
    // none, and where the directory keeps no identities.
    virtual TPosixIdentity EnsurePosixIdentity(const TObjectRef& Object);
    // Gives every user and container in the subtree of Base (Base included) that holds no identity
    // one; answers how many it gave. This default ensures object by object in one transaction; a
    // backend that can allocates in bulk.
    virtual int EnsurePosixIdentities(const TObjectRef& Base);
    // The ids that the users and containers in the subtree of Base (Base included) hold, in no
    // particular order. This default asks object by object; a backend that can reads them at once.
    virtual std::vector<TPosixHolder> PosixIdentities(const TObjectRef& Base);
    // Gives each object exactly its id, in one transaction (joining a running one, whose rollback
    // takes them back): containers first, then users, each with its container's gid as primary
    // group, which a container that holds none and gets none here is given as EnsurePosixIdentity
    // gives it. Ids allocated afterwards pass these over. An object that holds its id already is
    // left as it is. Throws ERR_INVALID_REQUEST, giving nothing, for an object that can hold no id,
    // an id outside 1 to 2^31-1, one that another object of the kind holds or is given, an object
    // that holds another id (an id never changes), and where the directory keeps no identities.
    virtual void GivePosixIdentities(const std::vector<TPosixGrant>& Grants);

    // Catalogs (layout "NDSCAT:Master Catalog"). Starts the refresh of a catalog and returns at
    // once; false when a refresh of it runs already, which then goes on alone. In the background
    // the directory gathers the values of the fields "NDSCAT:Attribute List" names from every
    // object below the containers of "NDSCAT:Catalog Scope" (none: the catalog's whole tree) whose
    // layout "NDSCAT:Filter" names (comma-separated, any case; empty: every layout) into the
    // catalog's rows, and then writes "NDSCAT:Actual Start Time", "NDSCAT:Actual End Time",
    // "NDSCAT:Actual Object Count", "NDSCAT:Actual Value Count" and "NDSCAT:Actual Result" (0, or
    // the status code of the failure, which leaves the rows as they were). Every refresh gets an
    // end time other than the one before. Throws when Catalog is no catalog.
    virtual bool StartCatalogRefresh(const TObjectRef& Catalog) = 0;
    // The rows a catalog gathered at its last refresh that succeeded, in the order gathered.
    virtual std::vector<TCatalogRow> CatalogRows(const TObjectRef& Catalog) = 0;
    // Returns once every refresh this backend started has ended.
    virtual void WaitForCatalogRefreshes() = 0;
};

// Full names a backend resolved before, found again without a look-up; objects are never renamed,
// so only a deletion or a rollback empties it. Names are kept as they were asked and as the object
// has it, case-folded, so that any spelling of a name seen before resolves without a look-up (which
// a transaction whose writes the server defers needs for the objects it created). Bounded in size.
class TResolvedNames {
public:
    bool Find(const QString& FullName, TObjectRef& Out) const {
        auto It = FNames.constFind(FullName.toCaseFolded());
        if (It == FNames.constEnd())
            return false;
        Out = *It;
        return true;
    }
    void Insert(const TObjectRef& Object, const QString& AskedAs = {}) {
        if (FNames.size() >= 200000)
            FNames.clear();
        FNames.insert(Object.FullName.toCaseFolded(), Object);
        if (!AskedAs.isEmpty() && AskedAs != Object.FullName)
            FNames.insert(AskedAs.toCaseFolded(), Object);
    }
    void Clear() { FNames.clear(); }

private:
    QHash<QString, TObjectRef> FNames; // full name as asked or canonical, case-folded -> object
};

// The checks of every backend before it creates an object: a known layout, a good name, a layout
// that may stand in the parent. Answers the canonical layout; throws with the client's code.
QString CheckNewObject(const TObjectRef& Parent, const QString& Layout, const QString& Name);

// What a backend's Search settles before it looks anything up: throws on a bad scope; true, with
// the result, when no look-up is needed (scope 0, a layout no object has, a tree root below the
// base); otherwise false with the canonical layout searched for ("" any).
bool SearchSettledAtOnce(const TObjectRef& Base, const QString& Name, const QString& Layout, int Scope,
                         QString& WantedLayout, QStringList& Result);

// One transaction on a backend; left without Commit (an exception), it rolls back.
class TDirectoryTransaction {
public:
    explicit TDirectoryTransaction(TDirectoryBackend& Backend) : FBackend(Backend) {
        Backend.BeginTransaction();
    }
    ~TDirectoryTransaction() {
        if (!FDone) {
            try {
                FBackend.RollbackTransaction();
            } catch (...) {
            }
        }
    }
    TDirectoryTransaction(const TDirectoryTransaction&) = delete;
    TDirectoryTransaction& operator=(const TDirectoryTransaction&) = delete;
    void Commit() {
        if (FDone)
            return;
        FBackend.CommitTransaction();
        FDone = true;
    }

private:
    TDirectoryBackend& FBackend;
    bool FDone = false;
};
