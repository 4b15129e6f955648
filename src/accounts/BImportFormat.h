#pragma once

// The BImport data file, written by the tab "Datei für Bimport" and read by the console's import:
// one account a line, five fields each in double quotes, separated by commas, every line ending in
// CR LF, one byte a character in Windows-1252 without a byte order mark. A field never holds a
// double quote: nothing in the format escapes one.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace BImport {

inline constexpr const char* CodePage = "windows-1252";
inline constexpr int FieldCount = 5;
inline constexpr const char* LineEnd = "\r\n";

// One line of the file without its line end: the fields, each in double quotes, joined by commas.
QString Line(const QStringList& Fields);

// One account of a file as it was read.
struct TAccount {
    int Line = 0;      // from 1
    QString Name;      // field 1: the account's name
    QString Course;    // field 2: the room or course
    QString Surname;   // field 3
    QString GivenName; // field 4: "Given Name"
    QString FullName;  // field 5: "Full Name"
};

// A fault of one line; the text is German and names what is wrong, not the line.
struct TFault {
    int Line = 0;
    QString Text;
};

// What a file holds: every account it names, and every fault of it. A file with a fault is to be
// refused whole; the accounts of its good lines are there to be reported all the same.
struct TContent {
    std::vector<TAccount> Accounts;
    std::vector<TFault> Faults;
};

// Reads a file: the code page, the line ends, the five quoted fields of each line, a name (field
// 1) and a course (field 2) the directory takes as object names, a surname, and no control
// characters. An empty file holds no account. Whether a name comes twice into one container is
// for the caller to tell, who knows the containers.
TContent Read(const QByteArray& File);

// "Zeile N: text" for each fault, in the order of the lines.
QStringList FaultLines(const std::vector<TFault>& Faults);

} // namespace BImport
