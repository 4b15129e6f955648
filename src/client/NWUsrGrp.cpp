#include "NWUsrGrp.h"

#include "ClientStore.h"
#include "ClientStorePrivate.h"
#include "FaultInjection.h"
#include "NWCalls.h"

using namespace ClientInternal;

void NWUsers::Add(const QString& FullName, const QString& Surname, const QString& TemplateFullName,
                  const QVariant& Reserved1, const QVariant& Reserved2) {
    TFaultInjection::Check(QStringLiteral("NWUsers.Add"));
    auto& D = FStore.Private();
    const int Slash = FullName.lastIndexOf(QLatin1Char('\\'));
    if (Slash < 0)
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("No full name: %1").arg(FullName));
    const QString Name = FullName.mid(Slash + 1);
    const TClientStore::TObjectRef Container = D.MustResolve(FullName.left(Slash));
    const TLayoutKind Kind = KindOfLayout(Container.Layout);
    if (Kind != TLayoutKind::Organization && Kind != TLayoutKind::OrganizationalUnit)
        Fail(ERR_ILLEGAL_CONTAINMENT, QStringLiteral("%1 may not hold users").arg(Container.FullName));
    if (Container.Id != FContainerId)
        Fail(ERR_INVALID_REQUEST,
             QStringLiteral("%1 does not lie in the container the control stands on").arg(FullName));

    TClientStore::TObjectRef Template;
    if (!TemplateFullName.isEmpty()) {
        if (!D.Lookup(TemplateFullName, Template))
            Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("No such template: %1").arg(TemplateFullName));
        if (Template.Layout != QLatin1String("Template"))
            Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("%1 is no template").arg(Template.FullName));
    }
    const QString Layout = D.CheckCreate(Container, QStringLiteral("User"), Name);
    if (Surname.trimmed().isEmpty())
        Fail(ERR_SYNTAX_VIOLATION, QStringLiteral("A user needs a surname: %1").arg(FullName));

    // Fields: the surname, then every field the template carries except the ones the directory
    // keeps itself; values as the template holds them.
    std::vector<TClientStore::TPrivate::TFieldWrite> Writes;
    const NWFieldType* SurnameType = D.FieldType(QStringLiteral("Surname"));
    Writes.push_back({SurnameType, D.ToStored(*SurnameType, Surname)});
    if (Template.Id) {
        for (const QString& Field : D.FieldNames(Template.Id)) {
            if (IsOperationalField(Field) || Field == SurnameType->Name)
                continue;
            const NWFieldType* Type = D.FieldType(Field);
            if (Type)
                Writes.push_back({Type, D.StoredValues(Template.Id, Field)});
        }
    }
    TStoreTransaction T(FStore);
    D.InsertObject(Container, Layout, Name, Writes);
    T.Commit();
}

NWUsrGrp::NWUsrGrp(QObject* Parent) : NWUsrGrp(TClientStore::Instance(), Parent) {}

NWUsrGrp::NWUsrGrp(TClientStore& Store, QObject* Parent) : QObject(Parent), FStore(Store) {}

void NWUsrGrp::SetFullName(const QString& Container) {
    TFaultInjection::Check(QStringLiteral("NWUsrGrp.FullName"));
    const TClientStore::TObjectRef Ref = FStore.Private().MustResolve(Container);
    if (!IsContainer(Ref.Layout))
        Fail(ERR_INVALID_REQUEST, QStringLiteral("%1 is no container").arg(Ref.FullName));
    FFullName = Ref.FullName;
    FContainerId = Ref.Id;
}

NWUsers NWUsrGrp::Users() const {
    TFaultInjection::Check(QStringLiteral("NWUsrGrp.Users"));
    if (FFullName.isEmpty())
        Fail(ERR_NO_SUCH_ENTRY, QStringLiteral("The user control is not positioned"));
    return NWUsers(FStore, FContainerId);
}
