#pragma once

#include <DirectoryBackend.h>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class TDirectoryClient;

// LDIF (RFC 2849) export and import of one directory tree.
//
// Names. The tree itself is not part of a DN: NDS:\\SCHULE\unterricht\schueler\5a is
// "ou=5a,ou=schueler,o=unterricht". An Organization is named by o=, an Organizational Unit by ou=,
// every other object by cn=. Attribute values inside a DN are escaped as RFC 4514 says (and
// unescaped on import). Each record also carries its naming attribute (o:, ou:, cn:).
//
// Classes. Layouts map to object classes through one table (Organization organization,
// Organizational Unit organizationalUnit, User inetOrgPerson, Group groupOfNames, NCP Server
// ncpServer, NDSCAT:Master Catalog nDSCatMasterCatalog, ...); a layout outside the table is written
// with the field rule below. On import object class names compare without regard to case; classes
// that name no layout ("top", "person", ...) are passed over, but a record must name one layout.
// A Volume carries hostServer, the DN of the server that holds it: its "Host Server" field, or else
// the server the client's volume map names for it. Importing a volume with a hostServer that the
// volume map does not know yet enters it there (root folder: the store's default).
//
// Fields. "Full Name" fullName, "Surname" sn, "Given Name" givenName, "Home Directory"
// ndsHomeDirectory, "Home Directory Rights" homeDirectoryRights, "Login Script" loginScript,
// "Network Address Restriction" networkAddressRestriction, "WM:Network Address" wMNetworkAddress,
// "NDSCAT:Actual End Time" nDSCatActualEndTime; any other field drops its blanks and colons and
// lower-cases its first letter ("Description" description). On import an attribute outside the
// table names the schema field whose rule name matches it without regard to case. Operational
// fields (creatorsName, modifiersName, GUID, revision, objectClass) are not written and are
// passed over on import.
//
// Values by syntax:
//   Path ("Home Directory"): volume DN "#" name space "#" directory path,
//       "cn=SRV1_DATA,o=dienste#0#home\schueler"; a value that names no volume of the tree is
//       written as it is stored.
//   Net Address: the address type, "#", then the address bytes as the directory holds them
//       (raw bytes, four for TCP/IP type 1: 10.1.5.23 is "1#" 0A 01 05 17). Such values are
//       binary and therefore come out base64 ("::") unless every byte happens to be printable.
//   Distinguished Name: the DN of the named object.
//   Time: generalized time in UTC, "20240131154500Z".
//   Integer: decimal.
//   Any other: the text, UTF-8.
// A value that holds a byte above 0x7F or a control character, starts with a blank, ":" or "<",
// or ends with a blank is written base64 ("attr:: ..."). Lines longer than 76 characters are
// folded; "#" lines are comments. The file starts with "version: 1".
//
// Export is deterministic: objects parents first, each container's subordinates in creation
// order; fields in the table's order, then the rest by attribute name; values in stored order.
// Two exports of the same store are byte-identical.
//
// Import reads the whole text first and stops at the first fault with an EDirectoryError whose
// message starts with "LDIF-Zeile N: ". Then it applies everything in one transaction of the
// directory, so a failing import changes nothing. Parents must come before their children (or exist already).
// An object that exists already keeps its place; each field the record names gets the record's
// values, other fields stay. The tree is created when the store does not hold it.
namespace Ldif {

struct TImportResult {
    int Created = 0;
    int Updated = 0;
    QStringList Servers; // full names of the text's NCP servers, in the order of the text
};

QByteArray ExportTree(TDirectoryClient& Client, const QString& TreeName);
TImportResult ImportTree(TDirectoryClient& Client, const QString& TreeName, const QByteArray& Text);

// The pieces, also used by the console.
QString EscapeDnValue(const QString& Value);
// Throws EDirectoryError for a malformed escape.
QString UnescapeDnValue(const QString& Text);
// The full name's levels below the tree as a DN; Leaf tells whether the last level is named by cn=.
QString FullNameToDn(const QString& FullName, bool Leaf);
QString FieldToAttribute(const QString& Field);
QString LayoutToObjectClass(const QString& Layout);
// A value written as "attr:: base64" rather than "attr: text".
bool NeedsBase64(const QByteArray& Value);
// One attribute line, folded at 76 characters, with its line ends.
QByteArray AttributeLine(const QByteArray& Attribute, const QByteArray& Value);

// Values and names as LDIF and an LDAP server hold them; the directory backend over LDAP uses the
// same rules, with DNs below its base instead of below the tree.
//
// The DN of an object named by full name ("" when it names none), and the full name of a DN
// (throws EDirectoryError for a malformed one).
using TDnOf = std::function<QString(const QString& FullName)>;
using TFullNameOf = std::function<QString(const QString& Dn)>;
// One value of a field, typed as reads give it, as an attribute value (see "Values by syntax").
QByteArray EncodeValue(const QVariant& Value, const NWFieldType& Type, const TDnOf& DnOf);
// An attribute value as the typed value of the field; throws EDirectoryError (code
// ERR_SYNTAX_VIOLATION, message without a code) for a value that does not fit the syntax.
QVariant DecodeValue(const QByteArray& Bytes, const NWFieldType& Type, const TFullNameOf& FullNameOf);
// The layout an object class names ("inetOrgPerson" User); "" when it names none.
QString ObjectClassToLayout(const QString& ObjectClass);
// The fields of a schema by lower-cased attribute name: the table's, then each field's rule name.
QHash<QString, QString> FieldsByAttribute(const std::vector<NWFieldType>& Types);

} // namespace Ldif
