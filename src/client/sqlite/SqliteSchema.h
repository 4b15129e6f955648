#pragma once

class TSqlConnection;

// The layout of the store's database, numbered by "PRAGMA user_version". Not for use outside the
// SQLite store.
namespace SqliteSchema {

// The layout this program writes.
constexpr int CurrentVersion = 3;

// Lays out a new, empty database in one transaction.
void Create(TSqlConnection& Db);

// Brings a store's database to the current layout in one transaction: runs the steps from the
// database's layout on. Throws for a database that holds no store, for a layout newer than this
// program knows, and for an older one that may only be read.
void Upgrade(TSqlConnection& Db);

} // namespace SqliteSchema
