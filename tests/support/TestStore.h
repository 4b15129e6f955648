#pragma once

#include <ClientStore.h>
#include <DemoTree.h>
#include <FaultInjection.h>

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
