#include "SqlConnection.h"

#include <Clock.h>
#include <EDirectoryError.h>

#include <QDir>
#include <QSqlError>
#include <QUrl>
#include <atomic>

namespace {
std::atomic<int>& NextSlot() {
    static std::atomic<int> N{0};
    return N;
}

// The database's primary result codes that the user is told about in words of their own.
constexpr int SqliteBusy = 5;
constexpr int SqliteReadOnly = 8;
constexpr int SqliteIoError = 10;
constexpr int SqliteCorrupt = 11;
constexpr int SqliteFull = 13;
constexpr int SqliteNotADatabase = 26;

[[noreturn]] void NotWritable(const QString& File) {
    ThrowDirectoryError(
        ERR_NO_ACCESS,
        QStringLiteral("Die Verzeichnisdatenbank „%1“ ist schreibgeschützt: Änderungen sind nicht möglich.")
            .arg(File));
}
} // namespace

TStatement::TStatement(const char* Sql) : FSql(Sql), FSlot(NextSlot()++) {}

TSqlConnection::TSqlConnection(const QString& Database, TSqlAccess Access)
    : FFile(QDir::toNativeSeparators(Database)), FAccess(Access) {
    static std::atomic<int> Counter{0};
    FName = QStringLiteral("parvon_client_%1").arg(++Counter);
    FDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FName);
    QString Options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
    switch (Access) {
    case TSqlAccess::ReadWrite:
        FDb.setDatabaseName(Database);
        break;
    case TSqlAccess::ReadOnly:
        FDb.setDatabaseName(Database);
        Options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        break;
    case TSqlAccess::Unchanging:
        FDb.setDatabaseName(QUrl::fromLocalFile(Database).toString(QUrl::FullyEncoded) +
                            QStringLiteral("?mode=ro&immutable=1"));
        Options += QStringLiteral(";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI");
        break;
    case TSqlAccess::Memory:
        FDb.setDatabaseName(QStringLiteral("file:%1?mode=memory&cache=shared").arg(Database));
        Options += QStringLiteral(";QSQLITE_OPEN_URI");
        break;
    }
    FDb.setConnectOptions(Options);
    try {
        if (!FDb.open())
            ThrowDirectoryError(-1,
                                QStringLiteral("Die Verzeichnisdatenbank „%1“ kann nicht geöffnet werden: %2")
                                    .arg(FFile, FDb.lastError().text()));
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

void TSqlConnection::UseWriteAheadLog() {
    if (FAccess == TSqlAccess::ReadWrite)
        Execute(QStringLiteral("PRAGMA journal_mode=WAL"));
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
    Fail(Query.lastError());
}

void TSqlConnection::Fail(const QSqlError& Error) const {
    // The database's primary result code, whether or not the driver hands out an extended one.
    const int Code = Error.nativeErrorCode().toInt() & 0xFF;
    if (Code == SqliteCorrupt || Code == SqliteNotADatabase)
        Broken();
    if (Code == SqliteReadOnly)
        NotWritable(FFile);
    if (Code == SqliteFull)
        ThrowDirectoryError(-1, QStringLiteral("Der Datenträger der Verzeichnisdatenbank „%1“ ist voll: die "
                                               "Änderung wurde nicht ausgeführt (%2).")
                                    .arg(FFile, Error.text()));
    if (Code == SqliteIoError)
        ThrowDirectoryError(-1,
                            QStringLiteral("Die Verzeichnisdatenbank „%1“ konnte nicht gelesen oder "
                                           "geschrieben werden: die Änderung wurde nicht ausgeführt (%2).")
                                .arg(FFile, Error.text()));
    ThrowDirectoryError(-1, QStringLiteral("Verzeichnisspeicher: %1").arg(Error.text()));
}

void ThrowBrokenDatabase(const QString& File) {
    ThrowDirectoryError(ERR_INCONSISTENT_DATABASE,
                        QStringLiteral("Die Verzeichnisdatenbank „%1“ ist leer oder beschädigt.")
                            .arg(QDir::toNativeSeparators(File)));
}

void TSqlConnection::Broken() const {
    ThrowBrokenDatabase(FFile);
}

void TSqlConnection::CheckWritable() const {
    if (ReadOnly())
        NotWritable(FFile);
}

void TSqlConnection::Begin() {
    if (FDepth == 0) {
        CheckWritable();
        BeginWriting();
        FInnerAbandoned = false;
        ++FTransactions;
    }
    ++FDepth;
}

// One writer at a time: a writer that finds another at work waits for it, the database's own
// busy wait first, then pauses of ours, for up to WriterWaitSeconds in all.
void TSqlConnection::BeginWriting() {
    const QDateTime Deadline = TClock::Now().addSecs(WriterWaitSeconds);
    for (;;) {
        QSqlQuery Query(FDb);
        if (Query.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return;
        const QSqlError Error = Query.lastError();
        if ((Error.nativeErrorCode().toInt() & 0xFF) != SqliteBusy)
            Fail(Error);
        if (TClock::Now() >= Deadline)
            ThrowDirectoryError(
                -1, QStringLiteral("Die Verzeichnisdatenbank „%1“ wird seit %2 s von einem anderen Programm "
                                   "geändert; die Änderung wurde nicht ausgeführt.")
                        .arg(FFile)
                        .arg(WriterWaitSeconds));
        TClock::Pause(100);
    }
}

void TSqlConnection::Commit() {
    if (FDepth > 1) {
        --FDepth;
        return;
    }
    if (FInnerAbandoned) // the caller's Abandon rolls back
        ThrowDirectoryError(-1, QStringLiteral("Die Änderung wurde abgebrochen und wird zurückgenommen"));
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
    : TQuery(Db, Db.Prepared(Sql), Args) {}

TQuery::TQuery(TSqlConnection& Db, QSqlQuery& Prepared, const QVariantList& Args)
    : FDb(Db), FQuery(Prepared) {
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
    const QSqlError Error = FQuery.lastError();
    FQuery.finish();
    FDb.Fail(Error);
}
