#pragma once

#include <DemoTree.h>
#include <DirectoryClient.h>
#include <FaultInjection.h>
#include <SqliteStore.h>

#include <QByteArray>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <memory>

// A private store in a temporary folder and a client over it, installed as the process-wide
// client while it lives. *Store is the client (what the controls take); Store-> is the store
// behind it, for setting up trees, connections and volumes.
class TTestStore {
public:
    explicit TTestStore(bool WithDemoTree = true) {
        Open();
        if (WithDemoTree)
            CreateDemoTree(*Store);
        TFaultInjection::Clear();
    }
    // Closes the store, and opens it again from its folder as the program's next start does.
    void Close() {
        Client.reset();
        Store.reset();
    }
    void Open() {
        Store = std::make_shared<TSqliteStore>(Dir.path());
        Store->UseMinimalPasswordCostForTests();
        Client = std::make_unique<TDirectoryClient>(Store, Store);
        TDirectoryClient::SetInstance(Client.get());
    }
    ~TTestStore() {
        TFaultInjection::Clear();
        TDirectoryClient::SetInstance(nullptr);
    }
    TDirectoryClient& operator*() { return *Client; }
    TSqliteStore* operator->() { return Store.get(); }
    QString Path() const { return Dir.path(); }

    QTemporaryDir Dir;
    std::shared_ptr<TSqliteStore> Store;
    std::unique_ptr<TDirectoryClient> Client;
};

// The write lock of a store, held from a connection of its own as another writer would hold it:
// the store's writes (a catalog refresh among them) wait until Release.
class TStoreWriteLock {
public:
    explicit TStoreWriteLock(const TSqliteStore& Store) {
        QSqlDatabase Db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Name());
        Db.setDatabaseName(Store.Folder() + QStringLiteral("/directory.db"));
        if (!Db.open())
            qFatal("cannot open the store: %s", qPrintable(Db.lastError().text()));
        Exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~TStoreWriteLock() {
        Release();
        QSqlDatabase::removeDatabase(Name());
    }
    TStoreWriteLock(const TStoreWriteLock&) = delete;
    TStoreWriteLock& operator=(const TStoreWriteLock&) = delete;

    void Release() {
        if (std::exchange(FHeld, false))
            Exec(QStringLiteral("COMMIT"));
    }

private:
    void Exec(const QString& Sql) {
        QSqlQuery Q(QSqlDatabase::database(Name(), false));
        if (!Q.exec(Sql))
            qFatal("%s: %s", qPrintable(Sql), qPrintable(Q.lastError().text()));
    }
    static QString Name() { return QStringLiteral("write_lock"); }
    bool FHeld = true;
};

// One demo store shared by the cases of a test class that only read, and a fresh one for each case
// that writes. Call InitTestCase, Init and Cleanup from the slots of the same names.
class TStorePerCase {
public:
    explicit TStorePerCase(QSet<QByteArray> ReadOnlyCases) : FReadOnly(std::move(ReadOnlyCases)) {}
    void InitTestCase() { FShared = std::make_unique<TTestStore>(); }
    void CleanupTestCase() {
        FOwn.reset();
        FShared.reset();
    }
    // The store of the running case, installed as the process-wide client.
    TTestStore& Init(const char* CurrentCase) {
        if (FReadOnly.contains(QByteArray(CurrentCase))) {
            TDirectoryClient::SetInstance(FShared->Client.get());
            TFaultInjection::Clear();
            return *FShared;
        }
        FOwn = std::make_unique<TTestStore>();
        return *FOwn;
    }
    void Cleanup() {
        FOwn.reset();
        TFaultInjection::Clear();
    }

private:
    QSet<QByteArray> FReadOnly;
    std::unique_ptr<TTestStore> FShared, FOwn;
};
