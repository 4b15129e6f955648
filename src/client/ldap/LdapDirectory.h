#pragma once

#include "LdapConnection.h"

#include <CatalogRefresh.h>

#include <DirectoryBackend.h>
#include <Dn.h>

#include <QHash>
#include <QMutex>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

// The directory of one tree held by an LDAP server below a base DN. The tree is the base entry;
// NDS:\\SCHULE\unterricht\schueler\7a is "ou=7a,ou=schueler,o=unterricht," and the base. Layouts
// are object classes and fields attributes as the schema names them (Schema.h), DNs are those of
// the DN model (Dn.h); object keys hold DNs. What differs from the embedded store:
// - subordinates and search results come in the server's order (OpenLDAP: by name while they fit
//   in one page of 500, in creation order past that); the program sorts what it shows;
// - a transaction is one group of writes of the connection (LdapConnection.h): noted write by
//   write in the journal, which a rollback (or the next contact, after a crash) takes back; or,
//   where the settings ask for it and the server offers them, an LDAP transaction (writes are
//   deferred to the commit: inside one, reads do not see its writes; the objects it created
//   resolve from the names noted at creation);
// - the server keeps "creatorsName", "modifiersName" and "GUID" (entryUUID) itself and refuses
//   writes to them; "Revision" and "Used By" hold nothing; "Object Class" reads as the layout;
// - a field the object's classes do not allow is refused by the server (-609);
// - a user created without a surname gets its name as surname (LDAP requires one).
class TLdapDirectory final : public TDirectoryBackend {
public:
    TLdapDirectory(const TLdapSettings& Settings, const QString& Password);
    ~TLdapDirectory() override;

    const TLdapSettings& Settings() const { return FConnection.Settings(); }
    // Connects and binds now; throws when that fails.
    void Connect() { FConnection.Connect(); }
    TLdapConnection& Connection() { return FConnection; }

    // The DN of a resolved object, and the full name of a DN below the base (throws for another).
    QString FullNameOfDn(const QString& Dn) const;
    // How a user's "Home Directory" becomes the homeDirectory of its account; none: every account
    // gets "/nonexistent".
    void SetHomePathMap(THomePathMap Map) { FHomePathMap = std::move(Map); }
    // Tests: while held, catalog refreshes wait before they read or write anything.
    void HoldCatalogRefreshes(bool Hold);

    QStringList Trees() override;
    void AddTree(const QString& TreeName) override;
    QStringList ConnectedTrees() override;
    std::vector<TServerConnection> ServerConnections() override;
    bool TryResolve(const QString& FullName, TObjectRef& Out) override;
    std::vector<TChildEntry> Children(const TObjectRef& Container, const QStringList& Layouts) override;
    int CountChildren(const TObjectRef& Container, const QStringList& Layouts) override;
    QStringList Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                       int Scope) override;
    const std::vector<NWFieldType>& FieldTypes() override;
    const NWFieldType* FieldType(const QString& Field) override;
    std::vector<QVariant> ReadField(const TObjectRef& Object, const NWFieldType& Type) override;
    std::vector<TFieldValues> ReadFields(const TObjectRef& Object) override;
    QStringList FieldNames(const TObjectRef& Object) override;
    void WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) override;
    TObjectRef CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                            const std::vector<TFieldWrite>& Fields = {}) override;
    TObjectRef CreateUser(const TObjectRef& Container, const QString& Name, const QString& Surname,
                          const TObjectRef* Template) override;
    void DeleteObject(const TObjectRef& Object) override;
    void BeginTransaction() override;
    void CommitTransaction() override;
    void RollbackTransaction() override;
    void SetPassword(const TObjectRef& Object, const QString& Password) override;
    bool CheckPassword(const TObjectRef& Object, const QString& Password) override;
    std::optional<TPosixIdentity> PosixIdentity(const TObjectRef& Object) override;
    TPosixIdentity EnsurePosixIdentity(const TObjectRef& Object) override;
    std::vector<TPosixHolder> PosixIdentities(const TObjectRef& Base) override;
    void GivePosixIdentities(const std::vector<TPosixGrant>& Grants) override;
    bool StartCatalogRefresh(const TObjectRef& Catalog) override;
    std::vector<TCatalogRow> CatalogRows(const TObjectRef& Catalog) override;
    void WaitForCatalogRefreshes() override;

private:
    QString RootFullName() const;
    TObjectRef Root() const;
    QString DnOfFullName(const QString& FullName); // "" when it names no object
    QString LayoutOfEntry(const TLdapEntry& Entry) const;
    QString LayoutFilter(const QStringList& Layouts, bool& MatchesNothing) const;
    // The new entry's DN and its class and naming attributes.
    QString NewEntry(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                     std::vector<TLdapAttribute>& Attributes) const;
    TObjectRef Created(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                       const QString& Dn);

    // Fields (LdapFields.cpp).
    QString AttributeOf(const NWFieldType& Type) const;
    const NWFieldType* FieldOfAttribute(const QString& Attribute) const;
    std::vector<QVariant> Decode(const NWFieldType& Type, const QList<QByteArray>& Values) const;
    // The written fields as attributes (the last write of a field counts); throws like the store.
    std::vector<TLdapAttribute> Encode(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields);
    // The attributes a user takes over from a template, as held.
    std::vector<TLdapAttribute> TemplateAttributes(const TObjectRef& Template);
    TLdapEntry ReadEntry(const TObjectRef& Object, const QStringList& Attributes);

    // POSIX identities (LdapPosix.cpp): the counter entry ids come from, one id taken from it, and
    // a user's home folder as "Home Directory" maps it.
    // The ids reserved from the counter and not yet handed out, and how many the next reservation
    // takes.
    struct TPosixIdBlock {
        std::deque<qint64> Free;
        qint64 Size = 1;
    };
    QString CounterDn() const;
    qint64 AllocatePosixId(TPosixIdentity::TKind Kind);
    void ReservePosixIds(TPosixIdentity::TKind Kind, TPosixIdBlock& Block);
    // The counter's value of a kind as held (the entry made first when there is none).
    QByteArray PosixCounter(TPosixIdentity::TKind Kind);
    // Moves the counter of a kind past Id, unless it is there already; outside the group of writes.
    void MovePosixCounterPast(TPosixIdentity::TKind Kind, qint64 Id);
    QString MappedHome(const TObjectRef& User);
    // The container whose gid is a user's primary group; throws as an unknown trustee while the
    // server does not hold it, ERR_INVALID_REQUEST for one that can be no group.
    TObjectRef PrimaryContainer(const TObjectRef& User);
    // Catalogs (LdapCatalogs.cpp). The refresh runs on a worker thread with a connection of its own
    // and touches no other member than the constant ones.
    class TCatalogSteps;
    std::vector<TLdapAttribute> CatalogState(const std::vector<TFieldWrite>& Fields);
    void DeleteCatalogRows(const QString& CatalogDn);

    TLdapConnection FConnection;
    Dn::TTreeDns FDns; // the tree's DNs below the base
    TResolvedNames FResolved;
    QHash<QString, QString> FFieldOfAttribute;
    QHash<QString, int> FTypeIndex; // upper-cased field -> index into StandardFieldTypes()
    int FTransactionDepth = 0;
    THomePathMap FHomePathMap;
    TPosixIdBlock FIdBlocks[2]; // users, groups
    // The layout of each object class met, "" for one of no layout; shared with the refreshes.
    mutable QMutex FLayoutsMutex;
    mutable QHash<QByteArray, QString> FLayoutOfClass;
    std::shared_ptr<TLdapConnection> FRefreshConnection; // the catalog refreshes' own (LdapCatalogs.cpp)
    // Last, so that it goes first: its destructor waits for the refreshes that use the members above.
    std::unique_ptr<TCatalogRefreshes> FCatalogRefreshes = std::make_unique<TCatalogRefreshes>();
};
