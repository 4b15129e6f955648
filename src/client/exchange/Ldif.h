#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class TDirectoryBackend;
class TVolumeStore;

// LDIF (RFC 2849) export and import of one directory tree. libldap reads and writes the lines
// (folding, base64, comments, records); what a record means for the directory is ours.
//
// Names. The tree itself is not part of a DN: NDS:\\SCHULE\unterricht\schueler\5a is
// "ou=5a,ou=schueler,o=unterricht" (Dn.h, with its escapes). Each record also carries its naming
// attribute (o:, ou:, cn:).
//
// Classes, fields and values are named and written as the schema says (Schema.h). On import, a
// record must name one layout among its object classes; classes that name no layout ("top",
// "person", ...) are passed over. A Volume carries hostServer, the DN of the server that holds it:
// its "Host Server" field, or else the server the volume store names for it. Importing a volume
// with a hostServer that the volume store does not know yet enters it there (root folder: the
// store's default). Operational fields (creatorsName, modifiersName, GUID, revision, objectClass)
// are not written and are passed over on import.
//
// POSIX ids. A user that holds one carries "uidNumber", an Organization or Organizational Unit
// "gidNumber", after its other attributes; the import gives the object that id (a user's primary
// group stays its container's), so that the ACL entries that name the ids stay right. It refuses a
// value that is no number from 1 to 2^31-1, the attribute on another layout, an id that another
// object holds or another record of the text has, and an id for an object that holds another one.
//
// Lines. A value that holds a byte outside printable ASCII (an umlaut, a control character),
// starts with a blank, ":" or "<", or ends with a blank is written base64 ("attr:: ..."); network
// addresses therefore mostly come out base64. Lines longer than 76 characters are folded; "#"
// lines are comments. The file starts with "version: 1". On import, values from URLs (":<"),
// "include:" lines, change records and attribute options are refused.
//
// Export is deterministic: objects parents first, each container's subordinates in creation
// order; fields in the schema table's order, then the rest by attribute name; values in stored
// order. Two exports of the same store are byte-identical.
//
// Import reads the whole text first and stops at the first fault with an EDirectoryError whose
// message starts with "LDIF-Zeile N: ". Then it applies everything in one transaction of the
// directory, so a failing import changes nothing. Parents must come before their children (or
// exist already). An object that exists already keeps its place; each field the record names gets
// the record's values, other fields stay. The tree is created when the directory does not hold it.
namespace Ldif {

struct TImportResult {
    int Created = 0;
    int Updated = 0;
    QStringList Servers; // full names of the text's NCP servers, in the order of the text
};

// Volumes: where the volume objects' servers are found (export) and new volumes are entered (import).
QByteArray ExportTree(TDirectoryBackend& Directory, TVolumeStore& Volumes, const QString& TreeName);
TImportResult ImportTree(TDirectoryBackend& Directory, TVolumeStore& Volumes, const QString& TreeName,
                         const QByteArray& Text);

} // namespace Ldif
