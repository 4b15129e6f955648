#include "EDirectoryError.h"
#include "OverlayBackend.h"
#include "VolumePath.h"

#include <QDir>
#include <algorithm>

namespace {

const QString KeyPrefix = QStringLiteral("overlay:");

[[noreturn]] void NotInDryRun(const char* What) {
    ThrowDirectoryError(ERR_INVALID_REQUEST,
                        QStringLiteral("Im Probelauf nicht möglich: %1").arg(QString::fromUtf8(What)));
}

// "\\SERVER\VOLUME", "\\SERVER\VOLUME\a", ... down to the path itself.
QStringList Levels(const QString& UncPath) {
    QStringList Out;
    VolumePath::TParts Parts;
    if (!VolumePath::Split(UncPath, Parts))
        return Out;
    QString Path = QStringLiteral("\\\\") + Parts.Server + u'\\' + Parts.Volume;
    Out << Path;
    for (const QString& L : std::as_const(Parts.Levels))
        Out << (Path += u'\\' + L);
    return Out;
}

} // namespace

TOverlayVolumeStore::TOverlayVolumeStore(std::shared_ptr<TVolumeStore> Inner)
    : TForwardingVolumeStore(std::move(Inner)) {}

QString TOverlayVolumeStore::Key(const QString& UncPath) {
    QString K = UncPath.toUpper();
    while (K.endsWith(u'\\') && K.size() > 2)
        K.chop(1);
    return K;
}

void TOverlayVolumeStore::AddVolume(const TVolume&) {
    NotInDryRun("ein Volume anlegen");
}

void TOverlayVolumeStore::SetVolumeRoot(const QString&, const QString&, const QString&) {
    NotInDryRun("den Ordner eines Volumes ändern");
}

bool TOverlayVolumeStore::FolderExists(const QString& UncPath) {
    const QString K = Key(UncPath);
    for (const QString& R : FRemoved)
        if (K == R || K.startsWith(R + u'\\'))
            return false;
    if (auto It = FFolders.find(K); It != FFolders.end() && It->second.Made)
        return true;
    return Inner().FolderExists(UncPath);
}

bool TOverlayVolumeStore::CreateFolder(const QString& UncPath) {
    if (FolderExists(UncPath))
        return true;
    const QStringList All = Levels(UncPath);
    if (All.isEmpty() || Inner().LocalPath(UncPath).isEmpty())
        return false;
    for (const QString& Level : All) {
        if (FolderExists(Level))
            continue;
        const QString K = Key(Level);
        FRemoved.remove(K);
        TFolder& F = FFolders[K];
        F = TFolder();
        F.Path = Level;
        F.Made = true;
    }
    return true;
}

bool TOverlayVolumeStore::RemoveFolder(const QString& UncPath) {
    if (!FolderExists(UncPath) || !ListFolders(UncPath).isEmpty())
        return false;
    const QString K = Key(UncPath);
    auto It = FFolders.find(K);
    if (It != FFolders.end() && It->second.Made) {
        FFolders.erase(It);
        return true;
    }
    // A folder of the inner store: only while it holds no file either.
    const QString Local = Inner().LocalPath(UncPath);
    if (Local.isEmpty() ||
        !QDir(Local).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        return false;
    if (It != FFolders.end())
        FFolders.erase(It);
    FRemoved.insert(K);
    return true;
}

QStringList TOverlayVolumeStore::ListFolders(const QString& UncPath) {
    const QString K = Key(UncPath);
    QStringList Names;
    auto Made = FFolders.find(K);
    if (!FolderExists(UncPath))
        return Names;
    if (Made == FFolders.end() || !Made->second.Made)
        Names = Inner().ListFolders(UncPath);
    Names.removeIf([&](const QString& N) { return !FolderExists(UncPath + u'\\' + N); });
    for (const auto& [FK, F] : FFolders)
        if (F.Made && FK.startsWith(K + u'\\') && FK.indexOf(u'\\', K.size() + 1) < 0)
            Names << F.Path.mid(F.Path.lastIndexOf(u'\\') + 1);
    std::sort(Names.begin(), Names.end(),
              [](const QString& A, const QString& B) { return A.compare(B, Qt::CaseInsensitive) < 0; });
    return Names;
}

TFolderKey TOverlayVolumeStore::OpenFolder(const QString& UncPath) {
    if (!FolderExists(UncPath))
        ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("Ordner nicht gefunden: %1").arg(UncPath));
    const QString K = Key(UncPath);
    TFolder& F = FFolders[K];
    if (F.Path.isEmpty())
        F.Path = UncPath;
    return {0, KeyPrefix + K};
}

void TOverlayVolumeStore::Load(TFolder& F) {
    if (F.Loaded)
        return;
    F.Loaded = true;
    F.TrusteesKept = true;
    if (F.Made)
        return;
    VolumePath::TParts Parts;
    if (!VolumePath::Split(F.Path, Parts))
        return;
    const QString VolumeKey = Key(QStringLiteral("\\\\") + Parts.Server + u'\\' + Parts.Volume);
    auto It = FStates.find(VolumeKey);
    if (It == FStates.end())
        It = FStates.emplace(VolumeKey, Inner().FolderStates(Parts.Server, Parts.Volume)).first;
    const QString Below = Parts.Levels.join(u'\\');
    for (const TFolderState& St : It->second)
        if (St.Path.compare(Below, Qt::CaseInsensitive) == 0) {
            for (int I : {0, 1})
                if (!F.Flags[I])
                    F.Flags[I] = I == 0 ? St.DeleteInhibit : St.RenameInhibit;
            for (qsizetype T = 0; T < St.Trustees.size(); ++T)
                F.Trustees.emplace_back(St.Trustees.at(T), St.Rights.value(T));
            return;
        }
}

TOverlayVolumeStore::TFolder& TOverlayVolumeStore::Folder(const TFolderKey& Key) {
    auto It = FFolders.find(Key.Text.mid(KeyPrefix.size()));
    if (!Key.Text.startsWith(KeyPrefix) || It == FFolders.end())
        ThrowDirectoryError(ERR_INVALID_PATH, QStringLiteral("Ordner nicht gefunden: %1").arg(Key.Text));
    return It->second;
}

bool TOverlayVolumeStore::FolderFlag(const TFolderKey& Key, TFolderFlag Flag) {
    TFolder& F = Folder(Key);
    Load(F);
    return F.Flags[Flag == TFolderFlag::DeleteInhibit ? 0 : 1].value_or(false);
}

void TOverlayVolumeStore::SetFolderFlag(const TFolderKey& Key, TFolderFlag Flag, bool On) {
    TFolder& F = Folder(Key);
    Load(F);
    F.Flags[Flag == TFolderFlag::DeleteInhibit ? 0 : 1] = On;
}

QStringList TOverlayVolumeStore::Trustees(const TFolderKey& Key) {
    TFolder& F = Folder(Key);
    Load(F);
    QStringList Names;
    for (const auto& [T, R] : F.Trustees)
        Names << T;
    return Names;
}

std::optional<int> TOverlayVolumeStore::FindTrustee(const TFolderKey& Key, const QString& Trustee) {
    TFolder& F = Folder(Key);
    Load(F);
    for (const auto& [T, R] : F.Trustees)
        if (T.compare(Trustee, Qt::CaseInsensitive) == 0)
            return R;
    return std::nullopt;
}

void TOverlayVolumeStore::AddTrustee(const TFolderKey& Key, const QString& Trustee) {
    if (!FindTrustee(Key, Trustee))
        Folder(Key).Trustees.emplace_back(Trustee, 0);
}

void TOverlayVolumeStore::RemoveTrustee(const TFolderKey& Key, const QString& Trustee) {
    TFolder& F = Folder(Key);
    Load(F);
    std::erase_if(F.Trustees,
                  [&](const auto& T) { return T.first.compare(Trustee, Qt::CaseInsensitive) == 0; });
}

int TOverlayVolumeStore::TrusteeRights(const TFolderKey& Key, const QString& Trustee) {
    const std::optional<int> R = FindTrustee(Key, Trustee);
    if (!R)
        ThrowDirectoryError(ERR_NO_SUCH_VALUE, QStringLiteral("%1 ist hier kein Trustee").arg(Trustee));
    return *R;
}

void TOverlayVolumeStore::ChangeTrusteeRights(const TFolderKey& Key, const QString& Trustee, int Grant,
                                              int Revoke) {
    TFolder& F = Folder(Key);
    Load(F);
    for (auto& [T, R] : F.Trustees)
        if (T.compare(Trustee, Qt::CaseInsensitive) == 0) {
            R = (R | Grant) & ~Revoke;
            return;
        }
    ThrowDirectoryError(ERR_NO_SUCH_VALUE, QStringLiteral("%1 ist hier kein Trustee").arg(Trustee));
}

std::vector<TFolderState> TOverlayVolumeStore::FolderStates(const QString& Server, const QString& Volume) {
    std::vector<TFolderState> States = Inner().FolderStates(Server, Volume);
    const QString Root = Key(QStringLiteral("\\\\") + Server + u'\\' + Volume);
    auto Below = [&](const QString& K) { return K == Root ? QString() : K.mid(Root.size() + 1); };
    for (auto& [K, F] : FFolders) {
        if (K != Root && !K.startsWith(Root + u'\\'))
            continue;
        const TFolderKey Key{0, KeyPrefix + K};
        const QString Wanted = Below(K);
        auto It = std::find_if(States.begin(), States.end(),
                               [&Wanted](const TFolderState& St) { return St.Path.toUpper() == Wanted; });
        if (It == States.end()) {
            States.push_back({});
            It = States.end() - 1;
            It->Path = F.Path.mid(Root.size() + 1);
        }
        It->DeleteInhibit = FolderFlag(Key, TFolderFlag::DeleteInhibit);
        It->RenameInhibit = FolderFlag(Key, TFolderFlag::RenameInhibit);
        It->Trustees = Trustees(Key);
        It->Rights.clear();
        for (const QString& T : std::as_const(It->Trustees))
            It->Rights << TrusteeRights(Key, T);
    }
    std::erase_if(States, [&](const TFolderState& St) {
        const QString K = St.Path.isEmpty() ? Root : Root + u'\\' + St.Path.toUpper();
        return std::any_of(FRemoved.begin(), FRemoved.end(),
                           [&](const QString& R) { return K == R || K.startsWith(R + u'\\'); });
    });
    return States;
}
