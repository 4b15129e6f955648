#pragma once

#include <NWDir.h>
#include <TestStore.h>

#include <QObject>
#include <QTest>
#include <memory>

// The base of the client's test classes: the cases named read-only share one demo store, every
// other case gets a fresh one. A case finds its store in FStore and a directory control on it in
// FDir; a class that needs more overrides init and cleanup and calls these.
class TClientTestCase : public QObject {
    Q_OBJECT
public:
    explicit TClientTestCase(QSet<QByteArray> ReadOnlyCases) : FStores(std::move(ReadOnlyCases)) {}

protected Q_SLOTS:
    void initTestCase() { FStores.InitTestCase(); }
    void cleanupTestCase() { FStores.CleanupTestCase(); }
    void init() {
        FStore = &FStores.Init(QTest::currentTestFunction());
        FDir = std::make_unique<NWDir>(**FStore);
    }
    void cleanup() {
        FDir.reset();
        FStores.Cleanup();
    }

protected:
    TStorePerCase FStores;
    TTestStore* FStore = nullptr;
    std::unique_ptr<NWDir> FDir;
};
