#include "LdifParts.h"

namespace Ldif {

namespace {
// From this many records below one container on, its subordinates are read at once.
constexpr int ListFrom = 8;

QString ParentOf(const QString& FullName) {
    const qsizetype At = FullName.lastIndexOf(QLatin1Char('\\'));
    return At <= 5 ? QString() : FullName.left(At); // "NDS:\\TREE" has no parent
}
} // namespace

void TStoredObjects::NoteParent(const QString& FullName) {
    ++FParents[FullName.toLower()];
}

bool TStoredObjects::Find(const QString& FullName, TObjectRef& Ref) {
    if (!FTreeExists)
        return false;
    const QString Key = FullName.toLower();
    if (const auto It = FFound.constFind(Key); It != FFound.constEnd()) {
        if (*It)
            Ref = **It;
        return It->has_value();
    }
    const QString Parent = ParentOf(FullName);
    const QString ParentKey = Parent.toLower();
    if (!Parent.isEmpty() && FParents.value(ParentKey) >= ListFrom && !FListed.contains(ParentKey)) {
        TObjectRef Container;
        if (Find(Parent, Container))
            for (const TChildEntry& C : FDirectory.Children(Container, {})) {
                const QString Child = Container.FullName + QLatin1Char('\\') + C.ShortName;
                FFound.insert(Child.toLower(), TObjectRef{C.Key, Child, C.ShortName, C.Layout});
            }
        FListed.insert(ParentKey);
    }
    std::optional<TObjectRef> Held;
    if (FListed.contains(ParentKey)) {
        Held = FFound.value(Key);
    } else {
        TObjectRef Looked;
        if (FDirectory.TryResolve(FullName, Looked))
            Held = Looked;
    }
    FFound.insert(Key, Held);
    if (Held)
        Ref = *Held;
    return Held.has_value();
}

} // namespace Ldif
