#include "NWDir.h"

#include "ClientStorePrivate.h"
#include "FaultInjection.h"
#include "NWCalls.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTimer>

using namespace ClientInternal;

// ---------------------------------------------------------------------------------------------
// NWEntry
// ---------------------------------------------------------------------------------------------

NWEntry::NWEntry(TClientStore& Store, qint64 Id, const QString& FullName, const QString& ShortName,
                 const QString& Layout)
    : FStore(Store), FId(Id), FFullName(FullName), FShortName(ShortName), FLayout(Layout) {}

QVariant NWEntry::GetFieldValue(const QString& Field, const QVariant& Default, bool MultiValued) const {
    TFaultInjection::Check(QStringLiteral("NWEntry.GetFieldValue"));
    return FStore.Private().ReadField(FId, Field, Default, MultiValued);
}

void NWEntry::SetFieldValue(const QString& Field, const QVariant& Value) {
    TFaultInjection::Check(QStringLiteral("NWEntry.SetFieldValue"));
    FPending.emplace_back(Field, Value);
}

void NWEntry::Update() {
    TFaultInjection::Check(QStringLiteral("NWEntry.Update"));
    if (FPending.empty())
        return;
    // A failed commit discards the buffered writes: they would only fail again.
    const auto Pending = std::exchange(FPending, {});
    FStore.Private().WriteEntry(FId, Pending);
}

namespace {
const NWFieldType& StreamField(TClientStore& Store, const QString& Field) {
    const NWFieldType* Type = Store.Private().FieldType(Field);
    if (!Type)
        Fail(ERR_NO_SUCH_ATTRIBUTE, QStringLiteral("Unknown field \"%1\"").arg(Field));
    if (Type->Syntax != QLatin1String("Stream"))
        Fail(ERR_ILLEGAL_ATTRIBUTE, QStringLiteral("Field \"%1\" is no stream field").arg(Type->Name));
    return *Type;
}
} // namespace

void NWEntry::SaveFieldToFile(const QString& Field, const QString& Path, bool Overwrite) const {
    TFaultInjection::Check(QStringLiteral("NWEntry.SaveFieldToFile"));
    const NWFieldType& Type = StreamField(FStore, Field);
    const std::vector<QVariant> Values = FStore.Private().StoredValues(FId, Type.Name);
    if (Values.empty())
        Fail(ERR_NO_SUCH_ATTRIBUTE, QStringLiteral("%1 holds no \"%2\"").arg(FFullName, Type.Name));
    if (!Overwrite && QFileInfo::exists(Path))
        Fail(-1, QStringLiteral("File exists already: %1").arg(Path));
    // Written into the file in place, so that a file the caller created (and its permissions) stays.
    QFile File(Path);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate))
        Fail(-1, QStringLiteral("Cannot write %1: %2").arg(Path, File.errorString()));
    const QByteArray Bytes = Values.front().toString().toUtf8();
    if (File.write(Bytes) != Bytes.size() || !File.flush())
        Fail(-1, QStringLiteral("Cannot write %1: %2").arg(Path, File.errorString()));
}

void NWEntry::LoadFieldFromFile(const QString& Field, const QString& Path) {
    TFaultInjection::Check(QStringLiteral("NWEntry.LoadFieldFromFile"));
    const NWFieldType& Type = StreamField(FStore, Field);
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        Fail(-1, QStringLiteral("Cannot read %1: %2").arg(Path, File.errorString()));
    const QByteArray Bytes = File.readAll();
    // UTF-8 when the file is valid UTF-8, else the workstation's 8-bit text (Latin-1).
    QStringDecoder Utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString Text = Utf8.decode(Bytes);
    if (Utf8.hasError())
        Text = QString::fromLatin1(Bytes);
    FPending.emplace_back(Type.Name, Text);
}

// ---------------------------------------------------------------------------------------------
// NWEntries
// ---------------------------------------------------------------------------------------------

namespace {
QStringList CanonicalFilters(const QStringList& Filters) {
    QStringList L;
    for (const QString& F : Filters) {
        const QString T = F.trimmed();
        if (T.isEmpty())
            continue;
        const QString C = CanonicalLayout(T);
        L.append(C.isEmpty() ? QStringLiteral("?") + T : C);   // an unknown layout matches nothing
    }
    return L;
}
} // namespace

NWEntries::NWEntries(TClientStore& Store, qint64 ContainerId, const QString& ContainerFullName,
                     const QStringList& Filters)
    : FStore(Store), FContainerId(ContainerId), FContainerFullName(ContainerFullName),
      FFilters(CanonicalFilters(Filters)) {
    const TClientStore::TObjectRef Ref = FStore.Private().MustResolve(ContainerFullName);
    FTreeId = Ref.TreeId;
    FContainerFullName = Ref.FullName;
    FContainerLayout = Ref.Layout;
}

NWEntries::NWEntries(TClientStore& Store, qint64 TreeId, qint64 ContainerId, const QString& ContainerFullName,
                     const QStringList& Filters)
    : FStore(Store), FTreeId(TreeId), FContainerId(ContainerId), FContainerFullName(ContainerFullName),
      FFilters(CanonicalFilters(Filters)) {}

bool NWEntries::Passes(const QString& Layout) const { return FFilters.isEmpty() || FFilters.contains(Layout); }

void NWEntries::Refresh() { Load(); }

int NWEntries::Count() const {
    if (!FLoaded)
        Load();
    return int(FRows.size());
}

// Every reading of the listing, the first one after positioning included, is a refresh.
void NWEntries::Load() const {
    TFaultInjection::Check(QStringLiteral("NWEntries.Refresh"));
    auto Children = FStore.Private().Children(FTreeId, FContainerId);
    std::vector<TRow> Rows;
    Rows.reserve(Children.size());
    for (auto& C : Children)
        if (Passes(C.Layout))
            Rows.push_back({C.Id, std::move(C.Name), std::move(C.Layout)});
    FRows = std::move(Rows);
    FLoaded = true;
}

NWEntryPtr NWEntries::Item(int Index) const {
    TFaultInjection::Check(QStringLiteral("NWEntries.Item"));
    if (Index < 0 || Index >= Count())   // Count takes the snapshot when not yet taken
        Fail(ERR_INVALID_REQUEST, QStringLiteral("Entry index %1 out of range (0..%2)").arg(Index).arg(Count() - 1));
    const TRow& R = FRows[size_t(Index)];
    return std::make_shared<NWEntry>(FStore, R.Id, FContainerFullName + QLatin1Char('\\') + R.ShortName, R.ShortName,
                                     R.Layout);
}

NWEntryPtr NWEntries::Add(const QString& Layout, const QString& Name) {
    TFaultInjection::Check(QStringLiteral("NWEntries.Add"));
    auto& D = FStore.Private();
    TClientStore::TObjectRef Parent;
    if (FContainerId == 0) {
        Parent.TreeId = FTreeId;
        Parent.FullName = D.TreePrefix(FTreeId);
        Parent.ShortName = D.TreeName(FTreeId);
        Parent.Layout = QStringLiteral("Tree");
    } else if (!D.LookupId(FContainerId, Parent)) {
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("No such object: %1").arg(FContainerFullName));
    }
    const TClientStore::TObjectRef R = D.CreateObject(Parent, Layout, Name);
    if (FLoaded && Passes(R.Layout))
        FRows.push_back({R.Id, R.ShortName, R.Layout});
    return std::make_shared<NWEntry>(FStore, R.Id, R.FullName, R.ShortName, R.Layout);
}

const NWFieldType& NWFieldTypes::Item(int Index) const {
    if (Index < 0 || Index >= Count())
        Fail(ERR_INVALID_REQUEST, QStringLiteral("Field type index %1 out of range (0..%2)").arg(Index).arg(Count() - 1));
    return FTypes[size_t(Index)];
}

// ---------------------------------------------------------------------------------------------
// NWDir
// ---------------------------------------------------------------------------------------------

NWDir::NWDir(QObject* Parent) : NWDir(TClientStore::Instance(), Parent) {}

NWDir::NWDir(TClientStore& Store, QObject* Parent) : QObject(Parent), FStore(Store) {}

QString NWDir::FullName() const { return FFullName; }

void NWDir::SetFullName(const QString& Name) {
    TFaultInjection::Check(QStringLiteral("NWDir.FullName"));
    const TClientStore::TObjectRef Ref = FStore.Private().MustResolve(Name);
    std::unique_ptr<NWEntries> Entries;
    if (IsContainer(Ref.Layout))
        Entries = std::make_unique<NWEntries>(FStore, Ref.TreeId, Ref.Id, Ref.FullName, FFilterList);
    FTreeId = Ref.TreeId;
    FObjectId = Ref.Id;
    FFullName = Ref.FullName;
    FShortName = Ref.ShortName;
    FLayout = Ref.Layout;
    FEntries = std::move(Entries);
    Q_EMIT PositionChanged();
}

QString NWDir::ShortName() const { return FShortName; }

QString NWDir::Filters() const { return FFilters; }

void NWDir::SetFilters(const QString& Layouts) {
    TFaultInjection::Check(QStringLiteral("NWDir.Filters"));
    QStringList List;
    for (const QString& L : Layouts.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!L.trimmed().isEmpty())
            List.append(L.trimmed());
    std::unique_ptr<NWEntries> Entries;
    if (!FFullName.isEmpty() && IsContainer(FLayout))
        Entries = std::make_unique<NWEntries>(FStore, FTreeId, FObjectId, FFullName, List);
    FFilters = Layouts;
    FFilterList = List;
    if (Entries)
        FEntries = std::move(Entries);
    Q_EMIT PositionChanged();
}

NWEntryPtr NWDir::Entry() const {
    TFaultInjection::Check(QStringLiteral("NWDir.Entry"));
    if (FFullName.isEmpty())
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("The directory control is not positioned"));
    if (FObjectId == 0)
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("A tree root is no entry: %1").arg(FFullName));
    return std::make_shared<NWEntry>(FStore, FObjectId, FFullName, FShortName, FLayout);
}

NWEntries* NWDir::Entries() {
    TFaultInjection::Check(QStringLiteral("NWDir.Entries"));
    return FEntries.get();
}

NWFieldTypes NWDir::FieldTypes() const {
    TFaultInjection::Check(QStringLiteral("NWDir.FieldTypes"));
    return NWFieldTypes(FStore.Private().Schema);
}

NWEntryPtr NWDir::FindEntry(const QString& Name) const {
    TFaultInjection::Check(QStringLiteral("NWDir.FindEntry"));
    const TClientStore::TObjectRef Ref = FStore.Private().MustResolve(Name);
    if (Ref.Id == 0)
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("A tree root is no entry: %1").arg(Ref.FullName));
    return std::make_shared<NWEntry>(FStore, Ref.Id, Ref.FullName, Ref.ShortName, Ref.Layout);
}

QString NWDir::ResolveName(const QString& Name) const {
    TFaultInjection::Check(QStringLiteral("NWDir.ResolveName"));
    auto& D = FStore.Private();
    TClientStore::TObjectRef Ref;
    QString Tree, Levels;
    if (SplitFullName(Name.trimmed(), Tree, Levels)) {
        if (D.Lookup(Name.trimmed(), Ref))
            return Ref.FullName;
    } else {
        // A dotted name ("admin.dienste", ".CN=admin.O=dienste") in the tree the control stands in,
        // else in the first connected tree.
        qint64 Tid = FTreeId;
        if (!Tid) {
            const QStringList Connected = FStore.ConnectedTrees();
            if (!Connected.isEmpty() && SplitFullName(Connected.first(), Tree, Levels))
                Tid = D.TreeId(Tree);
        }
        if (Tid && D.LookupDotted(Tid, Name, Ref))
            return Ref.FullName;
    }
    Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("No such object: %1").arg(Name));
}

void NWDir::Search(const QString& Name, const QString& Layout, int Scope, const QString& Base, int Flags) {
    TFaultInjection::Check(QStringLiteral("NWDir.Search"));
    auto& D = FStore.Private();
    const TClientStore::TObjectRef BaseRef = D.MustResolve(Base);
    const QStringList Results = D.Search(BaseRef, Name, Layout, Scope);
    QTimer::singleShot(TFaultInjection::SearchDelay(), this, [this, Results] { Q_EMIT SearchCompleted(QVariant(Results)); });
}
