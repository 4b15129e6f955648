#include "SqliteParts.h"

#include <EDirectoryError.h>
#include <Layouts.h>
#include <Names.h>

namespace {

// The levels of a full name below its tree ("" for a tree root).
QString LevelsOf(const TObjectRef& Ref) {
    QString Tree, Levels;
    SplitFullName(Ref.FullName, Tree, Levels);
    return Levels;
}

// The canonical layouts of a filter; false when the filter names only layouts the directory does
// not know, so that it matches nothing.
bool FilterLayouts(const QStringList& Layouts, QStringList& Out) {
    Out.clear();
    for (const QString& L : Layouts) {
        const QString C = CanonicalLayout(L);
        if (!C.isEmpty() && !Out.contains(C))
            Out.append(C);
    }
    return Layouts.isEmpty() || !Out.isEmpty();
}

// "parent_id=?" or the tree root's "tree_id=? AND parent_id IS NULL", with its argument.
QString ParentClause(const TObjectRef& Container, QVariantList& Args) {
    if (Container.Key.Id) {
        Args << Container.Key.Id;
        return QStringLiteral("parent_id=?");
    }
    Args << Container.Key.Scope;
    return QStringLiteral("tree_id=? AND parent_id IS NULL");
}

// " AND layout IN (?, ...)" with its arguments; Column names the layout column.
QString LayoutClause(const QStringList& Layouts, QVariantList& Args,
                     const QString& Column = QStringLiteral("layout")) {
    if (Layouts.isEmpty())
        return QString();
    for (const QString& L : Layouts)
        Args << L;
    return QStringLiteral(" AND ") + Column + QStringLiteral(" IN (?") +
           QStringLiteral(", ?").repeated(Layouts.size() - 1) + QLatin1Char(')');
}

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

} // namespace

TSqliteObjects::TSqliteObjects(TSqlConnection& Db) : Db(Db) {
    Db.OnRollback([this] { DropCaches(); });
}

void TSqliteObjects::DropCaches() {
    FTreesLoaded = false;
    FResolved.Clear();
}

// ---------------------------------------------------------------------------------------------
// Trees

void TSqliteObjects::LoadTrees() {
    static const TStatement Select("SELECT id, name FROM trees ORDER BY id");
    FTrees.clear();
    TQuery Q(Db, Select);
    while (Q.Next())
        FTrees.push_back({Q.Value(0).toLongLong(), Q.Value(1).toString()});
    FTreesLoaded = true;
}

qint64 TSqliteObjects::TreeId(const QString& Name) {
    for (int Attempt = 0; Attempt < 2; ++Attempt) {
        if (!FTreesLoaded || Attempt == 1)
            LoadTrees();
        for (const TTree& T : FTrees)
            if (T.Name.compare(Name, Qt::CaseInsensitive) == 0)
                return T.Id;
    }
    return 0;
}

QString TSqliteObjects::TreeName(qint64 Id) {
    for (int Attempt = 0; Attempt < 2; ++Attempt) {
        if (!FTreesLoaded || Attempt == 1)
            LoadTrees();
        for (const TTree& T : FTrees)
            if (T.Id == Id)
                return T.Name;
    }
    return QString();
}

QString TSqliteObjects::TreePrefix(qint64 Id) {
    return TreeFullName(TreeName(Id));
}

QStringList TSqliteObjects::Trees() {
    LoadTrees();
    QStringList Names;
    for (const TTree& T : FTrees)
        Names.append(T.Name);
    return Names;
}

bool TSqliteObjects::IsEmpty() {
    static const TStatement Any("SELECT 1 FROM trees LIMIT 1");
    TQuery Q(Db, Any);
    return !Q.Next();
}

void TSqliteObjects::AddTree(const QString& TreeName) {
    const QString Fault = NameFault(TreeName);
    if (!Fault.isEmpty() || TreeName.size() > 32 || TreeName.contains(QLatin1Char(':')))
        ThrowDirectoryError(ERR_ILLEGAL_DS_NAME,
                            QStringLiteral("Unzulässiger Baumname \"%1\"%2")
                                .arg(TreeName, Fault.isEmpty() ? QString() : QStringLiteral(": ") + Fault));
    if (TreeId(TreeName))
        ThrowDirectoryError(ERR_ENTRY_ALREADY_EXISTS,
                            QStringLiteral("Den Baum gibt es bereits: %1").arg(TreeName));
    static const TStatement Insert("INSERT INTO trees(name, uname) VALUES(?, ?)");
    TSqlTransaction T(Db);
    const qint64 Id = TQuery(Db, Insert, TreeName, TreeName.toUpper()).LastInsertId();
    FTrees.push_back({Id, TreeName});
    T.Commit();
}

void TSqliteObjects::RemoveTree(const QString& TreeName) {
    const qint64 Id = TreeId(TreeName);
    if (!Id)
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Baum nicht gefunden: %1").arg(TreeName));
    static const TStatement Children("DELETE FROM objects WHERE tree_id=? AND parent_id IS NOT NULL");
    static const TStatement Top("DELETE FROM objects WHERE tree_id=?");
    static const TStatement Tree("DELETE FROM trees WHERE id=?");
    TSqlTransaction T(Db);
    // Children first keeps the cascade shallow.
    TQuery(Db, Children, Id);
    TQuery(Db, Top, Id);
    TQuery(Db, Tree, Id);
    T.Commit();
    DropCaches();
}

// ---------------------------------------------------------------------------------------------
// Names

bool TSqliteObjects::Lookup(const QString& FullName, TObjectRef& Out) {
    // A name seen before resolves without parsing: the cache holds only good names.
    if (FResolved.Find(FullName, Out))
        return true;
    QString Tree, Levels;
    if (!SplitFullName(FullName, Tree, Levels))
        return false;
    const qint64 Tid = TreeId(Tree);
    if (!Tid)
        return false;
    TObjectRef R;
    R.Key.Scope = Tid;
    if (Levels.isEmpty()) {
        R.ShortName = TreeName(Tid);
        R.FullName = TreePrefix(Tid);
        R.Layout = TreeLayout();
    } else {
        static const TStatement Select("SELECT id, name, layout, dn FROM objects WHERE tree_id=? AND path=?");
        TQuery Q(Db, Select, Tid, Levels.toUpper());
        if (!Q.Next())
            return false;
        R.Key.Id = Q.Value(0).toLongLong();
        R.ShortName = Q.Value(1).toString();
        R.Layout = Q.Value(2).toString();
        R.FullName = TreePrefix(Tid) + QLatin1Char('\\') + Q.Value(3).toString();
    }
    FResolved.Insert(R, FullName);
    Out = R;
    return true;
}

bool TSqliteObjects::Exists(const TObjectRef& Object) {
    if (!Object.Key.Id)
        return !TreeName(Object.Key.Scope).isEmpty();
    static const TStatement Select("SELECT 1 FROM objects WHERE id=?");
    TQuery Q(Db, Select, Object.Key.Id);
    return Q.Next();
}

// ---------------------------------------------------------------------------------------------
// Creation and deletion

QString TSqliteObjects::CheckCreate(const TObjectRef& Parent, const QString& Layout, const QString& Name) {
    const QString Canonical = CheckNewObject(Parent, Layout, Name);
    const QString ParentLevels = LevelsOf(Parent);
    const QString Path =
        (ParentLevels.isEmpty() ? QString() : ParentLevels.toUpper() + QLatin1Char('\\')) + Name.toUpper();
    static const TStatement Check("SELECT EXISTS(SELECT 1 FROM objects WHERE tree_id=? AND path=?),"
                                  " ?=0 OR EXISTS(SELECT 1 FROM objects WHERE id=?)");
    TQuery Q(Db, Check, Parent.Key.Scope, Path, Parent.Key.Id, Parent.Key.Id);
    Q.Next();
    if (!Q.Value(1).toBool())
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Objekt nicht gefunden: %1").arg(Parent.FullName));
    if (Q.Value(0).toBool())
        ThrowDirectoryError(ERR_ENTRY_ALREADY_EXISTS,
                            QStringLiteral("Das Objekt gibt es bereits: %1\\%2").arg(Parent.FullName, Name));
    return Canonical;
}

TObjectRef TSqliteObjects::Insert(const TObjectRef& Parent, const QString& Layout, const QString& Name) {
    const QString ParentLevels = LevelsOf(Parent);
    const QString Dn = ParentLevels.isEmpty() ? Name : ParentLevels + QLatin1Char('\\') + Name;
    static const TStatement Insert("INSERT INTO objects(tree_id, parent_id, name, uname, layout, dn, path) "
                                   "VALUES(?, ?, ?, ?, ?, ?, ?)");
    const QVariant ParentId =
        Parent.Key.Id ? QVariant(Parent.Key.Id) : QVariant(QMetaType(QMetaType::LongLong));
    TObjectRef R;
    R.Key.Scope = Parent.Key.Scope;
    R.Key.Id = TQuery(Db, Insert, Parent.Key.Scope, ParentId, Name, Name.toUpper(), Layout, Dn, Dn.toUpper())
                   .LastInsertId();
    R.FullName = Parent.FullName + QLatin1Char('\\') + Name;
    R.ShortName = Name;
    R.Layout = Layout;
    return R;
}

void TSqliteObjects::Delete(const TObjectRef& Object) {
    if (!Object.Key.Id)
        ThrowDirectoryError(
            ERR_INVALID_REQUEST,
            QStringLiteral("Eine Baumwurzel kann nicht gelöscht werden: %1").arg(Object.FullName));
    static const TStatement Holds("SELECT EXISTS(SELECT 1 FROM objects WHERE parent_id=?)");
    bool HoldsObjects = false;
    {
        TQuery Q(Db, Holds, Object.Key.Id);
        HoldsObjects = Q.Next() && Q.Value(0).toBool();
    }
    if (HoldsObjects)
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("%1 enthält noch Objekte").arg(Object.FullName));
    static const TStatement Delete("DELETE FROM objects WHERE id=?");
    if (TQuery(Db, Delete, Object.Key.Id).RowsAffected() != 1)
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Objekt nicht gefunden: %1").arg(Object.FullName));
    FResolved.Clear();
}

// ---------------------------------------------------------------------------------------------
// Listings and search

QSqlQuery& TSqliteObjects::Statement(int Kind, const std::function<QString()>& Sql) {
    auto It = FStatements.find(Kind);
    if (It == FStatements.end())
        It = FStatements.emplace(Kind, &Db.Prepared(Sql())).first;
    return *It->second;
}

// ---------------------------------------------------------------------------------------------
// Listings and search

std::vector<TChildEntry> TSqliteObjects::Children(const TObjectRef& Container, const QStringList& Layouts,
                                                  bool Counted) {
    QStringList Wanted;
    if (!FilterLayouts(Layouts, Wanted))
        return {};
    QVariantList Args;
    // The count's arguments come first: it stands before the conditions in the statement.
    const QString Count =
        Counted ? QStringLiteral(", (SELECT COUNT(*) FROM objects c WHERE c.parent_id=objects.id") +
                      LayoutClause(Wanted, Args, QStringLiteral("c.layout")) + QLatin1Char(')')
                : QString();
    const QString Where = ParentClause(Container, Args);
    const QString Filter = LayoutClause(Wanted, Args);
    const int Kind = (Counted ? 3000 : 1000) + int(Wanted.size()) * 2 + (Container.Key.Id ? 0 : 1);
    QSqlQuery& Prepared = Statement(Kind, [&] {
        return QStringLiteral("SELECT id, name, layout") + Count + QStringLiteral(" FROM objects WHERE ") +
               Where + Filter + QStringLiteral(" ORDER BY id");
    });
    TQuery Q(Db, Prepared, Args);
    std::vector<TChildEntry> Rows;
    Rows.reserve(32);
    while (Q.Next()) {
        TChildEntry E;
        E.Key.Scope = Container.Key.Scope;
        E.Key.Id = Q.Value(0).toLongLong();
        E.ShortName = Q.Value(1).toString();
        E.Layout = Q.Value(2).toString();
        if (Counted && IsContainerLayout(E.Layout))
            E.Subordinates = Q.Value(3).toInt();
        Rows.push_back(std::move(E));
    }
    return Rows;
}

int TSqliteObjects::CountChildren(const TObjectRef& Container, const QStringList& Layouts) {
    QStringList Wanted;
    if (!FilterLayouts(Layouts, Wanted))
        return 0;
    QVariantList Args;
    const QString Where = ParentClause(Container, Args);
    const QString Filter = LayoutClause(Wanted, Args);
    QSqlQuery& Prepared = Statement(2000 + int(Wanted.size()) * 2 + (Container.Key.Id ? 0 : 1), [&] {
        return QStringLiteral("SELECT COUNT(*) FROM objects WHERE ") + Where + Filter;
    });
    TQuery Q(Db, Prepared, Args);
    return Q.Next() ? Q.Value(0).toInt() : 0;
}

QStringList TSqliteObjects::Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                                   int Scope) {
    QString WantedLayout;
    QStringList Settled;
    if (SearchSettledAtOnce(Base, Name, Layout, Scope, WantedLayout, Settled))
        return Settled;
    const bool AnyName = Name.isEmpty() || Name == QLatin1String("*");
    // One statement per kind: scope, base (tree root or object), name (any, exact, pattern), layout.
    const int NameMode = AnyName ? 0 : Name.contains(QLatin1Char('*')) ? 2 : 1;
    const int Kind = Scope * 100 + (Base.Key.Id ? 10 : 0) + NameMode * 2 + (WantedLayout.isEmpty() ? 0 : 1);
    QVariantList Args;
    QString Where;
    if (Scope == 1) {
        Where = ParentClause(Base, Args);
    } else {
        Where = QStringLiteral("tree_id=?");
        Args << Base.Key.Scope;
        if (Base.Key.Id) {
            const QString Levels = LevelsOf(Base).toUpper();
            Where += QStringLiteral(" AND path>? AND path<?");
            Args << Levels + QLatin1Char('\\') << Levels + QLatin1Char(']');
        }
    }
    if (NameMode == 2)
        Args << GlobPattern(Name);
    else if (NameMode == 1)
        Args << Name.toUpper();
    if (!WantedLayout.isEmpty())
        Args << WantedLayout;
    TQuery Q(Db,
             Statement(Kind,
                       [&] {
                           const QString NamePart = NameMode == 2   ? QStringLiteral(" AND uname GLOB ?")
                                                    : NameMode == 1 ? QStringLiteral(" AND uname=?")
                                                                    : QString();
                           const QString LayoutPart =
                               WantedLayout.isEmpty() ? QString() : QStringLiteral(" AND layout=?");
                           return QStringLiteral("SELECT dn FROM objects WHERE ") + Where + NamePart +
                                  LayoutPart + QStringLiteral(" ORDER BY id");
                       }),
             Args);
    QStringList Result;
    const QString Prefix = TreePrefix(Base.Key.Scope) + QLatin1Char('\\');
    while (Q.Next())
        Result.append(Prefix + Q.Value(0).toString());
    return Result;
}
