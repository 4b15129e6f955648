#pragma once

#include <DirectoryBackend.h>

#include <QObject>
#include <QString>

class TDirectoryClient;

// The catalog control: positioned on a catalog object, it starts the catalog's refresh. The
// refresh runs in the directory; its end shows in the catalog's field "NDSCAT:Actual End Time".
class NWCatAdm : public QObject {
    Q_OBJECT
public:
    explicit NWCatAdm(QObject* Parent = nullptr);
    explicit NWCatAdm(TDirectoryClient& Client, QObject* Parent = nullptr);

    QString FullName() const { return FCatalog.FullName; }
    // Throws EDirectoryError when no such object exists or it is no catalog.
    void SetFullName(const QString& Catalog);
    // Starts the refresh of the catalog and returns at once; a start while a refresh of the
    // catalog runs starts no second one. Throws when the control is not positioned.
    void StartRefresh();

private:
    TDirectoryClient& FClient;
    TObjectRef FCatalog;
};
