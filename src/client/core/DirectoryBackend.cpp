#include "DirectoryBackend.h"

#include "EDirectoryError.h"
#include "Layouts.h"
#include "Names.h"
#include "PosixIds.h"

#include <algorithm>

TObjectRef TDirectoryBackend::Resolve(const QString& FullName) {
    TObjectRef Ref;
    if (!TryResolve(FullName, Ref))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Objekt nicht gefunden: %1").arg(FullName));
    return Ref;
}

bool SearchSettledAtOnce(const TObjectRef& Base, const QString& Name, const QString& Layout, int Scope,
                         QString& WantedLayout, QStringList& Result) {
    if (Scope < 0 || Scope > 2)
        ThrowDirectoryError(ERR_INVALID_REQUEST, QStringLiteral("Ungültiger Suchbereich %1").arg(Scope));
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
        ThrowDirectoryError(ERR_NO_SUCH_CLASS, QStringLiteral("Unbekannte Objektklasse \"%1\"").arg(Layout));
    const QString Fault = NameFault(Name);
    if (!Fault.isEmpty())
        ThrowDirectoryError(ERR_ILLEGAL_DS_NAME,
                            QStringLiteral("Unzulässiger Objektname \"%1\": %2").arg(Name, Fault));
    if (!MayContain(Parent.Layout, Canonical))
        ThrowDirectoryError(ERR_ILLEGAL_CONTAINMENT,
                            QStringLiteral("Ein Objekt der Klasse \"%1\" darf nicht in %2 (%3) stehen")
                                .arg(Canonical, Parent.FullName, Parent.Layout));
    return Canonical;
}

std::vector<TChildEntry> TDirectoryBackend::ChildrenCounted(const TObjectRef& Container,
                                                            const QStringList& Layouts) {
    std::vector<TChildEntry> Rows = Children(Container, Layouts);
    for (TChildEntry& R : Rows)
        if (IsContainerLayout(R.Layout))
            R.Subordinates = CountChildren(
                {R.Key, Container.FullName + QLatin1Char('\\') + R.ShortName, R.ShortName, R.Layout},
                Layouts);
    return Rows;
}

std::optional<TPosixIdentity> TDirectoryBackend::PosixIdentity(const TObjectRef&) {
    return std::nullopt;
}

TPosixIdentity TDirectoryBackend::EnsurePosixIdentity(const TObjectRef& Object) {
    ThrowDirectoryError(
        ERR_INVALID_REQUEST,
        QStringLiteral("Dieses Verzeichnis vergibt keine POSIX-Kennungen: %1").arg(Object.FullName));
}

int TDirectoryBackend::EnsurePosixIdentities(const TObjectRef& Base) {
    QStringList Names;
    if (!Base.IsTreeRoot() && PosixKindOfLayout(Base.Layout))
        Names.append(Base.FullName);
    for (const char* Layout : {"Organization", "Organizational Unit", "User"})
        Names += Search(Base, QString(), QString::fromLatin1(Layout), 2);
    // Containers first, each before the ones below it, so that a user finds its primary group.
    std::stable_sort(Names.begin(), Names.end(),
                     [](const QString& A, const QString& B) { return A.count(u'\\') < B.count(u'\\'); });
    int Given = 0;
    TDirectoryTransaction T(*this);
    for (const QString& Name : Names) {
        const TObjectRef Object = Resolve(Name);
        if (!PosixIdentity(Object)) {
            EnsurePosixIdentity(Object);
            ++Given;
        }
    }
    T.Commit();
    return Given;
}

std::vector<TPosixHolder> TDirectoryBackend::PosixIdentities(const TObjectRef& Base) {
    QStringList Names;
    if (!Base.IsTreeRoot() && PosixKindOfLayout(Base.Layout))
        Names.append(Base.FullName);
    for (const char* Layout : {"Organization", "Organizational Unit", "User"})
        Names += Search(Base, QString(), QString::fromLatin1(Layout), 2);
    std::vector<TPosixHolder> Held;
    for (const QString& Name : Names)
        if (const std::optional<TPosixIdentity> Id = PosixIdentity(Resolve(Name)))
            Held.push_back({Name, Id->Kind, Id->Id});
    return Held;
}

void TDirectoryBackend::GivePosixIdentities(const std::vector<TPosixGrant>& Grants) {
    if (!Grants.empty())
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("Dieses Verzeichnis vergibt keine POSIX-Kennungen: %1")
                                .arg(Grants.front().Object.FullName));
}
