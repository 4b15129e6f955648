#pragma once

#include <QString>
#include <memory>

class TSqliteStore;

// Fills an empty store with the demo school tree SCHULE (classes, templates, server SRV1 with its
// volumes and folders, rooms with workstations, a catalog) and connects the workstation to it.
void CreateDemoTree(TSqliteStore& Store);

// Opens the workstation's store: in Folder, else in the folder $PARVON_CLIENT_STORE names, else
// in "client" in the user's data location. A store that holds no tree yet gets the demo tree,
// unless it may only be read.
std::shared_ptr<TSqliteStore> OpenWorkstationStore(const QString& Folder = QString());
