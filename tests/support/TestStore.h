#pragma once

#include <ClientStore.h>
#include <DemoTree.h>
#include <FaultInjection.h>

#include <QByteArray>
#include <QSet>
#include <QTemporaryDir>
#include <memory>

// A private store in a temporary folder, installed as the process-wide store while it lives.
class TTestStore {
public:
    explicit TTestStore(bool WithDemoTree = true) {
        Store = std::make_unique<TClientStore>(Dir.path());
        if (WithDemoTree)
            CreateDemoTree(*Store);
        TClientStore::SetInstance(Store.get());
        TFaultInjection::Clear();
    }
    ~TTestStore() {
        TFaultInjection::Clear();
        TClientStore::SetInstance(nullptr);
    }
    TClientStore& operator*() { return *Store; }
    TClientStore* operator->() { return Store.get(); }
    QString Path() const { return Dir.path(); }

    QTemporaryDir Dir;
    std::unique_ptr<TClientStore> Store;
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
    // The store of the running case, installed as the process-wide store.
    TTestStore& Init(const char* CurrentCase) {
        if (FReadOnly.contains(QByteArray(CurrentCase))) {
            TClientStore::SetInstance(FShared->Store.get());
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
