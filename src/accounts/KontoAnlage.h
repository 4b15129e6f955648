#pragma once

#include <QString>

class TNDK;

// How a new account is made from a template, as the exam-account run and the BImport import make
// it: the user with its surname and the template's fields, its given name and full name, a home
// folder of its own below the template's home directory, with the template's home directory rights
// for the account.
struct TNeuesKonto {
    QString Container; // full name of the container that receives the account
    QString Name;
    QString Nachname;
    QString Vorname;    // "Given Name"
    QString VollerName; // "Full Name"
    QString Template;   // full name
    QString Kurs;       // the container's short name
    QString Ordner;     // the folder level named after the course, when the template's home has none
};

namespace KontoAnlage {

// The rights mask a template gives new users on their home folder; it must be a whole number.
quint32 HomeRechte(TNDK& Ndk, const QString& Template);

// The last level of a path or path field text: what follows its last "\" or ",".
QString LetzteEbene(QString Pfad);

// The home folder of a new account from the one its template gave it: kept when its last level
// is the account's name, the account's name appended when it is the container's (Kurs), else
// the container's name (Ordner) and the account's name appended. Levels compare without regard
// to case.
QString HomeVerzeichnis(const QString& Home, const QString& Name, const QString& Kurs, const QString& Ordner);

// Creates the account with its name fields and its home folder, and gives it Rechte (see
// HomeRechte) on that folder. Answers the account's full name.
QString Anlegen(TNDK& Ndk, const TNeuesKonto& Konto, quint32 Rechte);

// Sets the flags of the account's home folder: Flags, or "-DI -RI" when that is empty.
void HomeFlagsSetzen(TNDK& Ndk, const QString& Benutzer, const QString& Flags);

} // namespace KontoAnlage
