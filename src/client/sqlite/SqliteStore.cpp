#include "SqliteStore.h"

#include "SqliteParts.h"
#include "SqliteSchema.h"

#include <EDirectoryError.h>
#include <Layouts.h>
#include <Names.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <atomic>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString PrepareFolder(const QString& Folder) {
    const QString Clean = QDir::cleanPath(QDir(Folder).absolutePath());
    if (!MakeOwnerOnlyPath(Clean))
        ThrowDirectoryError(
            -1,
            QStringLiteral("Der Ordner des Verzeichnisspeichers %1 kann nicht angelegt werden").arg(Clean));
    return Clean;
}

QString Shown(const QString& Path) {
    return QDir::toNativeSeparators(Path);
}

// Whether this process may write the file or folder (as it is, with its effective rights).
bool MayWrite(const QString& Path) {
    return faccessat(AT_FDCWD, QFile::encodeName(Path).constData(), W_OK, AT_EACCESS) == 0;
}

// A database file begins with a header of its own; anything else, an empty file too, is refused
// before the database library sees it: it would take a file too short for a header as a new
// database and write over it.
void CheckDatabaseHeader(const QString& Path) {
    static const QByteArray Magic("SQLite format 3\0", 16);
    QFile F(Path);
    if (!F.open(QIODevice::ReadOnly))
        ThrowDirectoryError(-1, QStringLiteral("Die Verzeichnisdatenbank „%1“ kann nicht gelesen werden: %2")
                                    .arg(Shown(Path), F.errorString()));
    if (F.size() < 100 || F.read(Magic.size()) != Magic)
        ThrowBrokenDatabase(Path);
}

// Makes a new store's database: laid out in a file of its own, then moved into place, so that
// the name only ever names a whole store. Should another process have made one meanwhile, that
// one stays.
void CreateDatabase(const QString& Path) {
    QTemporaryFile Fresh(Path + QStringLiteral(".new-XXXXXX")); // readable by the owner only
    auto Fail = [&](const QString& Why) {
        ThrowDirectoryError(-1, QStringLiteral("Die Verzeichnisdatenbank „%1“ kann nicht angelegt werden: %2")
                                    .arg(Shown(Path), Why));
    };
    if (!Fresh.open())
        Fail(Fresh.errorString());
    Fresh.close();
    auto DropLeftovers = qScopeGuard([&] {
        for (const char* Suffix : {"-wal", "-shm", "-journal"})
            QFile::remove(Fresh.fileName() + QLatin1String(Suffix));
    });
    {
        TSqlConnection Db(Fresh.fileName(), TSqlAccess::ReadWrite);
        SqliteSchema::Create(Db);
        Db.UseWriteAheadLog();
    }
    if (!QFile::rename(Fresh.fileName(), Path) && !QFileInfo::exists(Path))
        Fail(QStringLiteral("%1 lässt sich nicht umbenennen").arg(Shown(Fresh.fileName())));
}

QString MemoryDatabaseName() {
    static std::atomic<int> Counter{0};
    return QStringLiteral("parvon-store-%1-%2").arg(QCoreApplication::applicationPid()).arg(++Counter);
}

} // namespace

TSqliteStoreParts::TSqliteStoreParts(const QString& Database, TSqlAccess Access, const QString& StoreFolder)
    : Db(Database, Access), Settings(Db), Objects(Db), Fields(Db, Objects, Settings),
      Volumes(Db, StoreFolder) {}

TSqliteStore::TSqliteStore(const QString& Folder, TStorage Storage) : FFolder(PrepareFolder(Folder)) {
    QString Database = FFolder + QStringLiteral("/directory.db");
    TSqlAccess Access = TSqlAccess::ReadWrite;
    if (Storage == TStorage::Memory) {
        Database = MemoryDatabaseName();
        Access = TSqlAccess::Memory;
    } else if (!QFileInfo::exists(Database)) {
        CreateDatabase(Database);
    } else {
        CheckDatabaseHeader(Database);
        // Readers of the write-ahead log share an index file beside the database; where none is
        // and none can be made, nobody writes the database either.
        if (!MayWrite(FFolder))
            Access = QFileInfo::exists(Database + QStringLiteral("-shm")) ? TSqlAccess::ReadOnly
                                                                          : TSqlAccess::Unchanging;
        else if (!MayWrite(Database))
            Access = TSqlAccess::ReadOnly;
    }
    P = std::make_unique<TSqliteStoreParts>(Database, Access, FFolder);
    if (Access == TSqlAccess::Memory)
        SqliteSchema::Create(P->Db);
    SqliteSchema::Upgrade(P->Db);
    P->Db.UseWriteAheadLog();
    P->Fields.LoadSchema();
    if (!P->Db.ReadOnly())
        MakeOwnerOnlyPath(FFolder + QStringLiteral("/volumes"));
    FCatalogs = std::make_unique<TSqliteCatalogs>(Database, Access, FFolder);
}

TSqliteStore::~TSqliteStore() = default;

QString TSqliteStore::ConnectionName() const {
    return P->Db.ConnectionName();
}

bool TSqliteStore::ReadOnly() const {
    return P->Db.ReadOnly();
}

bool TSqliteStore::IsEmpty() {
    return P->Objects.IsEmpty();
}

// ---------------------------------------------------------------------------------------------
// Setting up

void TSqliteStore::RemoveTree(const QString& TreeName) {
    TSqlTransaction T(P->Db);
    TObjectRef Root;
    if (P->Objects.Lookup(TreeFullName(TreeName), Root))
        P->Volumes.ForgetTrustee(Root.FullName);
    P->Objects.RemoveTree(TreeName);
    T.Commit();
}

void TSqliteStore::SetConnectedTrees(const QStringList& TreeFullNames) {
    P->Settings.SetConnectedTrees(TreeFullNames);
}

void TSqliteStore::SetServerConnections(const std::vector<TServerConnection>& Connections) {
    P->Settings.SetServerConnections(Connections);
}

QString TSqliteStore::Identity() {
    return P->Settings.Setting(QStringLiteral("Identity"));
}

void TSqliteStore::SetIdentity(const QString& FullName) {
    P->Settings.SetSetting(QStringLiteral("Identity"), FullName);
}

void TSqliteStore::AddFieldType(const QString& Name, const QString& Syntax, bool SingleValued,
                                int MaxLength) {
    P->Fields.AddType(Name, Syntax, SingleValued, MaxLength);
}

std::vector<TCatalogRow> TSqliteStore::CatalogRows(const TObjectRef& Catalog) {
    return TSqliteCatalogs::Rows(P->Db, P->Fields, Catalog.Key.Id);
}

void TSqliteStore::WaitForCatalogRefreshes() {
    FCatalogs->WaitForAll();
}

// ---------------------------------------------------------------------------------------------
// Trees, names, listings

QStringList TSqliteStore::Trees() {
    return P->Objects.Trees();
}

void TSqliteStore::AddTree(const QString& TreeName) {
    P->Objects.AddTree(TreeName);
}

QStringList TSqliteStore::ConnectedTrees() {
    return P->Settings.ConnectedTrees();
}

std::vector<TServerConnection> TSqliteStore::ServerConnections() {
    return P->Settings.ServerConnections();
}

bool TSqliteStore::TryResolve(const QString& FullName, TObjectRef& Out) {
    return P->Objects.Lookup(FullName, Out);
}

std::vector<TChildEntry> TSqliteStore::Children(const TObjectRef& Container, const QStringList& Layouts) {
    return P->Objects.Children(Container, Layouts);
}

std::vector<TChildEntry> TSqliteStore::ChildrenCounted(const TObjectRef& Container,
                                                       const QStringList& Layouts) {
    return P->Objects.Children(Container, Layouts, true);
}

int TSqliteStore::CountChildren(const TObjectRef& Container, const QStringList& Layouts) {
    return P->Objects.CountChildren(Container, Layouts);
}

QStringList TSqliteStore::Search(const TObjectRef& Base, const QString& Name, const QString& Layout,
                                 int Scope) {
    return P->Objects.Search(Base, Name, Layout, Scope);
}

// ---------------------------------------------------------------------------------------------
// Fields

const std::vector<NWFieldType>& TSqliteStore::FieldTypes() {
    return P->Fields.Types();
}

const NWFieldType* TSqliteStore::FieldType(const QString& Field) {
    return P->Fields.Type(Field);
}

std::vector<QVariant> TSqliteStore::ReadField(const TObjectRef& Object, const NWFieldType& Type) {
    return P->Fields.Read(Object.Key.Id, Type);
}

std::vector<TFieldValues> TSqliteStore::ReadFields(const TObjectRef& Object) {
    return P->Fields.ReadAll(Object.Key.Id);
}

QStringList TSqliteStore::FieldNames(const TObjectRef& Object) {
    return P->Fields.Names(Object.Key.Id);
}

void TSqliteStore::WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) {
    const std::vector<TSqliteFields::TWrite> Writes = P->Fields.Convert(Fields);
    if (!Object.Key.Id || !P->Objects.Exists(Object))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Das Objekt gibt es nicht mehr"));
    TSqlTransaction T(P->Db);
    P->Fields.Write(Object.Key.Id, Writes);
    T.Commit();
}

// ---------------------------------------------------------------------------------------------
// Objects

TObjectRef TSqliteStore::CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                                      const std::vector<TFieldWrite>& Fields) {
    const QString Canonical = P->Objects.CheckCreate(Parent, Layout, Name);
    const std::vector<TSqliteFields::TWrite> Writes = P->Fields.Convert(Fields);
    TSqlTransaction T(P->Db);
    const TObjectRef R = P->Objects.Insert(Parent, Canonical, Name);
    P->Fields.WriteNew(R, Writes);
    T.Commit();
    return R;
}

TObjectRef TSqliteStore::CreateUser(const TObjectRef& Container, const QString& Name, const QString& Surname,
                                    const TObjectRef* Template) {
    const QString Layout = P->Objects.CheckCreate(Container, QStringLiteral("User"), Name);
    if (Surname.trimmed().isEmpty())
        ThrowDirectoryError(
            ERR_SYNTAX_VIOLATION,
            QStringLiteral("Ein Benutzer braucht einen Nachnamen: %1\\%2").arg(Container.FullName, Name));
    // The surname, then every field the template carries except the ones the directory keeps
    // itself; values as the template holds them.
    const NWFieldType* SurnameType = P->Fields.Type(QStringLiteral("Surname"));
    std::vector<TSqliteFields::TWrite> Writes{{SurnameType, P->Fields.ToStored(*SurnameType, Surname)}};
    if (Template && Template->Key.Id) {
        const auto Taken = P->Fields.TemplateFields(Template->Key.Id, SurnameType->Name);
        Writes.insert(Writes.end(), Taken.begin(), Taken.end());
    }
    TSqlTransaction T(P->Db);
    const TObjectRef R = P->Objects.Insert(Container, Layout, Name);
    P->Fields.WriteNew(R, Writes);
    T.Commit();
    return R;
}

void TSqliteStore::DeleteObject(const TObjectRef& Object) {
    TSqlTransaction T(P->Db);
    P->Objects.Delete(Object);
    P->Volumes.ForgetTrustee(Object.FullName);
    T.Commit();
}

void TSqliteStore::BeginTransaction() {
    P->Db.Begin();
}

void TSqliteStore::CommitTransaction() {
    P->Db.Commit();
}

void TSqliteStore::RollbackTransaction() {
    P->Db.Abandon();
}

bool TSqliteStore::StartCatalogRefresh(const TObjectRef& Catalog) {
    P->Db.CheckWritable();
    if (!Catalog.Key.Id || !P->Objects.Exists(Catalog))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Das Objekt gibt es nicht mehr"));
    if (Catalog.Layout != CatalogLayout())
        ThrowDirectoryError(ERR_INVALID_REQUEST, QStringLiteral("%1 ist kein Katalog").arg(Catalog.FullName));
    // The refresh reads with a connection of its own, which would wait for this transaction.
    if (P->Db.InTransaction())
        ThrowDirectoryError(
            ERR_INVALID_REQUEST,
            QStringLiteral("Ein Katalog kann nicht innerhalb einer Transaktion aktualisiert werden"));
    return FCatalogs->Start(Catalog);
}

// ---------------------------------------------------------------------------------------------
// Volumes

std::vector<TVolume> TSqliteStore::Volumes() {
    return P->Volumes.Volumes();
}

bool TSqliteStore::FindVolume(const QString& Server, const QString& Volume, TVolume& Out) {
    return P->Volumes.Find(Server, Volume, Out);
}

void TSqliteStore::AddVolume(const TVolume& Volume) {
    // The volume object in its canonical spelling when this store's directory holds it.
    TVolume V = Volume;
    TObjectRef Object;
    if (P->Objects.Lookup(Volume.VolumeObject, Object))
        V.VolumeObject = Object.FullName;
    P->Volumes.Add(V);
}

void TSqliteStore::SetVolumeRoot(const QString& Server, const QString& Volume, const QString& RootFolder) {
    P->Volumes.SetRoot(Server, Volume, RootFolder);
}

QString TSqliteStore::LocalPath(const QString& UncPath) {
    return P->Volumes.LocalPath(UncPath);
}

bool TSqliteStore::FolderExists(const QString& UncPath) {
    return P->Volumes.FolderExists(UncPath);
}

bool TSqliteStore::CreateFolder(const QString& UncPath) {
    return P->Volumes.CreateFolder(UncPath);
}

bool TSqliteStore::RemoveFolder(const QString& UncPath) {
    return P->Volumes.RemoveFolder(UncPath);
}

QStringList TSqliteStore::ListFolders(const QString& UncPath) {
    return P->Volumes.ListFolders(UncPath);
}

TFolderKey TSqliteStore::OpenFolder(const QString& UncPath) {
    return P->Volumes.OpenFolder(UncPath);
}

bool TSqliteStore::FolderFlag(const TFolderKey& Folder, TFolderFlag Flag) {
    return P->Volumes.Flag(Folder, Flag);
}

void TSqliteStore::SetFolderFlag(const TFolderKey& Folder, TFolderFlag Flag, bool On) {
    P->Volumes.SetFlag(Folder, Flag, On);
}

QStringList TSqliteStore::Trustees(const TFolderKey& Folder) {
    return P->Volumes.Trustees(Folder);
}

std::optional<int> TSqliteStore::FindTrustee(const TFolderKey& Folder, const QString& Trustee) {
    return P->Volumes.FindTrustee(Folder, Trustee);
}

void TSqliteStore::AddTrustee(const TFolderKey& Folder, const QString& Trustee) {
    P->Volumes.AddTrustee(Folder, Trustee);
}

void TSqliteStore::RemoveTrustee(const TFolderKey& Folder, const QString& Trustee) {
    P->Volumes.RemoveTrustee(Folder, Trustee);
}

int TSqliteStore::TrusteeRights(const TFolderKey& Folder, const QString& Trustee) {
    return P->Volumes.Rights(Folder, Trustee);
}

void TSqliteStore::ChangeTrusteeRights(const TFolderKey& Folder, const QString& Trustee, int Grant,
                                       int Revoke) {
    P->Volumes.ChangeRights(Folder, Trustee, Grant, Revoke);
}

std::vector<TFolderState> TSqliteStore::FolderStates(const QString& Server, const QString& Volume) {
    return P->Volumes.States(Server, Volume);
}
