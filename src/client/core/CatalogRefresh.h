#pragma once

// The refresh of a catalog (layout "NDSCAT:Master Catalog"), written once for every backend: the
// backend takes the steps that touch its store (TCatalogRefreshSteps), RefreshCatalog orders them,
// keeps the time and settles what a failure leaves, and TCatalogRefreshes runs the refreshes in the
// background.

#include "DirectoryBackend.h"
#include "SerialWorkQueue.h"

#include <QDateTime>
#include <functional>
#include <memory>

// What a catalog asks of its refresh, as the catalog holds it.
struct TCatalogSettings {
    QStringList Scope;  // the containers to gather below, as the backend names them; none: the whole tree
    QString Filter;     // the layouts to gather, comma-separated, any case; empty: every layout
    QStringList Fields; // the fields to gather, any case
    QDateTime LastEnd;  // the end time of the refresh before; invalid: none
};

// What a refresh gathers, settled from the settings.
struct TCatalogPlan {
    QStringList Scope;                      // as in the settings
    QStringList Layouts;                    // canonical, each once; empty: every layout
    bool NoLayout = false;                  // the filter names no layout the directory knows: nothing passes
    std::vector<const NWFieldType*> Fields; // the known ones, each once, ordered by name
};

struct TCatalogCounts {
    qint64 Objects = 0; // in scope and passing the filter
    qint64 Values = 0;  // the rows gathered
};

// The steps of one catalog's refresh that its backend takes, on the worker thread over a connection
// of their own. A failing step throws (EDirectoryError with the client's status code).
class TCatalogRefreshSteps {
public:
    virtual ~TCatalogRefreshSteps() = default;
    // The catalog's settings; false when the catalog exists no more, and nothing is written.
    virtual bool ReadSettings(TCatalogSettings& Out) = 0;
    // A field type by name (any case); nullptr when unknown.
    virtual const NWFieldType* FieldType(const QString& Field) = 0;
    // Gathers the values of the plan's fields from every object in scope whose layout passes, each
    // object once, into rows that are not the catalog's yet; throws ERR_NO_SUCH_ENTRY when the
    // scope names no object.
    virtual TCatalogCounts GatherRows(const TCatalogPlan& Plan) = 0;
    // Makes the gathered rows the catalog's and writes its state in one step, so that a reader sees
    // the rows of one refresh whole.
    virtual void Publish(const std::vector<TFieldWrite>& State) = 0;
    // After GatherRows or Publish failed: drops what was written of the gathered rows; the catalog's
    // rows stay as they were.
    virtual void Discard() = 0;
    // Writes the state of a failed refresh, leaving the rows and their counts as they were.
    virtual void WriteFailure(const std::vector<TFieldWrite>& State) = 0;
};

// The plan of a catalog's settings: a filter that names only layouts the directory does not know
// matches nothing.
TCatalogPlan MakeCatalogPlan(const TCatalogSettings& Settings,
                             const std::function<const NWFieldType*(const QString&)>& FieldType);

// One refresh through its steps. Every refresh gets an end time other than the one before: end times
// have whole seconds, so a refresh that would end within the second of the last end waits for the
// next second first. Start and end times are TClock's. A failure of gathering or publishing leaves
// the rows and counts as they were and records its status code ("NDSCAT:Actual Result"; -1 for a
// fault that is no directory error).
void RefreshCatalog(TCatalogRefreshSteps& Steps);

// The background refreshes of one backend's catalogs: on one worker thread, one after another, each
// catalog at most once queued or running. The destructor waits for every refresh that was queued.
class TCatalogRefreshes {
public:
    using TOpenSteps = std::function<std::unique_ptr<TCatalogRefreshSteps>()>;

    // Queues the refresh of the catalog named Key; Open runs on the worker and gives its steps. False,
    // and nothing queued, while a refresh of that catalog is queued or runs. A refresh that cannot
    // open its steps leaves the catalog as it was.
    bool Start(const QString& Key, TOpenSteps Open);
    // Returns once every refresh queued has ended.
    void WaitForAll() { FQueue.WaitForAll(); }
    // While held, queued refreshes wait before they read or write anything (tests).
    void SetHeld(bool Held) { FQueue.SetHeld(Held); }

private:
    TSerialWorkQueue FQueue;
};
