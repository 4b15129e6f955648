#include "NWSess.h"

#include "DirectoryClient.h"
#include "FaultInjection.h"

#include <EDirectoryError.h>

NWSess::NWSess(QObject* Parent) : NWSess(TDirectoryClient::Instance(), Parent) {}

NWSess::NWSess(TDirectoryClient& Client, QObject* Parent) : QObject(Parent), FClient(Client) {}

int NWSess::ConnectedTreeCount() const {
    TFaultInjection::Check(QStringLiteral("NWSess.ConnectedTreeCount"));
    return int(FClient.Directory().ConnectedTrees().size());
}

QString NWSess::ConnectedTree(int Index) const {
    TFaultInjection::Check(QStringLiteral("NWSess.ConnectedTree"));
    const QStringList Trees = FClient.Directory().ConnectedTrees();
    if (Index < 0 || Index >= Trees.size())
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("Kein verbundener Baum an Position %1").arg(Index));
    return Trees.at(Index);
}

int NWSess::ServerConnectionCount() const {
    TFaultInjection::Check(QStringLiteral("NWSess.ServerConnectionCount"));
    return int(FClient.Directory().ServerConnections().size());
}

NWSess::TServerConnection NWSess::ServerConnection(int Index) const {
    TFaultInjection::Check(QStringLiteral("NWSess.ServerConnection"));
    const auto Connections = FClient.Directory().ServerConnections();
    if (Index < 0 || Index >= int(Connections.size()))
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("Keine Serververbindung an Position %1").arg(Index));
    const auto& C = Connections[size_t(Index)];
    return {C.FullName, C.DisplayName};
}
