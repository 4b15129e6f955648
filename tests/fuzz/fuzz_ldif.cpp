// The LDIF reader on arbitrary bytes, each time into a fresh store held in memory: the import
// succeeds, or fails with a directory error that says what is wrong and leaves the store and the
// disk (the volumes' folders) as they were. What an import made exports, and that export reads
// into another fresh store as the same tree. A store that a failed import left as it was is as
// fresh as a new one and takes the next input; after a successful import a new store takes over,
// and the export is read back inside a transaction that is rolled back, so that the new store
// stays fresh for the next input.
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <Ldif.h>
#include <SqliteStore.h>

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <optional>
#include <string>
#include <vector>

namespace {

QString Folder; // the stores' folder: their volumes' roots go below it

void Check(bool Condition, const char* What) {
    if (!Condition) {
        std::fprintf(stderr, "%s\n", What);
        std::abort();
    }
}

// Everything below a folder, as the file system lists it (the order stays while nothing changes).
void List(const std::string& Path, std::vector<std::string>& Entries) {
    DIR* Dir = opendir(Path.c_str());
    if (!Dir)
        return;
    while (const dirent* Entry = readdir(Dir)) {
        const std::string Name = Entry->d_name;
        if (Name == "." || Name == "..")
            continue;
        Entries.push_back(Path + '/' + Name);
        if (Entry->d_type == DT_DIR)
            List(Entries.back(), Entries);
    }
    closedir(Dir);
}

std::vector<std::string> Disk() {
    std::vector<std::string> Entries;
    List(Folder.toStdString(), Entries);
    return Entries;
}

// A fresh store in memory and the client over it, installed as the process-wide one, with what
// its tables and the disk hold while it is fresh.
struct TFresh {
    std::shared_ptr<TSqliteStore> Store =
        std::make_shared<TSqliteStore>(Folder, TSqliteStore::TStorage::Memory);
    TDirectoryClient Client{Store, Store};
    QSqlQuery Counts{QSqlDatabase::database(Store->ConnectionName())};
    QString FreshRows;
    std::vector<std::string> FreshDisk = Disk();

    TFresh() {
        TDirectoryClient::SetInstance(&Client);
        Counts.prepare(QStringLiteral(
            "SELECT (SELECT COUNT(*) FROM trees), (SELECT COUNT(*) FROM objects), (SELECT COUNT(*) FROM "
            "field_values), (SELECT COUNT(*) FROM field_types), (SELECT COUNT(*) FROM volumes), (SELECT "
            "COUNT(*) FROM folders), (SELECT COUNT(*) FROM trustees), (SELECT COUNT(*) FROM passwords), "
            "(SELECT COUNT(*) FROM settings), (SELECT COUNT(*) FROM posix_ids)"));
        FreshRows = Rows();
    }
    // The number of rows in each of the store's tables.
    QString Rows() {
        QStringList Numbers;
        if (Counts.exec() && Counts.next())
            for (int I = 0; I < 10; ++I)
                Numbers << Counts.value(I).toString();
        Counts.finish();
        return Numbers.join(QLatin1Char(' '));
    }
    void CheckFresh(const char* What) {
        Check(Rows() == FreshRows, What);
        Check(Disk() == FreshDisk, What);
    }
};

// Never destroyed: at the exit, the database driver's own statics may be gone already.
TFresh* Fresh = nullptr;

// Empties the folder and makes a new store in it.
void Renew() {
    delete Fresh;
    for (const QString& Entry :
         QDir(Folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        QDir(Folder + QLatin1Char('/') + Entry).removeRecursively();
    Fresh = new TFresh;
}

const QString Tree = QStringLiteral("FUZZ");

void Run(const QByteArray& Text) {
    try {
        Ldif::ImportTree(*Fresh->Store, *Fresh->Store, Tree, Text);
    } catch (const EDirectoryError& E) {
        Check(!E.Message().trimmed().isEmpty(), "an error without a message");
        Fresh->CheckFresh("a failed import changed the store or the disk");
        return;
    }
    const QByteArray Export = Ldif::ExportTree(*Fresh->Store, *Fresh->Store, Tree);
    Renew();
    std::optional<QByteArray> Again;
    Fresh->Store->BeginTransaction();
    try {
        Ldif::ImportTree(*Fresh->Store, *Fresh->Store, Tree, Export);
        Again = Ldif::ExportTree(*Fresh->Store, *Fresh->Store, Tree);
    } catch (const EDirectoryError&) {
    }
    Fresh->Store->RollbackTransaction();
    Check(Again == Export, "the export does not read back as the same tree");
    Fresh->CheckFresh("a rolled back import changed the store or the disk");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
    new QCoreApplication(*Argc, *Argv); // never destroyed either
    static QTemporaryDir Dir;
    Folder = Dir.path();
    Renew();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    Run(QByteArray(reinterpret_cast<const char*>(Data), qsizetype(Size)));
    return 0;
}
