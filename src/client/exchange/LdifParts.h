#pragma once

// What the LDIF reader and writer share: the records and lines of the text, and the line error.
// Not for use outside the LDIF code.

#include <DirectoryBackend.h>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>
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

// The POSIX ids of an import (LdifPosixIds.cpp): a user's "uidNumber", a container's "gidNumber".
struct TPosixIdLine {
    QString FullName;
    QString Layout;
    qint64 Id = -1;
    int Line = 0;
};
class TPosixIdLines {
public:
    static bool IsIdAttribute(const QString& Attribute);
    // The id of a record's lines of such an attribute: one number from 1 to 2^31-1, on a layout
    // that holds that kind of id, that no earlier record of the text has; fails at the line.
    qint64 Read(const QString& Layout, const QString& Attribute,
                const std::vector<const TAttributeLine*>& Lines);
    // Fails at the line of the first id that another object of the tree holds (Held), or that
    // would change the id its object holds.
    static void CheckAgainst(const std::vector<TPosixIdLine>& Ids, const std::vector<TPosixHolder>& Held);
    // Gives the ids; a refusal fails at the line of the id it names (Lines: each grant's).
    static void Give(TDirectoryBackend& Directory, const std::vector<TPosixGrant>& Grants,
                     const std::vector<int>& Lines);

private:
    QHash<QString, int> FLines; // kind and id -> the line of the text that has it
};

// What the directory holds of the tree an import plans for (LdifStored.cpp), by full name. A
// container the text names as the parent of many records has its subordinates read with one call;
// every other object is looked up alone, once.
class TStoredObjects {
public:
    explicit TStoredObjects(TDirectoryBackend& Directory) : FDirectory(Directory) {}
    // Whether the directory holds the tree; until it is said, nothing is held.
    void SetTreeExists(bool Exists) { FTreeExists = Exists; }
    // The text names FullName as the parent of one more record.
    void NoteParent(const QString& FullName);
    // What the directory holds under that name; false for nothing.
    bool Find(const QString& FullName, TObjectRef& Ref);

private:
    TDirectoryBackend& FDirectory;
    bool FTreeExists = false;
    QHash<QString, int> FParents;                     // lower-case full name -> records naming it parent
    QHash<QString, std::optional<TObjectRef>> FFound; // lower-case full name -> held or not
    QSet<QString> FListed; // containers (lower case) whose subordinates FFound holds
};

// Throws EDirectoryError("LDIF-Zeile N: Message").
[[noreturn]] void Fail(int Line, const QString& Message);
// The bytes as UTF-8 text; fails at Line when they are none.
QString Utf8(const QByteArray& Bytes, int Line);

} // namespace Ldif
