#pragma once

#include <QString>
#include <memory>

class TSqliteStore;

// One exam-account run in seconds: the whole run, the part of it spent hashing passwords (the
// directory's work), and the trustee waits the run made on the clock (counted, not slept). The
// program's own time is the whole less the hashing.
struct TPrueflingeZeit {
    double Gesamt = 0;
    double Hashen = 0;
    double Warten = 0;
    double Programm() const { return Gesamt - Hashen; }
};

struct TPrueflingeBench {
    int Konten = 0;
    TPrueflingeZeit Neu;     // every account created (the fastest of the rounds)
    TPrueflingeZeit Zweiter; // the same accounts again, all existing
};

// Gives the directory a volume object, a room of Konten workstations and an exam template, then
// times the exam-account run through its run unit: Konten new accounts in a course below Schueler
// bound to the room's workstations with a replacement address and a password, and the second run
// over the same accounts. Each of Rounds rounds uses a course of its own. Dies when the accounts
// do not come out as the run makes them.
TPrueflingeBench BenchPrueflinge(const std::shared_ptr<TSqliteStore>& Store, const QString& Schueler,
                                 int Konten, int Rounds);
