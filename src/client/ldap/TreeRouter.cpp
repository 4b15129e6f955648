#include "TreeRouter.h"

#include <EDirectoryError.h>
#include <Names.h>

TTreeRouter::TTreeRouter(std::shared_ptr<TDirectoryBackend> Workstation, std::vector<TRoute> Routes)
    : FWorkstation(std::move(Workstation)), FRoutes(std::move(Routes)) {}

TDirectoryBackend& TTreeRouter::BackendOf(const QString& FullName) const {
    QString Tree, Levels;
    if (SplitFullName(FullName, Tree, Levels))
        for (const TRoute& R : FRoutes)
            if (R.Tree.compare(Tree, Qt::CaseInsensitive) == 0)
                return *R.Backend;
    return *FWorkstation;
}

QStringList TTreeRouter::Trees() {
    QStringList Names;
    for (const QString& T : FWorkstation->Trees())
        if (&BackendOf(TreeFullName(T)) == FWorkstation.get())
            Names.append(T);
    for (const TRoute& R : FRoutes)
        Names.append(R.Tree);
    return Names;
}

void TTreeRouter::AddTree(const QString& TreeName) {
    if (&BackendOf(TreeFullName(TreeName)) != FWorkstation.get())
        ThrowDirectoryError(ERR_ENTRY_ALREADY_EXISTS,
                            QStringLiteral("Den Baum gibt es bereits: %1").arg(TreeName));
    FWorkstation->AddTree(TreeName);
}

QStringList TTreeRouter::ConnectedTrees() {
    return FWorkstation->ConnectedTrees();
}

std::vector<TServerConnection> TTreeRouter::ServerConnections() {
    return FWorkstation->ServerConnections();
}

bool TTreeRouter::TryResolve(const QString& FullName, TObjectRef& Out) {
    return BackendOf(FullName).TryResolve(FullName, Out);
}

std::vector<TChildEntry> TTreeRouter::Children(const TObjectRef& Container, const QStringList& Layouts) {
    return BackendOf(Container.FullName).Children(Container, Layouts);
}

std::vector<TChildEntry> TTreeRouter::ChildrenCounted(const TObjectRef& Container,
                                                      const QStringList& Layouts) {
    return BackendOf(Container.FullName).ChildrenCounted(Container, Layouts);
}

int TTreeRouter::CountChildren(const TObjectRef& Container, const QStringList& Layouts) {
    return BackendOf(Container.FullName).CountChildren(Container, Layouts);
}

QStringList TTreeRouter::Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                                int Scope) {
    return BackendOf(Base.FullName).Search(Base, Name, Layout, Scope);
}

// Every backend publishes the same field types.
const std::vector<NWFieldType>& TTreeRouter::FieldTypes() {
    return FWorkstation->FieldTypes();
}

const NWFieldType* TTreeRouter::FieldType(const QString& Field) {
    return FWorkstation->FieldType(Field);
}

std::vector<QVariant> TTreeRouter::ReadField(const TObjectRef& Object, const NWFieldType& Type) {
    return BackendOf(Object.FullName).ReadField(Object, Type);
}

std::vector<TFieldValues> TTreeRouter::ReadFields(const TObjectRef& Object) {
    return BackendOf(Object.FullName).ReadFields(Object);
}

QStringList TTreeRouter::FieldNames(const TObjectRef& Object) {
    return BackendOf(Object.FullName).FieldNames(Object);
}

void TTreeRouter::WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) {
    BackendOf(Object.FullName).WriteFields(Object, Fields);
}

TObjectRef TTreeRouter::CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                                     const std::vector<TFieldWrite>& Fields) {
    return BackendOf(Parent.FullName).CreateObject(Parent, Layout, Name, Fields);
}

TObjectRef TTreeRouter::CreateUser(const TObjectRef& Container, const QString& Name, const QString& Surname,
                                   const TObjectRef* Template) {
    return BackendOf(Container.FullName).CreateUser(Container, Name, Surname, Template);
}

void TTreeRouter::DeleteObject(const TObjectRef& Object) {
    BackendOf(Object.FullName).DeleteObject(Object);
}

void TTreeRouter::BeginTransaction() {
    FWorkstation->BeginTransaction();
    for (const TRoute& R : FRoutes)
        R.Backend->BeginTransaction();
}

void TTreeRouter::CommitTransaction() {
    for (const TRoute& R : FRoutes)
        R.Backend->CommitTransaction();
    FWorkstation->CommitTransaction();
}

void TTreeRouter::RollbackTransaction() {
    for (const TRoute& R : FRoutes)
        R.Backend->RollbackTransaction();
    FWorkstation->RollbackTransaction();
}

void TTreeRouter::SetPassword(const TObjectRef& Object, const QString& Password) {
    BackendOf(Object.FullName).SetPassword(Object, Password);
}

bool TTreeRouter::CheckPassword(const TObjectRef& Object, const QString& Password) {
    return BackendOf(Object.FullName).CheckPassword(Object, Password);
}

bool TTreeRouter::StartCatalogRefresh(const TObjectRef& Catalog) {
    return BackendOf(Catalog.FullName).StartCatalogRefresh(Catalog);
}

std::vector<TCatalogRow> TTreeRouter::CatalogRows(const TObjectRef& Catalog) {
    return BackendOf(Catalog.FullName).CatalogRows(Catalog);
}

void TTreeRouter::WaitForCatalogRefreshes() {
    for (const TRoute& R : FRoutes)
        R.Backend->WaitForCatalogRefreshes();
    FWorkstation->WaitForCatalogRefreshes();
}
