#include "SqliteParts.h"

#include <EDirectoryError.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

// A level of a network path: not empty, not "." or "..", nothing a file server refuses.
bool GoodLevel(const QString& Level) {
    if (Level.isEmpty() || Level == QLatin1String(".") || Level == QLatin1String(".."))
        return false;
    for (QChar C : Level)
        if (C.unicode() < 0x20 || QStringLiteral("/:*?\"<>|").contains(C))
            return false;
    return true;
}

bool Inside(const QString& Path, const QString& Root) {
    return Path == Root || Path.startsWith(Root.endsWith(QLatin1Char('/')) ? Root : Root + QLatin1Char('/'));
}

[[noreturn]] void FolderGone() {
    ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("The folder no longer exists"));
}

[[noreturn]] void AssignmentGone() {
    ThrowDirectoryError(ERR_NO_SUCH_VALUE, QStringLiteral("The trustee assignment no longer exists"));
}

} // namespace

bool MakeOwnerOnlyPath(const QString& Folder, QStringList* Created) {
    const QString Clean = QDir::cleanPath(QDir(Folder).absolutePath());
    if (QFileInfo(Clean).isDir())
        return true;
    QStringList Missing;
    QString P = Clean;
    while (!P.isEmpty() && !QFileInfo::exists(P)) {
        Missing.prepend(P);
        const QString Up = QFileInfo(P).absolutePath();
        if (Up == P)
            break;
        P = Up;
    }
    for (const QString& M : Missing) {
        if (QDir().mkdir(M, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
            if (Created)
                Created->append(M);
        } else if (!QFileInfo(M).isDir()) {
            return false;
        }
    }
    return QFileInfo(Clean).isDir();
}

TSqliteVolumes::TSqliteVolumes(TSqlConnection& Db, const QString& StoreFolder)
    : Db(Db), FStoreFolder(StoreFolder) {}

// ---------------------------------------------------------------------------------------------
// The volume map

QString TSqliteVolumes::AbsoluteRoot(const QString& Stored) const {
    return QDir::isRelativePath(Stored) ? QDir::cleanPath(FStoreFolder + QLatin1Char('/') + Stored) : Stored;
}

QString TSqliteVolumes::StoredRoot(const QString& Absolute) const {
    const QString Clean = QDir::cleanPath(QDir(Absolute).absolutePath());
    const QString Base = QDir::cleanPath(FStoreFolder) + QLatin1Char('/');
    return Clean.startsWith(Base) ? Clean.mid(Base.size()) : Clean;
}

bool TSqliteVolumes::FindRow(const QString& Server, const QString& Volume, TRow& Out) {
    static const TStatement Select("SELECT id, server, volume, root, volume_object FROM volumes "
                                   "WHERE userver=? AND uvolume=?");
    TQuery Q(Db, Select, Server.toUpper(), Volume.toUpper());
    if (!Q.Next())
        return false;
    Out = {Q.Value(0).toLongLong(),
           {Q.Value(1).toString(), Q.Value(2).toString(), AbsoluteRoot(Q.Value(3).toString()),
            Q.Value(4).toString()}};
    return true;
}

bool TSqliteVolumes::Find(const QString& Server, const QString& Volume, TVolume& Out) {
    TRow Row;
    if (!FindRow(Server, Volume, Row))
        return false;
    Out = Row.Volume;
    return true;
}

std::vector<TVolume> TSqliteVolumes::Volumes() {
    static const TStatement Select("SELECT server, volume, root, volume_object FROM volumes ORDER BY id");
    TQuery Q(Db, Select);
    std::vector<TVolume> L;
    while (Q.Next())
        L.push_back({Q.Value(0).toString(), Q.Value(1).toString(), AbsoluteRoot(Q.Value(2).toString()),
                     Q.Value(3).toString()});
    return L;
}

void TSqliteVolumes::Add(const TVolume& Volume) {
    for (const QString& Part : {Volume.Server, Volume.Volume})
        if (!GoodLevel(Part) || Part.contains(QLatin1Char('\\')) || Part.trimmed() != Part)
            ThrowDirectoryError(ERR_ILLEGAL_DS_NAME,
                                QStringLiteral("Illegal server or volume name \"%1\"").arg(Part));
    TRow Existing;
    if (FindRow(Volume.Server, Volume.Volume, Existing))
        ThrowDirectoryError(
            ERR_ENTRY_ALREADY_EXISTS,
            QStringLiteral("Volume exists already: \\\\%1\\%2").arg(Volume.Server, Volume.Volume));
    const QString Root =
        Volume.RootFolder.isEmpty()
            ? FStoreFolder + QStringLiteral("/volumes/") + Volume.Server + QLatin1Char('/') + Volume.Volume
            : QDir::cleanPath(QDir(Volume.RootFolder).absolutePath());
    const QString Object = Volume.VolumeObject.isNull() ? QStringLiteral("") : Volume.VolumeObject;
    static const TStatement Insert(
        "INSERT INTO volumes(server, volume, userver, uvolume, root, volume_object, "
        "uvolume_object) VALUES(?, ?, ?, ?, ?, ?, ?)");
    TSqlTransaction T(Db);
    MakeRoot(Root, Root);
    TQuery(Db, Insert, Volume.Server, Volume.Volume, Volume.Server.toUpper(), Volume.Volume.toUpper(),
           StoredRoot(Root), Object, Object.toUpper());
    T.Commit();
}

void TSqliteVolumes::SetRoot(const QString& Server, const QString& Volume, const QString& RootFolder) {
    TRow Row;
    if (!FindRow(Server, Volume, Row))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Unknown volume \\\\%1\\%2").arg(Server, Volume));
    const QString Root = QDir::cleanPath(QDir(RootFolder).absolutePath());
    static const TStatement Update("UPDATE volumes SET root=? WHERE id=?");
    TSqlTransaction T(Db);
    MakeRoot(RootFolder.isEmpty() ? QString() : Root, RootFolder);
    TQuery(Db, Update, StoredRoot(Root), Row.Id);
    T.Commit();
}

// A volume's root folder, made inside the transaction that enters it: the folders made go again
// should that transaction roll back. Shown names the folder in the error.
void TSqliteVolumes::MakeRoot(const QString& Root, const QString& Shown) {
    QStringList Created;
    const bool Made = !Root.isEmpty() && MakeOwnerOnlyPath(Root, &Created);
    Db.UndoOnRollback([Created] {
        for (auto It = Created.crbegin(); It != Created.crend(); ++It)
            QDir().rmdir(*It); // only while empty
    });
    if (!Made)
        ThrowDirectoryError(-1, QStringLiteral("Cannot create the volume folder %1").arg(Shown));
}

// ---------------------------------------------------------------------------------------------
// Folders

bool TSqliteVolumes::Map(const QString& Unc, TMapped& Out, QString* Why) {
    auto No = [&](const QString& Reason) {
        if (Why)
            *Why = Reason;
        return false;
    };
    if (!Unc.startsWith(QLatin1String("\\\\")))
        return No(QStringLiteral("not a network path: %1").arg(Unc));
    QString Rest = Unc.mid(2);
    if (Rest.endsWith(QLatin1Char('\\')))
        Rest.chop(1);
    const QStringList Parts = Rest.split(QLatin1Char('\\'));
    if (Parts.size() < 2)
        return No(QStringLiteral("no volume in %1").arg(Unc));
    for (const QString& P : Parts)
        if (!GoodLevel(P))
            return No(QStringLiteral("invalid path %1").arg(Unc));
    if (!FindRow(Parts[0], Parts[1], Out.Volume))
        return No(QStringLiteral("unknown volume \\\\%1\\%2").arg(Parts[0], Parts[1]));
    const QStringList Levels = Parts.mid(2);
    Out.Key = Levels.join(QLatin1Char('\\')).toUpper();

    // Follow the existing spelling on disk; missing levels keep the given spelling.
    QString Local = Out.Volume.Volume.RootFolder;
    QString DeepestExisting = QFileInfo(Local).isDir() ? Local : QString();
    bool Exists = !DeepestExisting.isEmpty();
    for (const QString& Level : Levels) {
        QString Next = Local + QLatin1Char('/') + Level;
        if (Exists && !QFileInfo::exists(Next)) {
            const QStringList Entries =
                QDir(Local).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
            auto It = std::find_if(Entries.begin(), Entries.end(), [&](const QString& E) {
                return E.compare(Level, Qt::CaseInsensitive) == 0;
            });
            if (It != Entries.end())
                Next = Local + QLatin1Char('/') + *It;
        }
        Exists = Exists && QFileInfo::exists(Next);
        if (Exists)
            DeepestExisting = Next;
        Local = Next;
    }
    Out.Local = Local;
    // A link inside the volume must not lead out of it.
    if (!DeepestExisting.isEmpty()) {
        const QString Root = QFileInfo(Out.Volume.Volume.RootFolder).canonicalFilePath();
        const QString Real = QFileInfo(DeepestExisting).canonicalFilePath();
        if (Root.isEmpty() || !Inside(Real, Root))
            return No(QStringLiteral("path leaves its volume: %1").arg(Unc));
    }
    return true;
}

QString TSqliteVolumes::LocalPath(const QString& UncPath) {
    TMapped Mapped;
    return Map(UncPath, Mapped) ? Mapped.Local : QString();
}

bool TSqliteVolumes::CreateFolder(const QString& UncPath) {
    TMapped Mapped;
    if (!Map(UncPath, Mapped))
        return false;
    if (!QFileInfo(Mapped.Local).isDir())
        Db.CheckWritable();
    return MakeOwnerOnlyPath(Mapped.Local);
}

QStringList TSqliteVolumes::ListFolders(const QString& UncPath) {
    TMapped Mapped;
    QString Why;
    if (!Map(UncPath, Mapped, &Why))
        ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("Invalid path: %1").arg(Why));
    if (!QFileInfo(Mapped.Local).isDir())
        return {};
    return QDir(Mapped.Local)
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
}

TFolderKey TSqliteVolumes::OpenFolder(const QString& UncPath) {
    TMapped Mapped;
    QString Why;
    if (!Map(UncPath, Mapped, &Why))
        ThrowDirectoryError(ERR_INVALID_PATH,
                            QStringLiteral("Invalid path: %1").arg(Why.isEmpty() ? UncPath : Why));
    if (!QFileInfo(Mapped.Local).isDir())
        ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("No such folder: %1").arg(UncPath));
    static const TStatement Select("SELECT id FROM folders WHERE volume_id=? AND path=?");
    {
        TQuery Q(Db, Select, Mapped.Volume.Id, Mapped.Key);
        if (Q.Next())
            return {Q.Value(0).toLongLong(), QString()};
    }
    // A folder gets its row (flags and trustees) when first opened; until then it has none of
    // either, which a store that may only be read answers without the row.
    if (Db.ReadOnly())
        return {0, QString()};
    static const TStatement Insert("INSERT INTO folders(volume_id, path) VALUES(?, ?)");
    TSqlTransaction T(Db);
    const qint64 Id = TQuery(Db, Insert, Mapped.Volume.Id, Mapped.Key).LastInsertId();
    T.Commit();
    return {Id, QString()};
}

bool TSqliteVolumes::Flag(const TFolderKey& Folder, TFolderFlag Flag) {
    static const TStatement Delete("SELECT delete_inhibit FROM folders WHERE id=?");
    static const TStatement Rename("SELECT rename_inhibit FROM folders WHERE id=?");
    if (!Folder.Id) // a folder without its row yet
        return false;
    TQuery Q(Db, Flag == TFolderFlag::DeleteInhibit ? Delete : Rename, Folder.Id);
    if (!Q.Next())
        FolderGone();
    return Q.Value(0).toBool();
}

void TSqliteVolumes::SetFlag(const TFolderKey& Folder, TFolderFlag Flag, bool On) {
    static const TStatement Delete("UPDATE folders SET delete_inhibit=? WHERE id=?");
    static const TStatement Rename("UPDATE folders SET rename_inhibit=? WHERE id=?");
    TSqlTransaction T(Db);
    if (TQuery(Db, Flag == TFolderFlag::DeleteInhibit ? Delete : Rename, On ? 1 : 0, Folder.Id)
            .RowsAffected() != 1)
        FolderGone();
    T.Commit();
}

// ---------------------------------------------------------------------------------------------
// Trustees

QStringList TSqliteVolumes::Trustees(const TFolderKey& Folder) {
    static const TStatement Select("SELECT trustee FROM trustees WHERE folder_id=? ORDER BY rowid");
    TQuery Q(Db, Select, Folder.Id);
    QStringList L;
    while (Q.Next())
        L.append(Q.Value(0).toString());
    return L;
}

bool TSqliteVolumes::HasTrustee(const TFolderKey& Folder, const QString& Trustee) {
    static const TStatement Select("SELECT 1 FROM trustees WHERE folder_id=? AND utrustee=?");
    TQuery Q(Db, Select, Folder.Id, Trustee.toUpper());
    return Q.Next();
}

void TSqliteVolumes::AddTrustee(const TFolderKey& Folder, const QString& Trustee) {
    static const TStatement Insert(
        "INSERT OR IGNORE INTO trustees(folder_id, trustee, utrustee, rights) VALUES(?, ?, ?, 0)");
    TSqlTransaction T(Db);
    TQuery(Db, Insert, Folder.Id, Trustee, Trustee.toUpper());
    T.Commit();
}

int TSqliteVolumes::Rights(const TFolderKey& Folder, const QString& Trustee) {
    static const TStatement Select("SELECT rights FROM trustees WHERE folder_id=? AND utrustee=?");
    TQuery Q(Db, Select, Folder.Id, Trustee.toUpper());
    if (!Q.Next())
        AssignmentGone();
    return Q.Value(0).toInt();
}

void TSqliteVolumes::ChangeRights(const TFolderKey& Folder, const QString& Trustee, int Grant, int Revoke) {
    static const TStatement Update(
        "UPDATE trustees SET rights=((rights | ?) & ~?) WHERE folder_id=? AND utrustee=?");
    TSqlTransaction T(Db);
    if (TQuery(Db, Update, Grant, Revoke, Folder.Id, Trustee.toUpper()).RowsAffected() != 1)
        AssignmentGone();
    T.Commit();
}

void TSqliteVolumes::ForgetTrustee(const QString& FullName) {
    static const TStatement Delete("DELETE FROM trustees WHERE utrustee=? OR (utrustee>? AND utrustee<?)");
    const QString Upper = FullName.toUpper();
    TQuery(Db, Delete, Upper, Upper + QLatin1Char('\\'), Upper + QLatin1Char(']'));
}
