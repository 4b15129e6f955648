#pragma once

#include "LdapConnection.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class TDirectoryClient;

// The client's settings say per tree where its directory lives. "client.ini" in the folder of the
// workstation's store (or the file $PARVON_CLIENT_SETTINGS names) holds a group for each tree that
// an LDAP server holds:
//   [SCHULE]
//   Directory=ldap
//   Url=ldap://ldap.schule.example        ldaps://... or ldap://...:389/????!StartTLS for TLS
//   Base=dc=schule,dc=example
//   BindDn=cn=admin,dc=schule,dc=example
//   PasswordFile=/home/admin/.parvon-bind  optional; readable by its owner only
//   Timeout=10                             seconds, the longest wait for any answer
//   PasswordModify=true                    false: passwords as a userPassword replace
// A tree without a group, or with Directory=embedded, stays in the embedded store. No password is
// ever written there or into the store.
std::vector<TLdapSettings> ReadClientSettings(const QString& File);
QString ClientSettingsFile(const QString& StoreFolder);

// Asks for the bind password of a server; Problem says why it asks again ("" the first time).
// False when the user declines.
using TBindPasswordPrompt =
    std::function<bool(const TLdapSettings& Settings, const QString& Problem, QString& Password)>;

class TDirectoryBackend;
class TSqliteStore;

// The directory over Store that the store's settings describe: the store itself, or a router that
// sends each tree the settings give a server to an LDAP backend for it (bound as OpenConfiguredClient
// says) and every other tree to the store.
std::shared_ptr<TDirectoryBackend> ConfiguredDirectory(const std::shared_ptr<TSqliteStore>& Store,
                                                       const TBindPasswordPrompt& Prompt);

// The workstation's client: its store (in Folder, as OpenWorkstationStore takes it) holds the
// volumes and every tree the settings leave there; each tree the settings give a server is served
// by an LDAP backend, bound at once with the password of the settings' file or, without one, of
// Prompt (asked again after a refused bind, three times at most). A server that cannot be reached
// or a password declined leaves that tree failing on every call with the reason.
std::unique_ptr<TDirectoryClient> OpenConfiguredClient(const TBindPasswordPrompt& Prompt,
                                                       const QString& Folder = QString());
