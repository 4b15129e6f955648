#include "SqliteJournal.h"

#include "SqlConnection.h"

#include <EDirectoryError.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <unistd.h>

namespace {

constexpr int JournalVersion = 1;

const char* const Tables[] = {
    "CREATE TABLE runs(id INTEGER PRIMARY KEY, kind TEXT NOT NULL, title TEXT NOT NULL, started TEXT NOT "
    "NULL,"
    " ended TEXT NOT NULL, login TEXT NOT NULL, tree TEXT NOT NULL, server TEXT NOT NULL, result TEXT NOT "
    "NULL,"
    " undoes INTEGER NOT NULL, undone_by INTEGER NOT NULL)",
    "CREATE TABLE run_inputs(run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE, seq INTEGER NOT "
    "NULL,"
    " name TEXT NOT NULL, value TEXT NOT NULL)",
    "CREATE INDEX run_inputs_run ON run_inputs(run_id, seq)",
    // before, after: JSON arrays of values as ValueToText writes them; fields: a JSON array of
    // {"f": field, "v": [values]}. utarget: the target upper-cased, so that an object's creator is
    // found with one indexed look-up.
    "CREATE TABLE run_changes(run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " seq INTEGER NOT NULL, kind TEXT NOT NULL, target TEXT NOT NULL, utarget TEXT NOT NULL,"
    " detail TEXT NOT NULL, before TEXT NOT NULL, after TEXT NOT NULL, fields TEXT NOT NULL)",
    "CREATE INDEX run_changes_run ON run_changes(run_id, seq)",
    "CREATE INDEX run_changes_target ON run_changes(kind, utarget)",
};

QString TimeText(const QDateTime& T) {
    return T.isValid() ? T.toUTC().toString(Qt::ISODateWithMs) : QString();
}
QDateTime TimeFromText(const QString& Text) {
    return Text.isEmpty() ? QDateTime() : QDateTime::fromString(Text, Qt::ISODateWithMs);
}

QString ValuesJson(const std::vector<QVariant>& Values) {
    QJsonArray A;
    for (const QVariant& V : Values)
        A.append(ValueToText(V));
    return QString::fromUtf8(QJsonDocument(A).toJson(QJsonDocument::Compact));
}
std::vector<QVariant> ValuesFromJson(const QJsonArray& A) {
    std::vector<QVariant> Values;
    for (const QJsonValue& V : A)
        Values.push_back(ValueFromText(V.toString()));
    return Values;
}
std::vector<QVariant> ValuesFromJson(const QString& Text) {
    return ValuesFromJson(QJsonDocument::fromJson(Text.toUtf8()).array());
}

QString FieldsJson(const std::vector<TFieldValues>& Fields) {
    QJsonArray A;
    for (const TFieldValues& F : Fields) {
        QJsonArray Values;
        for (const QVariant& V : F.Values)
            Values.append(ValueToText(V));
        A.append(QJsonObject{{QStringLiteral("f"), F.Field}, {QStringLiteral("v"), Values}});
    }
    return QString::fromUtf8(QJsonDocument(A).toJson(QJsonDocument::Compact));
}
std::vector<TFieldValues> FieldsFromJson(const QString& Text) {
    std::vector<TFieldValues> Fields;
    for (const QJsonValue& F : QJsonDocument::fromJson(Text.toUtf8()).array()) {
        const QJsonObject O = F.toObject();
        Fields.push_back({O.value(QStringLiteral("f")).toString(),
                          ValuesFromJson(O.value(QStringLiteral("v")).toArray())});
    }
    return Fields;
}

QString MemoryName() {
    static std::atomic<int> Counter{0};
    return QStringLiteral("parvon-journal-%1-%2").arg(QCoreApplication::applicationPid()).arg(++Counter);
}

int Version(TSqlConnection& Db) {
    static const TStatement Read("PRAGMA user_version");
    TQuery Q(Db, Read);
    return Q.Next() ? Q.Value(0).toInt() : 0;
}

void Create(TSqlConnection& Db) {
    TSqlTransaction T(Db);
    if (Version(Db) == 0) {
        for (const char* Sql : Tables)
            Db.Execute(QString::fromLatin1(Sql));
        Db.Execute(QStringLiteral("PRAGMA user_version=%1").arg(JournalVersion));
    }
    T.Commit();
}

void CheckVersion(TSqlConnection& Db) {
    const int Found = Version(Db);
    if (Found != JournalVersion)
        ThrowDirectoryError(-1,
                            QStringLiteral("Das Protokoll der Läufe „%1“ hat das Format %2; dieses Programm "
                                           "kennt das Format %3")
                                .arg(QDir::toNativeSeparators(Db.File()))
                                .arg(Found)
                                .arg(JournalVersion));
}

} // namespace

TSqliteJournal::TSqliteJournal(const QString& Folder, TStorage Storage)
    : FFile(QDir(Folder).absoluteFilePath(QStringLiteral("journal.db"))),
      FMemory(Storage == TStorage::Memory) {}

TSqliteJournal::~TSqliteJournal() = default;

TSqlConnection* TSqliteJournal::Db(bool Make) {
    if (FDb)
        return FDb.get();
    if (FMemory) {
        FDb = std::make_unique<TSqlConnection>(MemoryName(), TSqlAccess::Memory);
        Create(*FDb);
        return FDb.get();
    }
    const bool Exists = QFileInfo::exists(FFile);
    if (!Exists && !Make)
        return nullptr;
    if (!Exists) {
        QFile F(FFile);
        if (!F.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
            !QFileInfo::exists(FFile)) // another program made it meanwhile
            ThrowDirectoryError(-1,
                                QStringLiteral("Das Protokoll der Läufe „%1“ kann nicht angelegt werden: %2")
                                    .arg(QDir::toNativeSeparators(FFile), F.errorString()));
        F.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    const bool Writable = access(QFile::encodeName(FFile).constData(), W_OK) == 0;
    auto Db =
        std::make_unique<TSqlConnection>(FFile, Writable ? TSqlAccess::ReadWrite : TSqlAccess::ReadOnly);
    if (Writable) {
        Create(*Db);
        Db->UseWriteAheadLog();
    }
    CheckVersion(*Db);
    FDb = std::move(Db);
    return FDb.get();
}

qint64 TSqliteJournal::Begin(const TJournalRun& Run) {
    TSqlConnection& D = *Db(true);
    TSqlTransaction T(D);
    static const TStatement Insert(
        "INSERT INTO runs(kind, title, started, ended, login, tree, server, result,"
        " undoes, undone_by) VALUES(?, ?, ?, '', ?, ?, ?, '', ?, 0)");
    qint64 Id = 0;
    {
        TQuery Q(D, Insert, Run.Kind, Run.Title, TimeText(Run.Started), Run.Login, Run.Tree, Run.Server,
                 Run.Undoes);
        Id = Q.LastInsertId();
    }
    static const TStatement Input("INSERT INTO run_inputs(run_id, seq, name, value) VALUES(?, ?, ?, ?)");
    int Seq = 0;
    for (const TRunInput& I : Run.Inputs)
        TQuery(D, Input, Id, ++Seq, I.Name, I.Value);
    T.Commit();
    return Id;
}

void TSqliteJournal::Record(qint64 Run, const TRunChange& C) {
    TSqlConnection& D = *Db(true);
    static const TStatement Insert(
        "INSERT INTO run_changes(run_id, seq, kind, target, utarget, detail, before, after, fields) "
        "SELECT ?, COALESCE(MAX(seq), 0) + 1, ?, ?, ?, ?, ?, ?, ? FROM run_changes WHERE run_id=?");
    TSqlTransaction T(D);
    TQuery(D, Insert, Run, ChangeKindName(C.Kind), C.Target, C.Target.toUpper(), C.Detail,
           ValuesJson(C.Before), ValuesJson(C.After), FieldsJson(C.Fields), Run);
    T.Commit();
}

void TSqliteJournal::End(qint64 Run, const QDateTime& Ended, const QString& Result) {
    TSqlConnection& D = *Db(true);
    static const TStatement Update("UPDATE runs SET ended=?, result=? WHERE id=?");
    TSqlTransaction T(D);
    TQuery(D, Update, TimeText(Ended), Result, Run);
    T.Commit();
}

void TSqliteJournal::SetUndone(qint64 Run, qint64 UndoRun) {
    TSqlConnection& D = *Db(true);
    static const TStatement Update("UPDATE runs SET undone_by=? WHERE id=?");
    TSqlTransaction T(D);
    TQuery(D, Update, UndoRun, Run);
    T.Commit();
}

std::vector<TJournalRun> TSqliteJournal::Select(const QString& Where, const QVariantList& Args) {
    std::vector<TJournalRun> Runs;
    TSqlConnection* D = Db(false);
    if (!D)
        return Runs;
    QHash<qint64, size_t> Index;
    {
        TQuery Q(
            *D,
            QStringLiteral("SELECT r.id, r.kind, r.title, r.started, r.ended, r.login, r.tree, r.server, "
                           "r.result, r.undoes, r.undone_by, (SELECT COUNT(*) FROM run_changes c WHERE "
                           "c.run_id=r.id) FROM runs r ") +
                Where + QStringLiteral(" ORDER BY r.id"),
            Args);
        while (Q.Next()) {
            TJournalRun R;
            R.Id = Q.Value(0).toLongLong();
            R.Kind = Q.Value(1).toString();
            R.Title = Q.Value(2).toString();
            R.Started = TimeFromText(Q.Value(3).toString());
            R.Ended = TimeFromText(Q.Value(4).toString());
            R.Login = Q.Value(5).toString();
            R.Tree = Q.Value(6).toString();
            R.Server = Q.Value(7).toString();
            R.Result = Q.Value(8).toString();
            R.Undoes = Q.Value(9).toLongLong();
            R.UndoneBy = Q.Value(10).toLongLong();
            R.Changes = Q.Value(11).toInt();
            Index.insert(R.Id, Runs.size());
            Runs.push_back(std::move(R));
        }
    }
    TQuery Q(
        *D,
        QStringLiteral("SELECT i.run_id, i.name, i.value FROM run_inputs i JOIN runs r ON r.id=i.run_id ") +
            Where + QStringLiteral(" ORDER BY i.run_id, i.seq"),
        Args);
    while (Q.Next())
        if (auto It = Index.constFind(Q.Value(0).toLongLong()); It != Index.constEnd())
            Runs[*It].Inputs.push_back({Q.Value(1).toString(), Q.Value(2).toString()});
    return Runs;
}

std::vector<TJournalRun> TSqliteJournal::Runs() {
    return Select(QString(), {});
}

std::optional<TJournalRun> TSqliteJournal::Find(qint64 Run) {
    std::vector<TJournalRun> Found = Select(QStringLiteral("WHERE r.id=?"), {Run});
    if (Found.empty())
        return std::nullopt;
    return std::move(Found.front());
}

std::vector<TRunChange> TSqliteJournal::Changes(qint64 Run) {
    std::vector<TRunChange> Changes;
    TSqlConnection* D = Db(false);
    if (!D)
        return Changes;
    static const TStatement Select(
        "SELECT kind, target, detail, before, after, fields FROM run_changes WHERE run_id=? ORDER BY seq");
    TQuery Q(*D, Select, Run);
    while (Q.Next()) {
        TRunChange C;
        if (!ChangeKindFromName(Q.Value(0).toString(), C.Kind))
            ThrowDirectoryError(
                -1, QStringLiteral("Das Protokoll der Läufe enthält eine unbekannte Änderung „%1“")
                        .arg(Q.Value(0).toString()));
        C.Target = Q.Value(1).toString();
        C.Detail = Q.Value(2).toString();
        C.Before = ValuesFromJson(Q.Value(3).toString());
        C.After = ValuesFromJson(Q.Value(4).toString());
        C.Fields = FieldsFromJson(Q.Value(5).toString());
        Changes.push_back(std::move(C));
    }
    return Changes;
}

std::vector<qint64> TSqliteJournal::CreatedBy(const QStringList& FullNames) {
    std::vector<qint64> Runs(FullNames.size(), 0);
    TSqlConnection* D = Db(false);
    if (!D || FullNames.isEmpty())
        return Runs;
    // The latest run not taken back that created each object, in one reading.
    static const TStatement Select("SELECT c.utarget, MAX(c.run_id) FROM run_changes c JOIN runs r ON "
                                   "r.id=c.run_id WHERE c.kind='create-object' AND r.undone_by=0 GROUP BY "
                                   "c.utarget");
    QHash<QString, qint64> Creators;
    TQuery Q(*D, Select);
    while (Q.Next())
        Creators.insert(Q.Value(0).toString(), Q.Value(1).toLongLong());
    for (qsizetype I = 0; I < FullNames.size(); ++I)
        Runs[size_t(I)] = Creators.value(FullNames.at(I).toUpper(), 0);
    return Runs;
}
