#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class TNDK;
class TPrintCanvas;

// A login slip: what a student needs to log in at the seat the account is bound to.
struct TLoginZettel {
    QString Name;         // login name
    QString Arbeitsplatz; // the workstation the account is bound to, else its first address, else ""
    QString Raum;         // the workstation's container, "" when none is known
};

// The users directly in Container (full name), in the order the directory lists them, each with
// the workstation of Workstations (full names) that has an address of the user's restriction.
// Reads each workstation once and each user once.
std::vector<TLoginZettel> LoginZettelLesen(TNDK& Ndk, const QString& Container,
                                           const QStringList& Workstations);

// Slips per page: two columns of five.
constexpr int ZettelProSeite = 10;

// Prints the slips on Canvas (its document begun), ZettelProSeite to a page with cut marks at
// their corners: login name, workstation, room, date, and the password when one is given, else a
// line to write it on. The document is ended.
void LoginZettelDrucken(TPrintCanvas& Canvas, const std::vector<TLoginZettel>& Zettel, const QString& Datum,
                        const QString& Passwort);
