#pragma once

#include <QMutex>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QWaitCondition>
#include <functional>

// The background refreshes of an LDAP backend's catalogs: one worker thread, each catalog at most
// once in its queue. The destructor waits for every refresh that was started.
class TLdapCatalogRuns {
public:
    TLdapCatalogRuns();
    ~TLdapCatalogRuns();
    TLdapCatalogRuns(const TLdapCatalogRuns&) = delete;
    TLdapCatalogRuns& operator=(const TLdapCatalogRuns&) = delete;

    // Queues Work for the catalog Key; false, and nothing queued, while a refresh of it is queued or
    // runs.
    bool Start(const QString& Key, std::function<void()> Work);
    void WaitForAll();

    // While held, a refresh waits before it reads or writes anything (tests).
    void SetHeld(bool Held);

private:
    void WaitWhileHeld();

    QMutex FMutex;
    QWaitCondition FReleased;
    QSet<QString> FRunning;
    bool FHeld = false;
    QThreadPool FPool;
};
