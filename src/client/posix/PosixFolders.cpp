#include "PosixAcl.h"
#include "PosixVolumes.h"

#include <EDirectoryError.h>
#include <Rights.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <sys/stat.h>

namespace {

[[noreturn]] void AssignmentGone() {
    ThrowDirectoryError(ERR_NO_SUCH_VALUE, QStringLiteral("Die Trustee-Zuweisung gibt es nicht mehr"));
}

TPosixTrustee* FindIn(TPosixRecord& R, const QString& Trustee) {
    for (TPosixTrustee& T : R.Trustees)
        if (T.FullName.compare(Trustee, Qt::CaseInsensitive) == 0)
            return &T;
    return nullptr;
}

bool SameTrustees(const TPosixRecord& A, const TPosixRecord& B) {
    return std::equal(A.Trustees.begin(), A.Trustees.end(), B.Trustees.begin(), B.Trustees.end(),
                      [](const TPosixTrustee& X, const TPosixTrustee& Y) {
                          return X.FullName == Y.FullName && X.User == Y.User && X.Id == Y.Id &&
                                 X.Rights == Y.Rights;
                      });
}

QString ParentOf(const QString& Local) {
    return QFileInfo(Local).absolutePath();
}

} // namespace

template <typename F> void TPosixVolumes::Update(const TFolderKey& Folder, F Change) {
    const TFolderFd Fd(Folder.Text);
    const TPosixRecord Before = ReadRecord(Fd);
    TPosixRecord R = Before;
    Change(R);
    WriteRecord(Fd, R, &Before);
    if (!SameTrustees(R, Before)) // a flag alone leaves the ACL as it is
        ProjectAcl(Fd, R, !Before.Trustees.empty());
}

TPosixIdentity TPosixVolumes::Resolve(const QString& Trustee) const {
    if (!FResolver)
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Keine POSIX-Kennung für %1").arg(Trustee));
    const TPosixIdentity Id = FResolver(Trustee);
    if (Id.Id < 0)
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Keine POSIX-Kennung für %1").arg(Trustee));
    return Id;
}

bool TPosixVolumes::ParentSticky(const QString& Local) const {
    struct stat St {};
    return lstat(QFile::encodeName(ParentOf(Local)).constData(), &St) == 0 && (St.st_mode & S_ISVTX);
}

void TPosixVolumes::SetParentSticky(const TFolderKey& Folder) {
    const TVolume& V = VolumeOfKey(Folder);
    if (Folder.Text == V.RootFolder) // its parent lies outside the volume
        return;
    const TFolderFd Parent(ParentOf(Folder.Text));
    struct stat St {};
    if (fstat(Parent.Fd(), &St) != 0 ||
        (!(St.st_mode & S_ISVTX) && fchmod(Parent.Fd(), (St.st_mode & 07777) | S_ISVTX) != 0))
        ThrowDirectoryError(-1,
                            QStringLiteral("Der Ordner %1 kann nicht geschützt werden").arg(Parent.Path()));
}

// ---------------------------------------------------------------------------------------------
// Flags

bool TPosixVolumes::FolderFlag(const TFolderKey& Folder, TFolderFlag Flag) {
    if (!OwnKey(Folder))
        return TForwardingVolumeStore::FolderFlag(Folder, Flag);
    const TPosixRecord R = ReadRecordAt(Folder.Text);
    return Flag == TFolderFlag::DeleteInhibit ? R.DeleteInhibit : R.RenameInhibit;
}

void TPosixVolumes::SetFolderFlag(const TFolderKey& Folder, TFolderFlag Flag, bool On) {
    if (!OwnKey(Folder))
        return TForwardingVolumeStore::SetFolderFlag(Folder, Flag, On);
    if (On)
        SetParentSticky(Folder);
    Update(Folder, [&](TPosixRecord& R) {
        (Flag == TFolderFlag::DeleteInhibit ? R.DeleteInhibit : R.RenameInhibit) = On;
    });
}

// ---------------------------------------------------------------------------------------------
// Trustees

QStringList TPosixVolumes::Trustees(const TFolderKey& Folder) {
    if (!OwnKey(Folder))
        return TForwardingVolumeStore::Trustees(Folder);
    QStringList L;
    for (const TPosixTrustee& T : ReadRecordAt(Folder.Text, TRecordParts::Trustees).Trustees)
        L.append(T.FullName);
    return L;
}

std::optional<int> TPosixVolumes::FindTrustee(const TFolderKey& Folder, const QString& Trustee) {
    if (!OwnKey(Folder))
        return TForwardingVolumeStore::FindTrustee(Folder, Trustee);
    TPosixRecord R = ReadRecordAt(Folder.Text, TRecordParts::Trustees);
    if (const TPosixTrustee* T = FindIn(R, Trustee))
        return T->Rights;
    return std::nullopt;
}

void TPosixVolumes::AddTrustee(const TFolderKey& Folder, const QString& Trustee) {
    if (!OwnKey(Folder))
        return TForwardingVolumeStore::AddTrustee(Folder, Trustee);
    if (FindTrustee(Folder, Trustee))
        return;
    // Resolved before anything is written: a trustee without an id yet fails as an unknown one.
    const TPosixIdentity Id = Resolve(Trustee);
    Update(Folder, [&](TPosixRecord& R) {
        if (!FindIn(R, Trustee))
            R.Trustees.push_back({Trustee, Id.Kind == TPosixIdentity::TKind::User, Id.Id, 0});
    });
}

void TPosixVolumes::RemoveTrustee(const TFolderKey& Folder, const QString& Trustee) {
    if (!OwnKey(Folder))
        return TForwardingVolumeStore::RemoveTrustee(Folder, Trustee);
    if (!FindTrustee(Folder, Trustee))
        return;
    Update(Folder, [&](TPosixRecord& R) {
        std::erase_if(R.Trustees, [&](const TPosixTrustee& T) {
            return T.FullName.compare(Trustee, Qt::CaseInsensitive) == 0;
        });
    });
}

int TPosixVolumes::TrusteeRights(const TFolderKey& Folder, const QString& Trustee) {
    if (!OwnKey(Folder))
        return TForwardingVolumeStore::TrusteeRights(Folder, Trustee);
    const std::optional<int> Rights = FindTrustee(Folder, Trustee);
    if (!Rights)
        AssignmentGone();
    return *Rights;
}

void TPosixVolumes::ChangeTrusteeRights(const TFolderKey& Folder, const QString& Trustee, int Grant,
                                        int Revoke) {
    if (!OwnKey(Folder))
        return TForwardingVolumeStore::ChangeTrusteeRights(Folder, Trustee, Grant, Revoke);
    Update(Folder, [&](TPosixRecord& R) {
        TPosixTrustee* T = FindIn(R, Trustee);
        if (!T)
            AssignmentGone();
        T->Rights = (T->Rights | Grant) & ~Revoke & 0x1FB;
    });
}

void TPosixVolumes::AssignTrustee(const TFolderKey& Folder, const QString& Trustee, int Rights) {
    if (!OwnKey(Folder))
        return TForwardingVolumeStore::AssignTrustee(Folder, Trustee, Rights);
    const TFolderFd Fd(Folder.Text);
    const TPosixRecord Before = ReadRecord(Fd);
    TPosixRecord R = Before;
    TPosixTrustee* T = FindIn(R, Trustee);
    if (!T) {
        const TPosixIdentity Id = Resolve(Trustee);
        R.Trustees.push_back({Trustee, Id.Kind == TPosixIdentity::TKind::User, Id.Id, 0});
        T = &R.Trustees.back();
    }
    T->Rights = Rights & 0x1FB;
    WriteRecord(Fd, R, &Before);
    ProjectAcl(Fd, R);
}

// ---------------------------------------------------------------------------------------------
// Whole volumes

std::vector<TFolderState> TPosixVolumes::FolderStates(const QString& Server, const QString& Volume) {
    const TVolume* V = Own(Server, Volume);
    if (!V)
        return TForwardingVolumeStore::FolderStates(Server, Volume);
    std::vector<TFolderState> States;
    auto Add = [&](const QString& Local) {
        const TPosixRecord R = ReadRecord(TFolderFd(Local));
        if (R.Empty())
            return;
        TFolderState S;
        S.Path =
            Local == V->RootFolder
                ? QString()
                : QDir(V->RootFolder).relativeFilePath(Local).replace(QLatin1Char('/'), QLatin1Char('\\'));
        S.DeleteInhibit = R.DeleteInhibit;
        S.RenameInhibit = R.RenameInhibit;
        for (const TPosixTrustee& T : R.Trustees) {
            S.Trustees.append(T.FullName);
            S.Rights.append(T.Rights);
        }
        States.push_back(std::move(S));
    };
    Add(V->RootFolder);
    QDirIterator It(V->RootFolder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (It.hasNext())
        Add(It.next());
    return States;
}

QStringList TPosixVolumes::CheckFolders(bool Repair) {
    QStringList Faulty;
    for (const TVolume& V : FVolumes) {
        auto Check = [&](const QString& Local) {
            const TFolderFd Fd(Local);
            const TPosixRecord R = ReadRecord(Fd);
            const bool Root = Local == V.RootFolder;
            const bool NeedsSticky = (R.DeleteInhibit || R.RenameInhibit) && !Root;
            // A folder without trustees holds only what its parent's default ACL passes on to it.
            const bool AclRight = R.Trustees.empty()
                                      ? !StrayAclEntries(Fd, Root ? QString() : ParentOf(Local), Repair)
                                      : AclMatches(Fd, R);
            if (AclRight && (!NeedsSticky || ParentSticky(Local)))
                return;
            Faulty.append(QStringLiteral("\\\\%1\\%2").arg(V.Server, V.Volume) +
                          (Root ? QString()
                                : QLatin1Char('\\') + QDir(V.RootFolder)
                                                          .relativeFilePath(Local)
                                                          .replace(QLatin1Char('/'), QLatin1Char('\\'))));
            if (Repair) {
                if (!R.Trustees.empty())
                    ProjectAcl(Fd, R);
                if (NeedsSticky)
                    SetParentSticky({-1, Local});
            }
        };
        Check(V.RootFolder);
        QDirIterator It(V.RootFolder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (It.hasNext())
            Check(It.next());
    }
    Faulty.sort(Qt::CaseInsensitive);
    return Faulty;
}
