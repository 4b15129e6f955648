#include "SqlConnection.h"

#include <EDirectoryError.h>

#include <QSqlError>
#include <atomic>

namespace {
std::atomic<int>& NextSlot() {
    static std::atomic<int> N{0};
    return N;
}
} // namespace

TStatement::TStatement(const char* Sql) : FSql(Sql), FSlot(NextSlot()++) {}

TSqlConnection::TSqlConnection(const QString& DatabaseFile) {
    static std::atomic<int> Counter{0};
    FName = QStringLiteral("parvon_client_%1").arg(++Counter);
    FDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FName);
    FDb.setDatabaseName(DatabaseFile);
    FDb.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    try {
        if (!FDb.open())
            ThrowDirectoryError(-1, QStringLiteral("Cannot open the directory store %1: %2")
                                        .arg(DatabaseFile, FDb.lastError().text()));
        Execute(QStringLiteral("PRAGMA journal_mode=WAL"));
        Execute(QStringLiteral("PRAGMA foreign_keys=ON"));
        Execute(QStringLiteral("PRAGMA synchronous=NORMAL"));
    } catch (...) {
        FDb.close();
        FDb = QSqlDatabase();
        QSqlDatabase::removeDatabase(FName);
        throw;
    }
}

TSqlConnection::~TSqlConnection() {
    FBySlot.clear();
    FByText.clear();
    FDb.close();
    FDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(FName);
}

QSqlQuery& TSqlConnection::Prepared(const TStatement& Statement) {
    const size_t Slot = size_t(Statement.Slot());
    if (Slot >= FBySlot.size())
        FBySlot.resize(Slot + 1);
    std::unique_ptr<QSqlQuery>& Query = FBySlot[Slot];
    if (!Query) {
        auto Fresh = std::make_unique<QSqlQuery>(FDb);
        Fresh->setForwardOnly(true);
        if (!Fresh->prepare(QString::fromLatin1(Statement.Sql())))
            Fail(*Fresh);
        Query = std::move(Fresh);
    }
    return *Query;
}

QSqlQuery& TSqlConnection::Prepared(const QString& Sql) {
    auto It = FByText.constFind(Sql);
    if (It != FByText.constEnd())
        return **It;
    auto Fresh = std::make_shared<QSqlQuery>(FDb);
    Fresh->setForwardOnly(true);
    if (!Fresh->prepare(Sql))
        Fail(*Fresh);
    FByText.insert(Sql, Fresh);
    return *Fresh;
}

void TSqlConnection::Execute(const QString& Sql) {
    QSqlQuery Query(FDb);
    if (!Query.exec(Sql))
        Fail(Query);
}

void TSqlConnection::Fail(const QSqlQuery& Query) const {
    ThrowDirectoryError(-1, QStringLiteral("Directory store: %1").arg(Query.lastError().text()));
}

void TSqlConnection::Begin() {
    if (FDepth == 0) {
        Execute(QStringLiteral("BEGIN IMMEDIATE"));
        FInnerAbandoned = false;
    }
    ++FDepth;
}

void TSqlConnection::Commit() {
    if (FDepth > 1) {
        --FDepth;
        return;
    }
    if (FInnerAbandoned) // the caller's Abandon rolls back
        ThrowDirectoryError(-1, QStringLiteral("The change was abandoned and is rolled back"));
    Execute(QStringLiteral("COMMIT"));
    FDepth = 0;
    FUndo.clear();
}

void TSqlConnection::Abandon() {
    if (FDepth > 1) {
        --FDepth;
        FInnerAbandoned = true;
        return;
    }
    FDepth = 0;
    try {
        Execute(QStringLiteral("ROLLBACK"));
    } catch (...) {
    }
    for (auto It = FUndo.rbegin(); It != FUndo.rend(); ++It)
        (*It)();
    FUndo.clear();
    for (const auto& Listener : FRollbackListeners)
        Listener();
}

TQuery::TQuery(TSqlConnection& Db, const QString& Sql, const QVariantList& Args)
    : TQuery(Db.Prepared(Sql), Args) {}

TQuery::TQuery(QSqlQuery& Prepared, const QVariantList& Args) : FQuery(Prepared) {
    for (int I = 0; I < Args.size(); ++I)
        Bind(I, Args.at(I));
    Exec();
}

void TQuery::Bind(int Index, const QVariant& Value) {
    static const QVariant EmptyText = QVariant(QStringLiteral(""));
    const bool NullText = Value.metaType().id() == QMetaType::QString && Value.toString().isNull();
    FQuery.bindValue(Index, NullText ? EmptyText : Value);
}

void TQuery::Exec() {
    if (FQuery.exec())
        return;
    const QString Error = FQuery.lastError().text();
    FQuery.finish();
    ThrowDirectoryError(-1, QStringLiteral("Directory store: %1").arg(Error));
}
