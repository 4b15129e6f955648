#pragma once

#include <RunJournal.h>

#include <QString>
#include <memory>

class TSqlConnection;

// The run journal of a workstation: a database "journal.db" of its own in the folder of the
// workstation's store (beside the directory, so that the directory's database holds the directory
// alone and taking a run back leaves it as it was), made on the first run recorded; without it the
// journal is empty. Files created are readable by the owner only.
class TSqliteJournal final : public TRunJournal {
public:
    // The journal in Folder, or one in the memory of this process (gone with the object).
    enum class TStorage { File, Memory };
    explicit TSqliteJournal(const QString& Folder, TStorage Storage = TStorage::File);
    ~TSqliteJournal() override;
    TSqliteJournal(const TSqliteJournal&) = delete;
    TSqliteJournal& operator=(const TSqliteJournal&) = delete;

    QString File() const { return FFile; }

    qint64 Begin(const TJournalRun& Run) override;
    void Record(qint64 Run, const TRunChange& Change) override;
    void End(qint64 Run, const QDateTime& Ended, const QString& Result) override;
    void SetUndone(qint64 Run, qint64 UndoRun) override;
    std::vector<TJournalRun> Runs() override;
    std::optional<TJournalRun> Find(qint64 Run) override;
    std::vector<TRunChange> Changes(qint64 Run) override;
    std::vector<qint64> CreatedBy(const QStringList& FullNames) override;

private:
    // The open database; made first when Create, else null when there is none yet.
    TSqlConnection* Db(bool Create);
    std::vector<TJournalRun> Select(const QString& Where, const QVariantList& Args);

    QString FFile;
    bool FMemory = false;
    std::unique_ptr<TSqlConnection> FDb;
};
