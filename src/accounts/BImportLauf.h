#pragma once

#include "BImportFormat.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

class TDirectoryBackend;
class TNDK;

// What an import of a BImport file takes besides the file. Directory objects are full names.
struct TBImportStart {
    QString Container; // the container of every account; "" : each line's course below Schueler
    QString Schueler;  // the student base container, which holds the courses
    QString Template;  // the template of the new accounts
    QString HomeFlags; // the flags of the new home folders; "" gives "-DI -RI"
};

// An import as the check of its file found it: each account with its container, and the faults.
struct TBImportPlan {
    struct TKonto {
        BImport::TAccount Zeile;
        QString Container; // full name
        QString Kurs;      // the container's short name
        bool Vorhanden = false;
        QString Benutzer() const { return Container + u'\\' + Zeile.Name; }
    };
    std::vector<TKonto> Konten;
    std::vector<BImport::TFault> Fehler; // in the order of the lines
    int Neu() const;                     // the accounts the import would create
};

// Imports a BImport file: each line one account, created from the template as the exam-account
// run creates its accounts (name fields, home folder of its own, the template's home directory
// rights on it, the folder's flags). An account that exists already is left as it is. The whole
// file is checked before anything is written, and the accounts are created in one group of writes
// that the directory takes whole or not at all.
class TBImportLauf {
public:
    // Directory is the backend below Ndk's controls: the writes go into one transaction of it.
    TBImportLauf(TNDK& Ndk, TDirectoryBackend& Directory) : FNdk(Ndk), FDirectory(Directory) {}

    // Reads and checks the file against the directory and writes nothing: the form of every line,
    // each line's container, a name only once in its container, which accounts exist. Raises
    // EDirectoryError for a container or template that cannot be used at all.
    TBImportPlan Pruefen(const QByteArray& Datei, const TBImportStart& Start);

    // Creates the new accounts of a plan without faults; Erstellt hears of each account made.
    // Answers how many were created. A failure raises EDirectoryError naming the line and the
    // account, and nothing of the import stays.
    int Ausfuehren(const TBImportPlan& Plan, const TBImportStart& Start,
                   const std::function<void(const TBImportPlan::TKonto&)>& Erstellt = {});

private:
    TNDK& FNdk;
    TDirectoryBackend& FDirectory;
};
