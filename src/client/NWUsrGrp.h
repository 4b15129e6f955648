#pragma once

#include <DirectoryBackend.h>

#include <QObject>
#include <QString>
#include <QVariant>

class TDirectoryClient;

class NWUsers {
public:
    NWUsers(TDirectoryClient& Client, const TObjectRef& Container) : FClient(Client), FContainer(Container) {}
    // Creates the user FullName (container full name + "\" + name) with the surname and every
    // field the template carries; throws on a duplicate name, an unknown template or a container
    // that may not hold users.
    void Add(const QString& FullName, const QString& Surname, const QString& TemplateFullName,
             const QVariant& Reserved1 = QVariant(), const QVariant& Reserved2 = QVariant());

private:
    TDirectoryClient& FClient;
    TObjectRef FContainer;
};

// The user-and-group control: positioned on a container, it creates users there.
class NWUsrGrp : public QObject {
    Q_OBJECT
public:
    explicit NWUsrGrp(QObject* Parent = nullptr);
    explicit NWUsrGrp(TDirectoryClient& Client, QObject* Parent = nullptr);
    QString FullName() const { return FContainer.FullName; }
    void SetFullName(const QString& Container); // throws when it is no container
    NWUsers Users() const;

private:
    TDirectoryClient& FClient;
    TObjectRef FContainer;
};
