#pragma once

#include <QObject>
#include <QString>

class TDirectoryClient;

// The workstation's sessions: the trees it is connected to and its server connections.
class NWSess : public QObject {
    Q_OBJECT
public:
    struct TServerConnection {
        QString FullName;    // "NDS:\\SCHULE\dienste\SRV1"
        QString DisplayName; // "SRV1"
    };
    explicit NWSess(QObject* Parent = nullptr);
    explicit NWSess(TDirectoryClient& Client, QObject* Parent = nullptr);

    int ConnectedTreeCount() const;
    QString ConnectedTree(int Index) const; // full name "NDS:\\TREE"; throws out of range
    int ServerConnectionCount() const;
    TServerConnection ServerConnection(int Index) const; // throws out of range

private:
    TDirectoryClient& FClient;
};
