#include "NWSess.h"

#include "ClientStore.h"
#include "ClientStorePrivate.h"
#include "FaultInjection.h"
#include "NWCalls.h"

using namespace ClientInternal;

NWSess::NWSess(QObject* Parent) : NWSess(TClientStore::Instance(), Parent) {}

NWSess::NWSess(TClientStore& Store, QObject* Parent) : QObject(Parent), FStore(Store) {}

int NWSess::ConnectedTreeCount() const {
    TFaultInjection::Check(QStringLiteral("NWSess.ConnectedTreeCount"));
    return int(FStore.ConnectedTrees().size());
}

QString NWSess::ConnectedTree(int Index) const {
    TFaultInjection::Check(QStringLiteral("NWSess.ConnectedTree"));
    const QStringList Trees = FStore.ConnectedTrees();
    if (Index < 0 || Index >= Trees.size())
        Fail(ERR_INVALID_REQUEST, QStringLiteral("No connected tree at position %1").arg(Index));
    return Trees.at(Index);
}

int NWSess::ServerConnectionCount() const {
    TFaultInjection::Check(QStringLiteral("NWSess.ServerConnectionCount"));
    return int(FStore.ServerConnections().size());
}

NWSess::TServerConnection NWSess::ServerConnection(int Index) const {
    TFaultInjection::Check(QStringLiteral("NWSess.ServerConnection"));
    const auto Connections = FStore.ServerConnections();
    if (Index < 0 || Index >= int(Connections.size()))
        Fail(ERR_INVALID_REQUEST, QStringLiteral("No server connection at position %1").arg(Index));
    const auto& C = Connections[size_t(Index)];
    return {C.FullName, C.DisplayName};
}
