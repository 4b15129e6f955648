#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class TSqliteStore;

// The folder of the workstation's store: the one $PARVON_CLIENT_STORE names, else "client" in the
// user's data location. The program and the console use the same.
QString WorkstationStoreFolder();

// Opens the workstation's store: in Folder, else in WorkstationStoreFolder(). A store that holds no
// tree yet gets the demo tree, unless it may only be read.
std::shared_ptr<TSqliteStore> OpenWorkstationStore(const QString& Folder = QString());

// What ConnectImportedTree set up: whether it connected the tree, and the servers it connected.
struct TImportConnections {
    bool Tree = false;
    QStringList Servers;
};

// Makes a store usable after a tree was imported into it: a workstation connected to no tree is
// connected to TreeName, and each of the Servers (full names) without a server connection gets one,
// shown by the server's name.
TImportConnections ConnectImportedTree(TSqliteStore& Store, const QString& TreeName,
                                       const QStringList& Servers);
