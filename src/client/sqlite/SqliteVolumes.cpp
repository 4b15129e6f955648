#include "SqliteParts.h"

#include <EDirectoryError.h>
#include <VolumePath.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

bool Inside(const QString& Path, const QString& Root) {
    return Path == Root || Path.startsWith(Root.endsWith(QLatin1Char('/')) ? Root : Root + QLatin1Char('/'));
}

[[noreturn]] void FolderGone() {
    ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("Den Ordner gibt es nicht mehr"));
}

[[noreturn]] void UnknownVolume(const QString& Server, const QString& Volume) {
    ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                        QStringLiteral("Unbekanntes Volume \\\\%1\\%2").arg(Server, Volume));
}

[[noreturn]] void AssignmentGone() {
    ThrowDirectoryError(ERR_NO_SUCH_VALUE, QStringLiteral("Die Trustee-Zuweisung gibt es nicht mehr"));
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
    : Db(Db), FStoreFolder(StoreFolder) {
    Db.OnRollback([this] { DropCaches(); });
}

void TSqliteVolumes::DropCaches() {
    FRowsLoaded = false;
    FRows.clear();
    FFolderIds.clear();
    FListings.clear();
}

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

const std::vector<TSqliteVolumes::TRow>& TSqliteVolumes::Rows() {
    if (!FRowsLoaded) {
        static const TStatement Select(
            "SELECT id, server, volume, root, volume_object, userver, uvolume FROM volumes ORDER BY id");
        std::vector<TRow> Rows;
        TQuery Q(Db, Select);
        while (Q.Next())
            Rows.push_back({Q.Value(0).toLongLong(),
                            {Q.Value(1).toString(), Q.Value(2).toString(),
                             AbsoluteRoot(Q.Value(3).toString()), Q.Value(4).toString()},
                            Q.Value(5).toString(),
                            Q.Value(6).toString()});
        FRows = std::move(Rows);
        FRowsLoaded = true;
    }
    return FRows;
}

const TSqliteVolumes::TRow* TSqliteVolumes::FindRow(const QString& Server, const QString& Volume) {
    const QString UServer = Server.toUpper();
    const QString UVolume = Volume.toUpper();
    for (const TRow& Row : Rows())
        if (Row.UServer == UServer && Row.UVolume == UVolume)
            return &Row;
    return nullptr;
}

bool TSqliteVolumes::Find(const QString& Server, const QString& Volume, TVolume& Out) {
    const TRow* Row = FindRow(Server, Volume);
    if (Row)
        Out = Row->Volume;
    return Row;
}

std::vector<TVolume> TSqliteVolumes::Volumes() {
    std::vector<TVolume> L;
    for (const TRow& Row : Rows())
        L.push_back(Row.Volume);
    return L;
}

void TSqliteVolumes::Add(const TVolume& Volume) {
    for (const QString& Part : {Volume.Server, Volume.Volume})
        if (!VolumePath::LevelFault(Part).isEmpty() || Part.contains(QLatin1Char('\\')) ||
            Part.trimmed() != Part)
            ThrowDirectoryError(ERR_ILLEGAL_DS_NAME,
                                QStringLiteral("Unzulässiger Server- oder Volume-Name \"%1\"").arg(Part));
    if (FindRow(Volume.Server, Volume.Volume))
        ThrowDirectoryError(
            ERR_ENTRY_ALREADY_EXISTS,
            QStringLiteral("Das Volume gibt es bereits: \\\\%1\\%2").arg(Volume.Server, Volume.Volume));
    const QString Root =
        Volume.RootFolder.isEmpty()
            ? FStoreFolder + QStringLiteral("/volumes/") + Volume.Server + QLatin1Char('/') + Volume.Volume
            : QDir::cleanPath(QDir(Volume.RootFolder).absolutePath());
    const QString Object = Volume.VolumeObject.isNull() ? QStringLiteral("") : Volume.VolumeObject;
    static const TStatement Insert(
        "INSERT INTO volumes(server, volume, userver, uvolume, root, volume_object, "
        "uvolume_object) VALUES(?, ?, ?, ?, ?, ?, ?)");
    TSqlTransaction T(Db);
    FRowsLoaded = false;
    MakeRoot(Root, Root);
    TQuery(Db, Insert, Volume.Server, Volume.Volume, Volume.Server.toUpper(), Volume.Volume.toUpper(),
           StoredRoot(Root), Object, Object.toUpper());
    T.Commit();
}

void TSqliteVolumes::SetRoot(const QString& Server, const QString& Volume, const QString& RootFolder) {
    const TRow* Row = FindRow(Server, Volume);
    if (!Row)
        UnknownVolume(Server, Volume);
    const qint64 Id = Row->Id;
    const QString Root = QDir::cleanPath(QDir(RootFolder).absolutePath());
    static const TStatement Update("UPDATE volumes SET root=? WHERE id=?");
    TSqlTransaction T(Db);
    FRowsLoaded = false;
    MakeRoot(RootFolder.isEmpty() ? QString() : Root, RootFolder);
    TQuery(Db, Update, StoredRoot(Root), Id);
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
        ThrowDirectoryError(
            -1, QStringLiteral("Der Ordner des Volumes %1 kann nicht angelegt werden").arg(Shown));
}

// ---------------------------------------------------------------------------------------------
// Folders

bool TSqliteVolumes::Map(const QString& Unc, TMapped& Out, QString* Why) {
    auto No = [&](const QString& Reason) {
        if (Why)
            *Why = Reason;
        return false;
    };
    VolumePath::TParts Parts;
    QString Fault;
    if (!VolumePath::Split(Unc, Parts, &Fault))
        return No(Fault);
    const TRow* Row = FindRow(Parts.Server, Parts.Volume);
    if (!Row)
        return No(QStringLiteral("unbekanntes Volume \\\\%1\\%2").arg(Parts.Server, Parts.Volume));
    Out.Volume = *Row;
    const QStringList& Levels = Parts.Levels;
    Out.Key = Levels.join(QLatin1Char('\\')).toUpper();

    // Each level is looked at once, without following a link: plain folders below the root keep a
    // path inside the volume, so only a path through a link is resolved to see where it leads.
    // Existing levels follow their spelling on disk; missing levels keep the given spelling.
    const QString& Root = Out.Volume.Volume.RootFolder;
    QString Local = Root;
    QString DeepestExisting;
    bool Exists = true;
    bool IsDir = Levels.isEmpty() && QFileInfo(Root).isDir();
    bool ThroughLink = false;
    for (const QString& Level : Levels) {
        QString Next = Local + QLatin1Char('/') + Level;
        if (Exists) {
            QFileInfo Info(Next);
            bool Link = Info.isSymLink() || Info.isJunction();
            if (!Info.exists()) {
                if (const QString Spelt = SpeltOnDisk(Local, Level); !Spelt.isEmpty()) {
                    Next = Local + QLatin1Char('/') + Spelt;
                    Info.setFile(Next);
                    Link = Info.isSymLink() || Info.isJunction();
                }
            }
            Exists = Info.exists();
            IsDir = Exists && Info.isDir();
            if (Exists) {
                DeepestExisting = Next;
                ThroughLink = ThroughLink || Link;
            }
        }
        Local = Next;
    }
    Out.Local = Local;
    Out.IsDir = Exists && IsDir;
    // A link inside the volume must not lead out of it.
    if (ThroughLink) {
        const QString RootReal = QFileInfo(Root).canonicalFilePath();
        const QString Real = QFileInfo(DeepestExisting).canonicalFilePath();
        if (RootReal.isEmpty() || !Inside(Real, RootReal))
            return No(QStringLiteral("der Pfad verlässt sein Volume: %1").arg(Unc));
    }
    return true;
}

QString TSqliteVolumes::LocalPath(const QString& UncPath) {
    TMapped Mapped;
    return Map(UncPath, Mapped) ? Mapped.Local : QString();
}

bool TSqliteVolumes::FolderExists(const QString& UncPath) {
    TMapped Mapped;
    return Map(UncPath, Mapped) && Mapped.IsDir;
}

bool TSqliteVolumes::CreateFolder(const QString& UncPath) {
    TMapped Mapped;
    if (!Map(UncPath, Mapped))
        return false;
    if (Mapped.IsDir)
        return true;
    Db.CheckWritable();
    QStringList Created;
    const bool Made = MakeOwnerOnlyPath(Mapped.Local, &Created);
    if (Db.InTransaction()) {
        // Folders made by a transaction go again should it roll back (only while empty).
        Db.UndoOnRollback([Created] {
            for (auto It = Created.crbegin(); It != Created.crend(); ++It)
                QDir().rmdir(*It);
        });
        if (FListingsTransaction == Db.TransactionNumber())
            for (const QString& Folder : Created) {
                const QFileInfo Info(Folder);
                const auto Listing = FListings.find(Info.path());
                if (Listing != FListings.end())
                    Listing->insert(Info.fileName().toUpper(), Info.fileName());
            }
    }
    return Made;
}

QString TSqliteVolumes::SpeltOnDisk(const QString& Local, const QString& Level) {
    auto List = [&] {
        QHash<QString, QString> Names;
        for (const QString& E : QDir(Local).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
            if (!Names.contains(E.toUpper())) // the first by name of names alike but for case
                Names.insert(E.toUpper(), E);
        return Names;
    };
    const quint64 Transaction = Db.TransactionNumber();
    if (!Transaction)
        return List().value(Level.toUpper());
    if (FListingsTransaction != Transaction) {
        FListings.clear();
        FListingsTransaction = Transaction;
    }
    auto It = FListings.find(Local);
    if (It == FListings.end())
        It = FListings.insert(Local, List());
    return It->value(Level.toUpper());
}

QStringList TSqliteVolumes::ListFolders(const QString& UncPath) {
    TMapped Mapped;
    QString Why;
    if (!Map(UncPath, Mapped, &Why))
        ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("Ungültiger Pfad: %1").arg(Why));
    if (!Mapped.IsDir)
        return {};
    return QDir(Mapped.Local)
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
}

bool TSqliteVolumes::RemoveFolder(const QString& UncPath) {
    TMapped Mapped;
    if (!Map(UncPath, Mapped) || !Mapped.IsDir || Mapped.Key.isEmpty())
        return false;
    if (!QDir(Mapped.Local).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        return false;
    static const TStatement Delete("DELETE FROM folders WHERE volume_id=? AND path=?");
    TSqlTransaction T(Db);
    TQuery(Db, Delete, Mapped.Volume.Id, Mapped.Key);
    if (!QDir().rmdir(Mapped.Local))
        return false; // the row stays: the transaction is abandoned
    FFolderIds.remove({Mapped.Volume.Id, Mapped.Key});
    FListings.clear();
    T.Commit();
    return true;
}

TFolderKey TSqliteVolumes::OpenFolder(const QString& UncPath) {
    TMapped Mapped;
    QString Why;
    if (!Map(UncPath, Mapped, &Why))
        ThrowDirectoryError(ERR_INVALID_PATH,
                            QStringLiteral("Ungültiger Pfad: %1").arg(Why.isEmpty() ? UncPath : Why));
    if (!Mapped.IsDir)
        ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("Ordner nicht gefunden: %1").arg(UncPath));
    const std::pair<qint64, QString> Key{Mapped.Volume.Id, Mapped.Key};
    if (const auto Known = FFolderIds.constFind(Key); Known != FFolderIds.constEnd())
        return {*Known, QString()};
    static const TStatement Select("SELECT id FROM folders WHERE volume_id=? AND path=?");
    qint64 Id = 0;
    {
        TQuery Q(Db, Select, Mapped.Volume.Id, Mapped.Key);
        if (Q.Next())
            Id = Q.Value(0).toLongLong();
    }
    if (!Id) {
        // A folder gets its row (flags and trustees) when first opened; until then it has none of
        // either, which a store that may only be read answers without the row.
        if (Db.ReadOnly())
            return {0, QString()};
        static const TStatement Insert("INSERT INTO folders(volume_id, path) VALUES(?, ?)");
        TSqlTransaction T(Db);
        Id = TQuery(Db, Insert, Mapped.Volume.Id, Mapped.Key).LastInsertId();
        T.Commit();
    }
    FFolderIds.insert(Key, Id);
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

std::optional<int> TSqliteVolumes::FindTrustee(const TFolderKey& Folder, const QString& Trustee) {
    static const TStatement Select("SELECT rights FROM trustees WHERE folder_id=? AND utrustee=?");
    TQuery Q(Db, Select, Folder.Id, Trustee.toUpper());
    if (!Q.Next())
        return std::nullopt;
    return Q.Value(0).toInt();
}

void TSqliteVolumes::AddTrustee(const TFolderKey& Folder, const QString& Trustee) {
    static const TStatement Insert(
        "INSERT OR IGNORE INTO trustees(folder_id, trustee, utrustee, rights) VALUES(?, ?, ?, 0)");
    TSqlTransaction T(Db);
    TQuery(Db, Insert, Folder.Id, Trustee, Trustee.toUpper());
    T.Commit();
}

void TSqliteVolumes::RemoveTrustee(const TFolderKey& Folder, const QString& Trustee) {
    static const TStatement Delete("DELETE FROM trustees WHERE folder_id=? AND utrustee=?");
    TSqlTransaction T(Db);
    TQuery(Db, Delete, Folder.Id, Trustee.toUpper());
    T.Commit();
}

int TSqliteVolumes::Rights(const TFolderKey& Folder, const QString& Trustee) {
    const std::optional<int> Rights = FindTrustee(Folder, Trustee);
    if (!Rights)
        AssignmentGone();
    return *Rights;
}

void TSqliteVolumes::ChangeRights(const TFolderKey& Folder, const QString& Trustee, int Grant, int Revoke) {
    static const TStatement Update(
        "UPDATE trustees SET rights=((rights | ?) & ~?) WHERE folder_id=? AND utrustee=?");
    TSqlTransaction T(Db);
    if (TQuery(Db, Update, Grant, Revoke, Folder.Id, Trustee.toUpper()).RowsAffected() != 1)
        AssignmentGone();
    T.Commit();
}

std::vector<TFolderState> TSqliteVolumes::States(const QString& Server, const QString& Volume) {
    const TRow* Row = FindRow(Server, Volume);
    if (!Row)
        UnknownVolume(Server, Volume);
    static const TStatement Select(
        "SELECT f.id, f.path, f.delete_inhibit, f.rename_inhibit, t.trustee, t.rights FROM folders f "
        "LEFT JOIN trustees t ON t.folder_id=f.id WHERE f.volume_id=? "
        "AND (f.delete_inhibit OR f.rename_inhibit OR t.trustee IS NOT NULL) ORDER BY f.id, t.rowid");
    TQuery Q(Db, Select, Row->Id);
    std::vector<TFolderState> States;
    qint64 Last = 0;
    while (Q.Next()) {
        if (States.empty() || Q.Value(0).toLongLong() != Last) {
            Last = Q.Value(0).toLongLong();
            States.push_back({Q.Value(1).toString(), Q.Value(2).toBool(), Q.Value(3).toBool(), {}, {}});
        }
        if (!Q.Value(4).isNull()) {
            States.back().Trustees.append(Q.Value(4).toString());
            States.back().Rights.append(Q.Value(5).toInt());
        }
    }
    return States;
}

void TSqliteVolumes::ForgetTrustee(const QString& FullName) {
    static const TStatement Delete("DELETE FROM trustees WHERE utrustee=? OR (utrustee>? AND utrustee<?)");
    const QString Upper = FullName.toUpper();
    TQuery(Db, Delete, Upper, Upper + QLatin1Char('\\'), Upper + QLatin1Char(']'));
}
