#pragma once

#include <DemoTree.h>
#include <DirectoryClient.h>
#include <FaultInjection.h>
#include <FaultyBackend.h>
#include <LdapDirectory.h>
#include <LdapTestServer.h>
#include <SqliteStore.h>
#include <TreeRouter.h>

#include <QByteArray>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <memory>

// A private store in a temporary folder and a client over it, installed as the process-wide
// client while it lives. *Store is the client (what the controls take); Store-> is the store
// behind it, for setting up trees, connections and volumes. Run against the LDAP test server
// (TLdapTestServer::Wanted), the demo tree SCHULE is the server's, freshly reset, and the store
// keeps the volumes, the workstation's connections and every other tree.
class TTestStore {
public:
    explicit TTestStore(bool WithDemoTree = true) {
        OpenStore();
        if (WithDemoTree)
            CreateDemoTree(*Store);
        TLdapTestServer* Server =
            WithDemoTree && TLdapTestServer::Wanted() ? TLdapTestServer::Shared() : nullptr;
        if (Server) {
            Server->Reset();
            Ldap = std::make_shared<TLdapDirectory>(Server->Settings(), Server->Password());
        }
        Connect();
        TFaultInjection::Clear();
    }
    // Closes the store, and opens it again from its folder as the program's next start does.
    void Close() {
        Client.reset();
        Faults.reset();
        Directory.reset();
        Store.reset();
    }
    void Open() {
        OpenStore();
        Connect();
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
    std::shared_ptr<TLdapDirectory> Ldap;         // the server's tree, when run against it
    std::shared_ptr<TDirectoryBackend> Directory; // what the client reads and writes
    std::shared_ptr<TFaultyBackend> Faults;       // in front of Directory: lets it go away
    std::unique_ptr<TDirectoryClient> Client;

private:
    void OpenStore() {
        Store = std::make_shared<TSqliteStore>(Dir.path());
        Store->UseMinimalPasswordCostForTests();
    }
    void Connect() {
        if (Ldap)
            Directory = std::make_shared<TTreeRouter>(
                Store, std::vector<TTreeRouter::TRoute>{{QStringLiteral("SCHULE"), Ldap}});
        else
            Directory = Store;
        Faults = std::make_shared<TFaultyBackend>(Directory);
        Client = std::make_unique<TDirectoryClient>(Faults, Store);
        TDirectoryClient::SetInstance(Client.get());
    }
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

// Keeps the catalog refreshes of a test store's directory from writing until Release: the store's
// write lock for the embedded store, a hold of the refreshes on the LDAP server.
class TCatalogHold {
public:
    explicit TCatalogHold(TTestStore& Store) : FLdap(Store.Ldap) {
        if (FLdap)
            FLdap->HoldCatalogRefreshes(true);
        else
            FLock = std::make_unique<TStoreWriteLock>(*Store.Store);
    }
    ~TCatalogHold() { Release(); }
    TCatalogHold(const TCatalogHold&) = delete;
    TCatalogHold& operator=(const TCatalogHold&) = delete;

    void Release() {
        if (FLdap)
            FLdap->HoldCatalogRefreshes(false);
        if (FLock)
            FLock->Release();
    }

private:
    std::shared_ptr<TLdapDirectory> FLdap;
    std::unique_ptr<TStoreWriteLock> FLock;
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
