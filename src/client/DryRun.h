#pragma once

#include <RunJournal.h>

#include <memory>
#include <vector>

class TDirectoryClient;

// A client over a copy of another: it reads through to the other client's directory and volumes
// and keeps every write to itself, so that later steps of a run see the earlier ones, while nothing
// reaches the directory or the volumes. Every write it keeps is listed with what was there before,
// as a journaled run records it. While it lives it is the process-wide client, so that the client
// calls that find the client by themselves reach the copy too.
class TDryRun {
public:
    explicit TDryRun(TDirectoryClient& Real);
    ~TDryRun();
    TDryRun(const TDryRun&) = delete;
    TDryRun& operator=(const TDryRun&) = delete;

    TDirectoryClient& Client() const { return *FClient; }
    // The changes the run would make, in order, and what would fail (Record).
    const std::vector<TRunChange>& Changes();
    void Record(const TRunChange& Change);

private:
    std::unique_ptr<TDirectoryClient> FClient;
    std::vector<TRunChange> FChanges;
    TDirectoryClient* FInstalled;
};
