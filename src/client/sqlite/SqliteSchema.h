#pragma once

class TSqlConnection;

// The layout of the store's database, numbered by "PRAGMA user_version". Not for use outside the
// SQLite store.
namespace SqliteSchema {

// The layout this program writes.
constexpr int CurrentVersion = 2;

// Brings the database to the current layout in one transaction: creates a new database, or runs
// the steps from the database's layout on. Throws for a layout newer than this program knows.
void Upgrade(TSqlConnection& Db);

} // namespace SqliteSchema
