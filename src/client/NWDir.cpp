#include "NWDir.h"

#include "DirectoryClient.h"
#include "FaultInjection.h"

#include <EDirectoryError.h>
#include <Layouts.h>
#include <NWNetAddress.h>
#include <Names.h>
#include <Syntax.h>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTimerEvent>

namespace {

TDirectoryBackend& Directory(TDirectoryClient& Client) {
    return Client.Directory();
}

// The values of a read as the entry hands them out.
QVariant Shaped(const NWFieldType& Type, std::vector<QVariant> Values, const QVariant& Default,
                bool MultiValued) {
    const TSyntaxKind Kind = KindOfSyntax(Type.Syntax);
    // An address list without values is an array of one element without a value.
    if (Values.empty() && MultiValued && Kind == TSyntaxKind::NetAddress && !Default.isValid())
        return QVariantList{QVariant::fromValue(NWNetAddress())};
    if (Values.empty())
        return Default;
    if (!MultiValued)
        return Values.front();
    if (IsTextKind(Kind)) {
        QStringList L;
        L.reserve(qsizetype(Values.size()));
        for (const QVariant& V : Values)
            L.append(V.toString());
        return L;
    }
    if (Kind == TSyntaxKind::NetAddress || !Type.SingleValued)
        return QVariantList(Values.begin(), Values.end());
    return Values.front();
}

const NWFieldType& StreamField(TDirectoryClient& Client, const QString& Field) {
    const NWFieldType* Type = Directory(Client).FieldType(Field);
    if (!Type)
        ThrowDirectoryError(ERR_NO_SUCH_ATTRIBUTE, QStringLiteral("Unbekanntes Feld \"%1\"").arg(Field));
    if (KindOfSyntax(Type->Syntax) != TSyntaxKind::Stream)
        ThrowDirectoryError(ERR_ILLEGAL_ATTRIBUTE,
                            QStringLiteral("Das Feld \"%1\" ist kein Stream-Feld").arg(Type->Name));
    return *Type;
}

// The layouts of a filter in canonical spelling; an unknown layout stays in a form that matches
// no layout.
QStringList CanonicalFilters(const QStringList& Filters) {
    QStringList L;
    for (const QString& F : Filters) {
        const QString T = F.trimmed();
        if (T.isEmpty())
            continue;
        const QString C = CanonicalLayout(T);
        L.append(C.isEmpty() ? QStringLiteral("?") + T : C);
    }
    return L;
}

NWEntryPtr MakeEntry(TDirectoryClient& Client, const TObjectRef& Object) {
    return std::make_shared<NWEntry>(Client, Object);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// NWEntry

NWEntry::NWEntry(TDirectoryClient& Client, const TObjectRef& Object) : FClient(Client), FObject(Object) {}

QVariant NWEntry::GetFieldValue(const QString& Field, const QVariant& Default, bool MultiValued) const {
    TFaultInjection::Check(QStringLiteral("NWEntry.GetFieldValue"));
    if (Field.isEmpty())
        return MultiValued ? QVariant(Directory(FClient).FieldNames(FObject)) : Default;
    const NWFieldType* Type = Directory(FClient).FieldType(Field);
    if (!Type)
        return Default;
    return Shaped(*Type, Directory(FClient).ReadField(FObject, *Type), Default, MultiValued);
}

void NWEntry::SetFieldValue(const QString& Field, const QVariant& Value) {
    TFaultInjection::Check(QStringLiteral("NWEntry.SetFieldValue"));
    FPending.push_back({Field, Value});
}

void NWEntry::Update() {
    TFaultInjection::Check(QStringLiteral("NWEntry.Update"));
    if (FPending.empty())
        return;
    // A failed commit discards the buffered writes: they would only fail again.
    const auto Pending = std::exchange(FPending, {});
    Directory(FClient).WriteFields(FObject, Pending);
}

void NWEntry::SaveFieldToFile(const QString& Field, const QString& Path, bool Overwrite) const {
    TFaultInjection::Check(QStringLiteral("NWEntry.SaveFieldToFile"));
    const NWFieldType& Type = StreamField(FClient, Field);
    const std::vector<QVariant> Values = Directory(FClient).ReadField(FObject, Type);
    if (Values.empty())
        ThrowDirectoryError(ERR_NO_SUCH_ATTRIBUTE,
                            QStringLiteral("%1 hat keinen Wert in \"%2\"").arg(FObject.FullName, Type.Name));
    if (!Overwrite && QFileInfo::exists(Path))
        ThrowDirectoryError(-1, QStringLiteral("Die Datei gibt es bereits: %1").arg(Path));
    // Written into the file in place, so that a file the caller created (and its permissions) stays.
    QFile File(Path);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ThrowDirectoryError(
            -1, QStringLiteral("%1 kann nicht geschrieben werden: %2").arg(Path, File.errorString()));
    const QByteArray Bytes = Values.front().toString().toUtf8();
    if (File.write(Bytes) != Bytes.size() || !File.flush())
        ThrowDirectoryError(
            -1, QStringLiteral("%1 kann nicht geschrieben werden: %2").arg(Path, File.errorString()));
}

void NWEntry::LoadFieldFromFile(const QString& Field, const QString& Path) {
    TFaultInjection::Check(QStringLiteral("NWEntry.LoadFieldFromFile"));
    const NWFieldType& Type = StreamField(FClient, Field);
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        ThrowDirectoryError(-1,
                            QStringLiteral("%1 kann nicht gelesen werden: %2").arg(Path, File.errorString()));
    const QByteArray Bytes = File.readAll();
    // UTF-8 when the file is valid UTF-8, else the workstation's 8-bit text (Latin-1).
    QStringDecoder Utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString Text = Utf8.decode(Bytes);
    if (Utf8.hasError())
        Text = QString::fromLatin1(Bytes);
    FPending.push_back({Type.Name, Text});
}

// ---------------------------------------------------------------------------------------------
// NWEntries

NWEntries::NWEntries(TDirectoryClient& Client, const TObjectRef& Container, const QStringList& Filters)
    : FClient(Client), FContainer(Container), FFilters(CanonicalFilters(Filters)) {}

bool NWEntries::Passes(const QString& Layout) const {
    return FFilters.isEmpty() || FFilters.contains(Layout);
}

void NWEntries::Refresh() {
    Load();
}

void NWEntries::RefreshCounted() {
    Load(true);
}

// Every reading of the listing, the first one after positioning included, is a refresh.
int NWEntries::Count() const {
    if (FLoaded)
        return int(FRows.size());
    if (FCounted < 0) {
        TFaultInjection::Check(QStringLiteral("NWEntries.Refresh"));
        FCounted = Directory(FClient).CountChildren(FContainer, FFilters);
    }
    return FCounted;
}

void NWEntries::Load(bool Counted) const {
    TFaultInjection::Check(QStringLiteral("NWEntries.Refresh"));
    FRows = Counted ? Directory(FClient).ChildrenCounted(FContainer, FFilters)
                    : Directory(FClient).Children(FContainer, FFilters);
    FLoaded = true;
    FCounted = -1;
}

const TChildEntry& NWEntries::Row(int Index) const {
    if (!FLoaded)
        Load();
    if (Index < 0 || Index >= int(FRows.size()))
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("Eintrag %1 liegt außerhalb des Bereichs (0..%2)")
                                .arg(Index)
                                .arg(int(FRows.size()) - 1));
    return FRows[size_t(Index)];
}

int NWEntries::SubordinateCount(int Index) const {
    return Row(Index).Subordinates;
}

NWEntryPtr NWEntries::Item(int Index) const {
    TFaultInjection::Check(QStringLiteral("NWEntries.Item"));
    const TChildEntry& R = Row(Index);
    return MakeEntry(FClient,
                     {R.Key, FContainer.FullName + QLatin1Char('\\') + R.ShortName, R.ShortName, R.Layout});
}

NWEntryPtr NWEntries::Add(const QString& Layout, const QString& Name) {
    TFaultInjection::Check(QStringLiteral("NWEntries.Add"));
    const TObjectRef R = Directory(FClient).CreateObject(FContainer, Layout, Name);
    if (Passes(R.Layout)) {
        if (FLoaded)
            FRows.push_back({R.Key, R.ShortName, R.Layout});
        else if (FCounted >= 0)
            ++FCounted;
    }
    return MakeEntry(FClient, R);
}

const NWFieldType& NWFieldTypes::Item(int Index) const {
    if (Index < 0 || Index >= Count())
        ThrowDirectoryError(
            ERR_INVALID_REQUEST,
            QStringLiteral("Feldtyp %1 liegt außerhalb des Bereichs (0..%2)").arg(Index).arg(Count() - 1));
    return FTypes[size_t(Index)];
}

// ---------------------------------------------------------------------------------------------
// NWDir

NWDir::NWDir(QObject* Parent) : NWDir(TDirectoryClient::Instance(), Parent) {}

NWDir::NWDir(TDirectoryClient& Client, QObject* Parent) : QObject(Parent), FClient(Client) {}

NWDir::~NWDir() = default;

QString NWDir::FullName() const {
    return FPosition.FullName;
}

void NWDir::SetFullName(const QString& Name) {
    TFaultInjection::Check(QStringLiteral("NWDir.FullName"));
    const TObjectRef Ref = Directory(FClient).Resolve(Name);
    std::unique_ptr<NWEntries> Entries;
    if (IsContainerLayout(Ref.Layout))
        Entries = std::make_unique<NWEntries>(FClient, Ref, FFilterList);
    FPosition = Ref;
    FEntries = std::move(Entries);
    Q_EMIT PositionChanged();
}

QString NWDir::ShortName() const {
    return FPosition.ShortName;
}

QString NWDir::Filters() const {
    return FFilters;
}

void NWDir::SetFilters(const QString& Layouts) {
    TFaultInjection::Check(QStringLiteral("NWDir.Filters"));
    QStringList List;
    for (const QString& L : Layouts.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!L.trimmed().isEmpty())
            List.append(L.trimmed());
    FFilters = Layouts;
    FFilterList = List;
    if (!FPosition.FullName.isEmpty() && IsContainerLayout(FPosition.Layout))
        FEntries = std::make_unique<NWEntries>(FClient, FPosition, List);
    Q_EMIT PositionChanged();
}

NWEntryPtr NWDir::Entry() const {
    TFaultInjection::Check(QStringLiteral("NWDir.Entry"));
    if (FPosition.FullName.isEmpty())
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Das Verzeichnis-Steuerelement ist nicht positioniert"));
    if (FPosition.IsTreeRoot())
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Eine Baumwurzel ist kein Eintrag: %1").arg(FPosition.FullName));
    return MakeEntry(FClient, FPosition);
}

NWEntries* NWDir::Entries() {
    TFaultInjection::Check(QStringLiteral("NWDir.Entries"));
    return FEntries.get();
}

NWFieldTypes NWDir::FieldTypes() const {
    TFaultInjection::Check(QStringLiteral("NWDir.FieldTypes"));
    return NWFieldTypes(Directory(FClient).FieldTypes());
}

NWEntryPtr NWDir::FindEntry(const QString& Name) const {
    TFaultInjection::Check(QStringLiteral("NWDir.FindEntry"));
    const TObjectRef Ref = Directory(FClient).Resolve(Name);
    if (Ref.IsTreeRoot())
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Eine Baumwurzel ist kein Eintrag: %1").arg(Ref.FullName));
    return MakeEntry(FClient, Ref);
}

QString NWDir::ResolveName(const QString& Name) const {
    TFaultInjection::Check(QStringLiteral("NWDir.ResolveName"));
    TDirectoryBackend& D = Directory(FClient);
    TObjectRef Ref;
    QString Tree, Levels;
    if (SplitFullName(Name.trimmed(), Tree, Levels)) {
        if (D.TryResolve(Name.trimmed(), Ref))
            return Ref.FullName;
    } else {
        // A dotted name ("admin.dienste", ".CN=admin.O=dienste") in the tree the control stands in,
        // else in the first connected tree.
        bool HaveTree = !FPosition.FullName.isEmpty() && SplitFullName(FPosition.FullName, Tree, Levels);
        if (!HaveTree) {
            const QStringList Connected = D.ConnectedTrees();
            HaveTree = !Connected.isEmpty() && SplitFullName(Connected.first(), Tree, Levels);
        }
        QString FullName;
        if (HaveTree && DottedToFullName(Tree, Name, FullName) && D.TryResolve(FullName, Ref))
            return Ref.FullName;
    }
    ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Objekt nicht gefunden: %1").arg(Name));
}

void NWDir::Search(const QString& Name, const QString& Layout, int Scope, const QString& Base, int Flags) {
    TFaultInjection::Check(QStringLiteral("NWDir.Search"));
    TDirectoryBackend& D = Directory(FClient);
    const QStringList Results = D.Search(D.Resolve(Base), Name, Layout, Scope);
    FPendingResults.emplace(startTimer(TFaultInjection::SearchDelay()), Results);
}

void NWDir::timerEvent(QTimerEvent* Event) {
    const auto It = FPendingResults.find(Event->timerId());
    if (It == FPendingResults.end()) {
        QObject::timerEvent(Event);
        return;
    }
    killTimer(It->first);
    const QStringList Results = std::move(It->second);
    FPendingResults.erase(It);
    Q_EMIT SearchCompleted(QVariant(Results));
}
