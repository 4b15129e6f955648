#pragma once

#include <LaufBericht.h>
#include <VolumeFiles.h>

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QWidget;
class TNDK;

// The series of exam accounts an exam ends for, as the exam tab describes it.
struct TPruefungEndeStart {
    QString Container; // full name of the accounts' container
    QString Maske;     // naming pattern with "%2.2d" where the number goes
    int Von = 1;       // number of the first account
    int Zahl = 0;      // number of accounts
    QString Archiv;    // the zip file the accounts' files go into
};

// One account of the series as it stands before the exam ends.
struct TPruefungEndeKonto {
    QString Name;     // login name
    QString Benutzer; // full name
    bool Vorhanden = false;
    QString Home;  // network path of its home folder, "" when it has none
    QString Lokal; // the local folder of Home, which the entries of Dateien lie in
    QString Fehlt; // why its files cannot be collected ("" when they can)
    std::vector<VolumeFiles::TEntry> Dateien;
    QString Restriktion; // its addresses, " / " between them
};

// What ending the exam does, read before anything is changed.
struct TPruefungEndePlan {
    std::vector<TPruefungEndeKonto> Konten;
    // What goes into the archive, one line each, as the administrator confirms it.
    QStringList Zeilen(const QString& Archiv) const;
};

// What ending the exam did.
struct TPruefungEndeErgebnis {
    int Dateien = 0;         // files in the archive
    qint64 Bytes = 0;        // their size
    QStringList Gesperrt;    // accounts with a new password and no restriction
    QStringList Fehler;      // "name: reason" of accounts left as they were
    QStringList Ausgelassen; // "name/path: reason" of what was not collected
};

// Ends an exam for a series of accounts: copies each account's home folder into one zip archive
// (a folder per account and the list "Inhalt.txt" of accounts and files), and only once the
// archive is complete gives each account a new random password that nobody is shown and then
// clears its network address restriction, so that the accounts can no longer log in and the
// workstations are free. An account whose password cannot be set keeps its restriction.
// Accounts of the series that do not exist are skipped. Links in a home folder are never
// followed, and nothing outside a volume is read.
class TPruefungEnde {
public:
    // Called with the step done so far of Schritte (archive first, then one per account) and what
    // is being done; false ends the run (during the archive: before any account is changed).
    using TFortschritt = std::function<bool(int Schritt, int Schritte, const QString& Aktion)>;

    TPruefungEnde(TNDK& Ndk, TFortschritt Fortschritt);

    // Reads what ending the exam would do; changes nothing.
    TPruefungEndePlan Planen(const TPruefungEndeStart& Start);
    // Ends the exam, reading the accounts afresh. Throws EArchivFehler when the archive cannot be
    // written (no account is changed then) and EDirectoryError when the series cannot be read.
    TPruefungEndeErgebnis Ausfuehren(const TPruefungEndeStart& Start);

    // A password of 32 random letters and digits from the system's random source.
    static QString ZufallsPasswort();

    // Makes Ausfuehren a dry run over an access object whose client keeps its writes to itself:
    // the archive is not written but counted from the listing, and the changes the run records
    // itself (the archive, what is left out or fails) go to Record instead of the journal.
    void Probe(std::function<void(const TRunChange&)> Record) { FProbe = std::move(Record); }

private:
    void Archivieren(const TPruefungEndeStart& Start, const TPruefungEndePlan& Plan,
                     TPruefungEndeErgebnis& Ergebnis);

    TNDK& FNdk;
    TFortschritt FFortschritt;
    std::function<void(const TRunChange&)> FProbe;
};

// Ending the exam as a dry run: the same run over a copy of the access object's directory and
// volumes that keeps every write to itself; the archive is not written. Its changes are what the
// journal of the real run holds.
TLaufBericht PruefungEndeProbelauf(TNDK& Ndk, const TPruefungEndeStart& Start, QWidget* Owner);
