#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TNDK;
class TPrintDialog;
struct TDruckTitel;

// The restriction of a user as the account list prints it: its TCP/IP addresses with " / " between
// them (and after the last when a value of another type follows it); "" for none.
QString RestriktionsText(TNDK& Ndk, const QString& Benutzer);

// Prints the users directly in Container (full name) as the ruled form with their restrictions in
// the fourth column, on the printer chosen in PrintDialog1. Sets the captions' first heading to
// "Benutzer in " and the container's name and the fourth column's heading to
// "Network Address Restriction" once the users are listed; they stay for the next printout. The
// directory's filter is "User" while the list is read and empty afterwards, also after a failure.
void KontenlisteDrucken(TNDK& Ndk, const QString& Container, TDruckTitel& Titel, TPrintDialog& PrintDialog1);

// The rows of the account list of Container, headings first: each user's name, login name and
// restriction text, in the order the printout lists them.
QList<QStringList> KontenZeilen(TNDK& Ndk, const QString& Container);
