#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

class TClientStore;

class NWUsers {
public:
    NWUsers(TClientStore& Store, qint64 ContainerId) : FStore(Store), FContainerId(ContainerId) {}
    // Creates the user FullName (container full name + "\" + name) with the surname and every
    // field the template carries; throws on a duplicate name, an unknown template or a container
    // that may not hold users.
    void Add(const QString& FullName, const QString& Surname, const QString& TemplateFullName,
             const QVariant& Reserved1 = QVariant(), const QVariant& Reserved2 = QVariant());

private:
    TClientStore& FStore;
    qint64 FContainerId;
};

// The user-and-group control: positioned on a container, it creates users there.
class NWUsrGrp : public QObject {
    Q_OBJECT
public:
    explicit NWUsrGrp(QObject* Parent = nullptr);
    explicit NWUsrGrp(TClientStore& Store, QObject* Parent = nullptr);
    QString FullName() const { return FFullName; }
    void SetFullName(const QString& Container);   // throws when it is no container
    NWUsers Users() const;

private:
    TClientStore& FStore;
    QString FFullName;
    qint64 FContainerId = 0;
};
