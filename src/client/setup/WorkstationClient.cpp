#include "WorkstationClient.h"

#include "ClientSettings.h"
#include "WorkstationStore.h"

#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <LdapDirectory.h>
#include <Names.h>
#include <PosixVolumes.h>
#include <Secrets.h>
#include <SqliteJournal.h>
#include <SqliteStore.h>
#include <TreeRouter.h>

namespace {

// A bound backend for one server, asking for the password as the settings say.
std::shared_ptr<TLdapDirectory> OpenServer(const TLdapSettings& Settings, const TBindPasswordPrompt& Prompt) {
    const TBindRequest Request{Settings.Tree, Settings.Url, Settings.BindDn};
    if (!Settings.PasswordFile.isEmpty()) {
        auto Backend = std::make_shared<TLdapDirectory>(Settings, ReadPasswordFile(Settings.PasswordFile));
        try {
            Backend->Connect();
        } catch (const EDirectoryError&) {
            // The first call reports it.
        }
        return Backend;
    }
    QString Problem;
    TLdapSettings Refused = Settings;
    for (int Attempt = 0; Attempt < 3; ++Attempt) {
        TSecretText Password;
        if (!Prompt)
            break;
        if (!Prompt(Request, Problem, Password.Text())) {
            Refused.Refusal =
                QStringLiteral("Die Anmeldung am LDAP-Server %1 wurde abgebrochen.").arg(Settings.Url);
            break;
        }
        auto Backend = std::make_shared<TLdapDirectory>(Settings, Password.Text());
        WipeSecret(Password.Text());
        try {
            Backend->Connect();
            return Backend;
        } catch (const EDirectoryError& E) {
            if (E.Code() != ERR_FAILED_AUTHENTICATION)
                return Backend; // unreachable: the first call reports it
            Problem = E.Message();
            Refused.Refusal = QStringLiteral("Die Anmeldung ist dreimal fehlgeschlagen: %1").arg(Problem);
        }
    }
    return std::make_shared<TLdapDirectory>(Refused, QString()); // refuses to bind
}

} // namespace

std::shared_ptr<TDirectoryBackend> ConfiguredDirectory(const std::shared_ptr<TSqliteStore>& Store,
                                                       const TBindPasswordPrompt& Prompt) {
    std::vector<TTreeRouter::TRoute> Routes;
    const std::weak_ptr<TSqliteStore> Volumes = Store;
    for (TLdapSettings Settings : ReadClientSettings(ClientSettingsFile(Store->Folder()))) {
        Settings.Journal = LdapJournalFile(Store->Folder(), Settings.Tree);
        std::shared_ptr<TLdapDirectory> Backend = OpenServer(Settings, Prompt);
        // An account's home folder: its "Home Directory" on the workstation's volume map.
        Backend->SetHomePathMap([Volumes](const QString& Value) {
            const std::shared_ptr<TSqliteStore> S = Volumes.lock();
            return S ? HomePathOnVolumes(Value, *S) : QString();
        });
        Routes.push_back({Settings.Tree, std::move(Backend)});
    }
    if (Routes.empty())
        return Store;
    return std::make_shared<TTreeRouter>(Store, std::move(Routes));
}

std::shared_ptr<TVolumeStore> ConfiguredVolumes(const std::shared_ptr<TSqliteStore>& Store,
                                                const std::shared_ptr<TDirectoryBackend>& Directory) {
    std::vector<TVolume> Posix = ReadPosixVolumes(ClientSettingsFile(Store->Folder()));
    if (Posix.empty())
        return Store;
    auto Resolve = [Directory](const QString& FullName) {
        TObjectRef Ref;
        if (!Directory->TryResolve(FullName, Ref))
            ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Unbekanntes Objekt %1").arg(FullName));
        return Directory->EnsurePosixIdentity(Ref);
    };
    const auto Volumes = std::make_shared<TPosixVolumes>(std::move(Posix), Store, Resolve);
    // An account's home folder lies on the volumes as the workstation sees them, real folders
    // included: the embedded store and each tree's server map "Home Directory" through them.
    const std::weak_ptr<TVolumeStore> Weak = Volumes;
    const THomePathMap Home = [Weak](const QString& Value) {
        const std::shared_ptr<TVolumeStore> V = Weak.lock();
        return V ? HomePathOnVolumes(Value, *V) : QString();
    };
    Store->SetHomePathMap(Home);
    if (const auto Router = std::dynamic_pointer_cast<TTreeRouter>(Directory))
        for (const TLdapSettings& Settings : ReadClientSettings(ClientSettingsFile(Store->Folder())))
            if (auto* Ldap = dynamic_cast<TLdapDirectory*>(
                    &Router->BackendOf(QStringLiteral("NDS:\\\\") + Settings.Tree)))
                Ldap->SetHomePathMap(Home);
    return Volumes;
}

void AttachJournal(TDirectoryClient& Client, const std::shared_ptr<TSqliteStore>& Store,
                   TSqliteJournal::TStorage Storage) {
    std::vector<TLdapSettings> Servers = ReadClientSettings(ClientSettingsFile(Store->Folder()));
    const std::weak_ptr<TSqliteStore> Weak = Store;
    Client.SetJournal(std::make_shared<TSqliteJournal>(Store->Folder(), Storage),
                      [Servers = std::move(Servers), Weak](const QString& Tree) {
                          QString Name, Levels;
                          if (!SplitFullName(Tree, Name, Levels))
                              Name = Tree;
                          for (const TLdapSettings& S : Servers)
                              if (S.Tree.compare(Name, Qt::CaseInsensitive) == 0)
                                  return TRunOrigin{S.BindDn, S.Url};
                          const std::shared_ptr<TSqliteStore> Store = Weak.lock();
                          QString Login = Store ? Store->Identity() : QString();
                          if (Login.isEmpty())
                              Login = qEnvironmentVariable("USER");
                          return TRunOrigin{Login, QString()};
                      });
}

std::unique_ptr<TDirectoryClient> OpenConfiguredClient(const TBindPasswordPrompt& Prompt,
                                                       const QString& Folder) {
    const std::shared_ptr<TSqliteStore> Store = OpenWorkstationStore(Folder);
    const std::shared_ptr<TDirectoryBackend> Directory = ConfiguredDirectory(Store, Prompt);
    auto Client = std::make_unique<TDirectoryClient>(Directory, ConfiguredVolumes(Store, Directory));
    AttachJournal(*Client, Store, TSqliteJournal::TStorage::File);
    return Client;
}

void InstallWorkstationClient(const TBindPasswordPrompt& Prompt) {
    TDirectoryClient::SetWorkstationFactory([Prompt] { return OpenConfiguredClient(Prompt); });
}
