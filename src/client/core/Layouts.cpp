#include "Layouts.h"

#include <QHash>

namespace {

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

struct TLayoutInfo {
    QString Canonical;
    TLayoutKind Kind;
};

// Canonical and upper-cased name -> canonical name and kind, "Tree" included. The canonical
// spelling is found without building an upper-cased copy.
struct TTables {
    QHash<QString, TLayoutInfo> Canonical;
    QHash<QString, TLayoutInfo> Upper;
};

const TTables& Tables() {
    static const TTables T = [] {
        TTables R;
        auto Add = [&R](const QString& Name, TLayoutKind Kind) {
            R.Canonical.insert(Name, {Name, Kind});
            R.Upper.insert(Name.toUpper(), {Name, Kind});
        };
        for (const TLayoutName& L : LayoutNames)
            Add(QString::fromLatin1(L.Name), L.Kind);
        Add(TreeLayout(), TLayoutKind::Tree);
        return R;
    }();
    return T;
}

const TLayoutInfo* Find(const QString& Layout) {
    const TTables& T = Tables();
    auto Exact = T.Canonical.constFind(Layout);
    if (Exact != T.Canonical.constEnd())
        return &*Exact;
    auto It = T.Upper.constFind(Layout.trimmed().toUpper());
    return It == T.Upper.constEnd() ? nullptr : &*It;
}

} // namespace

QStringList KnownLayouts() {
    QStringList L;
    for (const TLayoutName& N : LayoutNames)
        L.append(QString::fromLatin1(N.Name));
    return L;
}

QString CanonicalLayout(const QString& Layout) {
    const TLayoutInfo* Info = Find(Layout);
    return Info && Info->Kind != TLayoutKind::Tree ? Info->Canonical : QString();
}

TLayoutKind KindOfLayout(const QString& Layout) {
    const TLayoutInfo* Info = Find(Layout);
    return Info ? Info->Kind : TLayoutKind::Unknown;
}

bool IsContainerLayout(const QString& Layout) {
    const TLayoutKind K = KindOfLayout(Layout);
    return K == TLayoutKind::Tree || K == TLayoutKind::Organization || K == TLayoutKind::OrganizationalUnit;
}

bool MayContain(const QString& Parent, const QString& Child) {
    const TLayoutKind P = KindOfLayout(Parent);
    if (KindOfLayout(Child) == TLayoutKind::Organization)
        return P == TLayoutKind::Tree;
    return P == TLayoutKind::Organization || P == TLayoutKind::OrganizationalUnit;
}
