#include "NWUsrGrp.h"

#include "DirectoryClient.h"
#include "FaultInjection.h"

#include <EDirectoryError.h>
#include <Layouts.h>

void NWUsers::Add(const QString& FullName, const QString& Surname, const QString& TemplateFullName,
                  const QVariant& Reserved1, const QVariant& Reserved2) {
    TFaultInjection::Check(QStringLiteral("NWUsers.Add"));
    TDirectoryBackend& D = FClient.Directory();
    const qsizetype Slash = FullName.lastIndexOf(QLatin1Char('\\'));
    if (Slash < 0)
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Kein vollständiger Name: %1").arg(FullName));
    const QString Name = FullName.mid(Slash + 1);
    const TObjectRef Container = D.Resolve(FullName.left(Slash));
    const TLayoutKind Kind = KindOfLayout(Container.Layout);
    if (Kind != TLayoutKind::Organization && Kind != TLayoutKind::OrganizationalUnit)
        ThrowDirectoryError(ERR_ILLEGAL_CONTAINMENT,
                            QStringLiteral("%1 darf keine Benutzer enthalten").arg(Container.FullName));
    if (Container.FullName != FContainer.FullName)
        ThrowDirectoryError(
            ERR_INVALID_REQUEST,
            QStringLiteral("%1 liegt nicht in dem Container, auf dem das Steuerelement steht").arg(FullName));

    TObjectRef Template;
    if (!TemplateFullName.isEmpty()) {
        if (!D.TryResolve(TemplateFullName, Template))
            ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                                QStringLiteral("Vorlage nicht gefunden: %1").arg(TemplateFullName));
        if (Template.Layout != QLatin1String("Template"))
            ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                                QStringLiteral("%1 ist keine Vorlage").arg(Template.FullName));
    }
    D.CreateUser(Container, Name, Surname, TemplateFullName.isEmpty() ? nullptr : &Template);
}

NWUsrGrp::NWUsrGrp(QObject* Parent) : NWUsrGrp(TDirectoryClient::Instance(), Parent) {}

NWUsrGrp::NWUsrGrp(TDirectoryClient& Client, QObject* Parent) : QObject(Parent), FClient(Client) {}

void NWUsrGrp::SetFullName(const QString& Container) {
    TFaultInjection::Check(QStringLiteral("NWUsrGrp.FullName"));
    const TObjectRef Ref = FClient.Directory().Resolve(Container);
    if (!IsContainerLayout(Ref.Layout))
        ThrowDirectoryError(ERR_INVALID_REQUEST, QStringLiteral("%1 ist kein Container").arg(Ref.FullName));
    FContainer = Ref;
}

NWUsers NWUsrGrp::Users() const {
    TFaultInjection::Check(QStringLiteral("NWUsrGrp.Users"));
    if (FContainer.FullName.isEmpty())
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Das Benutzer-Steuerelement ist nicht positioniert"));
    return NWUsers(FClient, FContainer);
}
