#include "NWVolAdm.h"

#include "ClientStore.h"
#include "ClientStorePrivate.h"
#include "FaultInjection.h"
#include "NWCalls.h"

#include <QFileInfo>

using namespace ClientInternal;

namespace {

int Bit(TRight R) {
    switch (R) {
    case TRight::Supervisor:
        return 0x100;
    case TRight::Read:
        return 0x001;
    case TRight::Write:
        return 0x002;
    case TRight::Create:
        return 0x008;
    case TRight::Modify:
        return 0x080;
    case TRight::FileScan:
        return 0x040;
    case TRight::Erase:
        return 0x010;
    case TRight::AccessControl:
        return 0x020;
    }
    return 0;
}

// The trustee's rights; throws when the assignment is gone.
int ReadMask(TClientStore& Store, qint64 FolderId, qint64 TrusteeId) {
    auto& D = Store.Private();
    QSqlQuery& Q = D.Run(QStringLiteral("SELECT rights FROM trustees WHERE folder_id=? AND object_id=?"),
                         {FolderId, TrusteeId});
    const bool Found = Q.next();
    const int Mask = Found ? Q.value(0).toInt() : 0;
    Q.finish();
    if (!Found)
        Fail(ERR_NO_SUCH_VALUE, QStringLiteral("The trustee assignment no longer exists"));
    return Mask;
}

bool ReadFlag(TClientStore& Store, qint64 FolderId, const char* Column) {
    auto& D = Store.Private();
    QSqlQuery& Q = D.Run(QStringLiteral("SELECT %1 FROM folders WHERE id=?").arg(QLatin1String(Column)), {FolderId});
    const bool Found = Q.next();
    const bool On = Found && Q.value(0).toBool();
    Q.finish();
    if (!Found)
        Fail(ERR_INVALID_PATH, QStringLiteral("The folder no longer exists"));
    return On;
}

void WriteFlag(TClientStore& Store, qint64 FolderId, const char* Column, bool On) {
    auto& D = Store.Private();
    TStoreTransaction T(Store);
    QSqlQuery& Q =
        D.Run(QStringLiteral("UPDATE folders SET %1=? WHERE id=?").arg(QLatin1String(Column)), {On ? 1 : 0, FolderId});
    if (Q.numRowsAffected() != 1)
        Fail(ERR_INVALID_PATH, QStringLiteral("The folder no longer exists"));
    T.Commit();
}

} // namespace

// ---------------------------------------------------------------------------------------------

bool NWRights::Right(TRight R) const {
    TFaultInjection::Check(QStringLiteral("NWRights.Right"));
    return ReadMask(FStore, FFolderId, FTrusteeId) & Bit(R);
}

void NWRights::SetRight(TRight R, bool Granted) {
    TFaultInjection::Check(QStringLiteral("NWRights.Right"));
    auto& D = FStore.Private();
    TStoreTransaction T(FStore);
    QSqlQuery& Q = D.Run(Granted ? QStringLiteral("UPDATE trustees SET rights=(rights | ?) WHERE folder_id=? AND object_id=?")
                                 : QStringLiteral("UPDATE trustees SET rights=(rights & ~?) WHERE folder_id=? AND object_id=?"),
                         {Bit(R), FFolderId, FTrusteeId});
    if (Q.numRowsAffected() != 1)
        Fail(ERR_NO_SUCH_VALUE, QStringLiteral("The trustee assignment no longer exists"));
    T.Commit();
}

int NWRights::Mask() const {
    TFaultInjection::Check(QStringLiteral("NWRights.Mask"));
    return ReadMask(FStore, FFolderId, FTrusteeId);
}

// ---------------------------------------------------------------------------------------------

NWTrusteePtr NWTrustees::Add(const QString& TrusteeFullName, int Reserved) {
    TFaultInjection::Check(QStringLiteral("NWTrustees.Add"));
    auto& D = FStore.Private();
    TClientStore::TObjectRef Ref;
    if (!D.Lookup(TrusteeFullName, Ref) || Ref.Id == 0)
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("Unknown trustee: %1").arg(TrusteeFullName));
    TStoreTransaction T(FStore);
    D.Run(QStringLiteral("INSERT OR IGNORE INTO trustees(folder_id, object_id, rights) VALUES(?, ?, 0)"),
          {FFolderId, Ref.Id});
    T.Commit();
    return std::make_shared<NWTrustee>(FStore, FFolderId, Ref.Id, Ref.FullName);
}

NWTrusteePtr NWTrustees::Item(const QString& TrusteeName, int Reserved) {
    TFaultInjection::Check(QStringLiteral("NWTrustees.Item"));
    auto& D = FStore.Private();
    TClientStore::TObjectRef Ref;
    QString Tree, Levels;
    bool Found = false;
    if (SplitFullName(TrusteeName, Tree, Levels)) {
        Found = D.Lookup(TrusteeName, Ref);
    } else {
        // A dotted name, in the tree of the folder's volume object (else the first connected tree).
        QSqlQuery& Q = D.Run(QStringLiteral("SELECT v.volume_object FROM folders f JOIN volumes v ON v.id=f.volume_id "
                                            "WHERE f.id=?"),
                             {FFolderId});
        const QString VolumeObject = Q.next() ? Q.value(0).toString() : QString();
        Q.finish();
        QString VolumeTree;
        if (!SplitFullName(VolumeObject, VolumeTree, Levels)) {
            const QStringList Connected = FStore.ConnectedTrees();
            if (!Connected.isEmpty())
                SplitFullName(Connected.first(), VolumeTree, Levels);
        }
        const qint64 Tid = VolumeTree.isEmpty() ? 0 : D.TreeId(VolumeTree);
        Found = Tid && D.LookupDotted(Tid, TrusteeName, Ref);
    }
    if (!Found || Ref.Id == 0)
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("Unknown trustee: %1").arg(TrusteeName));
    QSqlQuery& Q = D.Run(QStringLiteral("SELECT 1 FROM trustees WHERE folder_id=? AND object_id=?"), {FFolderId, Ref.Id});
    const bool Assigned = Q.next();
    Q.finish();
    if (!Assigned)
        Fail(ERR_NO_SUCH_VALUE, QStringLiteral("%1 holds no rights here").arg(Ref.FullName));
    return std::make_shared<NWTrustee>(FStore, FFolderId, Ref.Id, Ref.FullName);
}

int NWTrustees::Count() const {
    TFaultInjection::Check(QStringLiteral("NWTrustees.Count"));
    QSqlQuery& Q = FStore.Private().Run(QStringLiteral("SELECT COUNT(*) FROM trustees WHERE folder_id=?"), {FFolderId});
    const int N = Q.next() ? Q.value(0).toInt() : 0;
    Q.finish();
    return N;
}

NWTrusteePtr NWTrustees::ItemAt(int Index) const {
    TFaultInjection::Check(QStringLiteral("NWTrustees.ItemAt"));
    auto& D = FStore.Private();
    QSqlQuery& Q = D.Run(QStringLiteral("SELECT object_id FROM trustees WHERE folder_id=? ORDER BY rowid LIMIT 1 OFFSET ?"),
                         {FFolderId, Index});
    const bool Found = Index >= 0 && Q.next();
    const qint64 Id = Found ? Q.value(0).toLongLong() : 0;
    Q.finish();
    TClientStore::TObjectRef Ref;
    if (!Found || !D.LookupId(Id, Ref))
        Fail(ERR_INVALID_REQUEST, QStringLiteral("No trustee at position %1").arg(Index));
    return std::make_shared<NWTrustee>(FStore, FFolderId, Id, Ref.FullName);
}

// ---------------------------------------------------------------------------------------------

bool NWDirectoryEntry::DeleteInhibit() const {
    TFaultInjection::Check(QStringLiteral("NWDirectoryEntry.DeleteInhibit"));
    return ReadFlag(FStore, FFolderId, "delete_inhibit");
}

void NWDirectoryEntry::SetDeleteInhibit(bool On) {
    TFaultInjection::Check(QStringLiteral("NWDirectoryEntry.DeleteInhibit"));
    WriteFlag(FStore, FFolderId, "delete_inhibit", On);
}

bool NWDirectoryEntry::RenameInhibit() const {
    TFaultInjection::Check(QStringLiteral("NWDirectoryEntry.RenameInhibit"));
    return ReadFlag(FStore, FFolderId, "rename_inhibit");
}

void NWDirectoryEntry::SetRenameInhibit(bool On) {
    TFaultInjection::Check(QStringLiteral("NWDirectoryEntry.RenameInhibit"));
    WriteFlag(FStore, FFolderId, "rename_inhibit", On);
}

// ---------------------------------------------------------------------------------------------

NWVolAdm::NWVolAdm(QObject* Parent) : NWVolAdm(TClientStore::Instance(), Parent) {}

NWVolAdm::NWVolAdm(TClientStore& Store, QObject* Parent) : QObject(Parent), FStore(Store) {}

void NWVolAdm::SetFullName(const QString& Volume) {
    TFaultInjection::Check(QStringLiteral("NWVolAdm.FullName"));
    QString Text = Volume;
    if (Text.endsWith(QLatin1Char('\\')) && !Text.endsWith(QLatin1String("\\\\")))
        Text.chop(1);
    const QStringList Parts = Text.startsWith(QLatin1String("\\\\")) ? Text.mid(2).split(QLatin1Char('\\')) : QStringList();
    TClientStore::TPrivate::TVolumeRow Row;
    if (Parts.size() != 2 || !FStore.Private().FindVolume(Parts[0], Parts[1], Row))
        Fail(ERR_INVALID_PATH, QStringLiteral("Unknown volume: %1").arg(Volume));
    FFullName = QStringLiteral("\\\\%1\\%2").arg(Row.Server, Row.Volume);
    FVolumeId = Row.Id;
}

NWDirectoryEntryPtr NWVolAdm::GetDirectoryEntry(const QString& Path) const {
    TFaultInjection::Check(QStringLiteral("NWVolAdm.GetDirectoryEntry"));
    if (FFullName.isEmpty())
        Fail(ERR_INVALID_PATH, QStringLiteral("The volume control is not positioned"));
    const bool OnVolume = Path.compare(FFullName, Qt::CaseInsensitive) == 0 ||
                          Path.startsWith(FFullName + QLatin1Char('\\'), Qt::CaseInsensitive);
    if (!OnVolume)
        Fail(ERR_INVALID_PATH, QStringLiteral("%1 does not lie on %2").arg(Path, FFullName));
    auto& D = FStore.Private();
    TClientStore::TPrivate::TMappedPath Mapped;
    QString Why;
    if (!D.MapUnc(Path, Mapped, &Why) || Mapped.Volume.Id != FVolumeId)
        Fail(ERR_INVALID_PATH, QStringLiteral("Invalid path: %1").arg(Why.isEmpty() ? Path : Why));
    if (!QFileInfo(Mapped.Local).isDir())
        Fail(ERR_INVALID_PATH, QStringLiteral("No such folder: %1").arg(Path));
    const qint64 Folder = D.FolderId(Mapped.Volume.Id, Mapped.Key);
    return std::make_shared<NWDirectoryEntry>(FStore, Folder, Path);
}
