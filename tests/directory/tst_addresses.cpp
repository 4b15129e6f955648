// The access object's network address restrictions and passwords: what they read and write, and
// which failure box ends which step.

#include "DirectoryTestSupport.h"

#include <DemoNamen.h>
#include <FaultInjection.h>
#include <ModalSeam.h>
#include <NWNetAddress.h>
#include <NdkCase.h>
#include <ndk_u.h>

#include <QTest>
#include <TestMain.h>
#include <memory>

namespace {
const QString Restriction = Q("Network Address Restriction");
const QString Ipx = Q("0#00000001001B210A0001"), Tcp23 = Q("1#0A010517"); // as the store takes them
} // namespace

class TstAddresses : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> FStore;
    std::unique_ptr<TNdkCase> FCase;

    // The directory the access object works on: the embedded store's or the LDAP server's.
    TDirectoryBackend& Store() { return *FStore->Directory; }
    // A fresh user whose restriction holds Values.
    QString NewUser(const QStringList& Values) {
        static int Count = 0;
        const QString Name = Q("konto%1").arg(++Count);
        const TObjectRef User =
            Store().CreateObject(Store().Resolve(Demo::Pruefung), Q("User"), Name, {{Q("Surname"), Name}});
        if (!Values.isEmpty())
            Store().WriteFields(User, {{Restriction, Values}});
        return User.FullName;
    }
    // The restriction's values in their text form, joined by "|".
    QString Held(const QString& User) {
        QStringList Texts;
        for (const QVariant& V : Store().ReadField(Store().Resolve(User), *Store().FieldType(Restriction)))
            Texts << V.value<NWNetAddress>().Value();
        return Texts.join(u'|');
    }

private Q_SLOTS:
    void initTestCase() {
        PARVON_REQUIRE_TEST_BACKEND();
        FStore = std::make_unique<TTestStore>();
        FCase = std::make_unique<TNdkCase>(**FStore);
    }
    void init() {
        TModalSeam::Clear();
        TFaultInjection::Clear();
    }
    void cleanupTestCase() {
        FCase.reset();
        FStore.reset();
    }

    // Reading (no address) gives the dotted quads; adding an address gives the values then held.
    // A read failure ends the operation, an address that does not convert writes nothing, a failed
    // commit is reported.
    void Restrictions_data() {
        QTest::addColumn<QStringList>("Values");
        QTest::addColumn<QString>("Add"); // "-": read instead, "x": clear
        QTest::addColumn<QString>("Fault");
        QTest::addColumn<QString>("Result");
        QTest::addColumn<QString>("Box");
        const QString T23 = Q("TCP/IP: 0A010517");
        const auto Row = [](const char* Tag, const QStringList& Values, const QString& Add,
                            const QString& Fault, const QString& Result, const QString& Box = QString()) {
            QTest::newRow(Tag) << Values << Add << Fault << Result << Box;
        };
        Row("read none", {}, Q("-"), {}, {});
        Row("read IPX before", {Ipx, Tcp23}, Q("-"), {}, Q("10.1.5.23"));
        Row("read IPX after", {Tcp23, Ipx}, Q("-"), {}, Q("10.1.5.23\r\n"));
        Row("read two", {Tcp23, Q("1#0A010702")}, Q("-"), {}, Q("10.1.5.23\r\n10.1.7.2"));
        Row("read fails", {Tcp23}, Q("-"), Q("NWEntry.GetFieldValue"), {},
            Q("Parvon|Error reading restrictions (kaputt)"));
        Row("add first", {}, Q("10.1.5.23"), {}, T23);
        Row("add last", {Tcp23}, Q("10.1.5.99"), {}, T23 + Q("|TCP/IP: 0A010563"));
        Row("add keeps IPX", {Ipx}, Q("10.1.5.23"), {}, Q("IPX: 00000001001B210A0001|") + T23);
        Row("add empty address", {Tcp23}, QString(), {}, T23,
            Q("Parvon|Error ('' ist kein gültiger ganzzahliger Wert)"));
        Row("add to no user", {Tcp23}, Q("10.1.5.99"), Q("NWDir.ResolveName"), T23,
            Q("Parvon|Error reading restrictions (kaputt)"));
        Row("clear", {Tcp23, Ipx}, Q("x"), {}, QString());
        Row("clear none", {}, Q("x"), {}, QString());
        Row("add commit fails", {Tcp23}, Q("10.1.5.99"), Q("NWEntry.Update"), T23,
            Q("Parvon|SetFieldValue/Update (kaputt)"));
    }
    void Restrictions() {
        QFETCH(QStringList, Values);
        QFETCH(QString, Add);
        QFETCH(QString, Fault);
        QFETCH(QString, Result);
        QFETCH(QString, Box);
        const QString User = NewUser(Values);
        if (!Fault.isEmpty())
            TFaultInjection::FailNext(Fault, 1, Q("kaputt"));
        if (Add == u"-") {
            QCOMPARE(NDK->GetNetworkAddresses(User), Result);
        } else if (Add == u"x") {
            NDK->ClearNetworkAddresses(User);
            QCOMPARE(Held(User), Result);
        } else {
            NDK->AddNetworkAddress(User, Add);
            QCOMPARE(Held(User), Result);
        }
        QCOMPARE(TModalSeam::Shown(), Box.isEmpty() ? QStringList() : QStringList{Box});
    }

    void Passwords_data() {
        QTest::addColumn<QString>("Password");
        QTest::addColumn<int>("MinimumLength");
        QTest::addColumn<QString>("Probe");
        QTest::addColumn<bool>("Right");
        QTest::addColumn<QString>("Box");
        const auto Row = [](const char* Tag, const QString& Password, int Minimum, const QString& Probe,
                            bool Right, const QString& Box = QString()) {
            QTest::newRow(Tag) << Password << Minimum << Probe << Right << Box;
        };
        Row("set in upper case", Q("geHeim7"), 0, Q("GEHEIM7"), true);
        Row("as typed is wrong", Q("geHeim7"), 0, Q("geHeim7"), false);
        Row("empty", QString(), 0, QString(), true);
        Row("refused", Q("kurz"), 8, Q("KURZ"), false, Q("Parvon|Passwort nicht geändert Fehler: -216"));
    }
    void Passwords() {
        QFETCH(QString, Password);
        QFETCH(int, MinimumLength);
        QFETCH(QString, Probe);
        QFETCH(bool, Right);
        QFETCH(QString, Box);
        const QString User = NewUser({});
        if (MinimumLength)
            Store().WriteFields(Store().Resolve(User), {{Q("Password Minimum Length"), MinimumLength}});
        NDK->SetUserPassword(User, Password);
        QCOMPARE(Store().CheckPassword(Store().Resolve(User), Probe), Right);
        QCOMPARE(TModalSeam::Shown(), Box.isEmpty() ? QStringList() : QStringList{Box});
    }
};

PARVON_TEST_MAIN(TstAddresses)
#include "tst_addresses.moc"
