#include "LdapDirectory.h"

#include <EDirectoryError.h>
#include <FieldValues.h>
#include <Layouts.h>
#include <Names.h>
#include <Schema.h>

#include <QMutexLocker>

#include <ldap.h>

namespace {

using TScope = TLdapConnection::TScope;
using Dn::TRdn;

// The auxiliary class that carries the fields the standard classes lack (ldap/parvon.schema).
QString AuxiliaryClass(const QString& StructuralClass) {
    const QString C = StructuralClass.toLower();
    if (C == QLatin1String("organization") || C == QLatin1String("organizationalunit"))
        return QStringLiteral("ndsContainerLoginProperties");
    if (C == QLatin1String("inetorgperson") || C == QLatin1String("groupofnames") ||
        C == QLatin1String("organizationalrole") || C == QLatin1String("template"))
        return QStringLiteral("ndsLoginProperties");
    return QString();
}

QString Or(const QStringList& Terms) {
    return Terms.size() == 1 ? Terms.front()
                             : QStringLiteral("(|") + Terms.join(QString()) + QLatin1Char(')');
}

// Objects are named by o=, ou= or cn=: a filter that finds the name under the naming attribute of
// the layout, or of any layout.
QString NameFilter(const QString& Name, const QString& Layout) {
    const QString V = TLdapConnection::FilterValue(Name, true);
    if (!Layout.isEmpty())
        return QStringLiteral("(%1=%2)").arg(Schema::NamingAttribute(Layout), V);
    return QStringLiteral("(|(o=%1)(ou=%1)(cn=%1))").arg(V);
}

Dn::TTreeDns TreeDns(const TLdapSettings& Settings) {
    try {
        return Dn::TTreeDns(Settings.Tree, Settings.Base);
    } catch (const EDirectoryError&) {
        ThrowDirectoryError(ERR_ILLEGAL_DS_NAME, QStringLiteral("Invalid base DN \"%1\"").arg(Settings.Base));
    }
}

} // namespace

TLdapDirectory::TLdapDirectory(const TLdapSettings& Settings, const QString& Password)
    : FConnection(Settings, Password), FDns(TreeDns(Settings)) {
    const QString Fault = NameFault(Settings.Tree);
    if (!Fault.isEmpty())
        ThrowDirectoryError(ERR_ILLEGAL_DS_NAME,
                            QStringLiteral("Illegal tree name \"%1\": %2").arg(Settings.Tree, Fault));
    FFieldOfAttribute = Schema::FieldsByAttribute(StandardFieldTypes());
    const std::vector<NWFieldType>& Types = StandardFieldTypes();
    for (int I = 0; I < int(Types.size()); ++I)
        FTypeIndex.insert(Types[size_t(I)].Name.toUpper(), I);
}

TLdapDirectory::~TLdapDirectory() = default;

// ---------------------------------------------------------------------------------------------
// Names

QString TLdapDirectory::RootFullName() const {
    return TreeFullName(Settings().Tree);
}

TObjectRef TLdapDirectory::Root() const {
    TObjectRef R;
    R.Key.Text = Settings().Base;
    R.FullName = RootFullName();
    R.ShortName = Settings().Tree;
    R.Layout = TreeLayout();
    return R;
}

QString TLdapDirectory::FullNameOfDn(const QString& Dn) const {
    QString Name;
    if (!FDns.FullNameOfDn(Dn, Name))
        ThrowDirectoryError(ERR_ILLEGAL_DS_NAME,
                            QStringLiteral("\"%1\" names no object below %2").arg(Dn, Settings().Base));
    return Name;
}

QString TLdapDirectory::LayoutOfEntry(const TLdapEntry& Entry) const {
    const TLdapAttribute* Classes = Entry.Find(QStringLiteral("objectClass"));
    if (!Classes)
        return QString();
    // Entries hold few distinct classes: each is looked up once.
    QMutexLocker Lock(&FLayoutsMutex);
    for (const QByteArray& C : Classes->Values) {
        auto It = FLayoutOfClass.constFind(C);
        if (It == FLayoutOfClass.constEnd())
            It = FLayoutOfClass.insert(C, Schema::ObjectClassToLayout(QString::fromUtf8(C)));
        if (!It->isEmpty())
            return *It;
    }
    return QString();
}

QStringList TLdapDirectory::Trees() {
    return {Settings().Tree};
}

void TLdapDirectory::AddTree(const QString& TreeName) {
    ThrowDirectoryError(
        TreeName.compare(Settings().Tree, Qt::CaseInsensitive) == 0 ? ERR_ENTRY_ALREADY_EXISTS
                                                                    : ERR_INVALID_REQUEST,
        QStringLiteral("The LDAP server %1 holds tree %2 only").arg(Settings().Url, Settings().Tree));
}

QStringList TLdapDirectory::ConnectedTrees() {
    return {RootFullName()};
}

std::vector<TServerConnection> TLdapDirectory::ServerConnections() {
    return {};
}

bool TLdapDirectory::TryResolve(const QString& FullName, TObjectRef& Out) {
    if (FResolved.Find(FullName, Out))
        return true;
    QString Tree, Levels;
    if (!SplitFullName(FullName, Tree, Levels) || Tree.compare(Settings().Tree, Qt::CaseInsensitive) != 0)
        return false;
    if (Levels.isEmpty()) {
        Out = Root();
        return true;
    }
    const QStringList Parts = Levels.split(QLatin1Char('\\'));
    // Every level above the object is a container: o= at the top, ou= below; the object itself is
    // an organization at the top, else named by ou= or cn=, so one search below the parent finds it.
    std::vector<TRdn> Parent = FDns.ContainerLevels(FullName, false);
    if (!Parent.empty())
        Parent.pop_back();
    const QString& Leaf = Parts.back();
    bool Found = false;
    auto Take = [&](const TLdapEntry& E) {
        std::vector<TRdn> Got;
        if (Found || !FDns.LevelsOf(E.Dn, Got) || int(Got.size()) != int(Parts.size()) ||
            Got.back().Value.compare(Leaf, Qt::CaseInsensitive) != 0 ||
            !Schema::IsNamingAttribute(Got.back().Type))
            return;
        const QString Layout = LayoutOfEntry(E);
        if (Layout.isEmpty())
            return;
        Out.Key.Text = E.Dn;
        Out.ShortName = Got.back().Value;
        Out.Layout = Layout;
        Out.FullName = FDns.FullNameOf(Got);
        Found = true;
    };
    const QString Value = TLdapConnection::FilterValue(Leaf);
    if (Parts.size() == 1)
        FConnection.Search(FDns.DnOf({{QStringLiteral("o"), Leaf}}), TScope::Base,
                           QStringLiteral("(objectClass=*)"), {QStringLiteral("objectClass")}, Take);
    else
        FConnection.Search(FDns.DnOf(Parent), TScope::OneLevel,
                           QStringLiteral("(|(ou=%1)(cn=%1))").arg(Value), {QStringLiteral("objectClass")},
                           Take);
    if (!Found)
        return false;
    FResolved.Insert(Out, FullName);
    return true;
}

QString TLdapDirectory::DnOfFullName(const QString& FullName) {
    TObjectRef Ref;
    return TryResolve(FullName, Ref) ? Ref.Key.Text : QString();
}

// ---------------------------------------------------------------------------------------------
// Listings and search

QString TLdapDirectory::LayoutFilter(const QStringList& Layouts, bool& MatchesNothing) const {
    MatchesNothing = false;
    if (Layouts.isEmpty()) // every object, but not the rows a catalog keeps below it nor the id counter
        return QStringLiteral("(!(|(objectClass=parvonCatalogRows)(objectClass=parvonIdCounter)))");
    QStringList Terms;
    for (const QString& L : Layouts) {
        const QString C = CanonicalLayout(L);
        if (C.isEmpty())
            continue;
        const QString Term = QStringLiteral("(objectClass=%1)")
                                 .arg(TLdapConnection::FilterValue(Schema::LayoutToObjectClass(C)));
        if (!Terms.contains(Term))
            Terms.append(Term);
    }
    MatchesNothing = Terms.isEmpty();
    return Terms.isEmpty() ? QString() : Or(Terms);
}

std::vector<TChildEntry> TLdapDirectory::Children(const TObjectRef& Container, const QStringList& Layouts) {
    bool Nothing = false;
    const QString Filter = LayoutFilter(Layouts, Nothing);
    if (Nothing)
        return {};
    std::vector<TChildEntry> Rows;
    const bool Exists =
        FConnection.Search(Container.Key.Text, TScope::OneLevel, Filter, {QStringLiteral("objectClass")},
                           [&](const TLdapEntry& E) {
                               TChildEntry C;
                               C.Layout = LayoutOfEntry(E);
                               if (C.Layout.isEmpty() || !Dn::LeafValue(E.Dn, C.ShortName))
                                   return; // an entry that names no layout is no object of the tree
                               C.Key.Text = E.Dn;
                               Rows.push_back(std::move(C));
                           });
    if (!Exists)
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Objekt nicht gefunden: %1").arg(Container.FullName));
    return Rows;
}

int TLdapDirectory::CountChildren(const TObjectRef& Container, const QStringList& Layouts) {
    bool Nothing = false;
    const QString Filter = LayoutFilter(Layouts, Nothing);
    if (Nothing)
        return 0;
    const int N = FConnection.Count(Container.Key.Text, TScope::OneLevel, Filter);
    if (N < 0)
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Objekt nicht gefunden: %1").arg(Container.FullName));
    return N;
}

QStringList TLdapDirectory::Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                                   int Scope) {
    QString WantedLayout;
    QStringList Settled;
    if (SearchSettledAtOnce(Base, Name, Layout, Scope, WantedLayout, Settled))
        return Settled;
    const bool AnyName = Name.isEmpty() || Name == QLatin1String("*");
    QStringList Terms;
    if (!AnyName)
        Terms << NameFilter(Name, WantedLayout);
    if (!WantedLayout.isEmpty())
        Terms << QStringLiteral("(objectClass=%1)")
                     .arg(TLdapConnection::FilterValue(Schema::LayoutToObjectClass(WantedLayout)));
    const QString Filter = Terms.isEmpty() ? QStringLiteral("(objectClass=*)")
                           : Terms.size() == 1
                               ? Terms.front()
                               : QStringLiteral("(&") + Terms.join(QString()) + QLatin1Char(')');
    QStringList Result;
    const bool Exists = FConnection.Search(Base.Key.Text, Scope == 1 ? TScope::OneLevel : TScope::Subtree,
                                           Filter, {QStringLiteral("objectClass")}, [&](const TLdapEntry& E) {
                                               QString Full, Leaf;
                                               if (!FDns.FullNameOfDn(E.Dn, Full, &Leaf) || Leaf.isEmpty())
                                                   return;
                                               // The base itself, whichever escapes its DN has.
                                               if (Full.compare(Base.FullName, Qt::CaseInsensitive) == 0)
                                                   return;
                                               // The filter also finds other values of the naming attributes;
                                               // the name is the RDN's.
                                               if (!AnyName && !NameMatches(Name, Leaf))
                                                   return;
                                               if (LayoutOfEntry(E).isEmpty())
                                                   return;
                                               Result.append(Full);
                                           });
    if (!Exists)
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Objekt nicht gefunden: %1").arg(Base.FullName));
    return Result;
}

// ---------------------------------------------------------------------------------------------
// Objects

QString TLdapDirectory::NewEntry(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                                 std::vector<TLdapAttribute>& Attributes) const {
    const QString Naming = Schema::NamingAttribute(Layout);
    const QString Class = Schema::LayoutToObjectClass(Layout);
    TLdapAttribute Classes{QStringLiteral("objectClass"), {Class.toUtf8()}};
    const QString Auxiliary = AuxiliaryClass(Class);
    if (!Auxiliary.isEmpty())
        Classes.Values.append(Auxiliary.toUtf8());
    Attributes.insert(Attributes.begin(), {Classes, {Naming, {Name.toUtf8()}}});
    std::vector<TRdn> Levels;
    FDns.LevelsOf(Parent.Key.Text, Levels);
    Levels.push_back({Naming, Name});
    return FDns.DnOf(Levels);
}

TObjectRef TLdapDirectory::Created(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                                   const QString& Dn) {
    TObjectRef R;
    R.Key.Text = Dn;
    R.FullName = Parent.FullName + QLatin1Char('\\') + Name;
    R.ShortName = Name;
    R.Layout = Layout;
    FResolved.Insert(R);
    return R;
}

TObjectRef TLdapDirectory::CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                                        const std::vector<TFieldWrite>& Fields) {
    const QString Canonical = CheckNewObject(Parent, Layout, Name);
    std::vector<TLdapAttribute> Attributes = Encode(TObjectRef(), Fields);
    std::erase_if(Attributes, [](const TLdapAttribute& A) { return A.Values.isEmpty(); });
    // A person needs a surname over LDAP.
    if (Canonical == QLatin1String("User") &&
        std::none_of(Attributes.begin(), Attributes.end(), [](const TLdapAttribute& A) {
            return A.Name.compare(QLatin1String("sn"), Qt::CaseInsensitive) == 0;
        }))
        Attributes.push_back({QStringLiteral("sn"), {Name.toUtf8()}});
    const QString Dn = NewEntry(Parent, Canonical, Name, Attributes);
    FConnection.Add(Dn, Attributes);
    return Created(Parent, Canonical, Name, Dn);
}

TObjectRef TLdapDirectory::CreateUser(const TObjectRef& Container, const QString& Name,
                                      const QString& Surname, const TObjectRef* Template) {
    const QString Layout = CheckNewObject(Container, QStringLiteral("User"), Name);
    if (Surname.trimmed().isEmpty())
        ThrowDirectoryError(
            ERR_SYNTAX_VIOLATION,
            QStringLiteral("Ein Benutzer braucht einen Nachnamen: %1\\%2").arg(Container.FullName, Name));
    std::vector<TLdapAttribute> Attributes = Encode(TObjectRef(), {{QStringLiteral("Surname"), Surname}});
    if (Template && !Template->Key.Text.isEmpty()) {
        const std::vector<TLdapAttribute> Taken = TemplateAttributes(*Template);
        Attributes.insert(Attributes.end(), Taken.begin(), Taken.end());
    }
    const QString Dn = NewEntry(Container, Layout, Name, Attributes);
    FConnection.Add(Dn, Attributes);
    return Created(Container, Layout, Name, Dn);
}

void TLdapDirectory::DeleteObject(const TObjectRef& Object) {
    if (Object.IsTreeRoot())
        ThrowDirectoryError(
            ERR_INVALID_REQUEST,
            QStringLiteral("Eine Baumwurzel kann nicht gelöscht werden: %1").arg(Object.FullName));
    try {
        if (Object.Layout == CatalogLayout())
            DeleteCatalogRows(Object.Key.Text); // the rows its refreshes left below it
        FConnection.Delete(Object.Key.Text);
    } catch (const EDirectoryError& E) {
        FResolved.Clear();
        if (E.Message().contains(QLatin1String(ldap_err2string(LDAP_NOT_ALLOWED_ON_NONLEAF))))
            ThrowDirectoryError(ERR_INVALID_REQUEST,
                                QStringLiteral("%1 enthält noch Objekte").arg(Object.FullName));
        throw;
    }
    FResolved.Clear();
}

// A transaction is one group of writes of the connection (LdapConnection.h): one LDAP transaction
// where the server offers them.
void TLdapDirectory::BeginTransaction() {
    ++FTransactionDepth;
    FConnection.BeginWrites();
}

void TLdapDirectory::CommitTransaction() {
    if (FTransactionDepth == 0)
        return;
    --FTransactionDepth;
    try {
        FConnection.CommitWrites();
    } catch (...) {
        FResolved.Clear();
        throw;
    }
}

void TLdapDirectory::RollbackTransaction() {
    if (FTransactionDepth == 0)
        return;
    FTransactionDepth = 0;
    FConnection.AbortWrites();
    FResolved.Clear();
}

// ---------------------------------------------------------------------------------------------
// Passwords

void TLdapDirectory::SetPassword(const TObjectRef& Object, const QString& Password) {
    if (Object.IsTreeRoot() || Object.Key.Text.isEmpty())
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Objekt nicht gefunden"));
    FConnection.SetPassword(Object.Key.Text, Password);
}

bool TLdapDirectory::CheckPassword(const TObjectRef& Object, const QString& Password) {
    if (Object.IsTreeRoot() || Object.Key.Text.isEmpty())
        return false;
    return FConnection.CheckPassword(Object.Key.Text, Password);
}
