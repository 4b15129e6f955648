#pragma once

#include "DirectoryBackend.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <utility>
#include <vector>

// The field types every directory of this kind publishes, in a fixed order.
const std::vector<NWFieldType>& StandardFieldTypes();

// The values of a field write in the typed form reads hand out: QString for the text syntaxes
// (a Path or Distinguished Name as written, for the backend to resolve), qint64, bool, QDateTime,
// NWNetAddress or QByteArray. A list gives its items, an invalid value or empty list none. Throws
// EDirectoryError on a value that does not fit the syntax or limit, or on several values for a
// single-valued field.
std::vector<QVariant> NormalizeFieldValues(const NWFieldType& Type, const QVariant& Value);

// Throws ERR_SYNTAX_VIOLATION when the text is longer than the field allows.
void CheckFieldLength(const NWFieldType& Type, const QString& Text);

// The writes of one commit, one per field: the last write of a field counts, fields keep the
// order of their first write. TypeOf finds a field type (nullptr: unknown, which throws).
std::vector<std::pair<const NWFieldType*, QVariant>>
MergeFieldWrites(const std::vector<TFieldWrite>& Fields,
                 const std::function<const NWFieldType*(const QString&)>& TypeOf);
