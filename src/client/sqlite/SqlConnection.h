#pragma once

// The store's database connection: prepared statements, query scopes and nested transactions.
// Not for use outside the SQLite store.

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

// One statement text with a number of its own, so that a connection finds its prepared form
// without comparing texts. Declare it static where it is used.
class TStatement {
public:
    explicit TStatement(const char* Sql);
    const char* Sql() const { return FSql; }
    int Slot() const { return FSlot; }

private:
    const char* FSql;
    int FSlot;
};

// Throws ERR_INCONSISTENT_DATABASE: the database file is empty, damaged or holds no store.
[[noreturn]] void ThrowBrokenDatabase(const QString& File);

// How a connection may use its database: read and write the file; only read it (the user may not
// write it); only read it, where nobody can write it meanwhile either (a folder nobody may write
// holds no write-ahead log index, so none can be kept or consulted); or keep it in the memory of
// this process (named, so that every connection of the process that gives the same name shares
// it; gone with the last of them).
enum class TSqlAccess { ReadWrite, ReadOnly, Unchanging, Memory };

class TSqlConnection {
public:
    // Opens (and creates) the database, foreign keys on. Database is the file's path, or the name
    // of a database in memory.
    TSqlConnection(const QString& Database, TSqlAccess Access);
    ~TSqlConnection();
    TSqlConnection(const TSqlConnection&) = delete;
    TSqlConnection& operator=(const TSqlConnection&) = delete;

    QString ConnectionName() const { return FName; }
    // The database's file as the user sees it in messages.
    const QString& File() const { return FFile; }
    bool ReadOnly() const { return FAccess == TSqlAccess::ReadOnly || FAccess == TSqlAccess::Unchanging; }
    // Switches a file to the write-ahead log (kept in the file; a database in memory has none).
    void UseWriteAheadLog();
    // The prepared form of a statement, prepared on first use.
    QSqlQuery& Prepared(const TStatement& Statement);
    // The same for a text built at run time (kept by its text).
    QSqlQuery& Prepared(const QString& Sql);
    // Runs a statement once, without result (schema changes, pragmas).
    void Execute(const QString& Sql);
    // Throws the error of a statement: a damaged file or a write to a file that may only be read
    // in the words the user sees for them, naming the file.
    [[noreturn]] void Fail(const QSqlQuery& Query) const;
    [[noreturn]] void Fail(const QSqlError& Error) const;
    // Throws: the file is empty, damaged or holds no store.
    [[noreturn]] void Broken() const;
    // Throws unless the database may be written.
    void CheckWritable() const;

    // Nested transactions: Begin starts one unless one runs; the outermost End commits (throwing
    // when an inner one was abandoned) and Abandon of the outermost rolls back. Begin throws for a
    // database that may only be read.
    void Begin();
    void Commit();
    void Abandon();
    bool InTransaction() const { return FDepth > 0; }
    // A number of the running outermost transaction, new for each; 0 outside one.
    quint64 TransactionNumber() const { return FDepth > 0 ? FTransactions : 0; }
    // Called after every rollback, so that caches drop what was rolled back.
    void OnRollback(std::function<void()> Listener) { FRollbackListeners.push_back(std::move(Listener)); }
    // Undoes what the running transaction did outside the database (a folder it created) should it
    // roll back; forgotten when it commits. Only inside a transaction.
    void UndoOnRollback(std::function<void()> Undo) { FUndo.push_back(std::move(Undo)); }
    // How long Begin waits for another writer of the database to finish.
    static constexpr int WriterWaitSeconds = 120;

private:
    void BeginWriting();
    QString FName;
    QString FFile; // as the user sees it in messages
    TSqlAccess FAccess;
    QSqlDatabase FDb;
    std::vector<std::unique_ptr<QSqlQuery>> FBySlot;
    QHash<QString, std::shared_ptr<QSqlQuery>> FByText;
    int FDepth = 0;
    quint64 FTransactions = 0;
    bool FInnerAbandoned = false;
    std::vector<std::function<void()>> FRollbackListeners;
    std::vector<std::function<void()>> FUndo;
};

// Runs a prepared statement with its arguments and finishes it when the scope ends, so that no
// statement keeps a read open. A null text is bound as the empty text, never as NULL.
class TQuery {
public:
    template <typename... TArgs>
    TQuery(TSqlConnection& Db, const TStatement& Statement, const TArgs&... Args)
        : FDb(Db), FQuery(Db.Prepared(Statement)) {
        int Index = 0;
        (Bind(Index++, QVariant::fromValue(Args)), ...);
        Exec();
    }
    TQuery(TSqlConnection& Db, const QString& Sql, const QVariantList& Args);
    // A statement the caller prepared and keeps (Prepared of a text).
    TQuery(TSqlConnection& Db, QSqlQuery& Prepared, const QVariantList& Args);
    ~TQuery() { FQuery.finish(); }
    TQuery(const TQuery&) = delete;
    TQuery& operator=(const TQuery&) = delete;

    bool Next() { return FQuery.next(); }
    QVariant Value(int Column) const { return FQuery.value(Column); }
    qint64 LastInsertId() const { return FQuery.lastInsertId().toLongLong(); }
    int RowsAffected() const { return FQuery.numRowsAffected(); }

private:
    void Bind(int Index, const QVariant& Value);
    void Exec();

    TSqlConnection& FDb;
    QSqlQuery& FQuery;
};

// A transaction on the connection; left without Commit, it is abandoned.
class TSqlTransaction {
public:
    explicit TSqlTransaction(TSqlConnection& Db) : FDb(Db) { Db.Begin(); }
    ~TSqlTransaction() {
        if (!FDone)
            FDb.Abandon();
    }
    TSqlTransaction(const TSqlTransaction&) = delete;
    TSqlTransaction& operator=(const TSqlTransaction&) = delete;
    void Commit() {
        FDb.Commit();
        FDone = true;
    }

private:
    TSqlConnection& FDb;
    bool FDone = false;
};
