#pragma once

#include <QString>

// Full names: "NDS:\\TREE\O\OU\CN"; the text before the third "\" names the tree root.

// "NDS:\\" followed by the tree name.
QString TreeFullName(const QString& TreeName);

// Splits a full name into the tree name and the levels below it ("A\B", "" for the tree root).
// False when the text is no full name (missing prefix, empty tree or level).
bool SplitFullName(const QString& FullName, QString& Tree, QString& Levels);

// The full name of a dotted name in the tree TreeName: "5a.schueler.unterricht" and
// ".CN=5a.OU=schueler.O=unterricht" give NDS:\\TREE\unterricht\schueler\5a. False for a text that
// is no dotted name.
bool DottedToFullName(const QString& TreeName, const QString& Dotted, QString& FullName);

// The longest object name the directory takes.
constexpr int MaxNameLength = 64;

// Object names: non-empty, at most MaxNameLength characters, no ".", "\", ",", control characters, and no
// leading or trailing blank. Returns the reason, "" when the name is good.
QString NameFault(const QString& Name);

// Whether a short name matches a search pattern: "*" any run of characters, the rest compared
// without regard to case; "" and "*" match every name.
bool NameMatches(const QString& Pattern, const QString& Name);

// Orders names as people read them, whatever the workstation's locale: German, without regard to
// letter case, numbers by their value ("5a" before "10a"). Negative, 0 or positive as A comes
// before, with or after B.
int CompareAsRead(const QString& A, const QString& B);
