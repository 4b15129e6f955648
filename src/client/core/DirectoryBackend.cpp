#include "DirectoryBackend.h"

#include "EDirectoryError.h"

TObjectRef TDirectoryBackend::Resolve(const QString& FullName) {
    TObjectRef Ref;
    if (!TryResolve(FullName, Ref))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Objekt nicht gefunden: %1").arg(FullName));
    return Ref;
}
