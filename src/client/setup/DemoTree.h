#pragma once

class TSqliteStore;

// Fills an empty store with the demo school tree SCHULE (classes, templates, server SRV1 with its
// volumes and folders, rooms with workstations, a catalog) and connects the workstation to it.
void CreateDemoTree(TSqliteStore& Store);
