#include "NWFileSystem.h"

#include "ClientStore.h"
#include "ClientStorePrivate.h"

#include "EDirectoryError.h"

#include <QDir>
#include <QFileInfo>

namespace NWFileSystem {

bool ForceDirectories(const QString& UncPath) { return ForceDirectories(TClientStore::Instance(), UncPath); }

bool ForceDirectories(TClientStore& Store, const QString& UncPath) {
    TClientStore::TPrivate::TMappedPath Mapped;
    if (!Store.Private().MapUnc(UncPath, Mapped))
        return false;
    return ClientInternal::MakeOwnerOnlyPath(Mapped.Local);
}

bool DirectoryExists(const QString& UncPath) { return DirectoryExists(TClientStore::Instance(), UncPath); }

bool DirectoryExists(TClientStore& Store, const QString& UncPath) {
    const QString Local = LocalPath(Store, UncPath);
    return !Local.isEmpty() && QFileInfo(Local).isDir();
}

QString LocalPath(TClientStore& Store, const QString& UncPath) {
    TClientStore::TPrivate::TMappedPath Mapped;
    return Store.Private().MapUnc(UncPath, Mapped) ? Mapped.Local : QString();
}

QStringList ServerVolumes(const QString& Server) {
    QStringList Names;
    for (const TClientStore::TVolume& V : TClientStore::Instance().Volumes())
        if (V.Server.compare(Server, Qt::CaseInsensitive) == 0)
            Names << V.Volume;
    return Names;
}

QStringList ListFolders(const QString& UncPath) {
    const QString Local = LocalPath(TClientStore::Instance(), UncPath);
    if (Local.isEmpty())
        throw EDirectoryError(QStringLiteral("\"") + UncPath + QStringLiteral("\" liegt auf keinem Volume."));
    return QDir(Local).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
}

} // namespace NWFileSystem
