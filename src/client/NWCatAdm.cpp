#include "NWCatAdm.h"

#include "DirectoryClient.h"
#include "FaultInjection.h"

#include <EDirectoryError.h>
#include <Layouts.h>

NWCatAdm::NWCatAdm(QObject* Parent) : NWCatAdm(TDirectoryClient::Instance(), Parent) {}

NWCatAdm::NWCatAdm(TDirectoryClient& Client, QObject* Parent) : QObject(Parent), FClient(Client) {}

void NWCatAdm::SetFullName(const QString& Catalog) {
    TFaultInjection::Check(QStringLiteral("NWCatAdm.FullName"));
    const TObjectRef Ref = FClient.Directory().Resolve(Catalog);
    if (Ref.Layout != CatalogLayout())
        ThrowDirectoryError(ERR_INVALID_REQUEST, QStringLiteral("%1 ist kein Katalog").arg(Ref.FullName));
    FCatalog = Ref;
}

void NWCatAdm::StartRefresh() {
    TFaultInjection::Check(QStringLiteral("NWCatAdm.StartRefresh"));
    if (FCatalog.FullName.isEmpty())
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY,
                            QStringLiteral("Das Katalog-Steuerelement ist nicht positioniert"));
    FClient.Directory().StartCatalogRefresh(FCatalog);
}
