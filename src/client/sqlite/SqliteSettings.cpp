#include "SqliteParts.h"

TSqliteSettings::TSqliteSettings(TSqlConnection& Db) : Db(Db) {
    Db.OnRollback([this] { FIdentityLoaded = false; });
}

QString TSqliteSettings::Setting(const QString& Key) {
    static const TStatement Select("SELECT value FROM settings WHERE key=?");
    TQuery Q(Db, Select, Key);
    return Q.Next() ? Q.Value(0).toString() : QString();
}

void TSqliteSettings::SetSetting(const QString& Key, const QString& Value) {
    static const TStatement Replace("INSERT OR REPLACE INTO settings(key, value) VALUES(?, ?)");
    TSqlTransaction T(Db);
    TQuery(Db, Replace, Key, Value);
    T.Commit();
    FIdentityLoaded = false;
}

QString TSqliteSettings::Identity() {
    if (!FIdentityLoaded) {
        FIdentity = Setting(QStringLiteral("Identity"));
        FIdentityLoaded = true;
    }
    return FIdentity;
}

QStringList TSqliteSettings::ConnectedTrees() {
    static const TStatement Select("SELECT full_name FROM connected_trees ORDER BY seq");
    TQuery Q(Db, Select);
    QStringList L;
    while (Q.Next())
        L.append(Q.Value(0).toString());
    return L;
}

void TSqliteSettings::SetConnectedTrees(const QStringList& TreeFullNames) {
    static const TStatement Clear("DELETE FROM connected_trees");
    static const TStatement Insert("INSERT INTO connected_trees(full_name) VALUES(?)");
    TSqlTransaction T(Db);
    TQuery{Db, Clear};
    for (const QString& Name : TreeFullNames)
        TQuery(Db, Insert, Name);
    T.Commit();
}

std::vector<TServerConnection> TSqliteSettings::ServerConnections() {
    static const TStatement Select("SELECT full_name, display_name FROM server_connections ORDER BY seq");
    TQuery Q(Db, Select);
    std::vector<TServerConnection> L;
    while (Q.Next())
        L.push_back({Q.Value(0).toString(), Q.Value(1).toString()});
    return L;
}

void TSqliteSettings::SetServerConnections(const std::vector<TServerConnection>& Connections) {
    static const TStatement Clear("DELETE FROM server_connections");
    static const TStatement Insert("INSERT INTO server_connections(full_name, display_name) VALUES(?, ?)");
    TSqlTransaction T(Db);
    TQuery{Db, Clear};
    for (const TServerConnection& C : Connections)
        TQuery(Db, Insert, C.FullName, C.DisplayName);
    T.Commit();
}
