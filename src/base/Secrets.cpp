#include "Secrets.h"

#include <string.h>
#include <sys/prctl.h>
#include <sys/resource.h>

void ForbidCoreDumps() {
    const rlimit None{0, 0};
    setrlimit(RLIMIT_CORE, &None);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

void WipeSecret(QString& Text) {
    // Shared characters belong to another copy as well; only a copy of its own is overwritten.
    if (Text.isDetached() && !Text.isEmpty())
        explicit_bzero(Text.data(), size_t(Text.size()) * sizeof(QChar));
    Text = QString();
}

void WipeSecret(QByteArray& Bytes) {
    if (Bytes.isDetached() && !Bytes.isEmpty())
        explicit_bzero(Bytes.data(), size_t(Bytes.size()));
    Bytes = QByteArray();
}

QString TakeSharedSecret(const QString& Shared) {
    QString Own(Shared.constData(), Shared.size());
    // Characters of a literal are not the widget's and cannot be written.
    if (!Shared.isEmpty() && Shared.data_ptr().isMutable())
        explicit_bzero(const_cast<QChar*>(Shared.constData()), size_t(Shared.size()) * sizeof(QChar));
    return Own;
}
