#pragma once

#include <RunJournal.h>

#include <QString>
#include <vector>

class TDirectoryClient;

// One run written to the client's journal. It opens with what runs, what it is about, the tree it
// changes and its inputs; when, who and the server are filled in. While it is open, every write
// made through the client (objects, fields, passwords, folders, flags, trustee rights) is recorded
// with what was there before; Record adds what the client cannot see (a file written elsewhere, a
// step that failed). End closes it with how it ended; a run left without End (an error) is closed
// as "abgebrochen". Without a journal on the client nothing is recorded. One run at a time.
class TJournaledRun {
public:
    TJournaledRun(TDirectoryClient& Client, const QString& Kind, const QString& Title, const QString& Tree,
                  std::vector<TRunInput> Inputs, qint64 Undoes = 0);
    ~TJournaledRun();
    TJournaledRun(const TJournaledRun&) = delete;
    TJournaledRun& operator=(const TJournaledRun&) = delete;

    // The run's number in the journal; 0 without a journal.
    qint64 Id() const { return FId; }
    void Record(const TRunChange& Change);
    void End(const QString& Result);

private:
    TDirectoryClient& FClient;
    qint64 FId = 0;
};
