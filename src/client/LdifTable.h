#pragma once

// What LDIF reading and writing share: the layout and field tables, naming rules and the line
// error. Not for use outside the LDIF code.

#include <QString>
#include <QStringList>

namespace Ldif {

// Layouts with an object class of their own name; any other layout is written by the field rule
// ("Directory Map" directoryMap) and read back by matching that rule against the layouts the
// directory knows.
struct TClassName {
    const char* Layout;
    const char* ObjectClass;
};
extern const TClassName ClassTable[10];

// Fields with a fixed attribute name, in the order an export writes them.
struct TFieldName {
    const char* Field;
    const char* Attribute;
};
extern const TFieldName FieldTable[9];

// Classes that name no layout and may accompany one ("objectClass: top").
bool IsAbstractClass(const QString& ObjectClass);
// Attributes the directory maintains itself: never written, passed over on import.
bool IsOperational(const QString& Attribute);
// "o" for an Organization, "ou" for an Organizational Unit, "cn" for any other layout.
QString NamingAttribute(const QString& Layout);
// The naming attributes stand for the object's name; a field that maps to one ("CN") is not
// written separately.
bool IsNamingAttribute(const QString& Attribute);
// A name without blanks and colons, its first letter lower-cased ("Description" description).
QString RuleName(const QString& Name);
// Whether Key, in lower case, is the rule name of Name, also in lower case.
bool IsRuleNameOf(const QString& Key, const QString& Name);
// The levels of a full name below the tree: NDS:\\T\O\OU\CN gives O, OU, CN.
QStringList Levels(const QString& FullName);
// Whether the full name names an object below the root of tree TreeName.
bool InTree(const QString& FullName, const QString& TreeName);
// Throws EDirectoryError("LDIF-Zeile N: Message").
[[noreturn]] void Fail(int Line, const QString& Message);
// Fails unless the directory part of a path value stays inside its volume: no level may be "."
// or "..", also not once blanks are dropped (as the conversion to a file-system path drops them)
// or with "/" for "\".
void CheckInsideVolume(const QString& Directory, int Line);

// The separator "#" after the DN of a "DN#space#path" value: the first "#" outside an escape; -1
// when there is none.
int DnValueEnd(const QString& Text);

} // namespace Ldif
