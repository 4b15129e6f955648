#pragma once

#include "ForwardingBackend.h"

#include <QString>
#include <memory>
#include <vector>

// The client's directory when trees live in different places: each tree with a route is served by
// its own backend (an LDAP server), every other tree and the workstation's own state (connected
// trees, server connections, the schema) by the workstation's backend. A call about an object goes
// to the backend of the tree its full name names.
class TTreeRouter final : public TForwardingBackend {
public:
    struct TRoute {
        QString Tree;
        std::shared_ptr<TDirectoryBackend> Backend;
    };
    TTreeRouter(std::shared_ptr<TDirectoryBackend> Workstation, std::vector<TRoute> Routes);

    // The backend that serves a tree (any case); the workstation's for a tree without a route.
    TDirectoryBackend& BackendOf(const QString& FullName) const;

    QStringList Trees() override;
    void AddTree(const QString& TreeName) override;
    void BeginTransaction() override;
    void CommitTransaction() override;
    void RollbackTransaction() override;
    void WaitForCatalogRefreshes() override;

protected:
    TDirectoryBackend& Target(const QString& FullName) override { return BackendOf(FullName); }

private:
    std::vector<TRoute> FRoutes;
};
