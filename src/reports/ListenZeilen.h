#pragma once

// The rows of the lists, read from the directory in one place for the screen, the printouts and the
// spreadsheet files, so that they show the same.

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

class TNDK;

namespace KlassenListe {

// The column headings of the class overview.
QStringList Spalten();
// The classes below the student base container, in the order they are listed (as people read
// them); the directory's filter is empty afterwards.
QStringList Namen(TNDK& Ndk, const QString& Schueler);
// The number of classes as the directory counts them (the "Anzahl" of the overview).
int Anzahl(TNDK& Ndk, const QString& Schueler);
// Column "Tausch" ("ja" or "-") and column "Rechte" (the class's rights on its exchange folder,
// "" without one) of a class.
void Tausch(TNDK& Ndk, const QString& Schueler, const QString& TauschBase, const QString& Klasse,
            QString& Tausch, QString& Rechte);
// Column "Schülerzahl": the users directly in the class, "-" for none. The directory's filter
// must be "User".
QString Schuelerzahl(TNDK& Ndk, const QString& Schueler, const QString& Klasse);
// Every row, headings first, as the tab shows them.
QList<QStringList> Zeilen(TNDK& Ndk, const QString& Schueler, const QString& TauschBase);

} // namespace KlassenListe

namespace SchuelerListe {

// One user of a class.
struct TZeile {
    QString Name;        // "Full Name", or "Surname" when that is empty
    QString Anmeldename; // the entry's short name
    QString Benutzer;    // full name
};

// The column headings of the student list.
QStringList Spalten();
// The users of a class under the filter in force, in the order the list shows them (by their
// line text, as people read it).
std::vector<TZeile> Lesen(TNDK& Ndk, const QString& Klasse);
// The line of a user in the list: its name filled to 28 characters, its login name to 10.
QString Text(const TZeile& Zeile);
// The rows of a list, headings first.
QList<QStringList> Tabelle(const std::vector<TZeile>& Liste);

} // namespace SchuelerListe
