#include "ClientSettings.h"

#include "LdapDirectory.h"
#include "TreeRouter.h"

#include <DemoTree.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <SqliteStore.h>

#include <QFileInfo>
#include <QSettings>

namespace {

// QSettings reads an unquoted value with commas as a list: a DN comes back joined.
QString Value(const QSettings& S, const QString& Key) {
    const QVariant V = S.value(Key);
    return V.metaType().id() == QMetaType::QStringList ? V.toStringList().join(QLatin1Char(','))
                                                       : V.toString();
}

} // namespace

QString ClientSettingsFile(const QString& StoreFolder) {
    const QString Named = qEnvironmentVariable("PARVON_CLIENT_SETTINGS");
    return Named.isEmpty() ? StoreFolder + QStringLiteral("/client.ini") : Named;
}

std::vector<TLdapSettings> ReadClientSettings(const QString& File) {
    std::vector<TLdapSettings> Result;
    if (!QFileInfo::exists(File))
        return Result;
    QSettings S(File, QSettings::IniFormat);
    for (const QString& Tree : S.childGroups()) {
        S.beginGroup(Tree);
        if (Value(S, QStringLiteral("Directory")).compare(QLatin1String("ldap"), Qt::CaseInsensitive) == 0) {
            TLdapSettings L;
            L.Tree = Tree;
            L.Url = Value(S, QStringLiteral("Url"));
            L.Base = Value(S, QStringLiteral("Base"));
            L.BindDn = Value(S, QStringLiteral("BindDn"));
            L.PasswordFile = Value(S, QStringLiteral("PasswordFile"));
            bool Ok = false;
            const double Seconds = Value(S, QStringLiteral("Timeout")).toDouble(&Ok);
            if (Ok && Seconds > 0)
                L.TimeoutMs = int(Seconds * 1000);
            L.PasswordModify = Value(S, QStringLiteral("PasswordModify"))
                                   .compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
            if (L.Url.isEmpty() || L.Base.isEmpty())
                ThrowDirectoryError(ERR_INVALID_REQUEST,
                                    QStringLiteral("%1: tree %2 needs Url and Base").arg(File, Tree));
            Result.push_back(L);
        }
        S.endGroup();
    }
    return Result;
}

namespace {

// A bound backend for one server, asking for the password as the settings say.
std::shared_ptr<TLdapDirectory> OpenServer(const TLdapSettings& Settings, const TBindPasswordPrompt& Prompt) {
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
    for (int Attempt = 0; Attempt < 3; ++Attempt) {
        QString Password;
        if (!Prompt || !Prompt(Settings, Problem, Password))
            break;
        auto Backend = std::make_shared<TLdapDirectory>(Settings, Password);
        Password.fill(QLatin1Char(' '));
        try {
            Backend->Connect();
            return Backend;
        } catch (const EDirectoryError& E) {
            if (E.Code() != ERR_FAILED_AUTHENTICATION)
                return Backend; // unreachable: the first call reports it
            Problem = E.Message();
        }
    }
    return std::make_shared<TLdapDirectory>(Settings, QString()); // refuses to bind
}

} // namespace

std::shared_ptr<TDirectoryBackend> ConfiguredDirectory(const std::shared_ptr<TSqliteStore>& Store,
                                                       const TBindPasswordPrompt& Prompt) {
    std::vector<TTreeRouter::TRoute> Routes;
    for (const TLdapSettings& Settings : ReadClientSettings(ClientSettingsFile(Store->Folder())))
        Routes.push_back({Settings.Tree, OpenServer(Settings, Prompt)});
    if (Routes.empty())
        return Store;
    return std::make_shared<TTreeRouter>(Store, std::move(Routes));
}

std::unique_ptr<TDirectoryClient> OpenConfiguredClient(const TBindPasswordPrompt& Prompt,
                                                       const QString& Folder) {
    const std::shared_ptr<TSqliteStore> Store = OpenWorkstationStore(Folder);
    return std::make_unique<TDirectoryClient>(ConfiguredDirectory(Store, Prompt), Store);
}
