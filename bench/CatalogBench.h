#pragma once

#include <QString>

class TDirectoryClient;
class TNDK;
class TSqliteStore;

// The catalog refresh measured: over every user below Container, through the store against the
// plain SQL that gathers the same rows (fastest and median of Rounds, milliseconds), and once through the
// dialog with the longest gap between two passes of the event loop while it waited and the reads
// of the end time it made.
struct TCatalogTiming {
    qint64 Objects = 0;
    qint64 Values = 0;
    double RefreshMs = 0;
    double SqlMs = 0;  // the same rows deleted and inserted with plain SQL, one transaction
    double ReadMs = 0; // the same rows only read with plain SQL
    int Rounds = 0;
    double RefreshMedianMs = 0;
    double SqlMedianMs = 0;
    double DialogMs = 0;
    double LongestGapMs = 0;
    int EndTimeReads = 0; // by the dialog, the one before the start included
    double DemoMs = 0;    // one refresh of the demo directory's catalog
};

// One refresh of a catalog through the client's directory, started in a second of its own and
// waited for (milliseconds).
double CatalogRefreshMs(TDirectoryClient& Client, const QString& Catalog);

// Creates the catalog Name in Container's parent, covering Container's users with their given name,
// surname and full name; answers its full name.
QString CreateUserCatalog(TDirectoryClient& Client, const QString& Container,
                          const QString& Name = QStringLiteral("benutzer"));

// Creates that catalog and measures it. Dies when the two sides disagree.
TCatalogTiming TimeCatalog(TSqliteStore& Store, TDirectoryClient& Client, TNDK& Ndk, const QString& Container,
                           int Rounds);
