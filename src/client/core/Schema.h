#pragma once

#include "DirectoryBackend.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

// The directory's schema as LDIF and an LDAP server name it: layouts are object classes, fields
// are attributes, values are attribute values by the field's syntax.
//
// Classes. Layouts map to object classes through one table (Organization organization,
// Organizational Unit organizationalUnit, User inetOrgPerson, Group groupOfNames, NCP Server
// ncpServer, NDSCAT:Master Catalog nDSCatMasterCatalog, ...); any other layout by the rule name
// below ("Directory Map" directoryMap). Object class names compare without regard to case.
//
// Names. An Organization is named by o=, an Organizational Unit by ou=, every other object by cn=.
//
// Fields. "Full Name" fullName, "Surname" sn, "Given Name" givenName, "Home Directory"
// ndsHomeDirectory, "Home Directory Rights" homeDirectoryRights, "Login Script" loginScript,
// "Network Address Restriction" networkAddressRestriction, "WM:Network Address" wMNetworkAddress,
// "NDSCAT:Actual End Time" nDSCatActualEndTime; any other field by the rule name ("Description"
// description). An attribute outside the table names the field whose rule name matches it
// without regard to case.
//
// Values by syntax:
//   Path ("Home Directory"): volume DN "#" name space "#" directory path,
//       "cn=SRV1_DATA,o=dienste#0#home\schueler"; a value that names no volume is written as it
//       is stored.
//   Net Address: the address type, "#", then the address bytes as the directory holds them
//       (raw bytes, four for TCP/IP type 1: 10.1.5.23 is "1#" 0A 01 05 17).
//   Distinguished Name: the DN of the named object.
//   Time: generalized time in UTC, "20240131154500Z".
//   Integer: decimal. Boolean: TRUE or FALSE.
//   Any other: the text, UTF-8.
namespace Schema {

// Layouts with an object class of their own name.
struct TClassName {
    const char* Layout;
    const char* ObjectClass;
};
extern const TClassName ClassTable[10];

// Fields with a fixed attribute name, in the order an LDIF export writes them.
struct TFieldName {
    const char* Field;
    const char* Attribute;
};
extern const TFieldName FieldTable[9];

QString LayoutToObjectClass(const QString& Layout);
// The layout an object class names ("inetOrgPerson" User); "" when it names none.
QString ObjectClassToLayout(const QString& ObjectClass);
// Classes that name no layout and may accompany one ("top", "person", ...).
bool IsAbstractClass(const QString& ObjectClass);

QString FieldToAttribute(const QString& Field);
// Whether an attribute names the field by the field's rule name ("loginScript" for "Login
// Script"): never for a field of the table, whose attribute is the table's ("homeDirectory" is the
// POSIX home folder, not "Home Directory").
bool IsRuleAttributeOf(const QString& LowerAttribute, const QString& Field);
// The fields of a schema by lower-cased attribute name: the table's, then each other field's rule
// name.
QHash<QString, QString> FieldsByAttribute(const std::vector<NWFieldType>& Types);
// Attributes the directory maintains itself (creatorsName, modifiersName, GUID, revision,
// objectClass, ...): an export leaves them out, an import passes them over.
bool IsOperational(const QString& Attribute);

// "o" for an Organization, "ou" for an Organizational Unit, "cn" for any other layout.
QString NamingAttribute(const QString& Layout);
// Whether an attribute is o, ou or cn (any case): it stands for the object's name, not a field.
bool IsNamingAttribute(const QString& Attribute);

// A name without blanks and colons, its first letter lower-cased ("Description" description).
QString RuleName(const QString& Name);
// Whether Key, in lower case, is the rule name of Name, also in lower case.
bool IsRuleNameOf(const QString& Key, const QString& Name);

// The DN of an object named by full name ("" when it names none), and the full name of a DN
// (throws EDirectoryError for a malformed one).
using TDnOf = std::function<QString(const QString& FullName)>;
using TFullNameOf = std::function<QString(const QString& Dn)>;
// One value of a field, typed as reads give it, as an attribute value.
QByteArray EncodeValue(const QVariant& Value, const NWFieldType& Type, const TDnOf& DnOf);
// An attribute value as the typed value of the field; throws EDirectoryError (code
// ERR_SYNTAX_VIOLATION, message without a code) for a value that does not fit the syntax.
QVariant DecodeValue(const QByteArray& Bytes, const NWFieldType& Type, const TFullNameOf& FullNameOf);

} // namespace Schema
