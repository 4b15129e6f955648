#include "OverlayBackend.h"

#include "EDirectoryError.h"
#include "FieldValues.h"
#include "Layouts.h"
#include "Names.h"
#include "Syntax.h"

#include <algorithm>

namespace {

QString Up(const QString& FullName) {
    return FullName.toUpper();
}

[[noreturn]] void NotInDryRun(const char* What) {
    ThrowDirectoryError(ERR_INVALID_REQUEST,
                        QStringLiteral("Im Probelauf nicht möglich: %1").arg(QString::fromUtf8(What)));
}

TFieldValues* FindField(std::vector<TFieldValues>& Fields, const QString& Field) {
    for (TFieldValues& F : Fields)
        if (F.Field.compare(Field, Qt::CaseInsensitive) == 0)
            return &F;
    return nullptr;
}

} // namespace

TOverlayBackend::TOverlayBackend(std::shared_ptr<TDirectoryBackend> Inner)
    : TForwardingBackend(std::move(Inner)) {}

bool TOverlayBackend::IsMade(const TObjectRef& Object) const {
    return Object.Key.Scope == -1 && S.MadeIndex.contains(Up(Object.FullName));
}

bool TOverlayBackend::IsGone(const QString& U) const {
    for (const QString& D : S.Deleted)
        if (U == D || U.startsWith(D + u'\\'))
            return true;
    return false;
}

bool TOverlayBackend::Exists(const QString& FullName) {
    TObjectRef Ref;
    return TryResolve(FullName, Ref);
}

std::vector<TFieldValues>* TOverlayBackend::KeptFields(const TObjectRef& Object) {
    auto It = S.Fields.find(Up(Object.FullName));
    return It == S.Fields.end() ? nullptr : &*It;
}

void TOverlayBackend::AddTree(const QString&) {
    NotInDryRun("einen Baum anlegen");
}

bool TOverlayBackend::TryResolve(const QString& FullName, TObjectRef& Out) {
    const QString U = Up(FullName);
    if (IsGone(U))
        return false;
    if (auto It = S.MadeIndex.constFind(U); It != S.MadeIndex.constEnd()) {
        Out = S.Made[*It].Ref;
        return true;
    }
    return Inner().TryResolve(FullName, Out);
}

std::vector<TChildEntry> TOverlayBackend::Children(const TObjectRef& Container, const QStringList& Layouts) {
    std::vector<TChildEntry> Rows;
    if (!IsMade(Container))
        Rows = Inner().Children(Container, Layouts);
    const QString Parent = Up(Container.FullName);
    std::erase_if(Rows, [&](const TChildEntry& R) { return IsGone(Parent + u'\\' + Up(R.ShortName)); });
    for (const TMade& M : S.Made)
        if (M.Parent == Parent && (Layouts.isEmpty() || Layouts.contains(M.Ref.Layout, Qt::CaseInsensitive)))
            Rows.push_back({M.Ref.Key, M.Ref.ShortName, M.Ref.Layout, -1});
    return Rows;
}

int TOverlayBackend::CountChildren(const TObjectRef& Container, const QStringList& Layouts) {
    if (S.Made.empty() && S.Deleted.isEmpty())
        return Inner().CountChildren(Container, Layouts);
    return int(Children(Container, Layouts).size());
}

std::vector<TChildEntry> TOverlayBackend::ChildrenCounted(const TObjectRef& Container,
                                                          const QStringList& Layouts) {
    if (S.Made.empty() && S.Deleted.isEmpty())
        return Inner().ChildrenCounted(Container, Layouts);
    return TDirectoryBackend::ChildrenCounted(Container, Layouts);
}

QStringList TOverlayBackend::Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                                    int Scope) {
    QString Wanted;
    QStringList Result;
    if (SearchSettledAtOnce(Base, Name, Layout, Scope, Wanted, Result))
        return Result;
    if (!IsMade(Base))
        Result = Inner().Search(Base, Name, Layout, Scope);
    Result.removeIf([this](const QString& F) { return IsGone(Up(F)); });
    const QString U = Up(Base.FullName);
    for (const TMade& M : S.Made) {
        const bool Below = Scope == 1 ? M.Parent == U : Up(M.Ref.FullName).startsWith(U + u'\\');
        if (Below && NameMatches(Name, M.Ref.ShortName) && (Wanted.isEmpty() || Wanted == M.Ref.Layout))
            Result.append(M.Ref.FullName);
    }
    return Result;
}

std::vector<QVariant> TOverlayBackend::ReadField(const TObjectRef& Object, const NWFieldType& Type) {
    if (std::vector<TFieldValues>* Kept = KeptFields(Object)) {
        if (TFieldValues* F = FindField(*Kept, Type.Name))
            return F->Values;
        if (IsMade(Object))
            return {};
    }
    if (IsMade(Object))
        return {};
    return Inner().ReadField(Object, Type);
}

std::vector<TFieldValues> TOverlayBackend::ReadFields(const TObjectRef& Object) {
    std::vector<TFieldValues> Fields;
    if (!IsMade(Object))
        Fields = Inner().ReadFields(Object);
    if (std::vector<TFieldValues>* Kept = KeptFields(Object))
        for (const TFieldValues& K : *Kept) {
            if (TFieldValues* F = FindField(Fields, K.Field))
                F->Values = K.Values;
            else
                Fields.push_back(K);
        }
    std::erase_if(Fields, [](const TFieldValues& F) { return F.Values.empty(); });
    return Fields;
}

QStringList TOverlayBackend::FieldNames(const TObjectRef& Object) {
    QStringList Names;
    for (const TFieldValues& F : ReadFields(Object))
        Names << F.Field;
    return Names;
}

std::vector<QVariant> TOverlayBackend::Held(const NWFieldType& Type, const QVariant& Value) {
    std::vector<QVariant> Values = NormalizeFieldValues(Type, Value);
    for (QVariant& V : Values) {
        switch (KindOfSyntax(Type.Syntax)) {
        case TSyntaxKind::Path: {
            const QString Text = V.toString();
            const qsizetype Comma = Text.indexOf(u',');
            const QString VolumeName = Text.left(Comma).trimmed();
            TObjectRef Volume;
            if (!TryResolve(VolumeName, Volume) || Volume.Layout != QLatin1String("Volume"))
                ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                                    QStringLiteral("Feld \"%1\": Volume-Objekt nicht gefunden: %2")
                                        .arg(Type.Name, VolumeName));
            V = QString(Volume.FullName + Text.mid(Comma));
            CheckFieldLength(Type, V.toString());
            break;
        }
        case TSyntaxKind::DistinguishedName: {
            TObjectRef Ref;
            if (TryResolve(V.toString(), Ref))
                V = Ref.FullName;
            CheckFieldLength(Type, V.toString());
            break;
        }
        case TSyntaxKind::Time:
            V = QDateTime::fromSecsSinceEpoch(V.toDateTime().toSecsSinceEpoch(), Qt::UTC);
            break;
        default:
            break;
        }
    }
    return Values;
}

void TOverlayBackend::SetFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields,
                                bool Fresh) {
    const auto Merged = MergeFieldWrites(Fields, [this](const QString& F) { return FieldType(F); });
    std::vector<TFieldValues> Written;
    for (const auto& [Type, Value] : Merged)
        Written.push_back({Type->Name, Held(*Type, Value)});
    std::vector<TFieldValues>& Kept = S.Fields[Up(Object.FullName)];
    if (Fresh)
        Kept.clear();
    for (TFieldValues& W : Written) {
        if (TFieldValues* F = FindField(Kept, W.Field))
            F->Values = std::move(W.Values);
        else
            Kept.push_back(std::move(W));
    }
}

void TOverlayBackend::WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) {
    if (!Exists(Object.FullName))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Objekt nicht gefunden: %1").arg(Object.FullName));
    SetFields(Object, Fields, false);
}

TObjectRef TOverlayBackend::Make(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                                 std::vector<TFieldValues> Fields) {
    TMade M;
    M.Ref.Key.Scope = -1;
    M.Ref.Key.Id = FNextId++;
    M.Ref.FullName = Parent.FullName + u'\\' + Name;
    M.Ref.ShortName = Name;
    M.Ref.Layout = Layout;
    M.Parent = Up(Parent.FullName);
    std::erase_if(Fields, [](const TFieldValues& F) { return F.Values.empty(); });
    S.Fields.insert(Up(M.Ref.FullName), std::move(Fields));
    S.MadeIndex.insert(Up(M.Ref.FullName), S.Made.size());
    S.Made.push_back(M);
    return M.Ref;
}

TObjectRef TOverlayBackend::CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                                         const std::vector<TFieldWrite>& Fields) {
    if (!Exists(Parent.FullName))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Objekt nicht gefunden: %1").arg(Parent.FullName));
    const QString Canonical = CheckNewObject(Parent, Layout, Name);
    if (Exists(Parent.FullName + u'\\' + Name))
        ThrowDirectoryError(ERR_ENTRY_ALREADY_EXISTS,
                            QStringLiteral("Das Objekt %1\\%2 gibt es bereits").arg(Parent.FullName, Name));
    const auto Merged = MergeFieldWrites(Fields, [this](const QString& F) { return FieldType(F); });
    std::vector<TFieldValues> Held;
    for (const auto& [Type, Value] : Merged)
        Held.push_back({Type->Name, this->Held(*Type, Value)});
    return Make(Parent, Canonical, Name, std::move(Held));
}

TObjectRef TOverlayBackend::CreateUser(const TObjectRef& Container, const QString& Name,
                                       const QString& Surname, const TObjectRef* Template) {
    if (!Exists(Container.FullName))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Objekt nicht gefunden: %1").arg(Container.FullName));
    const QString Layout = CheckNewObject(Container, QStringLiteral("User"), Name);
    if (Surname.trimmed().isEmpty())
        ThrowDirectoryError(
            ERR_SYNTAX_VIOLATION,
            QStringLiteral("Ein Benutzer braucht einen Nachnamen: %1\\%2").arg(Container.FullName, Name));
    if (Exists(Container.FullName + u'\\' + Name))
        ThrowDirectoryError(
            ERR_ENTRY_ALREADY_EXISTS,
            QStringLiteral("Das Objekt %1\\%2 gibt es bereits").arg(Container.FullName, Name));
    const NWFieldType* SurnameType = FieldType(QStringLiteral("Surname"));
    std::vector<TFieldValues> Fields{{SurnameType->Name, Held(*SurnameType, Surname)}};
    if (Template)
        for (TFieldValues& F : ReadFields(*Template))
            if (!IsOperationalField(F.Field) && F.Field != SurnameType->Name)
                Fields.push_back(std::move(F));
    return Make(Container, Layout, Name, std::move(Fields));
}

void TOverlayBackend::DeleteObject(const TObjectRef& Object) {
    if (!Exists(Object.FullName))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Objekt nicht gefunden: %1").arg(Object.FullName));
    if (IsContainerLayout(Object.Layout) && !Children(Object, {}).empty())
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("Der Container %1 ist nicht leer").arg(Object.FullName));
    const QString U = Up(Object.FullName);
    S.Fields.remove(U);
    if (auto It = S.MadeIndex.constFind(U); It != S.MadeIndex.constEnd()) {
        S.Made.erase(S.Made.begin() + qsizetype(*It));
        S.MadeIndex.clear();
        for (size_t I = 0; I < S.Made.size(); ++I)
            S.MadeIndex.insert(Up(S.Made[I].Ref.FullName), I);
        return;
    }
    S.Deleted.insert(U);
}

void TOverlayBackend::BeginTransaction() {
    if (FDepth++ == 0)
        FSaved = {S};
}

void TOverlayBackend::CommitTransaction() {
    if (FDepth > 0 && --FDepth == 0)
        FSaved.clear();
}

void TOverlayBackend::RollbackTransaction() {
    if (!FSaved.empty())
        S = FSaved.front();
    FSaved.clear();
    FDepth = 0;
}

void TOverlayBackend::SetPassword(const TObjectRef& Object, const QString&) {
    TObjectRef Ref;
    if (!TryResolve(Object.FullName, Ref))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Objekt nicht gefunden: %1").arg(Object.FullName));
    if (Ref.Layout != QLatin1String("User"))
        ThrowDirectoryError(ERR_INVALID_REQUEST, QStringLiteral("%1 ist kein Benutzer").arg(Object.FullName));
}

bool TOverlayBackend::CheckPassword(const TObjectRef& Object, const QString& Password) {
    return !IsMade(Object) && Inner().CheckPassword(Object, Password);
}

std::optional<TPosixIdentity> TOverlayBackend::PosixIdentity(const TObjectRef& Object) {
    if (IsMade(Object))
        return std::nullopt;
    return Inner().PosixIdentity(Object);
}

TPosixIdentity TOverlayBackend::EnsurePosixIdentity(const TObjectRef& Object) {
    // None is given here: a made-up one that nothing writes.
    if (std::optional<TPosixIdentity> Held = PosixIdentity(Object))
        return *Held;
    TPosixIdentity Id;
    Id.Kind =
        Object.Layout == QLatin1String("User") ? TPosixIdentity::TKind::User : TPosixIdentity::TKind::Group;
    return Id;
}

int TOverlayBackend::EnsurePosixIdentities(const TObjectRef&) {
    return 0;
}

void TOverlayBackend::GivePosixIdentities(const std::vector<TPosixGrant>& Grants) {
    if (!Grants.empty())
        NotInDryRun("POSIX-Kennungen übernehmen");
}

bool TOverlayBackend::StartCatalogRefresh(const TObjectRef&) {
    NotInDryRun("einen Katalog aktualisieren");
}
