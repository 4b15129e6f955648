#include "DirectoryBackend.h"

#include "EDirectoryError.h"
#include "Layouts.h"

TObjectRef TDirectoryBackend::Resolve(const QString& FullName) {
    TObjectRef Ref;
    if (!TryResolve(FullName, Ref))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Objekt nicht gefunden: %1").arg(FullName));
    return Ref;
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
