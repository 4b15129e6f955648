#pragma once

// What the LDIF reader and writer share: the records and lines of the text, and the line error.
// Not for use outside the LDIF code.

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

namespace Ldif {

struct TAttributeLine {
    int Line = 0;
    QString Attribute; // as written
    QByteArray Value;  // unfolded, base64 decoded
};

struct TRecord {
    int Line = 0;                // the line of "dn:"
    QList<TAttributeLine> Lines; // "dn:" first
};

// The records of a text (LdifRecords.cpp): continued lines joined, comments dropped, base64
// decoded, the version line checked and left out. Throws EDirectoryError("LDIF-Zeile N: ...") at
// the first line that is no attribute line ("name: value", "name:: base64", no options, no URL) or
// does not fit the record around it: a record starts with "dn:", names one, and is no change record.
std::vector<TRecord> ReadRecords(const QByteArray& Text);

// A value written as "attr:: base64" rather than "attr: text".
bool NeedsBase64(const QByteArray& Value);
// One attribute line, folded at 76 characters, with its line end.
QByteArray AttributeLine(const QByteArray& Attribute, const QByteArray& Value);
// "# Text" with its line end, not folded.
QByteArray CommentLine(const QByteArray& Text);

// Throws EDirectoryError("LDIF-Zeile N: Message").
[[noreturn]] void Fail(int Line, const QString& Message);
// The bytes as UTF-8 text; fails at Line when they are none.
QString Utf8(const QByteArray& Bytes, int Line);

} // namespace Ldif
