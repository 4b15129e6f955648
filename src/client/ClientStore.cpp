#include "ClientStore.h"

#include "ClientStorePrivate.h"
#include "DemoTree.h"
#include "NWCalls.h"
#include "NWNetAddress.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QSqlError>
#include <QStandardPaths>
#include <QTimeZone>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <limits>

using namespace ClientInternal;

// ---------------------------------------------------------------------------------------------
// Shared rules
// ---------------------------------------------------------------------------------------------

namespace ClientInternal {

void Fail(int Code, const QString& Message) {
    throw EDirectoryError(QStringLiteral("%1 (%2)").arg(Message).arg(Code), Code);
}

namespace {

struct TSyntaxName {
    const char* Name;
    TSyntaxKind Kind;
};
constexpr TSyntaxName SyntaxNames[] = {
    {"Case Ignore String", TSyntaxKind::Text},
    {"Case Exact String", TSyntaxKind::Text},
    {"Printable String", TSyntaxKind::Text},
    {"Numeric String", TSyntaxKind::Text},
    {"Telephone Number", TSyntaxKind::Text},
    {"Email Address", TSyntaxKind::Text},
    {"Class Name", TSyntaxKind::Text},
    {"Case Ignore List", TSyntaxKind::Text},
    {"Stream", TSyntaxKind::Stream},
    {"Path", TSyntaxKind::Path},
    {"Distinguished Name", TSyntaxKind::DistinguishedName},
    {"Integer", TSyntaxKind::Integer},
    {"Counter", TSyntaxKind::Integer},
    {"Interval", TSyntaxKind::Integer},
    {"Boolean", TSyntaxKind::Boolean},
    {"Time", TSyntaxKind::Time},
    {"Net Address", TSyntaxKind::NetAddress},
    {"Octet String", TSyntaxKind::Octets},
};

bool KnownSyntax(const QString& Syntax) {
    for (const TSyntaxName& S : SyntaxNames)
        if (Syntax == QLatin1String(S.Name))
            return true;
    return false;
}

struct TLayoutName {
    const char* Name;
    TLayoutKind Kind;
};
constexpr TLayoutName LayoutNames[] = {
    {"Organization", TLayoutKind::Organization},
    {"Organizational Unit", TLayoutKind::OrganizationalUnit},
    {"User", TLayoutKind::Leaf},
    {"Template", TLayoutKind::Leaf},
    {"Group", TLayoutKind::Leaf},
    {"Organizational Role", TLayoutKind::Leaf},
    {"Volume", TLayoutKind::Leaf},
    {"NCP Server", TLayoutKind::Leaf},
    {"Workstation", TLayoutKind::Leaf},
    {"NDSCAT:Master Catalog", TLayoutKind::Leaf},
    {"Directory Map", TLayoutKind::Leaf},
    {"Profile", TLayoutKind::Leaf},
};

const QHash<QString, QString>& LayoutByUpper() {
    static const QHash<QString, QString> H = [] {
        QHash<QString, QString> R;
        for (const TLayoutName& L : LayoutNames)
            R.insert(QString::fromLatin1(L.Name).toUpper(), QString::fromLatin1(L.Name));
        return R;
    }();
    return H;
}

} // namespace

TSyntaxKind KindOfSyntax(const QString& Syntax) {
    for (const TSyntaxName& S : SyntaxNames)
        if (Syntax == QLatin1String(S.Name))
            return S.Kind;
    return TSyntaxKind::Text;
}

bool IsTextKind(TSyntaxKind Kind) {
    return Kind == TSyntaxKind::Text || Kind == TSyntaxKind::Stream || Kind == TSyntaxKind::Path ||
           Kind == TSyntaxKind::DistinguishedName;
}

QString CanonicalLayout(const QString& Layout) { return LayoutByUpper().value(Layout.trimmed().toUpper()); }

TLayoutKind KindOfLayout(const QString& Name) {
    if (Name == QLatin1String("Tree"))
        return TLayoutKind::Tree;
    for (const TLayoutName& L : LayoutNames)
        if (Name == QLatin1String(L.Name))
            return L.Kind;
    return TLayoutKind::Unknown;
}

bool IsContainer(const QString& Name) {
    const TLayoutKind K = KindOfLayout(Name);
    return K == TLayoutKind::Tree || K == TLayoutKind::Organization || K == TLayoutKind::OrganizationalUnit;
}

bool IsOperationalField(const QString& Field) {
    static const QStringList Names = {QStringLiteral("creatorsName"), QStringLiteral("modifiersName"),
                                      QStringLiteral("GUID"),         QStringLiteral("Revision"),
                                      QStringLiteral("Used By"),      QStringLiteral("Object Class")};
    return Names.contains(Field, Qt::CaseInsensitive);
}

QString NameFault(const QString& Name) {
    if (Name.isEmpty())
        return QStringLiteral("empty name");
    if (Name.size() > 64)
        return QStringLiteral("name longer than 64 characters");
    if (Name.front().isSpace() || Name.back().isSpace())
        return QStringLiteral("name starts or ends with a blank");
    for (QChar C : Name) {
        if (C == QLatin1Char('.') || C == QLatin1Char('\\') || C == QLatin1Char(','))
            return QStringLiteral("name holds \"%1\"").arg(C);
        if (C.unicode() < 0x20 || C.unicode() == 0x7F)
            return QStringLiteral("name holds a control character");
    }
    return QString();
}

bool SplitFullName(const QString& FullName, QString& Tree, QString& Levels) {
    static const QString Prefix = QStringLiteral("NDS:\\\\");
    if (!FullName.startsWith(Prefix, Qt::CaseInsensitive))
        return false;
    const QString Rest = FullName.mid(Prefix.size());
    const int Slash = Rest.indexOf(QLatin1Char('\\'));
    Tree = Slash < 0 ? Rest : Rest.left(Slash);
    Levels = Slash < 0 ? QString() : Rest.mid(Slash + 1);
    if (Tree.isEmpty())
        return false;
    if (Slash >= 0 && (Levels.isEmpty() || Levels.startsWith(QLatin1Char('\\')) ||
                       Levels.endsWith(QLatin1Char('\\')) || Levels.contains(QStringLiteral("\\\\"))))
        return false;
    return true;
}

bool MakeOwnerOnlyPath(const QString& Folder) {
    const QString Clean = QDir::cleanPath(QDir(Folder).absolutePath());
    if (QFileInfo(Clean).isDir())
        return true;
    QStringList Missing;
    QString P = Clean;
    while (!P.isEmpty() && !QFileInfo::exists(P)) {
        Missing.prepend(P);
        const QString Up = QFileInfo(P).absolutePath();
        if (Up == P)
            break;
        P = Up;
    }
    for (const QString& M : Missing)
        if (!QDir().mkdir(M, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) && !QFileInfo(M).isDir())
            return false;
    return QFileInfo(Clean).isDir();
}

} // namespace ClientInternal

// ---------------------------------------------------------------------------------------------
// SQL
// ---------------------------------------------------------------------------------------------

QSqlQuery& TClientStore::TPrivate::Prepared(const QString& Sql) {
    auto It = Queries.find(Sql);
    if (It != Queries.end())
        return *It->second;
    auto Query = std::make_unique<QSqlQuery>(Db);
    Query->setForwardOnly(true);
    if (!Query->prepare(Sql))
        SqlFail(*Query);
    return *Queries.emplace(Sql, std::move(Query)).first->second;
}

QSqlQuery& TClientStore::TPrivate::Run(const QString& Sql, const QVariantList& Args) {
    QSqlQuery& Query = Prepared(Sql);
    static const QVariant EmptyText = QVariant(QStringLiteral(""));
    for (int I = 0; I < Args.size(); ++I) {
        // A null text is bound as the empty text, never as NULL.
        const QVariant& A = Args.at(I);
        Query.bindValue(I, A.metaType().id() == QMetaType::QString && A.toString().isNull() ? EmptyText : A);
    }
    if (!Query.exec())
        SqlFail(Query);
    return Query;
}

void TClientStore::TPrivate::RunDirect(const QString& Sql) {
    QSqlQuery Query(Db);
    if (!Query.exec(Sql))
        SqlFail(Query);
}

void TClientStore::TPrivate::SqlFail(const QSqlQuery& Query) const {
    Fail(-1, QStringLiteral("Directory store: %1").arg(Query.lastError().text()));
}

void TClientStore::TPrivate::DropQueries() {
    Queries.clear();
    SearchQueries.clear();
}

QSqlQuery& TClientStore::TPrivate::PreparedSearch(int Variant, const QString& Sql) {
    auto It = SearchQueries.find(Variant);
    if (It != SearchQueries.end())
        return *It->second;
    auto Query = std::make_unique<QSqlQuery>(Db);
    Query->setForwardOnly(true);
    if (!Query->prepare(Sql))
        SqlFail(*Query);
    return *SearchQueries.emplace(Variant, std::move(Query)).first->second;
}

namespace {

const char* const SchemaSql[] = {
    "CREATE TABLE IF NOT EXISTS trees(id INTEGER PRIMARY KEY, name TEXT NOT NULL, uname TEXT NOT NULL UNIQUE)",
    // dn: the levels below the tree as written ("unterricht\schueler\5a"); path: the same
    // upper-cased, so that a full name resolves with one indexed look-up and a subtree is one range.
    "CREATE TABLE IF NOT EXISTS objects(id INTEGER PRIMARY KEY,"
    " tree_id INTEGER NOT NULL REFERENCES trees(id) ON DELETE CASCADE,"
    " parent_id INTEGER REFERENCES objects(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL, uname TEXT NOT NULL, layout TEXT NOT NULL, dn TEXT NOT NULL, path TEXT NOT NULL)",
    "CREATE UNIQUE INDEX IF NOT EXISTS objects_path ON objects(tree_id, path)",
    // Covering: a container's listing reads the index alone.
    "DROP INDEX IF EXISTS objects_parent",
    "CREATE INDEX IF NOT EXISTS objects_children ON objects(parent_id, id, name, layout)",
    "CREATE INDEX IF NOT EXISTS objects_top ON objects(tree_id, id) WHERE parent_id IS NULL",
    "CREATE INDEX IF NOT EXISTS objects_uname ON objects(uname)",
    "CREATE TABLE IF NOT EXISTS field_types(name TEXT PRIMARY KEY COLLATE NOCASE, syntax TEXT NOT NULL,"
    " single_valued INTEGER NOT NULL, max_length INTEGER NOT NULL, seq INTEGER NOT NULL)",
    // ord: the field's place among the object's fields (first written first); idx: the value's place.
    "CREATE TABLE IF NOT EXISTS field_values(object_id INTEGER NOT NULL REFERENCES objects(id) ON DELETE CASCADE,"
    " field TEXT NOT NULL, ord INTEGER NOT NULL, idx INTEGER NOT NULL, value)",
    "CREATE INDEX IF NOT EXISTS field_values_object ON field_values(object_id, field, idx)",
    "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value TEXT)",
    "CREATE TABLE IF NOT EXISTS connected_trees(seq INTEGER PRIMARY KEY, full_name TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS server_connections(seq INTEGER PRIMARY KEY, full_name TEXT NOT NULL,"
    " display_name TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS volumes(id INTEGER PRIMARY KEY, server TEXT NOT NULL, volume TEXT NOT NULL,"
    " userver TEXT NOT NULL, uvolume TEXT NOT NULL, root TEXT NOT NULL, volume_object TEXT NOT NULL,"
    " uvolume_object TEXT NOT NULL, UNIQUE(userver, uvolume))",
    "CREATE INDEX IF NOT EXISTS volumes_object ON volumes(uvolume_object)",
    // path: the folder's levels below the volume root, upper-cased, joined by "\" ("" for the root).
    "CREATE TABLE IF NOT EXISTS folders(id INTEGER PRIMARY KEY,"
    " volume_id INTEGER NOT NULL REFERENCES volumes(id) ON DELETE CASCADE, path TEXT NOT NULL,"
    " delete_inhibit INTEGER NOT NULL DEFAULT 0, rename_inhibit INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE(volume_id, path))",
    "CREATE TABLE IF NOT EXISTS trustees(folder_id INTEGER NOT NULL REFERENCES folders(id) ON DELETE CASCADE,"
    " object_id INTEGER NOT NULL REFERENCES objects(id) ON DELETE CASCADE, rights INTEGER NOT NULL DEFAULT 0,"
    " PRIMARY KEY(folder_id, object_id))",
    "CREATE INDEX IF NOT EXISTS trustees_object ON trustees(object_id)",
    "CREATE TABLE IF NOT EXISTS catalogs(object_id INTEGER PRIMARY KEY REFERENCES objects(id) ON DELETE CASCADE,"
    " state INTEGER NOT NULL DEFAULT 0, requested INTEGER, started INTEGER, finished INTEGER)",
    "CREATE TABLE IF NOT EXISTS passwords(object_id INTEGER PRIMARY KEY REFERENCES objects(id) ON DELETE CASCADE,"
    " algorithm TEXT NOT NULL, salt BLOB NOT NULL, hash BLOB NOT NULL)",
};

struct TSeedField {
    const char* Name;
    const char* Syntax;
    bool Single;
    int MaxLength;
};
// The field types as directories of this kind publish them.
constexpr TSeedField SeedFields[] = {
    {"Object Class", "Class Name", false, 0},
    {"creatorsName", "Distinguished Name", true, 0},
    {"modifiersName", "Distinguished Name", true, 0},
    {"GUID", "Octet String", true, 16},
    {"Revision", "Counter", true, 0},
    {"Used By", "Path", false, 0},
    {"CN", "Case Ignore String", false, 64},
    {"Given Name", "Case Ignore String", true, 32},
    {"Surname", "Case Ignore String", true, 64},
    {"Full Name", "Case Ignore String", false, 127},
    {"Initials", "Case Ignore String", true, 8},
    {"Generational Qualifier", "Case Ignore String", true, 8},
    {"Title", "Case Ignore String", false, 64},
    {"Description", "Case Ignore String", false, 1024},
    {"Location", "Case Ignore String", false, 128},
    {"Telephone Number", "Telephone Number", false, 32},
    {"Facsimile Telephone Number", "Telephone Number", false, 32},
    {"Language", "Case Ignore List", false, 0},
    {"Email Address", "Email Address", false, 0},
    {"Internet EMail Address", "Case Ignore String", false, 256},
    {"Login Script", "Stream", true, 0},
    {"Print Job Configuration", "Stream", true, 0},
    {"Home Directory", "Path", true, 255},
    {"Home Directory Rights", "Integer", true, 0},
    {"Profile", "Distinguished Name", true, 0},
    {"Group Membership", "Distinguished Name", false, 0},
    {"Member", "Distinguished Name", false, 0},
    {"Security Equals", "Distinguished Name", false, 0},
    {"See Also", "Distinguished Name", false, 0},
    {"Password Required", "Boolean", true, 0},
    {"Password Allow Change", "Boolean", true, 0},
    {"Password Unique Required", "Boolean", true, 0},
    {"Password Minimum Length", "Integer", true, 0},
    {"Password Expiration Interval", "Interval", true, 0},
    {"Password Expiration Time", "Time", true, 0},
    {"Login Grace Limit", "Integer", true, 0},
    {"Login Grace Remaining", "Integer", true, 0},
    {"Login Disabled", "Boolean", true, 0},
    {"Login Expiration Time", "Time", true, 0},
    {"Login Maximum Simultaneous", "Integer", true, 0},
    {"Login Time", "Time", true, 0},
    {"Last Login Time", "Time", true, 0},
    {"Network Address", "Net Address", false, 0},
    {"Network Address Restriction", "Net Address", false, 0},
    {"Host Server", "Distinguished Name", true, 0},
    {"Host Resource Name", "Case Ignore String", true, 32},
    {"Status", "Integer", true, 0},
    {"WM:Network Address", "Case Ignore String", false, 64},
    {"WM:Registered Login Name", "Case Ignore String", true, 64},
    {"NDSCAT:Actual Start Time", "Time", true, 0},
    {"NDSCAT:Actual End Time", "Time", true, 0},
    {"NDSCAT:Actual Result", "Integer", true, 0},
    {"NDSCAT:Catalog Scope", "Distinguished Name", false, 0},
    {"NDSCAT:Filter", "Case Ignore String", true, 1024},
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Schema, trees, settings
// ---------------------------------------------------------------------------------------------

void TClientStore::TPrivate::LoadSchema() {
    Schema.clear();
    SchemaIndex.clear();
    QSqlQuery& Q = Run(QStringLiteral("SELECT name, syntax, single_valued, max_length FROM field_types ORDER BY seq"));
    while (Q.next()) {
        NWFieldType T;
        T.Name = Q.value(0).toString();
        T.Syntax = Q.value(1).toString();
        T.SingleValued = Q.value(2).toBool();
        T.MaxLength = Q.value(3).toInt();
        SchemaIndex.insert(T.Name.toUpper(), int(Schema.size()));
        Schema.push_back(T);
    }
    Q.finish();
}

const NWFieldType* TClientStore::TPrivate::FieldType(const QString& Field) const {
    auto It = SchemaIndex.constFind(Field.toUpper());
    return It == SchemaIndex.constEnd() ? nullptr : &Schema[size_t(*It)];
}

void TClientStore::TPrivate::LoadTrees() {
    TreeList.clear();
    QSqlQuery& Q = Run(QStringLiteral("SELECT id, name FROM trees ORDER BY id"));
    while (Q.next())
        TreeList.push_back({Q.value(0).toLongLong(), Q.value(1).toString()});
    Q.finish();
    TreesLoaded = true;
}

qint64 TClientStore::TPrivate::TreeId(const QString& Name) {
    for (int Attempt = 0; Attempt < 2; ++Attempt) {
        if (!TreesLoaded || Attempt == 1)
            LoadTrees();
        for (const TTree& T : TreeList)
            if (T.Name.compare(Name, Qt::CaseInsensitive) == 0)
                return T.Id;
    }
    return 0;
}

QString TClientStore::TPrivate::TreeName(qint64 Id) {
    for (int Attempt = 0; Attempt < 2; ++Attempt) {
        if (!TreesLoaded || Attempt == 1)
            LoadTrees();
        for (const TTree& T : TreeList)
            if (T.Id == Id)
                return T.Name;
    }
    return QString();
}

QString TClientStore::TPrivate::Setting(const QString& Key) const {
    auto* Self = const_cast<TPrivate*>(this);
    QSqlQuery& Q = Self->Run(QStringLiteral("SELECT value FROM settings WHERE key=?"), {Key});
    const QString Value = Q.next() ? Q.value(0).toString() : QString();
    Q.finish();
    return Value;
}

void TClientStore::TPrivate::SetSetting(const QString& Key, const QString& Value) {
    Run(QStringLiteral("INSERT OR REPLACE INTO settings(key, value) VALUES(?, ?)"), {Key, Value});
    IdentityLoaded = false;
}

QString TClientStore::TPrivate::Identity() {
    if (!IdentityLoaded) {
        IdentityCache = Setting(QStringLiteral("Identity"));
        IdentityLoaded = true;
    }
    return IdentityCache;
}

// ---------------------------------------------------------------------------------------------
// Objects
// ---------------------------------------------------------------------------------------------

bool TClientStore::TPrivate::Lookup(const QString& FullName, TObjectRef& Out) {
    // A name seen before resolves without parsing: the cache holds only good names.
    const QString Key = FullName.toUpper();
    auto Cached = ResolveCache.constFind(Key);
    if (Cached != ResolveCache.constEnd()) {
        Out = *Cached;
        return true;
    }
    QString Tree, Levels;
    if (!SplitFullName(FullName, Tree, Levels))
        return false;
    const qint64 Tid = TreeId(Tree);
    if (!Tid)
        return false;
    TObjectRef R;
    R.TreeId = Tid;
    if (Levels.isEmpty()) {
        R.ShortName = TreeName(Tid);
        R.FullName = TreePrefix(Tid);
        R.Layout = QStringLiteral("Tree");
    } else {
        QSqlQuery& Q = Run(QStringLiteral("SELECT id, name, layout, dn FROM objects WHERE tree_id=? AND path=?"),
                           {Tid, Levels.toUpper()});
        const bool Found = Q.next();
        if (Found) {
            R.Id = Q.value(0).toLongLong();
            R.ShortName = Q.value(1).toString();
            R.Layout = Q.value(2).toString();
            R.FullName = TreePrefix(Tid) + QLatin1Char('\\') + Q.value(3).toString();
        }
        Q.finish();
        if (!Found)
            return false;
    }
    if (ResolveCache.size() >= 200000)
        ResolveCache.clear();
    ResolveCache.insert(Key, R);
    Out = R;
    return true;
}

bool TClientStore::TPrivate::LookupDotted(qint64 Tid, const QString& Dotted, TObjectRef& Out) {
    QString Text = Dotted.trimmed();
    if (Text.startsWith(QLatin1Char('.')))
        Text.remove(0, 1);
    if (Text.isEmpty() || Text.endsWith(QLatin1Char('.')))
        return false;
    QStringList Levels;
    for (QString Part : Text.split(QLatin1Char('.'))) {
        const int Eq = Part.indexOf(QLatin1Char('='));
        if (Eq > 0)
            Part = Part.mid(Eq + 1);   // typed name: "CN=admin"
        if (Part.isEmpty() || Part.contains(QLatin1Char('\\')))
            return false;
        Levels.prepend(Part);
    }
    return Lookup(TreePrefix(Tid) + QLatin1Char('\\') + Levels.join(QLatin1Char('\\')), Out);
}

bool TClientStore::TPrivate::LookupId(qint64 Id, TObjectRef& Out) {
    QSqlQuery& Q = Run(QStringLiteral("SELECT tree_id, name, layout, dn FROM objects WHERE id=?"), {Id});
    const bool Found = Q.next();
    if (Found) {
        Out.TreeId = Q.value(0).toLongLong();
        Out.Id = Id;
        Out.ShortName = Q.value(1).toString();
        Out.Layout = Q.value(2).toString();
        const QString Dn = Q.value(3).toString();
        Q.finish();
        Out.FullName = TreePrefix(Out.TreeId) + QLatin1Char('\\') + Dn;
    }
    Q.finish();
    return Found;
}

TClientStore::TObjectRef TClientStore::TPrivate::MustResolve(const QString& FullName) {
    TObjectRef R;
    if (!Lookup(FullName, R))
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("No such object: %1").arg(FullName));
    return R;
}

namespace {
QString LevelsOf(const TClientStore::TObjectRef& Ref) {
    QString Tree, Levels;
    SplitFullName(Ref.FullName, Tree, Levels);
    return Levels;
}
} // namespace

QString TClientStore::TPrivate::CheckCreate(const TObjectRef& Parent, const QString& Layout, const QString& Name) {
    const QString Canonical = CanonicalLayout(Layout);
    if (Canonical.isEmpty())
        Fail(ERR_NO_SUCH_CLASS, QStringLiteral("Unknown layout \"%1\"").arg(Layout));
    const QString Fault = NameFault(Name);
    if (!Fault.isEmpty())
        Fail(ERR_ILLEGAL_DS_NAME, QStringLiteral("Illegal object name \"%1\": %2").arg(Name, Fault));
    const TLayoutKind ParentKind = KindOfLayout(Parent.Layout);
    const TLayoutKind Kind = KindOfLayout(Canonical);
    const bool InTreeRoot = ParentKind == TLayoutKind::Tree;
    const bool InOrgOrUnit = ParentKind == TLayoutKind::Organization || ParentKind == TLayoutKind::OrganizationalUnit;
    const bool Allowed = Kind == TLayoutKind::Organization ? InTreeRoot : InOrgOrUnit;
    if (!Allowed)
        Fail(ERR_ILLEGAL_CONTAINMENT,
             QStringLiteral("An object of layout \"%1\" may not stand in %2 (%3)").arg(Canonical, Parent.FullName, Parent.Layout));
    const QString ParentLevels = LevelsOf(Parent);
    const QString Path = (ParentLevels.isEmpty() ? QString() : ParentLevels.toUpper() + QLatin1Char('\\')) + Name.toUpper();
    QSqlQuery& Q = Run(QStringLiteral("SELECT EXISTS(SELECT 1 FROM objects WHERE tree_id=? AND path=?),"
                                      " ?=0 OR EXISTS(SELECT 1 FROM objects WHERE id=?)"),
                       {Parent.TreeId, Path, Parent.Id, Parent.Id});
    Q.next();
    const bool Exists = Q.value(0).toBool();
    const bool ParentThere = Q.value(1).toBool();
    Q.finish();
    if (!ParentThere)
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("No such object: %1").arg(Parent.FullName));
    if (Exists)
        Fail(ERR_ENTRY_ALREADY_EXISTS, QStringLiteral("Object exists already: %1\\%2").arg(Parent.FullName, Name));
    return Canonical;
}

TClientStore::TObjectRef TClientStore::TPrivate::InsertObject(const TObjectRef& Parent, const QString& Layout,
                                                              const QString& Name,
                                                              const std::vector<TFieldWrite>& Fields) {
    const QString ParentLevels = LevelsOf(Parent);
    const QString Dn = ParentLevels.isEmpty() ? Name : ParentLevels + QLatin1Char('\\') + Name;
    QSqlQuery& Q = Run(QStringLiteral("INSERT INTO objects(tree_id, parent_id, name, uname, layout, dn, path) "
                                      "VALUES(?, ?, ?, ?, ?, ?, ?)"),
                       {Parent.TreeId, Parent.Id ? QVariant(Parent.Id) : QVariant(QMetaType(QMetaType::LongLong)),
                        Name, Name.toUpper(), Layout, Dn, Dn.toUpper()});
    TObjectRef R;
    R.TreeId = Parent.TreeId;
    R.Id = Q.lastInsertId().toLongLong();
    R.FullName = Parent.FullName + QLatin1Char('\\') + Name;
    R.ShortName = Name;
    R.Layout = Layout;

    // The fields the directory keeps itself.
    // The fields the directory keeps itself, unless given.
    std::vector<TFieldWrite> All;
    All.reserve(Fields.size() + 5);
    auto Given = [&](const char* Field) {
        return std::any_of(Fields.begin(), Fields.end(),
                           [&](const TFieldWrite& W) { return W.Type->Name == QLatin1String(Field); });
    };
    const QString Identity = this->Identity();
    if (!Identity.isEmpty()) {
        if (!Given("creatorsName"))
            All.push_back({FieldType(QStringLiteral("creatorsName")), {Identity}});
        if (!Given("modifiersName"))
            All.push_back({FieldType(QStringLiteral("modifiersName")), {Identity}});
    }
    if (!Given("GUID")) {
        QByteArray Guid(16, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(Guid.data()), 4);
        All.push_back({FieldType(QStringLiteral("GUID")), {Guid}});
    }
    if (!Given("Revision"))
        All.push_back({FieldType(QStringLiteral("Revision")), {qint64(1)}});
    if (!Given("Object Class"))
        All.push_back({FieldType(QStringLiteral("Object Class")), {Layout, QStringLiteral("Top")}});
    All.insert(All.end(), Fields.begin(), Fields.end());
    WriteFields(R.Id, All, false, true);
    return R;
}

TClientStore::TObjectRef TClientStore::TPrivate::CreateObject(const TObjectRef& Parent, const QString& Layout,
                                                              const QString& Name,
                                                              const std::vector<std::pair<QString, QVariant>>& Fields) {
    const QString Canonical = CheckCreate(Parent, Layout, Name);
    const std::vector<TFieldWrite> Writes = Convert(Fields);
    TStoreTransaction T(Q);
    TObjectRef R = InsertObject(Parent, Canonical, Name, Writes);
    T.Commit();
    return R;
}

std::vector<TClientStore::TPrivate::TChild> TClientStore::TPrivate::Children(qint64 Tid, qint64 ParentId) {
    QSqlQuery& Q = ParentId
                       ? Run(QStringLiteral("SELECT id, name, layout FROM objects WHERE parent_id=? ORDER BY id"), {ParentId})
                       : Run(QStringLiteral("SELECT id, name, layout FROM objects WHERE tree_id=? AND parent_id IS NULL "
                                            "ORDER BY id"),
                             {Tid});
    std::vector<TChild> Rows;
    Rows.reserve(32);
    while (Q.next())
        Rows.push_back({Q.value(0).toLongLong(), Q.value(1).toString(), Q.value(2).toString()});
    Q.finish();
    return Rows;
}

namespace {
// A name pattern ("*" for any run of characters) as an upper-cased GLOB pattern.
QString GlobPattern(const QString& Name) {
    QString P;
    for (QChar C : Name.toUpper()) {
        if (C == QLatin1Char('?'))
            P += QStringLiteral("[?]");
        else if (C == QLatin1Char('['))
            P += QStringLiteral("[[]");
        else
            P += C;
    }
    return P;
}

bool WildcardMatch(const QString& Pattern, const QString& Text) {
    QString Rx;
    for (QChar C : Pattern)
        Rx += C == QLatin1Char('*') ? QStringLiteral(".*") : QRegularExpression::escape(QString(C));
    return QRegularExpression(QRegularExpression::anchoredPattern(Rx), QRegularExpression::CaseInsensitiveOption)
        .match(Text)
        .hasMatch();
}
} // namespace

QStringList TClientStore::TPrivate::Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                                           int Scope) {
    if (Scope < 0 || Scope > 2)
        Fail(ERR_INVALID_REQUEST, QStringLiteral("Invalid search scope %1").arg(Scope));
    QString WantedLayout;
    if (!Layout.trimmed().isEmpty()) {
        WantedLayout = Layout.trimmed().compare(QLatin1String("Tree"), Qt::CaseInsensitive) == 0
                           ? QStringLiteral("Tree")
                           : CanonicalLayout(Layout);
        if (WantedLayout.isEmpty())
            return {};   // no object has an unknown layout
    }
    const bool AnyName = Name.isEmpty() || Name == QLatin1String("*");
    if (Scope == 0) {
        const bool Hit = (AnyName || WildcardMatch(Name, Base.ShortName)) &&
                         (WantedLayout.isEmpty() || WantedLayout == Base.Layout);
        return Hit ? QStringList{Base.FullName} : QStringList{};
    }
    if (WantedLayout == QLatin1String("Tree"))
        return {};
    // One statement per variant: scope, base (tree root or object), name (any, exact, pattern), layout.
    const int NameMode = AnyName ? 0 : Name.contains(QLatin1Char('*')) ? 2 : 1;
    const int Variant = Scope * 100 + (Base.Id ? 10 : 0) + NameMode * 2 + (WantedLayout.isEmpty() ? 0 : 1);
    QVariantList Args;
    QString Sql;
    const bool Prepare = !SearchQueries.count(Variant);
    auto Text = [&](const QString& Part) {
        if (Prepare)
            Sql += Part;
    };
    Text(QStringLiteral("SELECT dn FROM objects WHERE "));
    if (Scope == 1) {
        if (Base.Id) {
            Text(QStringLiteral("parent_id=?"));
            Args << Base.Id;
        } else {
            Text(QStringLiteral("tree_id=? AND parent_id IS NULL"));
            Args << Base.TreeId;
        }
    } else {
        Text(QStringLiteral("tree_id=?"));
        Args << Base.TreeId;
        if (Base.Id) {
            const QString Levels = LevelsOf(Base).toUpper();
            Text(QStringLiteral(" AND path>? AND path<?"));
            Args << Levels + QLatin1Char('\\') << Levels + QLatin1Char(']');
        }
    }
    if (NameMode == 2) {
        Text(QStringLiteral(" AND uname GLOB ?"));
        Args << GlobPattern(Name);
    } else if (NameMode == 1) {
        Text(QStringLiteral(" AND uname=?"));
        Args << Name.toUpper();
    }
    if (!WantedLayout.isEmpty()) {
        Text(QStringLiteral(" AND layout=?"));
        Args << WantedLayout;
    }
    Text(QStringLiteral(" ORDER BY id"));
    QSqlQuery& Q = PreparedSearch(Variant, Prepare ? Sql : QString());
    for (int I = 0; I < Args.size(); ++I)
        Q.bindValue(I, Args.at(I));
    if (!Q.exec())
        SqlFail(Q);
    QStringList Result;
    const QString Prefix = TreePrefix(Base.TreeId) + QLatin1Char('\\');
    while (Q.next())
        Result.append(Prefix + Q.value(0).toString());
    Q.finish();
    return Result;
}

// ---------------------------------------------------------------------------------------------
// Fields
// ---------------------------------------------------------------------------------------------

std::vector<QVariant> TClientStore::TPrivate::StoredValues(qint64 Id, const QString& Field) {
    QSqlQuery& Q =
        Run(QStringLiteral("SELECT value FROM field_values WHERE object_id=? AND field=? ORDER BY idx"), {Id, Field});
    std::vector<QVariant> Values;
    while (Q.next())
        Values.push_back(Q.value(0));
    Q.finish();
    return Values;
}

QStringList TClientStore::TPrivate::FieldNames(qint64 Id) {
    QSqlQuery& Q = Run(
        QStringLiteral("SELECT field FROM field_values WHERE object_id=? GROUP BY field ORDER BY MIN(ord)"), {Id});
    QStringList Names;
    while (Q.next())
        Names.append(Q.value(0).toString());
    Q.finish();
    return Names;
}

QVariant TClientStore::TPrivate::ReadField(qint64 Id, const QString& Field, const QVariant& Default, bool MultiValued) {
    if (Field.isEmpty())
        return MultiValued ? QVariant(FieldNames(Id)) : Default;
    const NWFieldType* Type = FieldType(Field);
    if (!Type)
        return Default;
    const std::vector<QVariant> Values = StoredValues(Id, Type->Name);
    if (Values.empty())
        return Default;
    const TSyntaxKind Kind = KindOfSyntax(Type->Syntax);
    if (!MultiValued)
        return FromStored(Kind, Values.front());
    if (IsTextKind(Kind)) {
        QStringList L;
        L.reserve(qsizetype(Values.size()));
        for (const QVariant& V : Values)
            L.append(V.toString());
        return L;
    }
    if (Kind == TSyntaxKind::NetAddress || !Type->SingleValued) {
        QVariantList L;
        L.reserve(qsizetype(Values.size()));
        for (const QVariant& V : Values)
            L.append(FromStored(Kind, V));
        return L;
    }
    return FromStored(Kind, Values.front());
}

namespace {

NWNetAddress ParseStoredAddress(const QString& Text) {
    const int Hash = Text.indexOf(QLatin1Char('#'));
    if (Hash < 0)
        return NWNetAddress();
    return NWNetAddress(Text.left(Hash).toInt(), QByteArray::fromHex(Text.mid(Hash + 1).toLatin1()));
}

bool IsHex(const QString& Text) {
    for (QChar C : Text)
        if (!C.isDigit() && !(C.toUpper() >= QLatin1Char('A') && C.toUpper() <= QLatin1Char('F')))
            return false;
    return true;
}

// A written text value (numbers are taken as their decimal text).
bool TextOf(const QVariant& V, QString& Out) {
    switch (V.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        Out = V.toString();
        return true;
    case QMetaType::QChar:
        Out = QString(V.toChar());
        return true;
    default:
        return false;
    }
}

QString Shown(const QVariant& V) {
    QString S = V.toString();
    if (S.size() > 40)
        S = S.left(40) + QStringLiteral("...");
    return S.isEmpty() ? QString::fromLatin1(V.typeName() ? V.typeName() : "empty") : S;
}

} // namespace

std::vector<QVariant> TClientStore::TPrivate::ToStored(const NWFieldType& Type, const QVariant& Value) {
    std::vector<QVariant> Items;
    if (!Value.isValid())
        return Items;
    if (Value.metaType().id() == QMetaType::QStringList) {
        for (const QString& S : Value.toStringList())
            Items.push_back(S);
    } else if (Value.metaType().id() == QMetaType::QVariantList) {
        for (const QVariant& V : Value.toList())
            if (V.isValid())
                Items.push_back(V);
    } else {
        Items.push_back(Value);
    }
    const TSyntaxKind Kind = KindOfSyntax(Type.Syntax);
    if (Kind == TSyntaxKind::NetAddress) {   // an unset address is no value
        Items.erase(std::remove_if(Items.begin(), Items.end(),
                                   [](const QVariant& V) {
                                       return V.canConvert<NWNetAddress>() &&
                                              V.metaType() == QMetaType::fromType<NWNetAddress>() &&
                                              V.value<NWNetAddress>().IsEmpty();
                                   }),
                    Items.end());
    }
    if (Type.SingleValued && Items.size() > 1)
        Fail(ERR_CANT_HAVE_MULTIPLE_VALUES,
             QStringLiteral("Field \"%1\" holds one value only, not %2").arg(Type.Name).arg(Items.size()));

    auto Bad = [&](const QVariant& V, const QString& Why) {
        Fail(ERR_SYNTAX_VIOLATION,
             QStringLiteral("Value \"%1\" does not fit field \"%2\" (%3): %4").arg(Shown(V), Type.Name, Type.Syntax, Why));
    };
    auto CheckLength = [&](const QString& Text) {
        if (Type.MaxLength > 0 && Text.size() > Type.MaxLength)
            Fail(ERR_SYNTAX_VIOLATION, QStringLiteral("Value of field \"%1\" is longer than %2 characters (%3)")
                                           .arg(Type.Name)
                                           .arg(Type.MaxLength)
                                           .arg(Text.size()));
    };

    std::vector<QVariant> Stored;
    Stored.reserve(Items.size());
    for (const QVariant& V : Items) {
        switch (Kind) {
        case TSyntaxKind::Text:
        case TSyntaxKind::Stream: {
            QString S;
            if (!TextOf(V, S))
                Bad(V, QStringLiteral("text expected"));
            if (Type.Syntax == QLatin1String("Numeric String"))
                for (QChar C : S)
                    if (!C.isDigit() && C != QLatin1Char(' '))
                        Bad(V, QStringLiteral("digits expected"));
            CheckLength(S);
            Stored.push_back(S);
            break;
        }
        case TSyntaxKind::Path: {
            QString S;
            if (!TextOf(V, S))
                Bad(V, QStringLiteral("text expected"));
            const int Comma = S.indexOf(QLatin1Char(','));
            if (Comma < 0)
                Bad(V, QStringLiteral("volume object and path expected"));
            TObjectRef Volume;
            const QString VolumeName = S.left(Comma).trimmed();
            if (!Lookup(VolumeName, Volume) || Volume.Layout != QLatin1String("Volume"))
                Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("Field \"%1\": no such volume object: %2").arg(Type.Name, VolumeName));
            const QString Text = Volume.FullName + S.mid(Comma);
            CheckLength(Text);
            Stored.push_back(Text);
            break;
        }
        case TSyntaxKind::DistinguishedName: {
            QString S, Tree, Levels;
            if (!TextOf(V, S) || !SplitFullName(S.trimmed(), Tree, Levels))
                Bad(V, QStringLiteral("full name expected"));
            TObjectRef Ref;
            const QString Text = Lookup(S.trimmed(), Ref) ? Ref.FullName : S.trimmed();
            CheckLength(Text);
            Stored.push_back(Text);
            break;
        }
        case TSyntaxKind::Integer: {
            bool Ok = false;
            qint64 N = 0;
            switch (V.metaType().id()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
                N = V.toLongLong(&Ok);
                break;
            case QMetaType::ULongLong:
                N = V.toLongLong(&Ok);
                Ok = Ok && V.toULongLong() <= quint64(std::numeric_limits<qint64>::max());
                break;
            case QMetaType::Double: {
                const double D = V.toDouble();
                Ok = D == double(qint64(D));
                N = qint64(D);
                break;
            }
            case QMetaType::QString: {
                const QString T = V.toString().trimmed();
                N = T.toLongLong(&Ok, 10);
                if (!Ok && T.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
                    N = T.mid(2).toLongLong(&Ok, 16);
                break;
            }
            default:
                break;
            }
            if (!Ok)
                Bad(V, QStringLiteral("integer expected"));
            Stored.push_back(N);
            break;
        }
        case TSyntaxKind::Boolean: {
            int B = -1;
            if (V.metaType().id() == QMetaType::Bool) {
                B = V.toBool() ? 1 : 0;
            } else if (V.metaType().id() == QMetaType::QString) {
                const QString T = V.toString().trimmed().toLower();
                if (T == QLatin1String("true") || T == QLatin1String("1") || T == QLatin1String("yes"))
                    B = 1;
                else if (T == QLatin1String("false") || T == QLatin1String("0") || T == QLatin1String("no"))
                    B = 0;
            } else if (V.metaType().id() == QMetaType::Int || V.metaType().id() == QMetaType::LongLong) {
                const qint64 N = V.toLongLong();
                B = N == 0 ? 0 : N == 1 ? 1 : -1;
            }
            if (B < 0)
                Bad(V, QStringLiteral("true or false expected"));
            Stored.push_back(qint64(B));
            break;
        }
        case TSyntaxKind::Time: {
            QDateTime T;
            if (V.metaType().id() == QMetaType::QDateTime) {
                T = V.toDateTime();
            } else if (V.metaType().id() == QMetaType::QDate) {
                T = V.toDate().startOfDay();
            } else if (V.metaType().id() == QMetaType::LongLong || V.metaType().id() == QMetaType::Int) {
                T = QDateTime::fromSecsSinceEpoch(V.toLongLong(), QTimeZone::utc());
            } else if (V.metaType().id() == QMetaType::QString) {
                const QString S = V.toString().trimmed();
                bool IsNumber = false;
                const qint64 Secs = S.toLongLong(&IsNumber);
                if (IsNumber) {
                    T = QDateTime::fromSecsSinceEpoch(Secs, QTimeZone::utc());
                } else if (S.size() == 15 && S.endsWith(QLatin1Char('Z'))) {
                    T = QDateTime::fromString(S.left(14), QStringLiteral("yyyyMMddHHmmss"));
                    T.setTimeZone(QTimeZone::utc());
                } else {
                    T = QDateTime::fromString(S, Qt::ISODateWithMs);
                }
            }
            if (!T.isValid())
                Bad(V, QStringLiteral("date and time expected"));
            Stored.push_back(qint64(T.toSecsSinceEpoch()));
            break;
        }
        case TSyntaxKind::NetAddress: {
            NWNetAddress A;
            if (V.metaType() == QMetaType::fromType<NWNetAddress>()) {
                A = V.value<NWNetAddress>();
            } else if (V.metaType().id() == QMetaType::QString) {
                // "type#HEX", or the text form "TCP/IP: 0A010517" / "IPX: ...".
                const QString S = V.toString().trimmed();
                const int Hash = S.indexOf(QLatin1Char('#'));
                if (Hash > 0) {
                    bool Ok = false;
                    const int AddrType = S.left(Hash).toInt(&Ok);
                    if (Ok && IsHex(S.mid(Hash + 1)))
                        A = NWNetAddress(AddrType, QByteArray::fromHex(S.mid(Hash + 1).toLatin1()));
                } else if (S.startsWith(QLatin1String("TCP/IP:"), Qt::CaseInsensitive) && S.size() >= 8 &&
                           IsHex(S.mid(8))) {
                    A = NWNetAddress(1, QByteArray::fromHex(S.mid(8).toLatin1()));
                } else if (S.startsWith(QLatin1String("IPX:"), Qt::CaseInsensitive) && S.size() >= 5 &&
                           IsHex(S.mid(5).remove(QLatin1Char(':')))) {
                    A = NWNetAddress(0, QByteArray::fromHex(S.mid(5).remove(QLatin1Char(':')).toLatin1()));
                }
            }
            if (A.IsEmpty() || A.Address().isEmpty())
                Bad(V, QStringLiteral("network address expected"));
            if (A.AddressType() == 1 && A.Address().size() != 4)
                Bad(V, QStringLiteral("a TCP/IP address has 4 bytes"));
            if (A.AddressType() == 0 && A.Address().size() != 10 && A.Address().size() != 12)
                Bad(V, QStringLiteral("an IPX address has 10 or 12 bytes"));
            Stored.push_back(QStringLiteral("%1#%2").arg(A.AddressType()).arg(QString::fromLatin1(A.Address().toHex().toUpper())));
            break;
        }
        case TSyntaxKind::Octets: {
            QByteArray B;
            if (V.metaType().id() == QMetaType::QByteArray) {
                B = V.toByteArray();
            } else if (V.metaType().id() == QMetaType::QString) {
                QString S = V.toString();
                S.remove(QLatin1Char('{')).remove(QLatin1Char('}')).remove(QLatin1Char('-'));
                if (!IsHex(S) || S.size() % 2)
                    Bad(V, QStringLiteral("hexadecimal bytes expected"));
                B = QByteArray::fromHex(S.toLatin1());
            } else {
                Bad(V, QStringLiteral("bytes expected"));
            }
            if (Type.MaxLength > 0 && B.size() > Type.MaxLength)
                Fail(ERR_SYNTAX_VIOLATION,
                     QStringLiteral("Value of field \"%1\" is longer than %2 bytes").arg(Type.Name).arg(Type.MaxLength));
            Stored.push_back(B);
            break;
        }
        }
    }
    return Stored;
}

QVariant TClientStore::TPrivate::FromStored(TSyntaxKind Kind, const QVariant& Stored) const {
    switch (Kind) {
    case TSyntaxKind::Integer:
        return QVariant(Stored.toLongLong());
    case TSyntaxKind::Boolean:
        return QVariant(Stored.toLongLong() != 0);
    case TSyntaxKind::Time:
        return QVariant(QDateTime::fromSecsSinceEpoch(Stored.toLongLong()));
    case TSyntaxKind::NetAddress:
        return QVariant::fromValue(ParseStoredAddress(Stored.toString()));
    case TSyntaxKind::Octets:
        return QVariant(Stored.toByteArray());
    default:
        return QVariant(Stored.toString());
    }
}

namespace {
// "(?, ?, ...)" repeated: one statement for many rows.
QString Placeholders(int Rows, int Columns) {
    QString Row = QStringLiteral("(?") + QStringLiteral(", ?").repeated(Columns - 1) + QLatin1Char(')');
    QStringList L;
    for (int I = 0; I < Rows; ++I)
        L.append(Row);
    return L.join(QStringLiteral(", "));
}
constexpr int RowsPerInsert = 32;
} // namespace

void TClientStore::TPrivate::WriteFields(qint64 Id, const std::vector<TFieldWrite>& Writes, bool Maintain, bool Fresh) {
    std::vector<TFieldWrite> All(Writes);
    QSet<QString> Written;
    for (const TFieldWrite& W : Writes)
        Written.insert(W.Type->Name);
    if (Maintain) {
        const QString Identity = this->Identity();
        if (!Identity.isEmpty() && !Written.contains(QStringLiteral("modifiersName")))
            All.push_back({FieldType(QStringLiteral("modifiersName")), {Identity}});
    }

    QHash<QString, qint64> Ords;
    qint64 MaxOrd = 0;
    if (All.empty())
        return;
    if (!Fresh) {
        QSqlQuery& Q = Run(QStringLiteral("SELECT field, MIN(ord) FROM field_values WHERE object_id=? GROUP BY field"), {Id});
        while (Q.next()) {
            const qint64 Ord = Q.value(1).toLongLong();
            Ords.insert(Q.value(0).toString(), Ord);
            MaxOrd = qMax(MaxOrd, Ord);
        }
        Q.finish();
        // Away with the old values of every written field, in one statement.
        QVariantList Args{Id};
        for (const TFieldWrite& W : All)
            Args.append(W.Type->Name);
        Run(QStringLiteral("DELETE FROM field_values WHERE object_id=? AND field IN (?") +
                QStringLiteral(", ?").repeated(int(All.size()) - 1) + QLatin1Char(')'),
            Args);
    }

    // The new values, many rows per statement.
    QVariantList Rows;
    int RowCount = 0;
    auto Flush = [&] {
        if (!RowCount)
            return;
        Run(QStringLiteral("INSERT INTO field_values(object_id, field, ord, idx, value) VALUES ") +
                Placeholders(RowCount, 5),
            Rows);
        Rows.clear();
        RowCount = 0;
    };
    for (const TFieldWrite& W : All) {
        if (W.Values.empty())
            continue;
        auto It = Ords.find(W.Type->Name);
        const qint64 Ord = It != Ords.end() ? *It : ++MaxOrd;
        qint64 Index = 0;
        for (const QVariant& V : W.Values) {
            Rows << Id << W.Type->Name << Ord << Index++ << V;
            if (++RowCount == RowsPerInsert)
                Flush();
        }
    }
    Flush();

    if (Maintain && !Written.contains(QStringLiteral("Revision"))) {
        QSqlQuery& Q = Run(QStringLiteral("UPDATE field_values SET value=value+1 WHERE object_id=? AND field='Revision'"), {Id});
        if (Q.numRowsAffected() <= 0)
            Run(QStringLiteral("INSERT INTO field_values(object_id, field, ord, idx, value) VALUES(?, 'Revision', ?, 0, 1)"),
                {Id, MaxOrd + 1});
    }
}

std::vector<TClientStore::TPrivate::TFieldWrite>
TClientStore::TPrivate::Convert(const std::vector<std::pair<QString, QVariant>>& Pending) {
    // The last write of a field counts; fields keep the order of their first write.
    std::vector<std::pair<const NWFieldType*, QVariant>> Merged;
    for (const auto& [Field, Value] : Pending) {
        const NWFieldType* Type = FieldType(Field);
        if (!Type)
            Fail(ERR_NO_SUCH_ATTRIBUTE, QStringLiteral("Unknown field \"%1\"").arg(Field));
        auto It = std::find_if(Merged.begin(), Merged.end(), [&](const auto& M) { return M.first == Type; });
        if (It != Merged.end())
            It->second = Value;
        else
            Merged.emplace_back(Type, Value);
    }
    std::vector<TFieldWrite> Writes;
    Writes.reserve(Merged.size());
    for (const auto& [Type, Value] : Merged)
        Writes.push_back({Type, ToStored(*Type, Value)});
    return Writes;
}

void TClientStore::TPrivate::WriteEntry(qint64 Id, const std::vector<std::pair<QString, QVariant>>& Pending) {
    const std::vector<TFieldWrite> Writes = Convert(Pending);
    QSqlQuery& Q = Run(QStringLiteral("SELECT 1 FROM objects WHERE id=?"), {Id});
    const bool Exists = Q.next();
    Q.finish();
    if (!Exists)
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("The object no longer exists"));
    TStoreTransaction T(this->Q);
    WriteFields(Id, Writes);
    T.Commit();
}

// ---------------------------------------------------------------------------------------------
// Volumes and folders
// ---------------------------------------------------------------------------------------------

QString TClientStore::TPrivate::AbsoluteRoot(const QString& Stored) const {
    return QDir::isRelativePath(Stored) ? QDir::cleanPath(Q.FFolder + QLatin1Char('/') + Stored) : Stored;
}

QString TClientStore::TPrivate::StoredRoot(const QString& Absolute) const {
    const QString Clean = QDir::cleanPath(QDir(Absolute).absolutePath());
    const QString Base = QDir::cleanPath(Q.FFolder) + QLatin1Char('/');
    return Clean.startsWith(Base) ? Clean.mid(Base.size()) : Clean;
}

bool TClientStore::TPrivate::FindVolume(const QString& Server, const QString& Volume, TVolumeRow& Out) {
    QSqlQuery& Q = Run(QStringLiteral("SELECT id, server, volume, root, volume_object FROM volumes "
                                      "WHERE userver=? AND uvolume=?"),
                       {Server.toUpper(), Volume.toUpper()});
    const bool Found = Q.next();
    if (Found)
        Out = {Q.value(0).toLongLong(), Q.value(1).toString(), Q.value(2).toString(), AbsoluteRoot(Q.value(3).toString()),
               Q.value(4).toString()};
    Q.finish();
    return Found;
}

bool TClientStore::TPrivate::FindVolumeOfObject(const QString& VolumeObject, TVolumeRow& Out) {
    QSqlQuery& Q = Run(QStringLiteral("SELECT id, server, volume, root, volume_object FROM volumes "
                                      "WHERE uvolume_object=? ORDER BY id"),
                       {VolumeObject.toUpper()});
    const bool Found = Q.next();
    if (Found)
        Out = {Q.value(0).toLongLong(), Q.value(1).toString(), Q.value(2).toString(), AbsoluteRoot(Q.value(3).toString()),
               Q.value(4).toString()};
    Q.finish();
    return Found;
}

namespace {
// A level of a network path: not empty, not "." or "..", nothing a file server refuses.
bool GoodLevel(const QString& Level) {
    if (Level.isEmpty() || Level == QLatin1String(".") || Level == QLatin1String(".."))
        return false;
    for (QChar C : Level)
        if (C.unicode() < 0x20 || QStringLiteral("/:*?\"<>|").contains(C))
            return false;
    return true;
}

bool Inside(const QString& Path, const QString& Root) {
    return Path == Root || Path.startsWith(Root.endsWith(QLatin1Char('/')) ? Root : Root + QLatin1Char('/'));
}
} // namespace

bool TClientStore::TPrivate::MapUnc(const QString& Unc, TMappedPath& Out, QString* Why) {
    auto No = [&](const QString& Reason) {
        if (Why)
            *Why = Reason;
        return false;
    };
    if (!Unc.startsWith(QLatin1String("\\\\")))
        return No(QStringLiteral("not a network path: %1").arg(Unc));
    QString Rest = Unc.mid(2);
    if (Rest.endsWith(QLatin1Char('\\')))
        Rest.chop(1);
    const QStringList Parts = Rest.split(QLatin1Char('\\'));
    if (Parts.size() < 2)
        return No(QStringLiteral("no volume in %1").arg(Unc));
    for (const QString& P : Parts)
        if (!GoodLevel(P))
            return No(QStringLiteral("invalid path %1").arg(Unc));
    if (!FindVolume(Parts[0], Parts[1], Out.Volume))
        return No(QStringLiteral("unknown volume \\\\%1\\%2").arg(Parts[0], Parts[1]));
    Out.Levels = Parts.mid(2);
    Out.Key = Out.Levels.join(QLatin1Char('\\')).toUpper();

    // Follow the existing spelling on disk; missing levels keep the given spelling.
    QString Local = Out.Volume.Root;
    QString DeepestExisting = QFileInfo(Local).isDir() ? Local : QString();
    bool Exists = !DeepestExisting.isEmpty();
    for (const QString& Level : Out.Levels) {
        QString Next = Local + QLatin1Char('/') + Level;
        if (Exists && !QFileInfo::exists(Next)) {
            const QStringList Entries = QDir(Local).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
            auto It = std::find_if(Entries.begin(), Entries.end(),
                                   [&](const QString& E) { return E.compare(Level, Qt::CaseInsensitive) == 0; });
            if (It != Entries.end())
                Next = Local + QLatin1Char('/') + *It;
        }
        Exists = Exists && QFileInfo::exists(Next);
        if (Exists)
            DeepestExisting = Next;
        Local = Next;
    }
    Out.Local = Local;
    // A link inside the volume must not lead out of it.
    if (!DeepestExisting.isEmpty()) {
        const QString Root = QFileInfo(Out.Volume.Root).canonicalFilePath();
        const QString Real = QFileInfo(DeepestExisting).canonicalFilePath();
        if (Root.isEmpty() || !Inside(Real, Root))
            return No(QStringLiteral("path leaves its volume: %1").arg(Unc));
    }
    return true;
}

qint64 TClientStore::TPrivate::FolderId(qint64 VolumeId, const QString& Key) {
    QSqlQuery& S = Run(QStringLiteral("SELECT id FROM folders WHERE volume_id=? AND path=?"), {VolumeId, Key});
    if (S.next()) {
        const qint64 Id = S.value(0).toLongLong();
        S.finish();
        return Id;
    }
    S.finish();
    TStoreTransaction T(Q);
    QSqlQuery& I = Run(QStringLiteral("INSERT INTO folders(volume_id, path) VALUES(?, ?)"), {VolumeId, Key});
    const qint64 Id = I.lastInsertId().toLongLong();
    T.Commit();
    return Id;
}

// ---------------------------------------------------------------------------------------------
// Passwords
// ---------------------------------------------------------------------------------------------

QByteArray TClientStore::TPrivate::DeriveKey(const QString& Password, const QByteArray& Salt, int Iterations) {
    // PBKDF2 with HMAC-SHA-256, one block.
    QMessageAuthenticationCode Mac(QCryptographicHash::Sha256, Password.toUtf8());
    Mac.addData(Salt);
    Mac.addData(QByteArray("\x00\x00\x00\x01", 4));
    QByteArray U = Mac.result();
    QByteArray Key = U;
    for (int I = 1; I < Iterations; ++I) {
        Mac.reset();
        Mac.addData(U);
        U = Mac.result();
        char* K = Key.data();
        const char* P = U.constData();
        for (qsizetype B = 0; B < Key.size(); ++B)
            K[B] = char(K[B] ^ P[B]);
    }
    return Key;
}

// ---------------------------------------------------------------------------------------------
// TClientStore
// ---------------------------------------------------------------------------------------------

namespace {
TClientStore* GInstance = nullptr;
std::unique_ptr<TClientStore>& DefaultStore() {
    static std::unique_ptr<TClientStore> S;
    return S;
}
void DropDefaultStore() { DefaultStore().reset(); }
constexpr int PasswordIterations = 10000;
} // namespace

TClientStore::TClientStore(const QString& Folder)
    : D(std::make_unique<TPrivate>(*this)), FFolder(QDir::cleanPath(QDir(Folder).absolutePath())) {
    if (!MakeOwnerOnlyPath(FFolder))
        Fail(-1, QStringLiteral("Cannot create the directory store folder %1").arg(FFolder));
    const QString DbPath = FFolder + QStringLiteral("/directory.db");
    if (!QFileInfo::exists(DbPath)) {
        QFile F(DbPath);
        if (!F.open(QIODevice::WriteOnly))
            Fail(-1, QStringLiteral("Cannot create the directory store %1").arg(DbPath));
        F.close();
        F.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    static std::atomic<int> Counter{0};
    D->Connection = QStringLiteral("parvon_client_%1").arg(++Counter);
    D->Db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), D->Connection);
    D->Db.setDatabaseName(DbPath);
    D->Db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    try {
        if (!D->Db.open())
            Fail(-1, QStringLiteral("Cannot open the directory store %1: %2").arg(DbPath, D->Db.lastError().text()));
        D->RunDirect(QStringLiteral("PRAGMA journal_mode=WAL"));
        D->RunDirect(QStringLiteral("PRAGMA foreign_keys=ON"));
        D->RunDirect(QStringLiteral("PRAGMA synchronous=NORMAL"));
        {
            TStoreTransaction T(*this);
            for (const char* Sql : SchemaSql)
                D->RunDirect(QString::fromLatin1(Sql));
            QSqlQuery& Count = D->Run(QStringLiteral("SELECT COUNT(*) FROM field_types"));
            const bool Seeded = Count.next() && Count.value(0).toInt() > 0;
            Count.finish();
            if (!Seeded) {
                int Seq = 0;
                for (const TSeedField& F : SeedFields)
                    D->Run(QStringLiteral("INSERT INTO field_types(name, syntax, single_valued, max_length, seq) "
                                          "VALUES(?, ?, ?, ?, ?)"),
                           {QString::fromUtf8(F.Name), QString::fromLatin1(F.Syntax), F.Single ? 1 : 0, F.MaxLength, ++Seq});
            }
            T.Commit();
        }
        D->LoadSchema();
        MakeOwnerOnlyPath(FFolder + QStringLiteral("/volumes"));
    } catch (...) {
        D->DropQueries();
        D->Db.close();
        D->Db = QSqlDatabase();
        QSqlDatabase::removeDatabase(D->Connection);
        throw;
    }
}

TClientStore::~TClientStore() {
    if (GInstance == this)
        GInstance = nullptr;
    D->DropQueries();
    D->Db.close();
    D->Db = QSqlDatabase();
    QSqlDatabase::removeDatabase(D->Connection);
}

TClientStore& TClientStore::Instance() {
    if (GInstance)
        return *GInstance;
    auto& Default = DefaultStore();
    if (!Default) {
        QString Folder = qEnvironmentVariable("PARVON_CLIENT_STORE");
        if (Folder.isEmpty())
            Folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/client");
        Default = std::make_unique<TClientStore>(Folder);
        if (QCoreApplication::instance())
            qAddPostRoutine(DropDefaultStore);
        if (Default->IsEmpty())
            CreateDemoTree(*Default);
    }
    return *Default;
}

void TClientStore::SetInstance(TClientStore* Store) { GInstance = Store; }

QSqlDatabase TClientStore::Database() const { return D->Db; }

bool TClientStore::IsEmpty() const {
    QSqlQuery& Q = D->Run(QStringLiteral("SELECT 1 FROM trees LIMIT 1"));
    const bool Any = Q.next();
    Q.finish();
    return !Any;
}

void TClientStore::AddTree(const QString& TreeName) {
    const QString Fault = NameFault(TreeName);
    if (!Fault.isEmpty() || TreeName.size() > 32 || TreeName.contains(QLatin1Char(':')))
        Fail(ERR_ILLEGAL_DS_NAME, QStringLiteral("Illegal tree name \"%1\"%2").arg(TreeName, Fault.isEmpty() ? QString() : QStringLiteral(": ") + Fault));
    if (D->TreeId(TreeName))
        Fail(ERR_ENTRY_ALREADY_EXISTS, QStringLiteral("Tree exists already: %1").arg(TreeName));
    TStoreTransaction T(*this);
    QSqlQuery& Q = D->Run(QStringLiteral("INSERT INTO trees(name, uname) VALUES(?, ?)"), {TreeName, TreeName.toUpper()});
    D->TreeList.push_back({Q.lastInsertId().toLongLong(), TreeName});
    T.Commit();
}

QStringList TClientStore::Trees() const {
    D->LoadTrees();
    QStringList Names;
    for (const auto& T : D->TreeList)
        Names.append(T.Name);
    return Names;
}

QStringList TClientStore::ConnectedTrees() const {
    QSqlQuery& Q = D->Run(QStringLiteral("SELECT full_name FROM connected_trees ORDER BY seq"));
    QStringList L;
    while (Q.next())
        L.append(Q.value(0).toString());
    Q.finish();
    return L;
}

void TClientStore::SetConnectedTrees(const QStringList& TreeFullNames) {
    TStoreTransaction T(*this);
    D->Run(QStringLiteral("DELETE FROM connected_trees"));
    for (const QString& Name : TreeFullNames)
        D->Run(QStringLiteral("INSERT INTO connected_trees(full_name) VALUES(?)"), {Name});
    T.Commit();
}

std::vector<TClientStore::TServerConnection> TClientStore::ServerConnections() const {
    QSqlQuery& Q = D->Run(QStringLiteral("SELECT full_name, display_name FROM server_connections ORDER BY seq"));
    std::vector<TServerConnection> L;
    while (Q.next())
        L.push_back({Q.value(0).toString(), Q.value(1).toString()});
    Q.finish();
    return L;
}

void TClientStore::SetServerConnections(const std::vector<TServerConnection>& Connections) {
    TStoreTransaction T(*this);
    D->Run(QStringLiteral("DELETE FROM server_connections"));
    for (const TServerConnection& C : Connections)
        D->Run(QStringLiteral("INSERT INTO server_connections(full_name, display_name) VALUES(?, ?)"),
               {C.FullName, C.DisplayName});
    T.Commit();
}

std::vector<TClientStore::TVolume> TClientStore::Volumes() const {
    QSqlQuery& Q = D->Run(QStringLiteral("SELECT id, server, volume, root, volume_object FROM volumes ORDER BY id"));
    std::vector<TVolume> L;
    while (Q.next())
        L.push_back({Q.value(0).toLongLong(), Q.value(1).toString(), Q.value(2).toString(),
                     D->AbsoluteRoot(Q.value(3).toString()), Q.value(4).toString()});
    Q.finish();
    return L;
}

void TClientStore::AddVolume(const TVolume& Volume) {
    for (const QString& Part : {Volume.Server, Volume.Volume})
        if (!GoodLevel(Part) || Part.contains(QLatin1Char('\\')) || Part.trimmed() != Part)
            Fail(ERR_ILLEGAL_DS_NAME, QStringLiteral("Illegal server or volume name \"%1\"").arg(Part));
    TPrivate::TVolumeRow Existing;
    if (D->FindVolume(Volume.Server, Volume.Volume, Existing))
        Fail(ERR_ENTRY_ALREADY_EXISTS, QStringLiteral("Volume exists already: \\\\%1\\%2").arg(Volume.Server, Volume.Volume));
    const QString Root = Volume.RootFolder.isEmpty()
                             ? FFolder + QStringLiteral("/volumes/") + Volume.Server + QLatin1Char('/') + Volume.Volume
                             : QDir::cleanPath(QDir(Volume.RootFolder).absolutePath());
    if (!MakeOwnerOnlyPath(Root))
        Fail(-1, QStringLiteral("Cannot create the volume folder %1").arg(Root));
    TObjectRef Ref;
    const QString Object = D->Lookup(Volume.VolumeObject, Ref) ? Ref.FullName : Volume.VolumeObject.isNull() ? QStringLiteral("") : Volume.VolumeObject;
    TStoreTransaction T(*this);
    D->Run(QStringLiteral("INSERT INTO volumes(server, volume, userver, uvolume, root, volume_object, uvolume_object) "
                          "VALUES(?, ?, ?, ?, ?, ?, ?)"),
           {Volume.Server, Volume.Volume, Volume.Server.toUpper(), Volume.Volume.toUpper(), D->StoredRoot(Root), Object,
            Object.toUpper()});
    T.Commit();
}

void TClientStore::SetVolumeRoot(const QString& Server, const QString& Volume, const QString& RootFolder) {
    TPrivate::TVolumeRow Row;
    if (!D->FindVolume(Server, Volume, Row))
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("Unknown volume \\\\%1\\%2").arg(Server, Volume));
    const QString Root = QDir::cleanPath(QDir(RootFolder).absolutePath());
    if (RootFolder.isEmpty() || !MakeOwnerOnlyPath(Root))
        Fail(-1, QStringLiteral("Cannot create the volume folder %1").arg(RootFolder));
    TStoreTransaction T(*this);
    D->Run(QStringLiteral("UPDATE volumes SET root=? WHERE id=?"), {D->StoredRoot(Root), Row.Id});
    T.Commit();
}

void TClientStore::SetPassword(qint64 ObjectId, const QString& Password) {
    TObjectRef Ref;
    if (!D->LookupId(ObjectId, Ref))
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("No such object"));
    QByteArray Salt(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(Salt.data()), 4);
    const QByteArray Hash = TPrivate::DeriveKey(Password, Salt, PasswordIterations);
    TStoreTransaction T(*this);
    D->Run(QStringLiteral("INSERT OR REPLACE INTO passwords(object_id, algorithm, salt, hash) VALUES(?, ?, ?, ?)"),
           {ObjectId, QStringLiteral("pbkdf2-sha256:%1").arg(PasswordIterations), Salt, Hash});
    T.Commit();
}

bool TClientStore::CheckPassword(qint64 ObjectId, const QString& Password) const {
    QSqlQuery& Q = D->Run(QStringLiteral("SELECT algorithm, salt, hash FROM passwords WHERE object_id=?"), {ObjectId});
    if (!Q.next()) {
        Q.finish();
        return false;
    }
    const QString Algorithm = Q.value(0).toString();
    const QByteArray Salt = Q.value(1).toByteArray();
    const QByteArray Hash = Q.value(2).toByteArray();
    Q.finish();
    if (!Algorithm.startsWith(QLatin1String("pbkdf2-sha256:")))
        return false;
    const int Iterations = Algorithm.section(QLatin1Char(':'), 1).toInt();
    if (Iterations <= 0)
        return false;
    const QByteArray Probe = TPrivate::DeriveKey(Password, Salt, Iterations);
    // Compare without an early exit.
    if (Probe.size() != Hash.size())
        return false;
    int Diff = 0;
    for (int I = 0; I < Probe.size(); ++I)
        Diff |= Probe[I] ^ Hash[I];
    return Diff == 0;
}

TClientStore::TObjectRef TClientStore::Resolve(const QString& FullName) const { return D->MustResolve(FullName); }

bool TClientStore::TryResolve(const QString& FullName, TObjectRef& Out) const { return D->Lookup(FullName, Out); }

QStringList TClientStore::Layouts() {
    QStringList L;
    for (const auto& N : LayoutNames)
        L.append(QString::fromLatin1(N.Name));
    return L;
}

QString TClientStore::Identity() const { return D->Setting(QStringLiteral("Identity")); }

void TClientStore::SetIdentity(const QString& FullName) {
    TStoreTransaction T(*this);
    D->SetSetting(QStringLiteral("Identity"), FullName);
    T.Commit();
}

void TClientStore::RemoveTree(const QString& TreeName) {
    const qint64 Id = D->TreeId(TreeName);
    if (!Id)
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("No such tree: %1").arg(TreeName));
    TStoreTransaction T(*this);
    // Children first keeps the cascade shallow.
    D->Run(QStringLiteral("DELETE FROM objects WHERE tree_id=? AND parent_id IS NOT NULL"), {Id});
    D->Run(QStringLiteral("DELETE FROM objects WHERE tree_id=?"), {Id});
    D->Run(QStringLiteral("DELETE FROM trees WHERE id=?"), {Id});
    T.Commit();
    D->TreesLoaded = false;
    D->ResolveCache.clear();
}

void TClientStore::AddFieldType(const QString& Name, const QString& Syntax, bool SingleValued, int MaxLength) {
    if (Name.trimmed().isEmpty() || Name.trimmed() != Name)
        Fail(ERR_ILLEGAL_ATTRIBUTE, QStringLiteral("Illegal field name \"%1\"").arg(Name));
    if (!KnownSyntax(Syntax))
        Fail(ERR_SYNTAX_VIOLATION, QStringLiteral("Unknown syntax \"%1\"").arg(Syntax));
    if (D->FieldType(Name))
        Fail(ERR_ATTRIBUTE_ALREADY_EXISTS, QStringLiteral("Field exists already: %1").arg(Name));
    TStoreTransaction T(*this);
    D->Run(QStringLiteral("INSERT INTO field_types(name, syntax, single_valued, max_length, seq) "
                          "VALUES(?, ?, ?, ?, (SELECT COALESCE(MAX(seq), 0) + 1 FROM field_types))"),
           {Name, Syntax, SingleValued ? 1 : 0, qMax(0, MaxLength)});
    T.Commit();
    D->LoadSchema();
}

// ---------------------------------------------------------------------------------------------
// TStoreTransaction
// ---------------------------------------------------------------------------------------------

TStoreTransaction::TStoreTransaction(TClientStore& Store) : FStore(Store) {
    auto& D = Store.Private();
    if (D.TransactionDepth == 0) {
        D.Run(QStringLiteral("BEGIN IMMEDIATE"));
        D.TransactionFailed = false;
        FOuter = true;
    }
    ++D.TransactionDepth;
}

TStoreTransaction::~TStoreTransaction() {
    if (FDone)
        return;
    auto& D = FStore.Private();
    --D.TransactionDepth;
    if (FOuter) {
        D.TreesLoaded = false;
        D.IdentityLoaded = false;
        D.ResolveCache.clear();
        try {
            D.Run(QStringLiteral("ROLLBACK"));
            D.LoadSchema();
        } catch (...) {
        }
    } else {
        D.TransactionFailed = true;
    }
}

void TStoreTransaction::Commit() {
    if (FDone)
        return;
    auto& D = FStore.Private();
    if (!FOuter) {
        --D.TransactionDepth;
        FDone = true;
        return;
    }
    if (D.TransactionFailed) {
        // Left to the destructor: rolls back.
        ClientInternal::Fail(-1, QStringLiteral("The change was abandoned and is rolled back"));
    }
    D.Run(QStringLiteral("COMMIT"));
    --D.TransactionDepth;
    FDone = true;
}
