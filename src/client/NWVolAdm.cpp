#include "NWVolAdm.h"

#include "DirectoryClient.h"
#include "FaultInjection.h"

#include <EDirectoryError.h>
#include <Names.h>

namespace {

[[noreturn]] void UnknownTrustee(const QString& Name) {
    ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Unbekannter Trustee: %1").arg(Name));
}

// The fault-injection name of reading and writing a folder flag.
QString FlagCall(TFolderFlag Which) {
    return Which == TFolderFlag::DeleteInhibit ? QStringLiteral("NWDirectoryEntry.DeleteInhibit")
                                               : QStringLiteral("NWDirectoryEntry.RenameInhibit");
}

} // namespace

// ---------------------------------------------------------------------------------------------

int NWRights::Read() const {
    return FFound ? *FFound : FClient.VolumeStore().TrusteeRights(FFolder, FTrustee);
}

bool NWRights::Right(TRight R) const {
    TFaultInjection::Check(QStringLiteral("NWRights.Right"));
    return Read() & RightBit(R);
}

void NWRights::SetRight(TRight R, bool Granted) {
    TFaultInjection::Check(QStringLiteral("NWRights.Right"));
    FFound.reset();
    FClient.VolumeStore().ChangeTrusteeRights(FFolder, FTrustee, Granted ? RightBit(R) : 0,
                                              Granted ? 0 : RightBit(R));
}

int NWRights::Mask() const {
    TFaultInjection::Check(QStringLiteral("NWRights.Mask"));
    return Read();
}

// ---------------------------------------------------------------------------------------------

NWTrusteePtr NWTrustees::Add(const QString& TrusteeFullName, int Reserved) {
    TFaultInjection::Check(QStringLiteral("NWTrustees.Add"));
    TObjectRef Ref;
    if (!FClient.Directory().TryResolve(TrusteeFullName, Ref) || Ref.IsTreeRoot())
        UnknownTrustee(TrusteeFullName);
    FClient.VolumeStore().AddTrustee(FFolder, Ref.FullName);
    return std::make_shared<NWTrustee>(FClient, FFolder, Ref.FullName);
}

NWTrusteePtr NWTrustees::Assign(const QString& TrusteeFullName, int Mask) {
    TFaultInjection::Check(QStringLiteral("NWTrustees.Add"));
    TObjectRef Ref;
    if (!FClient.Directory().TryResolve(TrusteeFullName, Ref) || Ref.IsTreeRoot())
        UnknownTrustee(TrusteeFullName);
    FClient.VolumeStore().AssignTrustee(FFolder, Ref.FullName, Mask & 0x1FB);
    return std::make_shared<NWTrustee>(FClient, FFolder, Ref.FullName, Mask & 0x1FB);
}

NWTrusteePtr NWTrustees::Item(const QString& TrusteeName, int Reserved) {
    TFaultInjection::Check(QStringLiteral("NWTrustees.Item"));
    TDirectoryBackend& D = FClient.Directory();
    TObjectRef Ref;
    QString Tree, Levels;
    bool Found = false;
    if (SplitFullName(TrusteeName, Tree, Levels)) {
        Found = D.TryResolve(TrusteeName, Ref);
    } else {
        // A dotted name, in the tree of the folder's volume object (else the first connected tree).
        bool HaveTree = SplitFullName(FVolumeObject, Tree, Levels);
        if (!HaveTree) {
            const QStringList Connected = D.ConnectedTrees();
            HaveTree = !Connected.isEmpty() && SplitFullName(Connected.first(), Tree, Levels);
        }
        QString FullName;
        Found = HaveTree && DottedToFullName(Tree, TrusteeName, FullName) && D.TryResolve(FullName, Ref);
    }
    if (!Found || Ref.IsTreeRoot())
        UnknownTrustee(TrusteeName);
    const std::optional<int> Rights = FClient.VolumeStore().FindTrustee(FFolder, Ref.FullName);
    if (!Rights)
        ThrowDirectoryError(ERR_NO_SUCH_VALUE, QStringLiteral("%1 hat hier keine Rechte").arg(Ref.FullName));
    return std::make_shared<NWTrustee>(FClient, FFolder, Ref.FullName, Rights);
}

int NWTrustees::Count() const {
    TFaultInjection::Check(QStringLiteral("NWTrustees.Count"));
    return int(FClient.VolumeStore().Trustees(FFolder).size());
}

NWTrusteePtr NWTrustees::ItemAt(int Index) const {
    TFaultInjection::Check(QStringLiteral("NWTrustees.ItemAt"));
    const QStringList All = FClient.VolumeStore().Trustees(FFolder);
    if (Index < 0 || Index >= All.size())
        ThrowDirectoryError(ERR_INVALID_REQUEST, QStringLiteral("Kein Trustee an Position %1").arg(Index));
    return std::make_shared<NWTrustee>(FClient, FFolder, All.at(Index));
}

// ---------------------------------------------------------------------------------------------

bool NWDirectoryEntry::Flag(TFolderFlag Which) const {
    TFaultInjection::Check(FlagCall(Which));
    return FClient.VolumeStore().FolderFlag(FFolder, Which);
}

void NWDirectoryEntry::SetFlag(TFolderFlag Which, bool On) {
    TFaultInjection::Check(FlagCall(Which));
    FClient.VolumeStore().SetFolderFlag(FFolder, Which, On);
}

// ---------------------------------------------------------------------------------------------

NWVolAdm::NWVolAdm(QObject* Parent) : NWVolAdm(TDirectoryClient::Instance(), Parent) {}

NWVolAdm::NWVolAdm(TDirectoryClient& Client, QObject* Parent) : QObject(Parent), FClient(Client) {}

void NWVolAdm::SetFullName(const QString& Volume) {
    TFaultInjection::Check(QStringLiteral("NWVolAdm.FullName"));
    QString Text = Volume;
    if (Text.endsWith(QLatin1Char('\\')) && !Text.endsWith(QLatin1String("\\\\")))
        Text.chop(1);
    const QStringList Parts =
        Text.startsWith(QLatin1String("\\\\")) ? Text.mid(2).split(QLatin1Char('\\')) : QStringList();
    TVolume Found;
    if (Parts.size() != 2 || !FClient.VolumeStore().FindVolume(Parts[0], Parts[1], Found))
        ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("Unbekanntes Volume: %1").arg(Volume));
    FFullName = QStringLiteral("\\\\%1\\%2").arg(Found.Server, Found.Volume);
    FVolume = Found;
}

NWDirectoryEntryPtr NWVolAdm::GetDirectoryEntry(const QString& Path) const {
    TFaultInjection::Check(QStringLiteral("NWVolAdm.GetDirectoryEntry"));
    if (FFullName.isEmpty())
        ThrowDirectoryError(ERR_INVALID_PATH,
                            QStringLiteral("Das Volume-Steuerelement ist nicht positioniert"));
    const bool OnVolume = Path.compare(FFullName, Qt::CaseInsensitive) == 0 ||
                          Path.startsWith(FFullName + QLatin1Char('\\'), Qt::CaseInsensitive);
    if (!OnVolume)
        ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("%1 liegt nicht auf %2").arg(Path, FFullName));
    const TFolderKey Folder = FClient.VolumeStore().OpenFolder(Path);
    return std::make_shared<NWDirectoryEntry>(FClient, Folder, Path, FVolume.VolumeObject);
}
