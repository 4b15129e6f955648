#include "TreeRouter.h"

#include "EDirectoryError.h"
#include "Names.h"

TTreeRouter::TTreeRouter(std::shared_ptr<TDirectoryBackend> Workstation, std::vector<TRoute> Routes)
    : TForwardingBackend(std::move(Workstation)), FRoutes(std::move(Routes)) {}

TDirectoryBackend& TTreeRouter::BackendOf(const QString& FullName) const {
    QString Tree, Levels;
    if (SplitFullName(FullName, Tree, Levels))
        for (const TRoute& R : FRoutes)
            if (R.Tree.compare(Tree, Qt::CaseInsensitive) == 0)
                return *R.Backend;
    return Inner();
}

QStringList TTreeRouter::Trees() {
    QStringList Names;
    for (const QString& T : Inner().Trees())
        if (&BackendOf(TreeFullName(T)) == &Inner())
            Names.append(T);
    for (const TRoute& R : FRoutes)
        Names.append(R.Tree);
    return Names;
}

void TTreeRouter::AddTree(const QString& TreeName) {
    if (&BackendOf(TreeFullName(TreeName)) != &Inner())
        ThrowDirectoryError(ERR_ENTRY_ALREADY_EXISTS,
                            QStringLiteral("Den Baum gibt es bereits: %1").arg(TreeName));
    Inner().AddTree(TreeName);
}

void TTreeRouter::BeginTransaction() {
    Inner().BeginTransaction();
    for (const TRoute& R : FRoutes)
        R.Backend->BeginTransaction();
}

void TTreeRouter::CommitTransaction() {
    for (const TRoute& R : FRoutes)
        R.Backend->CommitTransaction();
    Inner().CommitTransaction();
}

void TTreeRouter::RollbackTransaction() {
    for (const TRoute& R : FRoutes)
        R.Backend->RollbackTransaction();
    Inner().RollbackTransaction();
}

void TTreeRouter::WaitForCatalogRefreshes() {
    for (const TRoute& R : FRoutes)
        R.Backend->WaitForCatalogRefreshes();
    Inner().WaitForCatalogRefreshes();
}
