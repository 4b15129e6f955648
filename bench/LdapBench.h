#pragma once

#include <QList>
#include <memory>

class TSqliteStore;
class TDirectoryClient;

// Exports the built tree, starts a throwaway LDAP server that holds it, and times the program's
// reads through TNDK over the LDAP backend against the same reads done directly with libldap on a
// connection of their own (the floor), and the refresh of the catalog of all students against the
// same requests made with libldap. True when every read's ratio is at most 1.5 and the refresh's
// at most 2.
bool BenchLdap(const std::shared_ptr<TSqliteStore>& Store, TDirectoryClient& Built, int Students, int Rounds,
               const QList<int>& Sample);
