#pragma once

#include <QDateTime>
#include <QString>

// The syntaxes of the directory's fields and how their values are held and handed out.
enum class TSyntaxKind { Text, Stream, Path, DistinguishedName, Integer, Boolean, Time, NetAddress, Octets };

// The kind of a syntax name ("Case Ignore String", "Counter", "Net Address", ...); Text for an
// unknown name.
TSyntaxKind KindOfSyntax(const QString& Syntax);
bool IsKnownSyntax(const QString& Syntax);
// Values of these kinds are texts (a multi-valued read gives a list of texts).
bool IsTextKind(TSyntaxKind Kind);

// Generalized time in UTC: "20240131154500Z", or without seconds "202401311545Z". Invalid for any
// other text.
QDateTime ParseGeneralizedTime(const QString& Text);
QString FormatGeneralizedTime(const QDateTime& Time);

// Fields the directory maintains itself ("creatorsName", "modifiersName", "GUID", "Revision",
// "Used By", "Object Class"); any case.
bool IsOperationalField(const QString& Field);
