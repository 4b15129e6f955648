#include "EDirectoryError.h"

void ThrowDirectoryError(int Code, const QString& Message) {
    throw EDirectoryError(QStringLiteral("%1 (%2)").arg(Message).arg(Code), Code);
}
