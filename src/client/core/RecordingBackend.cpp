#include "RecordingBackend.h"

#include "EDirectoryError.h"
#include "FieldValues.h"
#include "Syntax.h"

#include <utility>

namespace {

using TKind = TRunChange::TKind;

// A change that names only what it did and where.
TRunChange Change(TKind Kind, const QString& Target) {
    TRunChange C;
    C.Kind = Kind;
    C.Target = Target;
    return C;
}

QString KeyText(const TFolderKey& Folder) {
    return QString::number(Folder.Id) + u'|' + Folder.Text;
}

std::vector<QVariant> Mask(std::optional<int> Rights) {
    if (!Rights)
        return {};
    return {QVariant::fromValue<qint64>(*Rights)};
}

} // namespace

// What reads give after a write; inside a transaction whose writes the server defers they may not be
// readable yet, and what was written stands for them.
template <typename TRead, typename TFallback> auto ReadAfter(TRead Read, TFallback Fallback) {
    try {
        return Read();
    } catch (const EDirectoryError&) {
        return Fallback();
    }
}

std::vector<TFieldValues> KeptFields(TDirectoryBackend& Directory, const TObjectRef& Object) {
    std::vector<TFieldValues> Kept;
    for (TFieldValues& F : Directory.ReadFields(Object))
        if (!IsOperationalField(F.Field))
            Kept.push_back(std::move(F));
    return Kept;
}

// ---------------------------------------------------------------------------------------------
// The recorder

void TChangeRecorder::SetSink(TChangeSink Sink) {
    Flush();
    FSink = std::move(Sink);
}

void TChangeRecorder::Deliver(TRunChange Change) {
    if (!FSink)
        return;
    if (FDepth > 0)
        FHeld.push_back(std::move(Change));
    else
        FSink(Change);
}

void TChangeRecorder::Add(TRunChange Change) {
    Flush();
    Deliver(std::move(Change));
}

void TChangeRecorder::AddRights(const QString& Folder, const QString& Trustee, std::optional<int> Before,
                                std::optional<int> After) {
    if (!FSink)
        return;
    if (FRights && FRights->Target == Folder && FRights->Detail.compare(Trustee, Qt::CaseInsensitive) == 0) {
        FRights->After = Mask(After);
        return;
    }
    Flush();
    TRunChange C;
    C.Kind = TKind::SetRights;
    C.Target = Folder;
    C.Detail = Trustee;
    C.Before = Mask(Before);
    C.After = Mask(After);
    FRights = std::move(C);
}

void TChangeRecorder::Flush() {
    if (!FRights)
        return;
    TRunChange C = std::move(*FRights);
    FRights.reset();
    Deliver(std::move(C));
}

void TChangeRecorder::Begin() {
    Flush();
    ++FDepth;
}

void TChangeRecorder::Commit() {
    Flush();
    if (FDepth > 0 && --FDepth == 0) {
        std::vector<TRunChange> Held = std::move(FHeld);
        FHeld.clear();
        if (FSink)
            for (const TRunChange& C : Held)
                FSink(C);
    }
}

void TChangeRecorder::Rollback() {
    // The backend rolls back the outermost transaction whichever one fails.
    FRights.reset();
    FHeld.clear();
    FDepth = 0;
}

// ---------------------------------------------------------------------------------------------
// Directory

TRecordingBackend::TRecordingBackend(std::shared_ptr<TDirectoryBackend> Inner,
                                     std::shared_ptr<TChangeRecorder> Recorder)
    : TForwardingBackend(std::move(Inner)), FRecorder(std::move(Recorder)) {}

void TRecordingBackend::WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) {
    if (!FRecorder->Active()) {
        Inner().WriteFields(Object, Fields);
        return;
    }
    // The fields the directory maintains itself are its own business (and read differently from one
    // directory to the next): not recorded.
    auto Merged = MergeFieldWrites(Fields, [this](const QString& F) { return Inner().FieldType(F); });
    std::erase_if(Merged, [](const auto& W) { return IsOperationalField(W.first->Name); });
    std::vector<std::vector<QVariant>> Before;
    for (const auto& [Type, Value] : Merged)
        Before.push_back(Inner().ReadField(Object, *Type));
    Inner().WriteFields(Object, Fields);
    for (size_t I = 0; I < Merged.size(); ++I) {
        TRunChange C;
        C.Kind = TKind::WriteField;
        C.Target = Object.FullName;
        C.Detail = Merged[I].first->Name;
        C.Before = std::move(Before[I]);
        const NWFieldType& Type = *Merged[I].first;
        C.After = ReadAfter([&] { return Inner().ReadField(Object, Type); },
                            [&] { return NormalizeFieldValues(Type, Merged[I].second); });
        FRecorder->Add(std::move(C));
    }
}

TObjectRef TRecordingBackend::CreateObject(const TObjectRef& Parent, const QString& Layout,
                                           const QString& Name, const std::vector<TFieldWrite>& Fields) {
    const TObjectRef Made = Inner().CreateObject(Parent, Layout, Name, Fields);
    if (FRecorder->Active()) {
        TRunChange C;
        C.Kind = TKind::CreateObject;
        C.Target = Made.FullName;
        C.Detail = Made.Layout;
        C.Fields = ReadAfter([&] { return KeptFields(Inner(), Made); },
                             [&] {
                                 std::vector<TFieldValues> Given;
                                 for (const TFieldWrite& W : Fields)
                                     if (const NWFieldType* T = Inner().FieldType(W.Field);
                                         T && !IsOperationalField(T->Name))
                                         Given.push_back({T->Name, NormalizeFieldValues(*T, W.Value)});
                                 return Given;
                             });
        FRecorder->Add(std::move(C));
    }
    return Made;
}

TObjectRef TRecordingBackend::CreateUser(const TObjectRef& Container, const QString& Name,
                                         const QString& Surname, const TObjectRef* Template) {
    const TObjectRef Made = Inner().CreateUser(Container, Name, Surname, Template);
    if (FRecorder->Active()) {
        TRunChange C;
        C.Kind = TKind::CreateObject;
        C.Target = Made.FullName;
        C.Detail = Made.Layout;
        C.Fields = ReadAfter([&] { return KeptFields(Inner(), Made); },
                             [&] {
                                 std::vector<TFieldValues> Taken{{QStringLiteral("Surname"), {Surname}}};
                                 if (Template)
                                     for (TFieldValues& F : KeptFields(Inner(), *Template))
                                         if (F.Field != QLatin1String("Surname"))
                                             Taken.push_back(std::move(F));
                                 return Taken;
                             });
        FRecorder->Add(std::move(C));
    }
    return Made;
}

void TRecordingBackend::DeleteObject(const TObjectRef& Object) {
    if (!FRecorder->Active()) {
        Inner().DeleteObject(Object);
        return;
    }
    TRunChange C;
    C.Kind = TKind::DeleteObject;
    C.Target = Object.FullName;
    C.Detail = Object.Layout;
    C.Fields = KeptFields(Inner(), Object);
    Inner().DeleteObject(Object);
    FRecorder->Add(std::move(C));
}

void TRecordingBackend::BeginTransaction() {
    Inner().BeginTransaction();
    FRecorder->Begin();
}

void TRecordingBackend::CommitTransaction() {
    try {
        Inner().CommitTransaction();
    } catch (...) {
        FRecorder->Rollback();
        throw;
    }
    FRecorder->Commit();
}

void TRecordingBackend::RollbackTransaction() {
    FRecorder->Rollback();
    Inner().RollbackTransaction();
}

void TRecordingBackend::SetPassword(const TObjectRef& Object, const QString& Password) {
    Inner().SetPassword(Object, Password);
    FRecorder->Add(Change(TKind::SetPassword, Object.FullName));
}

// ---------------------------------------------------------------------------------------------
// Volumes

TRecordingVolumeStore::TRecordingVolumeStore(std::shared_ptr<TVolumeStore> Inner,
                                             std::shared_ptr<TChangeRecorder> Recorder)
    : TForwardingVolumeStore(std::move(Inner)), FRecorder(std::move(Recorder)) {}

QString TRecordingVolumeStore::PathOf(const TFolderKey& Folder) const {
    return FPaths.value(KeyText(Folder));
}

bool TRecordingVolumeStore::CreateFolder(const QString& UncPath) {
    if (!FRecorder->Active())
        return Inner().CreateFolder(UncPath);
    // "\\SERVER\VOLUME\a\b": every level below the volume that is missing is made.
    const QStringList Levels = QString(UncPath).remove(0, 2).split(u'\\');
    QStringList Missing;
    bool Found = true;
    for (qsizetype N = 3; N <= Levels.size() && UncPath.startsWith(QLatin1String("\\\\")); ++N) {
        const QString Level = QStringLiteral("\\\\") + Levels.mid(0, N).join(u'\\');
        if (Found && Inner().FolderExists(Level))
            continue;
        Found = false;
        Missing << Level;
    }
    if (!Inner().CreateFolder(UncPath))
        return false;
    if (Missing.isEmpty()) {
        FRecorder->Add(Change(TKind::FolderExists, UncPath));
    }
    for (const QString& Level : std::as_const(Missing)) {
        FRecorder->Add(Change(TKind::CreateFolder, Level));
    }
    return true;
}

bool TRecordingVolumeStore::RemoveFolder(const QString& UncPath) {
    if (!Inner().RemoveFolder(UncPath))
        return false;
    FRecorder->Add(Change(TKind::RemoveFolder, UncPath));
    return true;
}

TFolderKey TRecordingVolumeStore::OpenFolder(const QString& UncPath) {
    const TFolderKey Key = Inner().OpenFolder(UncPath);
    FPaths.insert(KeyText(Key), UncPath);
    return Key;
}

void TRecordingVolumeStore::SetFolderFlag(const TFolderKey& Folder, TFolderFlag Flag, bool On) {
    if (!FRecorder->Active()) {
        Inner().SetFolderFlag(Folder, Flag, On);
        return;
    }
    const bool Before = Inner().FolderFlag(Folder, Flag);
    Inner().SetFolderFlag(Folder, Flag, On);
    TRunChange C;
    C.Kind = TKind::SetFlag;
    C.Target = PathOf(Folder);
    C.Detail = FlagName(Flag);
    C.Before = {Before};
    C.After = {Inner().FolderFlag(Folder, Flag)};
    FRecorder->Add(std::move(C));
}

void TRecordingVolumeStore::AddTrustee(const TFolderKey& Folder, const QString& Trustee) {
    if (!FRecorder->Active()) {
        Inner().AddTrustee(Folder, Trustee);
        return;
    }
    const std::optional<int> Before = Inner().FindTrustee(Folder, Trustee);
    Inner().AddTrustee(Folder, Trustee);
    if (!Before)
        FRecorder->AddRights(PathOf(Folder), Trustee, Before, Inner().FindTrustee(Folder, Trustee));
}

void TRecordingVolumeStore::RemoveTrustee(const TFolderKey& Folder, const QString& Trustee) {
    if (!FRecorder->Active()) {
        Inner().RemoveTrustee(Folder, Trustee);
        return;
    }
    const std::optional<int> Before = Inner().FindTrustee(Folder, Trustee);
    Inner().RemoveTrustee(Folder, Trustee);
    if (Before)
        FRecorder->AddRights(PathOf(Folder), Trustee, Before, std::nullopt);
}

void TRecordingVolumeStore::ChangeTrusteeRights(const TFolderKey& Folder, const QString& Trustee, int Grant,
                                                int Revoke) {
    if (!FRecorder->Active()) {
        Inner().ChangeTrusteeRights(Folder, Trustee, Grant, Revoke);
        return;
    }
    const std::optional<int> Before = Inner().FindTrustee(Folder, Trustee);
    Inner().ChangeTrusteeRights(Folder, Trustee, Grant, Revoke);
    FRecorder->AddRights(PathOf(Folder), Trustee, Before, Inner().FindTrustee(Folder, Trustee));
}

void TRecordingVolumeStore::AssignTrustee(const TFolderKey& Folder, const QString& Trustee, int Rights) {
    if (!FRecorder->Active()) {
        Inner().AssignTrustee(Folder, Trustee, Rights);
        return;
    }
    const std::optional<int> Before = Inner().FindTrustee(Folder, Trustee);
    Inner().AssignTrustee(Folder, Trustee, Rights);
    FRecorder->AddRights(PathOf(Folder), Trustee, Before, Inner().FindTrustee(Folder, Trustee));
}
