// The run journal: what it keeps comes back exactly, and a journaled client records each write
// with what was there before.

#include <ClientTestCase.h>
#include <DemoNamen.h>
#include <JournaledRun.h>
#include <NWNetAddress.h>
#include <RecordingBackend.h>
#include <SqliteJournal.h>
#include <TestMain.h>

#include <QTemporaryDir>
#include <QTimeZone>

using TKind = TRunChange::TKind;

class TJournalTest : public TClientTestCase {
    Q_OBJECT
public:
    TJournalTest() : TClientTestCase({}) {}

private Q_SLOTS:
    void valuesComeBackExactly_data();
    void valuesComeBackExactly();
    void runsAndCreators();
    void journaledClientRecordsBefore();
};

void TJournalTest::valuesComeBackExactly_data() {
    QTest::addColumn<QVariant>("Value");
    QTest::newRow("text of lines") << QVariant(QStringLiteral("MAP ROOT H:=x\r\nWRITE \"ä\"\r\n"));
    QTest::newRow("text like a tag") << QVariant(QStringLiteral("i:5"));
    QTest::newRow("number") << QVariant::fromValue<qint64>(-42);
    QTest::newRow("flag") << QVariant(true);
    QTest::newRow("time") << QVariant(QDateTime(QDate(2026, 3, 1), QTime(7, 5, 3, 120), Qt::UTC));
    QTest::newRow("address") << QVariant::fromValue(NWNetAddress(1, QByteArray::fromHex("0a010517")));
    QTest::newRow("bytes") << QVariant(QByteArray("\0\xff", 2));
}

void TJournalTest::valuesComeBackExactly() {
    QFETCH(QVariant, Value);
    QTemporaryDir Dir;
    TRunChange C;
    C.Kind = TKind::WriteField;
    C.Target = Demo::Klasse5a;
    C.Detail = QStringLiteral("Description");
    C.Before = {Value, Value};
    C.Fields = {{QStringLiteral("Login Script"), {Value}}};
    qint64 Id = 0;
    {
        TSqliteJournal J(Dir.path());
        Id = J.Begin({});
        J.Record(Id, C);
    }
    TSqliteJournal Again(Dir.path()); // read from the file
    const std::vector<TRunChange> Read = Again.Changes(Id);
    QCOMPARE(Read.size(), size_t(1));
    QVERIFY(Read.front() == C);
    QCOMPARE(Read.front().Before.front().typeId(), Value.typeId());
    QCOMPARE(Read.front().Before.front(), Value);
}

void TJournalTest::runsAndCreators() {
    QTemporaryDir Dir;
    TSqliteJournal J(Dir.path());
    QVERIFY(J.Runs().empty());
    QVERIFY(!QFile::exists(J.File())); // nothing recorded: no file
    TJournalRun R;
    R.Kind = QStringLiteral("Klasse anlegen");
    R.Title = QStringLiteral("5c");
    R.Started = QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC);
    R.Login = QStringLiteral("admin");
    R.Tree = Demo::Prefix;
    R.Server = QStringLiteral("ldap://ldap.example");
    R.Inputs = {{QStringLiteral("Name"), QStringLiteral("5c")},
                {QStringLiteral("Rechte"), QStringLiteral("R----F")}};
    const qint64 First = J.Begin(R);
    TRunChange Made;
    Made.Kind = TKind::CreateObject;
    Made.Target = Demo::Schueler + QStringLiteral("\\5c");
    J.Record(First, Made);
    J.End(First, R.Started.addSecs(3), QStringLiteral("erfolgreich"));
    const qint64 Undo = J.Begin({});
    J.SetUndone(First, Undo);
    const qint64 Second = J.Begin(R);
    J.Record(Second, Made);

    const std::vector<TJournalRun> Runs = J.Runs();
    QCOMPARE(Runs.size(), size_t(3));
    QCOMPARE(Runs[0].Inputs, R.Inputs);
    QCOMPARE(Runs[0].Server, R.Server);
    QCOMPARE(Runs[0].Ended, R.Started.addSecs(3));
    QCOMPARE(Runs[0].UndoneBy, Undo);
    QCOMPARE(Runs[0].Changes, 1);
    QVERIFY(!Runs[2].Ended.isValid());
    // The run that took it back does not count; the later one does, in any spelling.
    QCOMPARE(J.CreatedBy({Made.Target.toUpper(), Demo::Klasse5a}), (std::vector<qint64>{Second, 0}));
}

void TJournalTest::journaledClientRecordsBefore() {
    TDirectoryClient& Client = **FStore;
    auto Journal = std::make_shared<TSqliteJournal>(FStore->Path(), TSqliteJournal::TStorage::Memory);
    Client.SetJournal(Journal, [](const QString&) { return TRunOrigin{QStringLiteral("admin"), QString()}; });
    TDirectoryBackend& D = Client.Directory();
    TVolumeStore& V = Client.VolumeStore();
    const TObjectRef Klasse = D.Resolve(Demo::Klasse5a);
    const NWFieldType& Description = *D.FieldType(QStringLiteral("Description"));
    const std::vector<QVariant> Before = D.ReadField(Klasse, Description);
    const QString Folder = Demo::HomeBase + QStringLiteral("\\neu\\tief");
    qint64 Id = 0;
    {
        TJournaledRun Run(Client, QStringLiteral("Test"), QString(), Demo::Prefix, {});
        Id = Run.Id();
        {
            // Rolled back: nothing of it is recorded.
            TDirectoryTransaction T(D);
            D.CreateObject(D.Resolve(Demo::Schueler), QStringLiteral("Organizational Unit"),
                           QStringLiteral("x"));
        }
        D.WriteFields(Klasse, {{QStringLiteral("Description"), QStringLiteral("neu")}});
        QVERIFY(V.CreateFolder(Folder));
        const TFolderKey Key = V.OpenFolder(Folder);
        V.SetFolderFlag(Key, TFolderFlag::DeleteInhibit, true);
        V.AddTrustee(Key, Demo::Klasse5a);
        V.ChangeTrusteeRights(Key, Demo::Klasse5a, 0x001, 0);
        V.ChangeTrusteeRights(Key, Demo::Klasse5a, 0x040, 0);
        Run.End(QStringLiteral("erfolgreich"));
    }
    D.WriteFields(Klasse, {{QStringLiteral("Description"), QStringLiteral("danach")}}); // after the run
    const std::vector<TRunChange> C = Journal->Changes(Id);
    QCOMPARE(C.size(), size_t(5));
    QCOMPARE(C[0].Kind, TKind::WriteField);
    QCOMPARE(C[0].Before.size(), Before.size());
    QCOMPARE(C[0].After, std::vector<QVariant>{QStringLiteral("neu")});
    QCOMPARE(C[1].Kind, TKind::CreateFolder);
    QCOMPARE(C[1].Target, Demo::HomeBase + QStringLiteral("\\neu"));
    QCOMPARE(C[2].Target, Folder);
    QCOMPARE(C[3].Kind, TKind::SetFlag);
    QCOMPARE(C[3].Before, std::vector<QVariant>{false});
    // The rights given one at a time are one change, from no assignment on.
    QCOMPARE(C[4].Kind, TKind::SetRights);
    QVERIFY(C[4].Before.empty());
    QCOMPARE(C[4].After, std::vector<QVariant>{QVariant::fromValue<qint64>(0x041)});
    QCOMPARE(Journal->Find(Id)->Login, QStringLiteral("admin"));
}

PARVON_TEST_MAIN(TJournalTest)
#include "tst_journal.moc"
