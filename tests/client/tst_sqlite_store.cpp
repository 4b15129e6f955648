#include <ClientTestCase.h>
#include <DemoTree.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <ErrorCode.h>
#include <FileSizeLimit.h>
#include <Ldif.h>
#include <NWCalls.h>
#include <NWDir.h>
#include <NWVolAdm.h>
#include <ReadOnlyStore.h>
#include <SqliteStore.h>
#include <TestMain.h>
#include <TestStore.h>
#include <TestText.h>
#include <WorkstationStore.h>

#include <Clock.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <optional>
#include <thread>

namespace {
const QString Unterricht = Q("NDS:\\\\SCHULE\\unterricht");
const QString Schueler = Unterricht + Q("\\schueler");
const QString Katalog = Q("NDS:\\\\SCHULE\\dienste\\benutzer");
const QString Admin = Q("NDS:\\\\SCHULE\\dienste\\admin");

// One value read with a connection of its own, beside the store's.
QVariant ReadRaw(const QString& DatabaseFile, const QString& Sql) {
    QVariant Value;
    {
        QSqlDatabase Db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        Db.setDatabaseName(DatabaseFile);
        if (Db.open()) {
            QSqlQuery Query(Db);
            if (Query.exec(Sql) && Query.next())
                Value = Query.value(0);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    return Value;
}

QByteArray FileBytes(const QString& Path) {
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray("<missing>");
}

// The message of a call that must throw EDirectoryError (its code at the end); "" when it did not.
QString MessageOf(const std::function<void()>& Call) {
    try {
        Call();
    } catch (const EDirectoryError& E) {
        return E.Message();
    }
    return QString();
}
} // namespace

// The embedded store itself: its database, layouts, transactions, passwords and deletions.
class TstSqliteStore : public TClientTestCase {
    Q_OBJECT
public:
    TstSqliteStore() : TClientTestCase({}) {}

private Q_SLOTS:
    // A store written before the layout was numbered opens, is brought to the current layout, and
    // reads as before; trustees now named by full name keep their order and rights.
    void OpensAStoreOfTheUnnumberedLayout() {
        QTemporaryDir Dir;
        QVERIFY(QFile::copy(QStringLiteral(PARVON_TEST_DATA "/store-unnumbered.db"),
                            Dir.filePath(Q("directory.db"))));
        QFile::setPermissions(Dir.filePath(Q("directory.db")), QFile::ReadOwner | QFile::WriteOwner);
        for (int Opening = 0; Opening < 2; ++Opening) {
            const auto Store = std::make_shared<TSqliteStore>(Dir.path());
            TDirectoryClient Client(Store, Store);
            QCOMPARE(Store->Trees(), QStringList{Q("ALT")});
            QCOMPARE(Store->ConnectedTrees(), QStringList{Q("NDS:\\\\ALT")});
            const QString Class = Q("NDS:\\\\ALT\\schule\\Klasse Müß");
            NWDir Dir(Client);
            Dir.SetFullName(Q("nds:\\\\alt\\SCHULE\\KLASSE MÜSS"));
            QCOMPARE(Dir.FullName(), Class);
            const NWEntryPtr Template = Dir.FindEntry(Class + Q("\\User_Template"));
            QCOMPARE(Template->GetFieldValue(Q("Home Directory")).toString(),
                     Q("NDS:\\\\ALT\\schule\\SRV_DATA,home\\k"));
            QCOMPARE(Template->GetFieldValue(Q("Language"), {}, true),
                     QVariant(QStringList{Q("DEUTSCH"), Q("ENGLISH")}));
            QVERIFY(Store->CheckPassword(Store->Resolve(Q("NDS:\\\\ALT\\schule\\admin")), Q("alt-geheim")));

            QVERIFY(Store->CreateFolder(Q("\\\\SRV\\DATA\\home\\k")));
            NWVolAdm Volume(Client);
            Volume.SetFullName(Q("\\\\SRV\\DATA"));
            const NWDirectoryEntryPtr Folder = Volume.GetDirectoryEntry(Q("\\\\SRV\\DATA\\home\\k"));
            QVERIFY(Folder->DeleteInhibit());
            const NWTrustees Trustees = Folder->Trustees();
            QCOMPARE(Trustees.Count(), 2);
            QCOMPARE(Trustees.ItemAt(0)->FullName(), Class);
            QCOMPARE(Trustees.ItemAt(1)->Rights().Mask(), 0x100);
            QCOMPARE(Folder->Trustees().Item(Q("klasse müß.schule"))->Rights().Mask(), 0x041);
        }
        QCOMPARE(ReadRaw(Dir.filePath(Q("directory.db")), Q("PRAGMA user_version")).toInt(), 3);
        QCOMPARE(ReadRaw(Dir.filePath(Q("directory.db")), Q("SELECT COUNT(*) FROM catalog_rows")).toInt(), 0);
        QVERIFY(TSqliteStore(Dir.path()).FieldType(Q("NDSCAT:Actual Object Count")));
    }

    void StoresLiveSideBySide() {
        QTemporaryDir Dir;
        QString Connection;
        {
            TSqliteStore Other(Dir.path());
            QVERIFY(Other.IsEmpty());
            Other.AddTree(Q("ANDERER"));
            Connection = Other.ConnectionName();
            QVERIFY(QSqlDatabase::contains(Connection));
            QVERIFY(!(*FStore)->Trees().contains(Q("ANDERER")));
        }
        QVERIFY(!QSqlDatabase::contains(Connection));
        TSqliteStore Again(Dir.path());
        QCOMPARE(Again.Trees(), QStringList{Q("ANDERER")});
    }

    // Only a missing database file makes a new store. One that is empty, cut short, or holds
    // something else is refused with its name and left as it is, and the program does not take it
    // for a new store to fill with the demo tree.
    void RefusesABrokenDatabaseFile_data() {
        QTest::addColumn<QByteArray>("Content");
        QTemporaryDir Dir;
        {
            TSqliteStore Store(Dir.filePath(Q("store")));
            Store.UseMinimalPasswordCostForTests();
            CreateDemoTree(Store);
        }
        const QByteArray Store = FileBytes(Dir.filePath(Q("store/directory.db")));
        {
            QSqlDatabase Db = QSqlDatabase::addDatabase(Q("QSQLITE"), Q("other"));
            Db.setDatabaseName(Dir.filePath(Q("other.db")));
            QVERIFY(Db.open() && QSqlQuery(Db).exec(Q("CREATE TABLE notizen(text)")));
        }
        QSqlDatabase::removeDatabase(Q("other"));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut short") << Store.left(Store.size() / 2);
        QTest::newRow("shorter than its header") << Store.left(60);
        QTest::newRow("text") << QByteArray("Klasse 5a\n");
        QTest::newRow("another database") << FileBytes(Dir.filePath(Q("other.db")));
    }
    void RefusesABrokenDatabaseFile() {
        QFETCH(QByteArray, Content);
        QTemporaryDir Dir;
        const QString File = Dir.filePath(Q("directory.db"));
        QFile F(File);
        QVERIFY(F.open(QIODevice::WriteOnly) && F.write(Content) == Content.size());
        F.close();
        QCOMPARE(MessageOf([&] { OpenWorkstationStore(Dir.path()); }),
                 Q("Die Verzeichnisdatenbank „%1“ ist leer oder beschädigt. (-618)").arg(File));
        QCOMPARE(FileBytes(File), Content);
        QCOMPARE(QDir(Dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{Q("directory.db")});
    }

    // A store the user may only read, its file or its folder as well, opens for reading: the
    // directory, the folders with their flags and trustees, passwords and the export read as ever.
    // Every write is refused with the file's name, and the file stays as it was.
    void ReadOnlyStore_data() {
        QTest::addColumn<bool>("WholeFolder");
        QTest::newRow("file") << false;
        QTest::newRow("folder and file") << true;
    }
    void ReadOnlyStore() {
        QFETCH(bool, WholeFolder);
        const QString Folder = FStore->Path();
        const QString Exchange5a = Q("\\\\SRV1\\DATA\\home\\Tausch\\schueler\\5a");
        const QString Fresh = Q("\\\\SRV1\\DATA\\home\\neu"); // a folder without flags or trustees yet
        QVERIFY((*FStore)->CreateFolder(Fresh));
        (*FStore)->SetPassword((*FStore)->Resolve(Admin), Q("Geheim!42"));
        const QByteArray Export =
            Ldif::ExportTree((**FStore).Directory(), (**FStore).VolumeStore(), Q("SCHULE"));
        FDir->SetFullName(Schueler);
        const int Classes = FDir->Entries()->Count();
        FDir.reset();
        FStore->Close();
        const QByteArray Before = FileBytes(Folder + Q("/directory.db"));

        TReadOnlyStore ReadOnly(Folder, WholeFolder);
        FStore->Open();
        TSqliteStore& Store = *FStore->Store;
        NWDir Dir(**FStore);
        Dir.SetFullName(Schueler);
        QCOMPARE(Dir.Entries()->Count(), Classes);
        QCOMPARE(Ldif::ExportTree((**FStore).Directory(), (**FStore).VolumeStore(), Q("SCHULE")), Export);
        QVERIFY(Store.CheckPassword(Store.Resolve(Admin), Q("Geheim!42")));
        NWVolAdm Volume(**FStore);
        Volume.SetFullName(Q("\\\\SRV1\\DATA"));
        QVERIFY(Volume.GetDirectoryEntry(Exchange5a)->DeleteInhibit());
        QCOMPARE(Volume.GetDirectoryEntry(Exchange5a)->Trustees().Count(), 1);
        QVERIFY(!Volume.GetDirectoryEntry(Fresh)->DeleteInhibit());
        QCOMPARE(Volume.GetDirectoryEntry(Fresh)->Trustees().Count(), 0);

        const QString Refused = Q("Die Verzeichnisdatenbank „%1/directory.db“ ist schreibgeschützt: "
                                  "Änderungen sind nicht möglich. (-672)")
                                    .arg(Folder);
        const std::function<void()> Writes[] = {
            [&] { Store.CreateObject(Store.Resolve(Schueler), Q("Organizational Unit"), Q("7c")); },
            [&] {
                Store.WriteFields(Store.Resolve(Schueler), {{Q("Description"), Q("neu")}});
            },
            [&] { Store.SetPassword(Store.Resolve(Admin), Q("neu")); },
            [&] { Store.CreateFolder(Q("\\\\SRV1\\DATA\\home\\fehlt")); },
            [&] { Store.SetFolderFlag(Store.OpenFolder(Exchange5a), TFolderFlag::DeleteInhibit, false); },
            [&] {
                Store.AddVolume({Q("SRV2"), Q("DATA"), QString(), QString()});
            },
            [&] { Store.StartCatalogRefresh(Store.Resolve(Katalog)); },
            [&] {
                Ldif::ImportTree((**FStore).Directory(), (**FStore).VolumeStore(), Q("SCHULE"),
                                 "dn: o=neu\nobjectClass: organization\n");
            },
        };
        for (const auto& Write : Writes)
            QCOMPARE(MessageOf(Write), Refused);
        QVERIFY(!QFileInfo::exists(Folder + Q("/volumes/SRV2")));
        QCOMPARE(FileBytes(Folder + Q("/directory.db")), Before);
    }

    void PasswordIsKeptAsSaltedHash() {
        NWDSContextHandle Context = 0;
        NWDSCreateContextHandle(&Context);
        NWDSSetContext(Context, DCK_TREE_NAME, "SCHULE");
        QCOMPARE(NWDSChangeObjectPassword(Context, 0, ".admin.dienste", "", "Geheim!42"), 0);
        QCOMPARE(NWDSChangeObjectPassword(Context, 0, ".5a.schueler.unterricht", "", "x"),
                 ERR_NO_SUCH_ATTRIBUTE);
        QCOMPARE(NWDSChangeObjectPassword(Context, 0, ".niemand.dienste", "", "x"), ERR_NO_SUCH_ENTRY);
        NWDSFreeContext(Context);
        TSqliteStore& Store = *FStore->Store;
        const TObjectRef User = Store.Resolve(Admin);
        QVERIFY(Store.CheckPassword(User, Q("Geheim!42")));
        QVERIFY(!Store.CheckPassword(User, Q("geheim!42")));
        const QString DatabaseFile = Store.Folder() + Q("/directory.db");
        QFile Db(DatabaseFile);
        QVERIFY(Db.open(QIODevice::ReadOnly));
        QFile Wal(DatabaseFile + Q("-wal"));
        Wal.open(QIODevice::ReadOnly);
        QVERIFY(!(Db.readAll() + Wal.readAll()).contains("Geheim!42"));
        // The same password again gets a fresh salt, so the stored hash changes.
        const QString Sql =
            QStringLiteral("SELECT salt || hash FROM passwords WHERE object_id=%1").arg(User.Key.Id);
        const QByteArray First = ReadRaw(DatabaseFile, Sql).toByteArray();
        Store.SetPassword(User, Q("Geheim!42"));
        QVERIFY(!First.isEmpty());
        QVERIFY(ReadRaw(DatabaseFile, Sql).toByteArray() != First);
        QVERIFY(Store.CheckPassword(User, Q("Geheim!42")));
    }

    // The program hashes with Argon2id at the library's interactive limits (the test stores use the
    // minimal ones); a hash of the older form still checks, and the next set replaces it.
    void PasswordsAreHashedWithArgon2id() {
        QTemporaryDir Dir;
        const QString DatabaseFile = Dir.filePath(Q("directory.db"));
        QVERIFY(QFile::copy(QStringLiteral(PARVON_TEST_DATA "/store-unnumbered.db"), DatabaseFile));
        QFile::setPermissions(DatabaseFile, QFile::ReadOwner | QFile::WriteOwner);
        qint64 Id = 0;
        {
            TSqliteStore Store(Dir.path());
            const TObjectRef User = Store.Resolve(Q("NDS:\\\\ALT\\schule\\admin"));
            Id = User.Key.Id;
            Store.SetPassword(User, Q("neu-geheim"));
            QVERIFY(Store.CheckPassword(User, Q("neu-geheim")));
            QVERIFY(!Store.CheckPassword(User, Q("alt-geheim")));
        }
        const QString Sql =
            QStringLiteral("SELECT algorithm || ' ' || hash FROM passwords WHERE object_id=%1").arg(Id);
        QVERIFY2(
            ReadRaw(DatabaseFile, Sql).toString().startsWith(Q("argon2id $argon2id$v=19$m=65536,t=2,p=1$")),
            "not hashed at the interactive limits");
    }

    // ----- transactions

    void NestedTransactionRollsBackWhole() {
        const int Before = [&] {
            FDir->SetFullName(Unterricht);
            return FDir->Entries()->Count();
        }();
        try {
            TDirectoryTransaction Outer(*FStore->Store);
            FDir->Entries()->Add(Q("Organizational Unit"), Q("eins"));
            NWDir Other(**FStore);
            Other.SetFullName(Unterricht + Q("\\eins")); // known inside the transaction
            {
                TDirectoryTransaction Inner(*FStore->Store);
                FDir->Entries()->Add(Q("Organizational Unit"), Q("zwei"));
                // left without Commit
            }
            Outer.Commit();
            QFAIL("the commit of a spoilt transaction must fail");
        } catch (const EDirectoryError&) {
        }
        FDir->SetFullName(Unterricht);
        QCOMPARE(FDir->Entries()->Count(), Before);
        QCOMPARE(CodeOf([&] { FDir->SetFullName(Unterricht + Q("\\eins")); }), ERR_NO_SUCH_ENTRY);
        // A refused creation leaves the surrounding transaction intact.
        {
            TDirectoryTransaction Outer(*FStore->Store);
            FDir->Entries()->Add(Q("Organizational Unit"), Q("drei"));
            QCOMPARE(CodeOf([&] { FDir->Entries()->Add(Q("Organizational Unit"), Q("DREI")); }),
                     ERR_ENTRY_ALREADY_EXISTS);
            Outer.Commit();
        }
        FDir->SetFullName(Unterricht + Q("\\drei"));
    }

    // What a rolled-back transaction added to the volume map or opened as a folder is forgotten: a
    // folder opened afterwards under the same row number is not taken for the one rolled back.
    void RollbackForgetsVolumesAndFolders() {
        TSqliteStore& Store = *FStore->Store;
        const QString A = Q("\\\\SRV1\\DATA\\home\\a"), B = Q("\\\\SRV1\\DATA\\home\\b");
        QVERIFY(Store.CreateFolder(A) && Store.CreateFolder(B));
        {
            TDirectoryTransaction T(Store);
            Store.AddVolume({Q("SRV3"), Q("TEMP"), QString(), QString()});
            QVERIFY(Store.FolderExists(Q("\\\\SRV3\\TEMP")));
            Store.OpenFolder(A);
        }
        TVolume Gone;
        QVERIFY(!Store.FindVolume(Q("SRV3"), Q("TEMP"), Gone));
        QVERIFY(!Store.FolderExists(Q("\\\\SRV3\\TEMP")));
        Store.SetFolderFlag(Store.OpenFolder(B), TFolderFlag::DeleteInhibit, true);
        QVERIFY(!Store.FolderFlag(Store.OpenFolder(A), TFolderFlag::DeleteInhibit));
    }

    // A writer that finds another at work waits for it, also past the database's own five seconds,
    // rather than failing with "database is locked".
    void SecondWriterWaits() {
        TSqliteStore& Store = *FStore->Store;
        QString Failure = Q("not run");
        std::atomic<bool> Started = false;
        TDirectoryTransaction T(Store);
        Store.AddTree(Q("ERSTER"));
        QThread* Writer = QThread::create([&] {
            Started = true;
            Failure = MessageOf([&] { TSqliteStore(FStore->Path()).AddTree(Q("ZWEITER")); });
        });
        Writer->start();
        QTRY_VERIFY(Started);
        TClock::Pause(5500);
        T.Commit();
        QVERIFY(Writer->wait(30000));
        delete Writer;
        QCOMPARE(Failure, QString());
        QVERIFY(TSqliteStore(FStore->Path()).Trees().contains(Q("ZWEITER")));
    }

    // A disk that fills up during a write stops it with German words naming the database, and the
    // store takes the next write once there is room again.
    void FullDisk() {
        TSqliteStore& Store = *FStore->Store;
        const QString File = FStore->Path() + Q("/directory.db");
        const qint64 Room = qMax(QFileInfo(File).size(), QFileInfo(File + Q("-wal")).size()) + 65536;
        const TObjectRef Class = Store.Resolve(Schueler + Q("\\5a"));
        auto Full = std::make_optional<TFileSizeLimit>(rlim_t(Room));
        QVERIFY(Full->Set());
        const QString Message = MessageOf([&] {
            Store.WriteFields(Class, {{Q("Login Script"), QString(Room, u'x')}});
        });
        Full.reset();
        QVERIFY2(Message.startsWith(Q("Die Verzeichnisdatenbank „%1“ konnte nicht gelesen oder geschrieben "
                                      "werden: die Änderung wurde nicht ausgeführt (")
                                        .arg(QDir::toNativeSeparators(File))),
                 qPrintable(Message));
        Store.WriteFields(Class, {{Q("Login Script"), Q("WRITE")}});
        QCOMPARE(Store.ReadField(Class, *Store.FieldType(Q("Login Script"))),
                 std::vector<QVariant>{Q("WRITE")});
    }

    void RemoveTreeAndAddTree() {
        (*FStore)->AddTree(Q("WALD"));
        QCOMPARE(CodeOf([&] { (*FStore)->AddTree(Q("wald")); }), ERR_ENTRY_ALREADY_EXISTS);
        QCOMPARE(CodeOf([&] { (*FStore)->AddTree(Q("a.b")); }), ERR_ILLEGAL_DS_NAME);
        FDir->SetFullName(Q("NDS:\\\\Wald"));
        FDir->Entries()->Add(Q("Organization"), Q("o"));
        FDir->SetFullName(Q("NDS:\\\\WALD\\o")); // resolved once, so known to the client
        (*FStore)->RemoveTree(Q("WALD"));
        QCOMPARE((*FStore)->Trees(), QStringList{Q("SCHULE")});
        QCOMPARE(CodeOf([&] { FDir->SetFullName(Q("NDS:\\\\WALD\\o")); }), ERR_NO_SUCH_ENTRY);
    }

    // An object goes with its fields and its trustee assignments; a container goes only empty.
    void DeleteObjects() {
        TSqliteStore& Store = *FStore->Store;
        const TFolderKey Folder = Store.OpenFolder(Q("\\\\SRV1\\DATA\\home\\schueler\\5a"));
        FDir->SetFullName(Unterricht);
        const NWEntryPtr Unit = FDir->Entries()->Add(Q("Organizational Unit"), Q("weg"));
        FDir->SetFullName(Unit->FullName());
        const NWEntryPtr User = FDir->Entries()->Add(Q("User"), Q("leer"));
        Store.AddTrustee(Folder, User->FullName());
        Store.AddTrustee(Folder, Unit->FullName());
        QCOMPARE(CodeOf([&] { Store.DeleteObject(Store.Resolve(Unit->FullName())); }), ERR_INVALID_REQUEST);
        QCOMPARE(CodeOf([&] { Store.DeleteObject(Store.Resolve(Q("NDS:\\\\SCHULE"))); }),
                 ERR_INVALID_REQUEST);
        Store.DeleteObject(Store.Resolve(User->FullName()));
        Store.DeleteObject(Store.Resolve(Unit->FullName()));
        QCOMPARE(CodeOf([&] { FDir->SetFullName(User->FullName()); }), ERR_NO_SUCH_ENTRY);
        QVERIFY(Store.Trustees(Folder).isEmpty());
        // A new object of the same name inherits nothing.
        FDir->SetFullName(Unterricht);
        FDir->Entries()->Add(Q("Organizational Unit"), Q("weg"));
        QVERIFY(!Store.FindTrustee(Folder, Unit->FullName()));
    }

    // POSIX identities: a user gets its container's gid as primary group, given first; ids come
    // from the store's ranges, once each, also to two stores allocating at once on the same file;
    // an id given stays, and that of a deleted object is not given again.
    void PosixIdentities_data() {
        QTest::addColumn<bool>("Concurrent");
        QTest::newRow("one writer") << false;
        QTest::newRow("two writers at once") << true;
    }
    void PosixIdentities() {
        QFETCH(bool, Concurrent);
        using TKind = TPosixIdentity::TKind;
        TSqliteStore& Store = *FStore->Store;
        Store.SetPosixRange(TKind::User, {20000, 29999});
        Store.SetPosixRange(TKind::Group, {30000, 39999});
        const TObjectRef Exam = Store.Resolve(Q("NDS:\\\\SCHULE\\unterricht\\pruefung\\EDV1_B01"));
        QVERIFY(!Store.PosixIdentity(Exam));
        const TPosixIdentity Id = Store.EnsurePosixIdentity(Exam);
        QCOMPARE(Id.Id, 20000);
        QCOMPARE(Id.PrimaryGid, 30000);
        QCOMPARE(Id.LoginName, Q("EDV1_B01"));
        QCOMPARE(Store.PosixIdentity(Store.Resolve(Unterricht + Q("\\pruefung")))->Id, 30000);
        QCOMPARE(Store.EnsurePosixIdentity(Exam).Id, 20000);
        // A user without "Home Directory" has none; a student's maps onto the volume's folder.
        QCOMPARE(Id.HomeDirectory, QString());
        const QStringList Students = Store.Search(Store.Resolve(Schueler + Q("\\5a")), {}, Q("User"), 1);
        QVERIFY(Students.size() >= 20);

        QStringList Reversed = Students;
        std::reverse(Reversed.begin(), Reversed.end());
        std::vector<QHash<QString, qint64>> Seen(Concurrent ? 2 : 1);
        auto Writer = [&](size_t Index, const QStringList& Names) {
            TSqliteStore Own(Store.Folder());
            for (const QString& Name : Names)
                Seen[Index].insert(Name, Own.EnsurePosixIdentity(Own.Resolve(Name)).Id);
        };
        if (Concurrent) {
            std::thread First(Writer, 0, Students), Second(Writer, 1, Reversed);
            First.join();
            Second.join();
        } else {
            Writer(0, Students);
        }
        for (const auto& S : Seen)
            for (const QString& Name : Students)
                QCOMPARE(S.value(Name), Store.PosixIdentity(Store.Resolve(Name))->Id);
        const TPosixIdentity Student = *Store.PosixIdentity(Store.Resolve(Students.first()));
        QCOMPARE(Student.PrimaryGid, Store.PosixIdentity(Store.Resolve(Schueler + Q("\\5a")))->Id);
        QCOMPARE(Student.HomeDirectory, Store.LocalPath(Q("\\\\SRV1\\DATA\\home\\schueler\\5a\\") +
                                                        Students.first().section(u'\\', -1)));

        // The rest of the tree in one step; a second step finds nothing to give.
        const TObjectRef Tree = Store.Resolve(Q("NDS:\\\\SCHULE"));
        QVERIFY(Store.EnsurePosixIdentities(Tree) > 200);
        QCOMPARE(Store.EnsurePosixIdentities(Tree), 0);
        const QString Db = Store.Folder() + Q("/directory.db");
        QCOMPARE(
            ReadRaw(Db, Q("SELECT COUNT(*) - COUNT(DISTINCT kind || ':' || number) FROM posix_ids")).toInt(),
            0);
        QCOMPARE(
            ReadRaw(Db,
                    Q("SELECT COUNT(*) FROM objects o WHERE layout IN ('User', 'Organization', "
                      "'Organizational Unit') AND NOT EXISTS (SELECT 1 FROM posix_ids WHERE object_id=o.id)"))
                .toInt(),
            0);
        QCOMPARE(ReadRaw(Db, Q("SELECT MIN(number) FROM posix_ids WHERE kind=0")).toInt(), 20000);
        const qint64 Highest = ReadRaw(Db, Q("SELECT MAX(number) FROM posix_ids WHERE kind=0")).toLongLong();

        // Deleted, then made again: a new id, and the stale reference is an unknown trustee.
        const TObjectRef Gone = Store.Resolve(Students.last());
        Store.DeleteObject(Gone);
        QCOMPARE(CodeOf([&] { Store.EnsurePosixIdentity(Gone); }), ERR_NO_SUCH_ENTRY);
        const TObjectRef Again = Store.CreateUser(Store.Resolve(Schueler + Q("\\5a")),
                                                  Students.last().section(u'\\', -1), Q("Neu"), nullptr);
        QCOMPARE(Store.EnsurePosixIdentity(Again).Id, Highest + 1);
        QCOMPARE(CodeOf([&] {
                     Store.EnsurePosixIdentity(Store.Resolve(Q("NDS:\\\\SCHULE\\dienste\\SRV1_DATA")));
                 }),
                 ERR_INVALID_REQUEST);
    }
};

PARVON_TEST_MAIN(TstSqliteStore)
#include "tst_sqlite_store.moc"
