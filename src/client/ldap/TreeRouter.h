#pragma once

#include <DirectoryBackend.h>

#include <QString>
#include <memory>
#include <vector>

// The client's directory when trees live in different places: each tree named in the client's
// settings is served by its own backend (an LDAP server), every other tree and the workstation's
// own state (connected trees, server connections) by the embedded store. A call goes to the
// backend of the tree its full name names.
class TTreeRouter final : public TDirectoryBackend {
public:
    struct TRoute {
        QString Tree;
        std::shared_ptr<TDirectoryBackend> Backend;
    };
    TTreeRouter(std::shared_ptr<TDirectoryBackend> Workstation, std::vector<TRoute> Routes);

    // The backend that serves a tree (any case); the workstation's for a tree without a route.
    TDirectoryBackend& BackendOf(const QString& FullName) const;

    QStringList Trees() override;
    void AddTree(const QString& TreeName) override;
    QStringList ConnectedTrees() override;
    std::vector<TServerConnection> ServerConnections() override;
    bool TryResolve(const QString& FullName, TObjectRef& Out) override;
    std::vector<TChildEntry> Children(const TObjectRef& Container, const QStringList& Layouts) override;
    std::vector<TChildEntry> ChildrenCounted(const TObjectRef& Container,
                                             const QStringList& Layouts) override;
    int CountChildren(const TObjectRef& Container, const QStringList& Layouts) override;
    QStringList Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                       int Scope) override;
    const std::vector<NWFieldType>& FieldTypes() override;
    const NWFieldType* FieldType(const QString& Field) override;
    std::vector<QVariant> ReadField(const TObjectRef& Object, const NWFieldType& Type) override;
    std::vector<TFieldValues> ReadFields(const TObjectRef& Object) override;
    QStringList FieldNames(const TObjectRef& Object) override;
    void WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) override;
    TObjectRef CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                            const std::vector<TFieldWrite>& Fields = {}) override;
    TObjectRef CreateUser(const TObjectRef& Container, const QString& Name, const QString& Surname,
                          const TObjectRef* Template) override;
    void DeleteObject(const TObjectRef& Object) override;
    void BeginTransaction() override;
    void CommitTransaction() override;
    void RollbackTransaction() override;
    void SetPassword(const TObjectRef& Object, const QString& Password) override;
    bool CheckPassword(const TObjectRef& Object, const QString& Password) override;
    bool StartCatalogRefresh(const TObjectRef& Catalog) override;
    std::vector<TCatalogRow> CatalogRows(const TObjectRef& Catalog) override;
    void WaitForCatalogRefreshes() override;

private:
    std::shared_ptr<TDirectoryBackend> FWorkstation;
    std::vector<TRoute> FRoutes;
};
