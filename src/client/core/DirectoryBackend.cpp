#include "DirectoryBackend.h"

#include "EDirectoryError.h"

TObjectRef TDirectoryBackend::Resolve(const QString& FullName) {
    TObjectRef Ref;
    if (!TryResolve(FullName, Ref))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("No such object: %1").arg(FullName));
    return Ref;
}
