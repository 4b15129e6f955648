#include <ClientTestCase.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <ErrorCode.h>
#include <FaultInjection.h>
#include <NWCalls.h>
#include <NWDir.h>
#include <NWNetAddress.h>
#include <NWSess.h>
#include <TestMain.h>
#include <TestStore.h>
#include <TestText.h>

#include <QTest>
#include <cstring>

namespace {
const QString Root = Q("NDS:\\\\SCHULE");
const QString Schueler = Q("NDS:\\\\SCHULE\\unterricht\\schueler");
const QString Template = Q("NDS:\\\\SCHULE\\unterricht\\schueler\\User_Template");

// Removes every value of an attribute through the client-library calls, as a program would.
NWCCODE ClearAttribute(const char* Object, const char* Attribute) {
    NWDSContextHandle Context = 0;
    NWCCODE Status = NWDSCreateContextHandle(&Context);
    if (Status)
        return Status;
    NWDSSetContext(Context, DCK_TREE_NAME, "SCHULE");
    NWDSBuf* Buf = nullptr;
    Status = NWDSAllocBuf(5096, &Buf);
    if (!Status)
        Status = NWDSInitBuf(Context, DSV_MODIFY_ENTRY, Buf);
    if (!Status)
        Status = NWDSPutChange(Context, Buf, DS_REMOVE_ATTRIBUTE, Attribute);
    std::int32_t Iteration = NO_MORE_ITERATIONS;
    if (!Status)
        Status = NWDSModifyObject(Context, Object, &Iteration, 0, Buf);
    if (Buf)
        NWDSFreeBuf(Buf);
    NWDSFreeContext(Context);
    return Status;
}
} // namespace

// The client-library calls, fault injection and the session control.
class TstClientCalls : public TClientTestCase {
    Q_OBJECT
public:
    TstClientCalls() : TClientTestCase({"ParsePath", "ContextKeysAndHandles", "NetAddressText"}) {}

private Q_SLOTS:
    // ----- client-library calls

    void ParsePath_data() {
        QTest::addColumn<QString>("Path");
        QTest::addColumn<bool>("Ok");
        QTest::addColumn<QString>("Server");
        QTest::addColumn<QString>("Volume");
        QTest::addColumn<QString>("Dir");
        QTest::newRow("volume object")
            << Q("SRV1_DATA:home\\7a") << true << Q("SRV1") << Q("SRV1_DATA") << Q("home\\7a");
        QTest::newRow("volume object any case")
            << Q("srv1_data:\\home") << true << Q("SRV1") << Q("srv1_data") << Q("home");
        QTest::newRow("volume object root")
            << Q("SRV1_SYS:") << true << Q("SRV1") << Q("SRV1_SYS") << QString();
        QTest::newRow("unc") << Q("\\\\SRV1\\DATA\\home\\schueler") << true << Q("SRV1") << Q("DATA")
                             << Q("home\\schueler");
        QTest::newRow("unc volume only")
            << Q("\\\\SRV1\\DATA") << true << Q("SRV1") << Q("DATA") << QString();
        QTest::newRow("unc unknown server")
            << Q("\\\\OTHER\\VOL\\x") << true << Q("OTHER") << Q("VOL") << Q("x");
        QTest::newRow("unknown volume object")
            << Q("SRV9_DATA:home") << false << QString() << QString() << QString();
        QTest::newRow("server only") << Q("\\\\SRV1") << false << QString() << QString() << QString();
        QTest::newRow("empty volume")
            << Q("\\\\SRV1\\\\home") << false << QString() << QString() << QString();
        QTest::newRow("no colon") << Q("home\\7a") << false << QString() << QString() << QString();
        QTest::newRow("empty") << QString() << false << QString() << QString() << QString();
        QTest::newRow("too long") << Q("\\\\SRV1\\DATA\\") + QString(300, u'x') << false << QString()
                                  << QString() << QString();
    }
    void ParsePath() {
        QFETCH(QString, Path);
        QFETCH(bool, Ok);
        // Guard bytes after each 256-byte buffer catch an overflow.
        struct TBuffers {
            char Server[256];
            char GuardA[8];
            char Volume[256];
            char GuardB[8];
            char Dir[256];
            char GuardC[8];
        } B;
        std::memset(&B, 0x5A, sizeof B);
        std::uint32_t Connection = 0;
        const QByteArray Text = Path.toUtf8();
        const NWCCODE Status = NWParsePath(Text.constData(), B.Server, &Connection, B.Volume, B.Dir);
        for (char G : B.GuardA)
            QCOMPARE(G, char(0x5A));
        for (char G : B.GuardB)
            QCOMPARE(G, char(0x5A));
        for (char G : B.GuardC)
            QCOMPARE(G, char(0x5A));
        QCOMPARE(Status == 0, Ok);
        if (!Ok)
            return;
        QFETCH(QString, Server);
        QFETCH(QString, Volume);
        QFETCH(QString, Dir);
        QCOMPARE(QString::fromUtf8(B.Server), Server);
        QCOMPARE(QString::fromUtf8(B.Volume), Volume);
        QCOMPARE(QString::fromUtf8(B.Dir), Dir);
        QVERIFY(Connection != 0);
    }

    void ClearAttributeAnswers614WhenEmpty() {
        const char* User = ".User_Template.schueler.unterricht";
        QCOMPARE(ClearAttribute(User, "Language"), 0);
        QVERIFY(FDir->FindEntry(Template)->GetFieldValue(Q("Language")).isNull());
        QCOMPARE(ClearAttribute(User, "Language"), ERR_DUPLICATE_VALUE);
        QCOMPARE(ClearAttribute(User, "No Such Attribute"), ERR_NO_SUCH_ATTRIBUTE);
        QCOMPARE(ClearAttribute(".nobody.schueler.unterricht", "Language"), ERR_NO_SUCH_ENTRY);
    }

    void ContextKeysAndHandles() {
        NWDSContextHandle Context = 0;
        QCOMPARE(NWCallsInit(nullptr, nullptr), 0);
        QCOMPARE(NWDSCreateContextHandle(&Context), 0);
        std::uint32_t Flags = 0xFFFF;
        QCOMPARE(NWDSGetContext(Context, DCK_FLAGS, &Flags), 0);
        QCOMPARE(Flags, 0u);
        Flags |= DCV_TYPELESS_NAMES;
        QCOMPARE(NWDSSetContext(Context, DCK_FLAGS, &Flags), 0);
        Flags = 0;
        NWDSGetContext(Context, DCK_FLAGS, &Flags);
        QCOMPARE(Flags, DCV_TYPELESS_NAMES);
        QCOMPARE(NWDSSetContext(Context, DCK_TREE_NAME, "SCHULE"), 0);
        char Tree[NW_MAX_TREE_NAME_BYTES] = {};
        QCOMPARE(NWDSGetContext(Context, DCK_TREE_NAME, Tree), 0);
        QCOMPARE(QByteArray(Tree), QByteArray("SCHULE"));
        const QByteArray Long(40, 'T');
        QCOMPARE(NWDSSetContext(Context, DCK_TREE_NAME, Long.constData()), ERR_INVALID_REQUEST);
        QCOMPARE(NWDSFreeContext(Context), 0);
        QCOMPARE(NWDSFreeContext(Context), ERR_BAD_CONTEXT);
        QCOMPARE(NWDSGetContext(Context, DCK_FLAGS, &Flags), ERR_BAD_CONTEXT);
        QCOMPARE(NWDSFreeContext(0), 0); // what a failed creation leaves
    }

    void PasswordMinimumLength() {
        NWEntryPtr Admin = FDir->FindEntry(Q("NDS:\\\\SCHULE\\dienste\\admin"));
        Admin->SetFieldValue(Q("Password Minimum Length"), 8);
        Admin->Update();
        NWDSContextHandle Context = 0;
        NWDSCreateContextHandle(&Context);
        QCOMPARE(NWDSChangeObjectPassword(Context, 0, ".admin.dienste", "", "kurz"), ERR_PASSWORD_TOO_SHORT);
        QCOMPARE(NWDSChangeObjectPassword(Context, 0, ".admin.dienste", "", "lang genug"), 0);
        NWDSFreeContext(Context);
    }

    // ----- fault injection and sessions

    void FaultInjection() {
        TFaultInjection::FailNext(Q("NWDir.FullName"), 2, Q("kaputt"), -625);
        QCOMPARE(CodeOf([&] { FDir->SetFullName(Root); }), -625);
        try {
            FDir->SetFullName(Root);
            QFAIL("second call should fail");
        } catch (const EDirectoryError& E) {
            QCOMPARE(E.Message(), Q("kaputt"));
        }
        FDir->SetFullName(Root); // the third succeeds
        QCOMPARE(TFaultInjection::Count(Q("nwdir.fullname")), 3);

        TFaultInjection::FailNext(Q("NWCallsInit"), 1, QString(), 88);
        QCOMPARE(NWCallsInit(nullptr, nullptr), 88);
        QCOMPARE(NWCallsInit(nullptr, nullptr), 0);
        TFaultInjection::FailNext(Q("NWDSCreateContexthandle"), 1, QString(), -301);
        NWDSContextHandle Context = 77;
        QCOMPARE(NWDSCreateContextHandle(&Context), -301);
        QCOMPARE(Context, 0u);

        // The first reading of a listing after positioning is a refresh, and can fail as one.
        FDir->SetFullName(Schueler);
        TFaultInjection::FailNext(Q("NWEntries.Refresh"));
        QCOMPARE(CodeOf([&] { FDir->Entries()->Count(); }), -601);
        QCOMPARE(FDir->Entries()->Count(), 12);
        QCOMPARE(TFaultInjection::Count(Q("NWEntries.Refresh")), 2);

        TFaultInjection::FailAlways(Q("NWEntry.Update"));
        NWEntryPtr E = FDir->FindEntry(Template);
        E->SetFieldValue(Q("Title"), Q("x"));
        for (int I = 0; I < 3; ++I)
            QCOMPARE(CodeOf([&] { E->Update(); }), -601);
        TFaultInjection::Clear();
        QCOMPARE(TFaultInjection::Count(Q("NWEntry.Update")), 0);
        E->Update();
    }

    void SessionLists() {
        NWSess Sess(**FStore);
        QCOMPARE(Sess.ConnectedTreeCount(), 1);
        QCOMPARE(Sess.ConnectedTree(0), Root);
        (*FStore)->SetConnectedTrees({Root, Q("NDS:\\\\ANDERER")});
        QCOMPARE(Sess.ConnectedTreeCount(), 2);
        QCOMPARE(Sess.ConnectedTree(1), Q("NDS:\\\\ANDERER"));
        QVERIFY(CodeOf([&] { Sess.ConnectedTree(2); }) != 0);
        QCOMPARE(Sess.ServerConnectionCount(), 1);
        QCOMPARE(Sess.ServerConnection(0).DisplayName, Q("SRV1"));
        QVERIFY(CodeOf([&] { Sess.ServerConnection(-1); }) != 0);
    }

    void NetAddressText_data() {
        QTest::addColumn<int>("Type");
        QTest::addColumn<QByteArray>("Address");
        QTest::addColumn<QString>("Text");
        QTest::newRow("tcp/ip") << 1 << QByteArray("\x0A\x01\x05\x17", 4) << Q("TCP/IP: 0A010517");
        QTest::newRow("tcp/ip high bytes") << 1 << QByteArray("\xC0\xA8\x00\xFF", 4) << Q("TCP/IP: C0A800FF");
        QTest::newRow("ipx") << 0 << QByteArray::fromHex("00000001001B210A0107")
                             << Q("IPX: 00000001001B210A0107");
        QTest::newRow("unset") << -1 << QByteArray() << QString();
    }
    void NetAddressText() {
        QFETCH(int, Type);
        QFETCH(QByteArray, Address);
        QFETCH(QString, Text);
        const NWNetAddress A(Type, Address);
        QCOMPARE(A.Value(), Text);
        if (Type == 1)
            QCOMPARE(A.Value().mid(8, 8).size(), 8); // characters 9 to 16: the hex digits
    }
};

PARVON_TEST_MAIN(TstClientCalls)
#include "tst_client_calls.moc"
