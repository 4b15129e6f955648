#include <ClientTestCase.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <ErrorCode.h>
#include <FaultInjection.h>
#include <NWDir.h>
#include <NWNetAddress.h>
#include <TestMain.h>
#include <TestStore.h>
#include <TestText.h>
#include <WorkstationClient.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Root = Q("NDS:\\\\SCHULE");
const QString Unterricht = Q("NDS:\\\\SCHULE\\unterricht");
const QString Schueler = Q("NDS:\\\\SCHULE\\unterricht\\schueler");
const QString Class5a = Q("NDS:\\\\SCHULE\\unterricht\\schueler\\5a");
const QString Template = Q("NDS:\\\\SCHULE\\unterricht\\schueler\\User_Template");
const QString DataVolume = Q("NDS:\\\\SCHULE\\dienste\\SRV1_DATA");

QStringList ShortNames(NWEntries* E) {
    QStringList L;
    for (int I = 0; I < E->Count(); ++I)
        L << E->Item(I)->ShortName();
    return L;
}

} // namespace

// The directory control and the demo tree.
class TstClient : public TClientTestCase {
    Q_OBJECT
public:
    TstClient()
        : TClientTestCase({"DemoTreeHasItsParts", "DemoWorkstationAddresses", "Resolution",
                           "ResolveDottedNames", "EntryOfTreeRootIsRefused", "ListingCounts", "AddRefusals",
                           "FieldTypesListTheSchema", "FieldRefusalsAtUpdate"}) {}

private Q_SLOTS:
    // ----- the demo tree

    void DemoTreeHasItsParts() {
        FDir->SetFullName(Root);
        QCOMPARE(ShortNames(FDir->Entries()),
                 (QStringList{Q("dienste"), Q("unterricht"), Q("Workstations")}));
        FDir->SetFullName(Schueler);
        const QStringList Classes = ShortNames(FDir->Entries());
        QCOMPARE(Classes.first(), Q("User_Template"));
        QCOMPARE(Classes.size(), 12);
        QCOMPARE(Classes.last(), Q("EDV1")); // the course of the exam accounts, still empty
        for (const QString& Class : Classes.mid(1, 10)) {
            FDir->SetFullName(Schueler + u'\\' + Class);
            const int Users = FDir->Entries()->Count() - 1;
            QVERIFY2(Users >= 20 && Users <= 30, qPrintable(Class));
            QVERIFY(!FDir->Entry()->GetFieldValue(Q("Login Script")).toString().isEmpty());
            const QString Home = FDir->FindEntry(Schueler + u'\\' + Class + Q("\\User_Template"))
                                     ->GetFieldValue(Q("Home Directory"))
                                     .toString();
            QCOMPARE(Home, DataVolume + Q(",home\\schueler\\") + Class);
        }
        QCOMPARE(FDir->FindEntry(Template)->GetFieldValue(Q("Home Directory")).toString(),
                 DataVolume + Q(",home\\schueler"));
        QCOMPARE(
            FDir->FindEntry(Unterricht + Q("\\Pruefung_Template"))->GetFieldValue(Q("Home Directory Rights")),
            QVariant(qint64(0x0FB)));
        QCOMPARE(FDir->FindEntry(Q("NDS:\\\\SCHULE\\dienste\\benutzer"))->Layout(),
                 Q("NDSCAT:Master Catalog"));
        QCOMPARE((*FStore)->ConnectedTrees(), QStringList{Root});
        QCOMPARE(int((**FStore).Volumes().size()), 2);
    }

    void DemoWorkstationAddresses() {
        // Inside and outside the school network, and values that are no addresses at all.
        QStringList All;
        for (const auto& [Room, Seats] : {std::pair{Q("EDV1"), 20}, std::pair{Q("EDV2"), 12}}) {
            FDir->SetFullName(Q("NDS:\\\\SCHULE\\Workstations\\") + Room);
            FDir->SetFilters(Q("Workstation"));
            QCOMPARE(FDir->Entries()->Count(), Seats);
            for (int I = 0; I < Seats; ++I)
                All +=
                    FDir->Entries()->Item(I)->GetFieldValue(Q("WM:Network Address"), {}, true).toStringList();
        }
        QVERIFY(All.contains(Q("10.1.1.101")));
        QVERIFY(All.contains(Q("192.168.0.3")));
        QVERIFY(All.filter(Q("IPX:")).size() > 0);
    }

    void StoreInstanceCreatesTheDemoTree() {
        QTemporaryDir Dir;
        qputenv("PARVON_CLIENT_STORE", (Dir.path() + Q("/store")).toUtf8());
        TDirectoryClient::SetInstance(nullptr);
        InstallWorkstationClient({});
        TDirectoryClient& Client = TDirectoryClient::Instance();
        QCOMPARE(Client.Directory().Trees(), QStringList{Q("SCHULE")});
        // Owner-only folder and database.
        const QString Folder = Dir.path() + Q("/store");
        QCOMPARE(QFileInfo(Folder).permissions() & 0x0077, QFile::Permissions());
        QCOMPARE(QFileInfo(Folder + Q("/directory.db")).permissions() & 0x0077, QFile::Permissions());
        TDirectoryClient::SetInstance(FStore->Client.get());
        qunsetenv("PARVON_CLIENT_STORE");
    }

    // ----- names

    void Resolution_data() {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<QString>("Canonical"); // "" when the name must be refused
        QTest::newRow("exact") << Class5a << Class5a;
        QTest::newRow("any case") << Q("nds:\\\\schule\\UNTERRICHT\\Schueler\\5A") << Class5a;
        QTest::newRow("tree root") << Q("NDS:\\\\schule") << Root;
        QTest::newRow("leaf") << Q("NDS:\\\\SCHULE\\DIENSTE\\ADMIN") << Q("NDS:\\\\SCHULE\\dienste\\admin");
        QTest::newRow("missing") << Q("NDS:\\\\SCHULE\\unterricht\\schueler\\5z") << QString();
        QTest::newRow("unknown tree") << Q("NDS:\\\\WALD\\unterricht") << QString();
        QTest::newRow("no prefix") << Q("SCHULE\\unterricht") << QString();
        QTest::newRow("trailing backslash") << Q("NDS:\\\\SCHULE\\unterricht\\") << QString();
        QTest::newRow("empty level") << Q("NDS:\\\\SCHULE\\\\unterricht") << QString();
        QTest::newRow("empty") << QString() << QString();
    }
    void Resolution() {
        QFETCH(QString, Name);
        QFETCH(QString, Canonical);
        if (Canonical.isEmpty()) {
            QCOMPARE(CodeOf([&] { FDir->SetFullName(Name); }), ERR_NO_SUCH_ENTRY);
            QCOMPARE(CodeOf([&] { FDir->ResolveName(Name); }), ERR_NO_SUCH_ENTRY);
            return;
        }
        FDir->SetFullName(Name);
        QCOMPARE(FDir->FullName(), Canonical);
        QCOMPARE(FDir->ShortName(), Canonical.section(u'\\', -1));
        QCOMPARE(FDir->ResolveName(Name), Canonical);
    }

    void ResolveDottedNames() {
        FDir->SetFullName(Root);
        QCOMPARE(FDir->ResolveName(Q("5A.schueler.UNTERRICHT")), Class5a);
        QCOMPARE(FDir->ResolveName(Q(".CN=admin.O=dienste")), Q("NDS:\\\\SCHULE\\dienste\\admin"));
    }

    void EntryOfTreeRootIsRefused() {
        FDir->SetFullName(Root);
        QVERIFY(CodeOf([&] { FDir->Entry(); }) != 0);
        QVERIFY(FDir->Entries() != nullptr);
        FDir->SetFullName(Template);
        QVERIFY(FDir->Entries() == nullptr); // a leaf object holds nothing
        QCOMPARE(FDir->Entry()->Layout(), Q("Template"));
    }

    // ----- entries and filters

    void FiltersStayInForce() {
        FDir->SetFilters(Q("organizational unit"));
        FDir->SetFullName(Schueler);
        QCOMPARE(FDir->Entries()->Count(), 11);
        FDir->SetFullName(Class5a); // another container, same filter
        QCOMPARE(FDir->Entries()->Count(), 0);
        FDir->SetFilters(Q("User, Template")); // a change while positioned takes effect at once
        QVERIFY(FDir->Entries()->Count() >= 21);
        QCOMPARE(FDir->Entries()->Item(0)->ShortName(), Q("User_Template"));
        FDir->SetFilters(Q("Template"));
        QCOMPARE(ShortNames(FDir->Entries()), QStringList{Q("User_Template")});
        FDir->SetFilters(Q("NoSuchLayout"));
        QCOMPARE(FDir->Entries()->Count(), 0);
        FDir->SetFilters(QString());
        FDir->SetFullName(Schueler);
        QCOMPARE(FDir->Entries()->Count(), 12);
    }

    // A listing that counts what each container holds under the same filter, in one statement,
    // answers what counting each container on its own answers.
    void ListingCounts_data() {
        QTest::addColumn<QString>("Container");
        QTest::addColumn<QString>("Filter");
        QTest::addColumn<QString>("Expected"); // the first entries as "name:count"
        QTest::newRow("tree root") << Root << Q("Organization,Organizational Unit")
                                   << Q("dienste:0 unterricht:2 Workstations:2");
        QTest::newRow("classes, units only") << Schueler << Q("Organizational Unit") << Q("5a:0 5b:0 6a:0");
        QTest::newRow("classes with templates")
            << Schueler << Q("Organizational Unit,Template") << Q("User_Template:-1 5a:1 5b:1");
        QTest::newRow("no filter") << Unterricht << QString()
                                   << Q("schueler:12 Pruefung_Template:-1 pruefung:1");
    }
    void ListingCounts() {
        QFETCH(QString, Container);
        QFETCH(QString, Filter);
        QFETCH(QString, Expected);
        TDirectoryBackend& D = (**FStore).Directory();
        const TObjectRef Ref = D.Resolve(Container);
        const QStringList Layouts = Filter.split(u',', Qt::SkipEmptyParts);
        const std::vector<TChildEntry> Counted = D.ChildrenCounted(Ref, Layouts);
        const std::vector<TChildEntry> OneByOne = D.TDirectoryBackend::ChildrenCounted(Ref, Layouts);
        QStringList Got, Want;
        for (const TChildEntry& E : Counted)
            Got << E.ShortName + u':' + QString::number(E.Subordinates);
        for (const TChildEntry& E : OneByOne)
            Want << E.ShortName + u':' + QString::number(E.Subordinates);
        QCOMPARE(Got, Want);
        QCOMPARE(Got.mid(0, 3).join(u' '), Expected);
        // A plain listing counts nothing.
        QCOMPARE(D.Children(Ref, Layouts).front().Subordinates, -1);
    }

    void EntriesAreASnapshotInCreationOrder() {
        FDir->SetFullName(Unterricht);
        NWEntries* Entries = FDir->Entries();
        const int Before = Entries->Count();
        const QString Last = Entries->Item(Before - 1)->ShortName();
        // Created through another cursor: not in this snapshot until it is renewed.
        NWDir Other(**FStore);
        Other.SetFullName(Unterricht);
        Other.Entries()->Add(Q("Organizational Unit"), Q("zz"));
        Other.Entries()->Add(Q("Organizational Unit"), Q("aa"));
        QCOMPARE(Entries->Count(), Before);
        Entries->Refresh();
        QCOMPARE(Entries->Count(), Before + 2);
        QCOMPARE(Entries->Item(Before - 1)->ShortName(), Last);
        QCOMPARE(Entries->Item(Before)->ShortName(), Q("zz")); // creation order, not name order
        QCOMPARE(Entries->Item(Before + 1)->FullName(), Unterricht + Q("\\aa"));
        QVERIFY(CodeOf([&] { Entries->Item(Before + 2); }) != 0);
        QVERIFY(CodeOf([&] { Entries->Item(-1); }) != 0);
    }

    void AddedEntryCommitsItsFields() {
        FDir->SetFullName(Class5a);
        NWEntryPtr E = FDir->Entries()->Add(Q("user"), Q("neu"));
        QCOMPARE(E->Layout(), Q("User"));
        QCOMPARE(E->FullName(), Class5a + Q("\\neu"));
        E->SetFieldValue(Q("Surname"), Q("Neumann"));
        QVERIFY(FDir->FindEntry(E->FullName())->GetFieldValue(Q("Surname")).isNull()); // buffered
        E->Update();
        QCOMPARE(FDir->FindEntry(E->FullName())->GetFieldValue(Q("Surname")).toString(), Q("Neumann"));
    }

    void AddRefusals_data() {
        QTest::addColumn<QString>("Container");
        QTest::addColumn<QString>("Layout");
        QTest::addColumn<QString>("Name");
        QTest::addColumn<int>("Code");
        QTest::newRow("duplicate") << Schueler << Q("Organizational Unit") << Q("5a")
                                   << ERR_ENTRY_ALREADY_EXISTS;
        QTest::newRow("duplicate other case") << Schueler << Q("User") << Q("5A") << ERR_ENTRY_ALREADY_EXISTS;
        QTest::newRow("unknown layout") << Schueler << Q("Spaceship") << Q("x") << ERR_NO_SUCH_CLASS;
        QTest::newRow("dot") << Schueler << Q("User") << Q("a.b") << ERR_ILLEGAL_DS_NAME;
        QTest::newRow("backslash") << Schueler << Q("User") << Q("a\\b") << ERR_ILLEGAL_DS_NAME;
        QTest::newRow("comma") << Schueler << Q("User") << Q("a,b") << ERR_ILLEGAL_DS_NAME;
        QTest::newRow("empty") << Schueler << Q("User") << QString() << ERR_ILLEGAL_DS_NAME;
        QTest::newRow("blank edge") << Schueler << Q("User") << Q(" a") << ERR_ILLEGAL_DS_NAME;
        QTest::newRow("too long") << Schueler << Q("User") << QString(65, u'x') << ERR_ILLEGAL_DS_NAME;
        QTest::newRow("O below O") << Unterricht << Q("Organization") << Q("o2") << ERR_ILLEGAL_CONTAINMENT;
        QTest::newRow("OU at root") << Root << Q("Organizational Unit") << Q("ou") << ERR_ILLEGAL_CONTAINMENT;
        QTest::newRow("user at root") << Root << Q("User") << Q("u") << ERR_ILLEGAL_CONTAINMENT;
    }
    void AddRefusals() {
        QFETCH(QString, Container);
        QFETCH(QString, Layout);
        QFETCH(QString, Name);
        QFETCH(int, Code);
        FDir->SetFullName(Container);
        const int Count = FDir->Entries()->Count();
        QCOMPARE(CodeOf([&] { FDir->Entries()->Add(Layout, Name); }), Code);
        QCOMPARE(FDir->Entries()->Count(), Count);
        FDir->Entries()->Refresh();
        QCOMPARE(FDir->Entries()->Count(), Count);
    }

    void AddAllowedPlaces() {
        FDir->SetFullName(Root);
        FDir->Entries()->Add(Q("ORGANIZATION"), Q("verwaltung"));
        FDir->SetFullName(Root + Q("\\verwaltung"));
        FDir->Entries()->Add(Q("Organizational Unit"), Q("ou1"));
        FDir->Entries()->Add(Q("Group"), Q("lehrer"));
        FDir->SetFullName(Root + Q("\\verwaltung\\ou1"));
        FDir->Entries()->Add(Q("Organizational Unit"), Q("ou2"));
        FDir->Entries()->Add(Q("Workstation"), Q("pc"));
        QCOMPARE(FDir->ResolveName(Q("NDS:\\\\schule\\VERWALTUNG\\OU1\\PC")),
                 Root + Q("\\verwaltung\\ou1\\pc"));
    }

    // ----- fields

    void FieldTypesListTheSchema() {
        QHash<QString, QString> Syntax;
        const NWFieldTypes Types = FDir->FieldTypes();
        for (int I = 0; I < Types.Count(); ++I)
            Syntax.insert(Types.Item(I).Name, Types.Item(I).Syntax);
        QCOMPARE(Syntax.value(Q("Login Script")), Q("Stream"));
        QCOMPARE(Syntax.value(Q("Home Directory")), Q("Path"));
        QCOMPARE(Syntax.value(Q("Network Address Restriction")), Q("Net Address"));
        QCOMPARE(Syntax.value(Q("Home Directory Rights")), Q("Integer"));
        QCOMPARE(Syntax.value(Q("NDSCAT:Actual End Time")), Q("Time"));
        QCOMPARE(Syntax.value(Q("Given Name")), Q("Case Ignore String"));
        QVERIFY(CodeOf([&] { Types.Item(Types.Count()); }) != 0);
    }

    void FieldValueTypes() {
        NWEntryPtr E = FDir->FindEntry(Unterricht + Q("\\Pruefung_Template"));
        const QVariant Home = E->GetFieldValue(Q("Home Directory"));
        QCOMPARE(Home.metaType().id(), int(QMetaType::QString));
        QCOMPARE(E->GetFieldValue(Q("Home Directory"), {}, true), QVariant(QStringList{Home.toString()}));
        QCOMPARE(E->GetFieldValue(Q("home directory rights")).metaType().id(), int(QMetaType::LongLong));
        QCOMPARE(E->GetFieldValue(Q("Surname"), Q("none")), QVariant(Q("none"))); // holds no value
        QCOMPARE(E->GetFieldValue(Q("No Such Field"), 7), QVariant(7));
        NWEntryPtr Catalog = FDir->FindEntry(Q("NDS:\\\\SCHULE\\dienste\\benutzer"));
        QCOMPARE(Catalog->GetFieldValue(Q("NDSCAT:Actual End Time")).metaType().id(),
                 int(QMetaType::QDateTime));

        FDir->SetFullName(Class5a);
        NWEntryPtr User = FDir->Entries()->Add(Q("User"), Q("adresse"));
        QVariantList Addresses{QVariant::fromValue(NWNetAddress(1, QByteArray("\x0A\x01\x05\x17", 4))),
                               QVariant::fromValue(NWNetAddress(1, QByteArray("\x0A\x01\x05\x18", 4)))};
        User->SetFieldValue(Q("Network Address Restriction"), Addresses);
        User->Update();
        const QVariant Read = User->GetFieldValue(Q("Network Address Restriction"), {}, true);
        QCOMPARE(Read.metaType().id(), int(QMetaType::QVariantList));
        QCOMPARE(Read.toList().size(), 2);
        QCOMPARE(Read.toList().at(0).value<NWNetAddress>().Value(), Q("TCP/IP: 0A010517"));
        QCOMPARE(Read.toList().at(1).value<NWNetAddress>(),
                 NWNetAddress(1, QByteArray("\x0A\x01\x05\x18", 4)));
    }

    void FieldNamesInFirstWrittenOrder() {
        FDir->SetFullName(Class5a);
        NWEntryPtr E = FDir->Entries()->Add(Q("Template"), Q("Vorlage"));
        E->SetFieldValue(Q("Given Name"), Q("A"));
        E->SetFieldValue(Q("surname"), Q("B"));
        E->Update();
        E->SetFieldValue(Q("Given Name"), Q("C")); // a rewrite keeps the field's place
        E->Update();
        QStringList Names = E->GetFieldValue(QString(), {}, true).toStringList();
        for (const char* Operational : {"Object Class", "creatorsName", "modifiersName", "GUID", "Revision"})
            QVERIFY2(Names.removeAll(Q(Operational)) == 1, Operational);
        QCOMPARE(Names, (QStringList{Q("Given Name"), Q("Surname")}));
        QCOMPARE(E->GetFieldValue(Q("Revision")), QVariant(qint64(3)));
        QCOMPARE(E->GetFieldValue(Q("modifiersName")).toString(), (*FStore)->Identity());
        E->SetFieldValue(Q("Given Name"), QVariant()); // removes every value
        E->Update();
        QVERIFY(!E->GetFieldValue(QString(), {}, true).toStringList().contains(Q("Given Name")));
    }

    void FieldRefusalsAtUpdate_data() {
        QTest::addColumn<QString>("Field");
        QTest::addColumn<QVariant>("Value");
        QTest::addColumn<int>("Code");
        QTest::newRow("unknown field") << Q("Shoe Size") << QVariant(Q("42")) << ERR_NO_SUCH_ATTRIBUTE;
        QTest::newRow("given name 33")
            << Q("Given Name") << QVariant(QString(33, u'g')) << ERR_SYNTAX_VIOLATION;
        QTest::newRow("surname 65") << Q("Surname") << QVariant(QString(65, u's')) << ERR_SYNTAX_VIOLATION;
        QTest::newRow("full name 128")
            << Q("Full Name") << QVariant(QString(128, u'f')) << ERR_SYNTAX_VIOLATION;
        QTest::newRow("home 256") << Q("Home Directory") << QVariant(DataVolume + u',' + QString(256, u'h'))
                                  << ERR_SYNTAX_VIOLATION;
        QTest::newRow("two homes") << Q("Home Directory")
                                   << QVariant(QStringList{DataVolume + Q(",a"), DataVolume + Q(",b")})
                                   << ERR_CANT_HAVE_MULTIPLE_VALUES;
        QTest::newRow("two scripts") << Q("Login Script") << QVariant(QStringList{Q("a"), Q("b")})
                                     << ERR_CANT_HAVE_MULTIPLE_VALUES;
        QTest::newRow("home unknown volume")
            << Q("Home Directory") << QVariant(Root + Q("\\dienste\\SRV9_X,home")) << ERR_NO_SUCH_ENTRY;
        QTest::newRow("home no volume")
            << Q("Home Directory") << QVariant(Root + Q("\\dienste\\SRV1,home")) << ERR_NO_SUCH_ENTRY;
        QTest::newRow("home without comma")
            << Q("Home Directory") << QVariant(Q("home\\x")) << ERR_SYNTAX_VIOLATION;
        QTest::newRow("integer text")
            << Q("Home Directory Rights") << QVariant(Q("viele")) << ERR_SYNTAX_VIOLATION;
        QTest::newRow("time text") << Q("NDSCAT:Actual End Time") << QVariant(Q("gestern"))
                                   << ERR_SYNTAX_VIOLATION;
        QTest::newRow("address text")
            << Q("Network Address Restriction") << QVariant(Q("10.1.2.3")) << ERR_SYNTAX_VIOLATION;
        QTest::newRow("address length")
            << Q("Network Address Restriction")
            << QVariant::fromValue(NWNetAddress(1, QByteArray("\x0A\x01", 2))) << ERR_SYNTAX_VIOLATION;
        QTest::newRow("dn not a name") << Q("Host Server") << QVariant(Q("SRV1")) << ERR_SYNTAX_VIOLATION;
        QTest::newRow("boolean") << Q("Password Required") << QVariant(Q("vielleicht"))
                                 << ERR_SYNTAX_VIOLATION;
    }
    void FieldRefusalsAtUpdate() {
        QFETCH(QString, Field);
        QFETCH(QVariant, Value);
        QFETCH(int, Code);
        NWEntryPtr E = FDir->FindEntry(Template);
        const QVariant Revision = E->GetFieldValue(Q("Revision"));
        E->SetFieldValue(Q("Description"), Q("geändert"));
        E->SetFieldValue(Field, Value); // buffered: no fault yet
        QCOMPARE(CodeOf([&] { E->Update(); }), Code);
        // Nothing of the failed commit arrived, and the buffer is gone.
        NWEntryPtr Fresh = FDir->FindEntry(Template);
        QVERIFY(Fresh->GetFieldValue(Q("Description")).isNull());
        QCOMPARE(Fresh->GetFieldValue(Q("Revision")), Revision);
        E->Update();
    }

    // A refused value is named as it was written: an empty text as "", not by its type.
    void FieldRefusalNamesTheValue_data() {
        QTest::addColumn<QVariant>("Value");
        QTest::addColumn<QString>("Shown");
        QTest::newRow("empty text") << QVariant(QString()) << QString();
        QTest::newRow("text") << QVariant(Q("gestern")) << Q("gestern");
    }
    void FieldRefusalNamesTheValue() {
        QFETCH(QVariant, Value);
        QFETCH(QString, Shown);
        NWEntryPtr E = FDir->FindEntry(Template);
        E->SetFieldValue(Q("NDSCAT:Actual End Time"), Value);
        const QString Message = MessageOf([&] { E->Update(); });
        QVERIFY2(Message.startsWith(Q("Der Wert \"") + Shown +
                                    Q("\" passt nicht zum Feld \"NDSCAT:Actual End Time\" (Time)")),
                 qPrintable(Message));
    }

    void FieldValuesAccepted() {
        NWEntryPtr E = FDir->FindEntry(Template);
        E->SetFieldValue(Q("Home Directory"), Q("nds:\\\\schule\\DIENSTE\\srv1_data,\\HOME\\7A"));
        E->SetFieldValue(Q("Home Directory Rights"), Q("0x1FB"));
        E->SetFieldValue(Q("Given Name"), QString(32, u'g'));
        E->SetFieldValue(Q("NDSCAT:Actual End Time"), QDateTime(QDate(2024, 1, 31), QTime(15, 45), Qt::UTC));
        E->SetFieldValue(Q("Password Required"), Q("false"));
        E->SetFieldValue(Q("Description"), QStringList{Q("eins"), QString(), Q("drei")});
        E->Update();
        NWEntryPtr R = FDir->FindEntry(Template);
        // The volume object in its canonical spelling, the path as given.
        QCOMPARE(R->GetFieldValue(Q("Home Directory")).toString(), DataVolume + Q(",\\HOME\\7A"));
        QCOMPARE(R->GetFieldValue(Q("Home Directory Rights")), QVariant(qint64(0x1FB)));
        QCOMPARE(R->GetFieldValue(Q("NDSCAT:Actual End Time")).toDateTime().toUTC(),
                 QDateTime(QDate(2024, 1, 31), QTime(15, 45), Qt::UTC));
        QCOMPARE(R->GetFieldValue(Q("Password Required")), QVariant(false));
        QCOMPARE(R->GetFieldValue(Q("Description"), {}, true),
                 QVariant(QStringList{Q("eins"), QString(), Q("drei")}));
    }

    void StreamFieldThroughFiles() {
        QTemporaryDir Dir;
        const QString File = Dir.filePath(Q("script.txt"));
        NWEntryPtr Source = FDir->FindEntry(Class5a);
        Source->SaveFieldToFile(Q("Login Script"), File, true);
        QFile F(File);
        QVERIFY(F.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(F.readAll()), Source->GetFieldValue(Q("Login Script")).toString());
        F.close();

        NWEntryPtr Target = FDir->FindEntry(Template);
        QFile Latin(Dir.filePath(Q("latin.txt")));
        QVERIFY(Latin.open(QIODevice::WriteOnly));
        Latin.write("WRITE \"Gr\xFC\xDF Gott\"\r\n"); // an 8-bit file
        Latin.close();
        Target->LoadFieldFromFile(Q("Login Script"), Latin.fileName());
        Target->Update();
        QCOMPARE(FDir->FindEntry(Template)->GetFieldValue(Q("Login Script")).toString(),
                 Q("WRITE \"Grüß Gott\"\r\n"));

        QVERIFY(CodeOf([&] {
                    Target->LoadFieldFromFile(Q("Login Script"), Dir.filePath(Q("missing.txt")));
                }) != 0);
        QCOMPARE(CodeOf([&] { Target->SaveFieldToFile(Q("Surname"), File); }), ERR_ILLEGAL_ATTRIBUTE);
        QCOMPARE(CodeOf([&] { FDir->FindEntry(Unterricht + Q("\\Pruefung_Template\\x")); }),
                 ERR_NO_SUCH_ENTRY);
        // An object without a script has nothing to save.
        QCOMPARE(CodeOf([&] {
                     FDir->FindEntry(Q("NDS:\\\\SCHULE\\dienste\\admin"))
                         ->SaveFieldToFile(Q("Login Script"), File);
                 }),
                 ERR_NO_SUCH_ATTRIBUTE);
    }
};

PARVON_TEST_MAIN(TstClient)
#include "tst_client.moc"
