#pragma once

// Inside of the directory client: the store's connection, its prepared queries, the schema and the
// name rules shared by the controls. Not for use outside src/client/.

#include "ClientStore.h"
#include "EDirectoryError.h"
#include "NWDir.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>
#include <map>
#include <memory>
#include <vector>

namespace ClientInternal {

// Throws EDirectoryError with the status code appended to the message ("... (-601)").
[[noreturn]] void Fail(int Code, const QString& Message);

// How values of a syntax are held and handed out.
enum class TSyntaxKind { Text, Stream, Path, DistinguishedName, Integer, Boolean, Time, NetAddress, Octets };
TSyntaxKind KindOfSyntax(const QString& Syntax);
bool IsTextKind(TSyntaxKind Kind);

// Layouts (object classes) the directory knows, and where they may stand.
enum class TLayoutKind { Unknown, Tree, Organization, OrganizationalUnit, Leaf };
QString CanonicalLayout(const QString& Layout);       // "" for an unknown layout
TLayoutKind KindOfLayout(const QString& CanonicalLayoutName);
bool IsContainer(const QString& CanonicalLayoutName);  // tree root, O or OU

// Operational fields that the directory maintains itself.
bool IsOperationalField(const QString& Field);

// Object names: non-empty, at most 64 characters, no ".", "\", ",", control characters, and no
// leading or trailing blank. Returns the reason, "" when the name is good.
QString NameFault(const QString& Name);

// "NDS:\\TREE\A\B": the tree name and the levels below it ("A\B", "" for the tree root). False
// when the text is no full name (missing prefix, empty level).
bool SplitFullName(const QString& FullName, QString& Tree, QString& Levels);

} // namespace ClientInternal

struct TClientStore::TPrivate {
    explicit TPrivate(TClientStore& Owner) : Q(Owner) {}

    TClientStore& Q;
    QString Connection;
    QSqlDatabase Db;
    std::map<QString, std::unique_ptr<QSqlQuery>> Queries;
    int TransactionDepth = 0;
    bool TransactionFailed = false;

    // Schema, loaded once at open (and when a field type is added).
    std::vector<NWFieldType> Schema;
    QHash<QString, int> SchemaIndex;   // upper-cased name -> index into Schema

    // Trees, cached; reloaded when a lookup misses or a transaction rolls back.
    struct TTree {
        qint64 Id;
        QString Name;
    };
    std::vector<TTree> TreeList;
    bool TreesLoaded = false;

    // SQL.
    QSqlQuery& Prepared(const QString& Sql);
    QSqlQuery& Run(const QString& Sql, const QVariantList& Args = {});  // throws on failure
    void RunDirect(const QString& Sql);
    [[noreturn]] void SqlFail(const QSqlQuery& Query) const;
    void DropQueries();
    QSqlQuery& PreparedSearch(int Variant, const QString& Sql);

    // Schema.
    void LoadSchema();
    const NWFieldType* FieldType(const QString& Field) const;

    // Trees.
    void LoadTrees();
    qint64 TreeId(const QString& Name);     // 0 when unknown
    QString TreeName(qint64 Id);
    QString TreePrefix(qint64 Id) { return QStringLiteral("NDS:\\\\") + TreeName(Id); }

    // Settings (key/value).
    QString Setting(const QString& Key) const;
    void SetSetting(const QString& Key, const QString& Value);
    QString Identity();   // cached "Identity" setting
    bool IdentityLoaded = false;
    QString IdentityCache;

    // Objects. Resolved names are cached (objects are never renamed; the cache is dropped when a
    // tree is removed or a transaction rolls back).
    QHash<QString, TObjectRef> ResolveCache;   // upper-cased full name -> object
    // The search statements, one per combination of scope, base and filters.
    std::map<int, std::unique_ptr<QSqlQuery>> SearchQueries;
    bool Lookup(const QString& FullName, TObjectRef& Out);
    bool LookupDotted(qint64 TreeId, const QString& Dotted, TObjectRef& Out);
    bool LookupId(qint64 Id, TObjectRef& Out);
    TObjectRef MustResolve(const QString& FullName);
    // Checks that an object Layout/Name may be created below Parent; returns the canonical layout.
    QString CheckCreate(const TObjectRef& Parent, const QString& Layout, const QString& Name);
    struct TFieldWrite {
        const NWFieldType* Type;
        std::vector<QVariant> Values;   // empty: remove every value
    };
    // Inserts the object (after CheckCreate) with its operational fields and Fields (converted);
    // inside a transaction.
    TObjectRef InsertObject(const TObjectRef& Parent, const QString& CanonicalLayoutName, const QString& Name,
                            const std::vector<TFieldWrite>& Fields = {});
    // Checks, converts the fields, and creates the object with them in one transaction.
    TObjectRef CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                            const std::vector<std::pair<QString, QVariant>>& Fields = {});
    struct TChild {
        qint64 Id;
        QString Name;
        QString Layout;
    };
    std::vector<TChild> Children(qint64 TreeId, qint64 ParentId);
    QStringList Search(const TObjectRef& Base, const QString& Name, const QString& Layout, int Scope);

    // Fields. Values as held in the database: text, integer, or bytes.
    std::vector<QVariant> StoredValues(qint64 Id, const QString& Field);
    QVariant ReadField(qint64 Id, const QString& Field, const QVariant& Default, bool MultiValued);
    QStringList FieldNames(qint64 Id);
    // Converts a written value to stored values; throws on a syntax or length fault.
    std::vector<QVariant> ToStored(const NWFieldType& Type, const QVariant& Value);
    QVariant FromStored(ClientInternal::TSyntaxKind Kind, const QVariant& Stored) const;
    // Converts written values (the last write of a field counts); throws on an unknown field or a
    // value that does not fit.
    std::vector<TFieldWrite> Convert(const std::vector<std::pair<QString, QVariant>>& Pending);
    // Writes fields of one object (values already converted); maintains "modifiersName" and
    // "Revision" unless written explicitly. Fresh: the object holds no values yet. Inside a
    // transaction.
    void WriteFields(qint64 Id, const std::vector<TFieldWrite>& Writes, bool Maintain = true, bool Fresh = false);
    void WriteEntry(qint64 Id, const std::vector<std::pair<QString, QVariant>>& Pending);

    // Volumes and folders.
    struct TVolumeRow {
        qint64 Id = 0;
        QString Server, Volume, Root, VolumeObject;
    };
    QString AbsoluteRoot(const QString& Stored) const;
    QString StoredRoot(const QString& Absolute) const;
    bool FindVolume(const QString& Server, const QString& Volume, TVolumeRow& Out);
    bool FindVolumeOfObject(const QString& VolumeObjectFullName, TVolumeRow& Out);
    struct TMappedPath {
        TVolumeRow Volume;
        QStringList Levels;     // directory levels below the root, as given
        QString Key;            // upper-cased levels joined by "\"
        QString Local;          // local folder (existing spelling where it exists)
    };
    // Maps "\\SERVER\VOLUME\dir\sub" to its local folder; false (with a reason) when the path is
    // malformed, climbs out, names an unknown volume, or would leave the volume's root.
    bool MapUnc(const QString& Unc, TMappedPath& Out, QString* Why = nullptr);
    qint64 FolderId(qint64 VolumeId, const QString& Key);   // creates the row when missing

    // Passwords.
    static QByteArray DeriveKey(const QString& Password, const QByteArray& Salt, int Iterations);
};

// Folders created by the client are the owner's only.
namespace ClientInternal {
bool MakeOwnerOnlyPath(const QString& Folder);
} // namespace ClientInternal
