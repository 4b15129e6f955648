#pragma once

#include <QString>
#include <memory>

class TSqliteStore;

// One import of a BImport file in seconds: the check of the whole file and the accounts' creation,
// and the trustee waits it made on the clock (counted, not slept).
struct TBImportBench {
    int Zeilen = 0;
    double Neu = 0;     // every account created (the fastest of the rounds)
    double Zweiter = 0; // the same file again, every account existing
    double Warten = 0;
};

// Imports a file of Zeilen accounts, as the tab writes it, into a course of its own below
// Schueler, once per round, and the same file again. Needs the volume and the exam template that
// BenchPrueflinge sets up. Dies when the accounts do not come out as the import makes them.
TBImportBench BenchBImport(const std::shared_ptr<TSqliteStore>& Store, const QString& Schueler, int Zeilen,
                           int Rounds);
