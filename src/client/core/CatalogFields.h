#pragma once

#include <QString>

// The fields of a catalog that its refresh reads (scope, filter, list) and writes (the rest).
namespace CatalogFields {
inline const QString ScopeField = QStringLiteral("NDSCAT:Catalog Scope");
inline const QString FilterField = QStringLiteral("NDSCAT:Filter");
inline const QString ListField = QStringLiteral("NDSCAT:Attribute List");
inline const QString StartField = QStringLiteral("NDSCAT:Actual Start Time");
inline const QString EndField = QStringLiteral("NDSCAT:Actual End Time");
inline const QString ObjectsField = QStringLiteral("NDSCAT:Actual Object Count");
inline const QString ValuesField = QStringLiteral("NDSCAT:Actual Value Count");
inline const QString ResultField = QStringLiteral("NDSCAT:Actual Result");
} // namespace CatalogFields
