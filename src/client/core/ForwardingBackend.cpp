#include "ForwardingBackend.h"

TForwardingBackend::TForwardingBackend(std::shared_ptr<TDirectoryBackend> Inner) : FInner(std::move(Inner)) {}

TDirectoryBackend& TForwardingBackend::Target(const QString&) {
    return *FInner;
}

QStringList TForwardingBackend::Trees() {
    return FInner->Trees();
}
void TForwardingBackend::AddTree(const QString& TreeName) {
    FInner->AddTree(TreeName);
}
QStringList TForwardingBackend::ConnectedTrees() {
    return FInner->ConnectedTrees();
}
std::vector<TServerConnection> TForwardingBackend::ServerConnections() {
    return FInner->ServerConnections();
}
bool TForwardingBackend::TryResolve(const QString& FullName, TObjectRef& Out) {
    return Target(FullName).TryResolve(FullName, Out);
}
std::vector<TChildEntry> TForwardingBackend::Children(const TObjectRef& Container,
                                                      const QStringList& Layouts) {
    return Target(Container.FullName).Children(Container, Layouts);
}
int TForwardingBackend::CountChildren(const TObjectRef& Container, const QStringList& Layouts) {
    return Target(Container.FullName).CountChildren(Container, Layouts);
}
std::vector<TChildEntry> TForwardingBackend::ChildrenCounted(const TObjectRef& Container,
                                                             const QStringList& Layouts) {
    return Target(Container.FullName).ChildrenCounted(Container, Layouts);
}
QStringList TForwardingBackend::Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                                       int Scope) {
    return Target(Base.FullName).Search(Base, Name, Layout, Scope);
}
// Every backend publishes the same field types.
const std::vector<NWFieldType>& TForwardingBackend::FieldTypes() {
    return FInner->FieldTypes();
}
const NWFieldType* TForwardingBackend::FieldType(const QString& Field) {
    return FInner->FieldType(Field);
}
std::vector<QVariant> TForwardingBackend::ReadField(const TObjectRef& Object, const NWFieldType& Type) {
    return Target(Object.FullName).ReadField(Object, Type);
}
std::vector<TFieldValues> TForwardingBackend::ReadFields(const TObjectRef& Object) {
    return Target(Object.FullName).ReadFields(Object);
}
QStringList TForwardingBackend::FieldNames(const TObjectRef& Object) {
    return Target(Object.FullName).FieldNames(Object);
}
void TForwardingBackend::WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) {
    Target(Object.FullName).WriteFields(Object, Fields);
}
TObjectRef TForwardingBackend::CreateObject(const TObjectRef& Parent, const QString& Layout,
                                            const QString& Name, const std::vector<TFieldWrite>& Fields) {
    return Target(Parent.FullName).CreateObject(Parent, Layout, Name, Fields);
}
TObjectRef TForwardingBackend::CreateUser(const TObjectRef& Container, const QString& Name,
                                          const QString& Surname, const TObjectRef* Template) {
    return Target(Container.FullName).CreateUser(Container, Name, Surname, Template);
}
void TForwardingBackend::DeleteObject(const TObjectRef& Object) {
    Target(Object.FullName).DeleteObject(Object);
}
void TForwardingBackend::BeginTransaction() {
    FInner->BeginTransaction();
}
void TForwardingBackend::CommitTransaction() {
    FInner->CommitTransaction();
}
void TForwardingBackend::RollbackTransaction() {
    FInner->RollbackTransaction();
}
void TForwardingBackend::SetPassword(const TObjectRef& Object, const QString& Password) {
    Target(Object.FullName).SetPassword(Object, Password);
}
bool TForwardingBackend::CheckPassword(const TObjectRef& Object, const QString& Password) {
    return Target(Object.FullName).CheckPassword(Object, Password);
}
std::optional<TPosixIdentity> TForwardingBackend::PosixIdentity(const TObjectRef& Object) {
    return Target(Object.FullName).PosixIdentity(Object);
}
TPosixIdentity TForwardingBackend::EnsurePosixIdentity(const TObjectRef& Object) {
    return Target(Object.FullName).EnsurePosixIdentity(Object);
}
int TForwardingBackend::EnsurePosixIdentities(const TObjectRef& Base) {
    return Target(Base.FullName).EnsurePosixIdentities(Base);
}
std::vector<TPosixHolder> TForwardingBackend::PosixIdentities(const TObjectRef& Base) {
    return Target(Base.FullName).PosixIdentities(Base);
}
// The grants of one call lie in one tree (an import's).
void TForwardingBackend::GivePosixIdentities(const std::vector<TPosixGrant>& Grants) {
    if (!Grants.empty())
        Target(Grants.front().Object.FullName).GivePosixIdentities(Grants);
}
bool TForwardingBackend::StartCatalogRefresh(const TObjectRef& Catalog) {
    return Target(Catalog.FullName).StartCatalogRefresh(Catalog);
}
std::vector<TCatalogRow> TForwardingBackend::CatalogRows(const TObjectRef& Catalog) {
    return Target(Catalog.FullName).CatalogRows(Catalog);
}
void TForwardingBackend::WaitForCatalogRefreshes() {
    FInner->WaitForCatalogRefreshes();
}

TForwardingVolumeStore::TForwardingVolumeStore(std::shared_ptr<TVolumeStore> Inner)
    : FInner(std::move(Inner)) {}

std::vector<TVolume> TForwardingVolumeStore::Volumes() {
    return FInner->Volumes();
}
bool TForwardingVolumeStore::FindVolume(const QString& Server, const QString& Volume, TVolume& Out) {
    return FInner->FindVolume(Server, Volume, Out);
}
void TForwardingVolumeStore::AddVolume(const TVolume& Volume) {
    FInner->AddVolume(Volume);
}
void TForwardingVolumeStore::SetVolumeRoot(const QString& Server, const QString& Volume,
                                           const QString& RootFolder) {
    FInner->SetVolumeRoot(Server, Volume, RootFolder);
}
QString TForwardingVolumeStore::LocalPath(const QString& UncPath) {
    return FInner->LocalPath(UncPath);
}
bool TForwardingVolumeStore::FolderExists(const QString& UncPath) {
    return FInner->FolderExists(UncPath);
}
bool TForwardingVolumeStore::CreateFolder(const QString& UncPath) {
    return FInner->CreateFolder(UncPath);
}
bool TForwardingVolumeStore::RemoveFolder(const QString& UncPath) {
    return FInner->RemoveFolder(UncPath);
}
QStringList TForwardingVolumeStore::ListFolders(const QString& UncPath) {
    return FInner->ListFolders(UncPath);
}
TFolderKey TForwardingVolumeStore::OpenFolder(const QString& UncPath) {
    return FInner->OpenFolder(UncPath);
}
bool TForwardingVolumeStore::FolderFlag(const TFolderKey& Folder, TFolderFlag Flag) {
    return FInner->FolderFlag(Folder, Flag);
}
void TForwardingVolumeStore::SetFolderFlag(const TFolderKey& Folder, TFolderFlag Flag, bool On) {
    FInner->SetFolderFlag(Folder, Flag, On);
}
QStringList TForwardingVolumeStore::Trustees(const TFolderKey& Folder) {
    return FInner->Trustees(Folder);
}
std::optional<int> TForwardingVolumeStore::FindTrustee(const TFolderKey& Folder, const QString& Trustee) {
    return FInner->FindTrustee(Folder, Trustee);
}
void TForwardingVolumeStore::AddTrustee(const TFolderKey& Folder, const QString& Trustee) {
    FInner->AddTrustee(Folder, Trustee);
}
void TForwardingVolumeStore::RemoveTrustee(const TFolderKey& Folder, const QString& Trustee) {
    FInner->RemoveTrustee(Folder, Trustee);
}
int TForwardingVolumeStore::TrusteeRights(const TFolderKey& Folder, const QString& Trustee) {
    return FInner->TrusteeRights(Folder, Trustee);
}
void TForwardingVolumeStore::ChangeTrusteeRights(const TFolderKey& Folder, const QString& Trustee, int Grant,
                                                 int Revoke) {
    FInner->ChangeTrusteeRights(Folder, Trustee, Grant, Revoke);
}
void TForwardingVolumeStore::AssignTrustee(const TFolderKey& Folder, const QString& Trustee, int Rights) {
    FInner->AssignTrustee(Folder, Trustee, Rights);
}
std::vector<TFolderState> TForwardingVolumeStore::FolderStates(const QString& Server, const QString& Volume) {
    return FInner->FolderStates(Server, Volume);
}
