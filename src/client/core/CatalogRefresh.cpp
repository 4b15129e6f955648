#include "CatalogRefresh.h"

#include "CatalogFields.h"
#include "EDirectoryError.h"
#include "Layouts.h"

#include <Clock.h>

#include <algorithm>

using namespace CatalogFields;

TCatalogPlan MakeCatalogPlan(const TCatalogSettings& Settings,
                             const std::function<const NWFieldType*(const QString&)>& FieldType) {
    TCatalogPlan Plan;
    Plan.Scope = Settings.Scope;
    for (const QString& L : Settings.Filter.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString C = CanonicalLayout(L.trimmed());
        if (!C.isEmpty() && !Plan.Layouts.contains(C))
            Plan.Layouts << C;
    }
    Plan.NoLayout = Plan.Layouts.isEmpty() && !Settings.Filter.trimmed().isEmpty();
    for (const QString& F : Settings.Fields)
        if (const NWFieldType* T = FieldType(F);
            T && std::find(Plan.Fields.begin(), Plan.Fields.end(), T) == Plan.Fields.end())
            Plan.Fields.push_back(T);
    std::sort(Plan.Fields.begin(), Plan.Fields.end(),
              [](const NWFieldType* A, const NWFieldType* B) { return A->Name < B->Name; });
    return Plan;
}

void RefreshCatalog(TCatalogRefreshSteps& Steps) {
    TCatalogSettings Settings;
    if (!Steps.ReadSettings(Settings))
        return;
    if (Settings.LastEnd.isValid() && TClock::Now().toSecsSinceEpoch() == Settings.LastEnd.toSecsSinceEpoch())
        TClock::PauseUntil(TClock::NextWholeSecond(Settings.LastEnd));

    const QDateTime Started = TClock::Now();
    qint64 Result = 0;
    try {
        const TCatalogCounts Counts = Steps.GatherRows(
            MakeCatalogPlan(Settings, [&Steps](const QString& F) { return Steps.FieldType(F); }));
        Steps.Publish({{StartField, Started},
                       {EndField, TClock::Now()},
                       {ObjectsField, Counts.Objects},
                       {ValuesField, Counts.Values},
                       {ResultField, qint64(0)}});
        return;
    } catch (const EDirectoryError& E) {
        Result = E.Code();
    } catch (const std::exception&) {
        Result = -1;
    }
    try {
        Steps.Discard();
    } catch (const std::exception&) {
        // What is left of the gathered rows is no row of the catalog's.
    }
    Steps.WriteFailure({{StartField, Started}, {EndField, TClock::Now()}, {ResultField, Result}});
}

bool TCatalogRefreshes::Start(const QString& Key, TOpenSteps Open) {
    return FQueue.Start(Key, [Open = std::move(Open)] {
        // Without steps (no connection) the catalog keeps its last state.
        if (const std::unique_ptr<TCatalogRefreshSteps> Steps = Open())
            RefreshCatalog(*Steps);
    });
}
