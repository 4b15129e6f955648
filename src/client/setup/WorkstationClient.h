#pragma once

#include <QString>
#include <SqliteJournal.h>
#include <functional>
#include <memory>

class TDirectoryBackend;
class TDirectoryClient;
class TSqliteStore;
class TVolumeStore;

// Whom the client binds as on a server that holds a tree.
struct TBindRequest {
    QString Tree;
    QString Url;
    QString BindDn;
};

// Asks for the bind password of a server; Problem says why it asks again ("" the first time).
// False when the user declines.
using TBindPasswordPrompt =
    std::function<bool(const TBindRequest& Request, const QString& Problem, QString& Password)>;

// The directory over Store that the store's settings (ClientSettings.h) describe: the store itself,
// or a router that sends each tree the settings give a server to an LDAP backend for it (bound as
// OpenConfiguredClient says) and every other tree to the store.
std::shared_ptr<TDirectoryBackend> ConfiguredDirectory(const std::shared_ptr<TSqliteStore>& Store,
                                                       const TBindPasswordPrompt& Prompt);

// The volume store over Store that the settings describe: the store itself, or the POSIX volume
// store for the volumes the settings place on real folders (ids resolved through Directory) over
// it. Throws, before anything is written, for a root folder without ACLs or extended attributes.
std::shared_ptr<TVolumeStore> ConfiguredVolumes(const std::shared_ptr<TSqliteStore>& Store,
                                                const std::shared_ptr<TDirectoryBackend>& Directory);

// The workstation's client: its store (in Folder, as OpenWorkstationStore takes it) holds the
// volumes and every tree the settings leave there; each tree the settings give a server is served
// by an LDAP backend, bound at once with the password of the settings' file or, without one, of
// Prompt (asked again after a refused bind, three times at most). A server that cannot be reached
// or a password declined leaves that tree failing on every call with the reason.
std::unique_ptr<TDirectoryClient> OpenConfiguredClient(const TBindPasswordPrompt& Prompt,
                                                       const QString& Folder = QString());

// Gives the client the run journal in Store's folder (or in memory), telling runs on a tree the
// settings give a server that server and its bind name, and runs on the store's trees the store's
// identity (else the user's login name).
void AttachJournal(TDirectoryClient& Client, const std::shared_ptr<TSqliteStore>& Store,
                   TSqliteJournal::TStorage Storage);

// Makes OpenConfiguredClient(Prompt) the process-wide client, opened on first use.
void InstallWorkstationClient(const TBindPasswordPrompt& Prompt);
