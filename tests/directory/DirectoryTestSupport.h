#pragma once

#include <DirectoryClient.h>
#include <TestStore.h>
#include <TestText.h>

#include <QString>
#include <optional>

// A second private store for one test; the store that was installed before comes back afterwards.
class TScopedStore {
public:
    explicit TScopedStore(bool WithDemoTree = true) : FPrevious(&TDirectoryClient::Instance()) {
        FStore.emplace(WithDemoTree);
    }
    ~TScopedStore() {
        FStore.reset();
        TDirectoryClient::SetInstance(FPrevious);
    }
    TDirectoryClient& operator*() { return **FStore; }
    TSqliteStore* operator->() { return FStore->operator->(); }

private:
    TDirectoryClient* FPrevious;
    std::optional<TTestStore> FStore;
};
