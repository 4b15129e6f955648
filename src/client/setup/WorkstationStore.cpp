#include "WorkstationStore.h"

#include "DemoTree.h"

#include <Names.h>
#include <SqliteStore.h>

#include <QStandardPaths>
#include <algorithm>

QString WorkstationStoreFolder() {
    const QString Named = qEnvironmentVariable("PARVON_CLIENT_STORE");
    if (!Named.isEmpty())
        return Named;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/client");
}

std::shared_ptr<TSqliteStore> OpenWorkstationStore(const QString& Folder) {
    auto Store = std::make_shared<TSqliteStore>(Folder.isEmpty() ? WorkstationStoreFolder() : Folder);
    if (Store->IsEmpty() && !Store->ReadOnly())
        CreateDemoTree(*Store);
    return Store;
}

TImportConnections ConnectImportedTree(TSqliteStore& Store, const QString& TreeName,
                                       const QStringList& Servers) {
    TImportConnections Done;
    if (Store.ConnectedTrees().isEmpty()) {
        Store.SetConnectedTrees({Store.Resolve(TreeFullName(TreeName)).FullName});
        Done.Tree = true;
    }
    std::vector<TServerConnection> Connections = Store.ServerConnections();
    for (const QString& Server : Servers) {
        const TObjectRef Ref = Store.Resolve(Server);
        const bool Known =
            std::any_of(Connections.begin(), Connections.end(), [&](const TServerConnection& C) {
                return C.FullName.compare(Ref.FullName, Qt::CaseInsensitive) == 0;
            });
        if (Known)
            continue;
        Connections.push_back({Ref.FullName, Ref.ShortName});
        Done.Servers.append(Ref.FullName);
    }
    if (!Done.Servers.isEmpty())
        Store.SetServerConnections(Connections);
    return Done;
}
