#include "DirectoryBackend.h"

#include "EDirectoryError.h"
#include "Layouts.h"
#include "Names.h"

TObjectRef TDirectoryBackend::Resolve(const QString& FullName) {
    TObjectRef Ref;
    if (!TryResolve(FullName, Ref))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("No such object: %1").arg(FullName));
    return Ref;
}

bool SearchSettledAtOnce(const TObjectRef& Base, const QString& Name, const QString& Layout, int Scope,
                         QString& WantedLayout, QStringList& Result) {
    if (Scope < 0 || Scope > 2)
        ThrowDirectoryError(ERR_INVALID_REQUEST, QStringLiteral("Invalid search scope %1").arg(Scope));
    Result.clear();
    WantedLayout.clear();
    if (!Layout.trimmed().isEmpty()) {
        WantedLayout = KindOfLayout(Layout) == TLayoutKind::Tree ? TreeLayout() : CanonicalLayout(Layout);
        if (WantedLayout.isEmpty())
            return true; // no object has an unknown layout
    }
    if (Scope == 0) {
        if (NameMatches(Name, Base.ShortName) && (WantedLayout.isEmpty() || WantedLayout == Base.Layout))
            Result.append(Base.FullName);
        return true;
    }
    return WantedLayout == TreeLayout();
}

QString CheckNewObject(const TObjectRef& Parent, const QString& Layout, const QString& Name) {
    const QString Canonical = CanonicalLayout(Layout);
    if (Canonical.isEmpty())
        ThrowDirectoryError(ERR_NO_SUCH_CLASS, QStringLiteral("Unknown layout \"%1\"").arg(Layout));
    const QString Fault = NameFault(Name);
    if (!Fault.isEmpty())
        ThrowDirectoryError(ERR_ILLEGAL_DS_NAME,
                            QStringLiteral("Illegal object name \"%1\": %2").arg(Name, Fault));
    if (!MayContain(Parent.Layout, Canonical))
        ThrowDirectoryError(ERR_ILLEGAL_CONTAINMENT,
                            QStringLiteral("An object of layout \"%1\" may not stand in %2 (%3)")
                                .arg(Canonical, Parent.FullName, Parent.Layout));
    return Canonical;
}
