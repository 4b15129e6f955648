#include "ClientSettings.h"

#include <EDirectoryError.h>

#include <QFileInfo>
#include <QSettings>
#include <QUrl>

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

QString LdapJournalFile(const QString& StoreFolder, const QString& Tree) {
    return StoreFolder + QStringLiteral("/ldap-") +
           QString::fromLatin1(QUrl::toPercentEncoding(Tree.toLower())) + QStringLiteral(".journal");
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
            L.Transactions = Value(S, QStringLiteral("Transactions"))
                                 .compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
            for (auto [Key, Range] : {std::pair{QStringLiteral("UidRange"), &L.Uids},
                                      std::pair{QStringLiteral("GidRange"), &L.Gids}}) {
                const QString Text = Value(S, Key);
                if (!Text.isEmpty() && !ParsePosixRange(Text, *Range))
                    ThrowDirectoryError(
                        ERR_INVALID_REQUEST,
                        QStringLiteral("%1: tree %2: %3 is no range: %4").arg(File, Tree, Key, Text));
            }
            if (L.Url.isEmpty() || L.Base.isEmpty())
                ThrowDirectoryError(ERR_INVALID_REQUEST,
                                    QStringLiteral("%1: tree %2 needs Url and Base").arg(File, Tree));
            Result.push_back(L);
        }
        S.endGroup();
    }
    return Result;
}

std::vector<TVolume> ReadPosixVolumes(const QString& File) {
    std::vector<TVolume> Result;
    if (!QFileInfo::exists(File))
        return Result;
    QSettings S(File, QSettings::IniFormat);
    for (const QString& Tree : S.childGroups()) {
        S.beginGroup(Tree + QStringLiteral("/Volume"));
        for (const QString& Server : S.childGroups()) {
            S.beginGroup(Server);
            for (const QString& Volume : S.childKeys()) {
                const QString Root = Value(S, Volume);
                if (Root.isEmpty() || !QFileInfo(Root).isAbsolute())
                    ThrowDirectoryError(ERR_INVALID_REQUEST,
                                        QStringLiteral("%1: Volume \\\\%2\\%3 braucht einen absoluten Ordner")
                                            .arg(File, Server, Volume));
                Result.push_back({Server, Volume, Root, QString()});
            }
            S.endGroup();
        }
        S.endGroup();
    }
    return Result;
}
