#pragma once

#include <QString>
#include <stdexcept>

// A BImport file that cannot be written as asked: a character the file cannot hold, or a failed
// write. The text is German and names the cause.
class EBImportError : public std::runtime_error {
public:
    explicit EBImportError(const QString& Message) : std::runtime_error(Message.toStdString()) {}
};

// The inputs of one BImport file, taken when the run starts.
struct TBImportEingaben {
    QString Maske;   // the effective naming mask: a format text, "%2.2d" where the number goes
    QString Kurs;    // the room or course
    QString Vorname; // the given-name value of every account
    int Zahl = 0;    // the number of accounts; 0 or below gives an empty file
};

// The account line of number Nummer, without its line end: five fields, each in double quotes,
// separated by commas: name, course, name, given name, given name and name. Raises EFormatError
// for a mask with a directive the formatter refuses.
QString BImportZeile(const TBImportEingaben& Eingaben, int Nummer);

// Writes the file Datei with one line per account, each ending in CR LF, in the Windows-1252 code
// page without a byte order mark, replacing a file of that name. The file is replaced whole or not
// at all: whatever fails, a file that was there before stays as it was.
// False when the file cannot be created (nothing is written). Raises EBImportError, before anything
// is written, for a mask without a number, for a character outside the code page or a double quote
// in the inputs (it would break the quoted fields), and for a failed write; EFormatError for a
// mask the formatter refuses.
bool BImportSchreiben(const QString& Datei, const TBImportEingaben& Eingaben);
