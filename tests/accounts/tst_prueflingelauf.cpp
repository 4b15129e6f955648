// The exam-account run through its run unit on the demo directory: new accounts and a second run,
// the binding of accounts to workstations, the home folder of a new account, and the failures that
// end a run part way.

#include <Clock.h>
#include <DemoNamen.h>
#include <EDirectoryError.h>
#include <FaultInjection.h>
#include <NWFileSystem.h>
#include <NdkCase.h>
#include <PrueflingeLauf.h>
#include <StringList.h>
#include <TestStore.h>
#include <TestText.h>

#include <QDir>
#include <QRegularExpression>
#include <QTest>
#include <TestMain.h>
#include <memory>

using namespace Demo;

namespace {
const QString Home = HomeBase + Q(R"(\EDV1\)");
QString Konto(int N) {
    return Kurs + Q("\\EDV1_B%1").arg(N, 2, 10, QLatin1Char('0'));
}
} // namespace

class TstPrueflingeLauf : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> FStore;
    std::unique_ptr<TNdkCase> FCase;
    TStringList FRaum; // the room's workstations, as the tab lists them

    TNDK& Ndk() { return *NDK; }
    // The inputs of the design values: three accounts of EDV1 bound to the room with a replacement.
    TPrueflingeKonto Eingaben() {
        TPrueflingeKonto E;
        E.Kurs = Kurs;
        E.Maske = Q("EDV1_B%2.2d");
        E.Template = Template;
        E.Vorname = Q("Prüfling");
        E.HomeFlags = Q("/+DI/+RI");
        E.Restriktion = true;
        E.Workstations = FRaum.ObjectTexts();
        E.Netz = Q("10.1.0.0");
        E.NetzMaske = Q("255.255.0.0");
        E.Passwort = Q("geheim");
        return E;
    }
    // Runs Zahl accounts; Vorher runs before account K is handled and may change its inputs.
    int Run(const TPrueflingeKonto& E, int Zahl, const QString& Ersatz = Q("10.1.99.1"),
            const std::function<void(int, TPrueflingeKonto&)>& Vorher = {}) {
        TPrueflingeLauf Lauf(Ndk(), [&Vorher](int K, TPrueflingeKonto& Konto) {
            if (Vorher)
                Vorher(K, Konto);
            return true;
        });
        return Lauf.Ausfuehren({Kurs, Zahl, Ersatz}, E);
    }
    QString Restriction(int N) { return Ndk().GetNetworkAddresses(Konto(N)).replace(Q("\r\n"), Q("|")); }
    bool Passwort(int N, const QString& Text) {
        return FStore->Store->CheckPassword(FStore->Store->Resolve(Konto(N)), Text);
    }

private Q_SLOTS:
    void init() {
        FStore = std::make_unique<TTestStore>();
        FCase = std::make_unique<TNdkCase>(**FStore);
        TClock::SetInstantPauses(true);
        Ndk().SetFilters(Q("Workstation"));
        FRaum.Clear();
        Ndk().ListEntries(Raum, FRaum);
        Ndk().SetFilters(QString());
    }
    void cleanup() {
        FCase.reset();
        FStore.reset();
        TClock::Reset();
    }

    // New accounts get everything; a second run sets flags, restriction and password again and
    // leaves the name fields and the home folder alone.
    void firstAndSecondRun() {
        TPrueflingeKonto E = Eingaben();
        QCOMPARE(Run(E, 3), 3);
        for (int N = 1; N <= 3; ++N) {
            const QString User = Konto(N), Name = Q("EDV1_B0%1").arg(N);
            QCOMPARE(Ndk().GetFieldValue(User, Q("Full Name")), Q("Prüfling ") + Name);
            QCOMPARE(Ndk().GetFieldValue(User, Q("Given Name")), Q("Prüfling"));
            QCOMPARE(Ndk().GetFieldValue(User, Q("Surname")), Name);
            QCOMPARE(Ndk().SplitFilePath(Ndk().GetHomeDirectory(User)), Home + Name);
            QCOMPARE(Ndk().GetTrusteeRights(Home + Name, User), Q("-RWECMFA"));
            QVERIFY(Passwort(N, Q("GEHEIM")));
        }
        // Seat 3 holds an address outside the school network first.
        QCOMPARE(Restriction(3), Q("10.1.1.103|10.1.99.1"));
        const QString Folder = Home + Q("EDV1_B01");
        const auto Flags = [&] {
            TDirectoryClient& C = **FStore;
            const TFolderKey F = C.VolumeStore().OpenFolder(Folder);
            return std::pair{C.VolumeStore().FolderFlag(F, TFolderFlag::DeleteInhibit),
                             C.VolumeStore().FolderFlag(F, TFolderFlag::RenameInhibit)};
        };
        QCOMPARE(Flags(), std::pair(true, true));

        Ndk().SetFieldValue(Konto(1), Q("Full Name"), Q("umbenannt"));
        E.HomeFlags.clear();
        E.Passwort.clear();
        E.Vorname = Q("Teilnehmer");
        E.Template = Schueler + Q(R"(\gibtsnicht)");
        QCOMPARE(Run(E, 3, QString()), 0);
        QCOMPARE(Ndk().GetFieldValue(Konto(1), Q("Full Name")), Q("umbenannt"));
        QCOMPARE(Ndk().GetFieldValue(Konto(2), Q("Given Name")), Q("Prüfling"));
        QCOMPARE(Ndk().SplitFilePath(Ndk().GetHomeDirectory(Konto(2))), Home + Q("EDV1_B02"));
        QCOMPARE(Flags(), std::pair(false, false)); // no flags configured: both cleared
        QCOMPARE(Restriction(1), Q("10.1.1.101"));
        QVERIFY(Passwort(1, QString()) && !Passwort(1, Q("GEHEIM")));
        QCOMPARE(TModalSeam::Shown(), QStringList());
    }

    // What is changed while the run lasts applies from the next account on.
    void inputsChangedDuringRun() {
        const auto Aendern = [](int K, TPrueflingeKonto& E) {
            if (K == 2) {
                E.Vorname = Q("Teilnehmer");
                E.Passwort = Q("neu");
            }
        };
        QCOMPARE(Run(Eingaben(), 3, QString(), Aendern), 3);
        QCOMPARE(Ndk().GetFieldValue(Konto(1), Q("Full Name")), Q("Prüfling EDV1_B01"));
        QCOMPARE(Ndk().GetFieldValue(Konto(2), Q("Full Name")), Q("Teilnehmer EDV1_B02"));
        QCOMPARE(Ndk().GetFieldValue(Konto(3), Q("Given Name")), Q("Teilnehmer"));
        QVERIFY(Passwort(1, Q("GEHEIM")) && Passwort(2, Q("NEU")) && Passwort(3, Q("NEU")));
    }

    // Account K is bound to the K-th workstation of the list, whatever its number; accounts beyond
    // the list keep what they held; without the box every restriction is emptied.
    void binding_data() {
        QTest::addColumn<int>("Von");
        QTest::addColumn<QStringList>("Workstations");
        QTest::addColumn<bool>("Restriktion");
        QTest::addColumn<QString>("Ersatz");
        QTest::addColumn<QStringList>("Restrictions"); // of the three accounts, values joined by "|"
        QTest::addColumn<QStringList>("Boxes");        // "Error (...)" boxes shown
        QTest::addColumn<QStringList>("Unbound");      // accounts left without a restriction
        const QStringList Two{Q("WS01"), Q("WS02")};
        const QString Netz = Q(" hat keine Adresse im Schulnetz 10.1.0.0/255.255.0.0)");
        const QStringList NoAddress{
            Q("Error (Die Workstation WS05.EDV1.Workstations (\"WM:Network Address\": 192.168.0.5, "
              "00:1B:21:0A:01:05)") +
                Netz,
            Q("Error (Die Workstation WS07.EDV1.Workstations (\"WM:Network Address\": "
              "IPX:00000001:001B210A0007, 00:1B:21:0A:01:07)") +
                Netz};
        QTest::newRow("from 5") << 5 << QStringList{Q("WS02"), Q("WS01"), Q("WS04")} << true << QString()
                                << QStringList{Q("10.1.1.102"), Q("10.1.1.101"), Q("10.1.1.104")}
                                << QStringList() << QStringList();
        QTest::newRow("more accounts than workstations")
            << 1 << Two << true << QString() << QStringList{Q("10.1.1.101"), Q("10.1.1.102"), Q("10.1.7.7")}
            << QStringList() << QStringList();
        QTest::newRow("no address in the school network")
            << 1 << QStringList{Q("WS05"), Q("WS07"), Q("WS09")} << true << Q("10.1.99.1")
            << QStringList{Q("10.1.99.1"), Q("10.1.99.1"), Q("10.1.1.109|10.1.99.1")} << NoAddress
            << QStringList();
        QTest::newRow("no address and no replacement")
            << 1 << QStringList{Q("WS05"), Q("WS01"), Q("WS07")} << true << QString()
            << QStringList{QString(), Q("10.1.1.101"), QString()} << NoAddress
            << QStringList{Q("EDV1_B01"), Q("EDV1_B03")};
        QTest::newRow("box not ticked")
            << 1 << Two << false << Q("10.1.99.1") << QStringList{QString(), QString(), QString()}
            << QStringList() << QStringList();
    }
    void binding() {
        QFETCH(int, Von);
        QFETCH(QStringList, Workstations);
        QFETCH(bool, Restriktion);
        QFETCH(QString, Ersatz);
        QFETCH(QStringList, Restrictions);
        QFETCH(QStringList, Boxes);
        QFETCH(QStringList, Unbound);
        TPrueflingeKonto E = Eingaben();
        E.Von = Von;
        E.Restriktion = false;
        QCOMPARE(Run(E, 3), 3);
        for (int N = Von; N < Von + 3; ++N)
            Ndk().AddNetworkAddress(Konto(N), Q("10.1.7.7"));
        E.Workstations.clear();
        for (const QString& Name : Workstations)
            E.Workstations << Raum + u'\\' + Name;
        E.Restriktion = Restriktion;
        TModalSeam::Clear();
        TPrueflingeLauf Lauf(Ndk(), [](int, TPrueflingeKonto&) { return true; });
        QCOMPARE(Lauf.Ausfuehren({Kurs, 3, Ersatz}, E), 0);
        QCOMPARE((QStringList{Restriction(Von), Restriction(Von + 1), Restriction(Von + 2)}), Restrictions);
        QCOMPARE(TModalSeam::Shown()
                     .filter(Q("Error ("))
                     .replaceInStrings(QRegularExpression(Q("^[^|]*\\|")), QString()),
                 Boxes);
        QCOMPARE(Lauf.OhneRestriktion(), Unbound);
    }

    // A new account's home folder from its template's: named after the account, after the course,
    // or anything else; levels compare whole and without regard to case.
    void homeFolder_data() {
        QTest::addColumn<QString>("TemplateHome"); // below \\SRV1\DATA
        QTest::addColumn<QString>("AccountHome");
        QTest::newRow("home base") << Q(R"(home)") << Q(R"(home\EDV1\EDV1_B01)");
        QTest::newRow("course folder") << Q(R"(home\edv1)") << Q(R"(home\edv1\EDV1_B01)");
        QTest::newRow("account folder") << Q(R"(home\EDV1_B01)") << Q(R"(home\EDV1_B01)");
        QTest::newRow("course name is a prefix") << Q(R"(home\EDV10)") << Q(R"(home\EDV10\EDV1\EDV1_B01)");
    }
    void homeFolder() {
        QFETCH(QString, TemplateHome);
        QFETCH(QString, AccountHome);
        Ndk().SetFieldValue(Template, Q("Home Directory"), DataVolumeObjekt + u',' + TemplateHome);
        QCOMPARE(Run(Eingaben(), 1), 1);
        const QString Folder = DataVolume + u'\\' + AccountHome;
        QCOMPARE(Ndk().SplitFilePath(Ndk().GetHomeDirectory(Konto(1))), Folder);
        QCOMPARE(Ndk().GetTrusteeRights(Folder, Konto(1)), Q("-RWECMFA"));
    }

    // A failing step ends the run at its account with an error naming it; what was done before
    // stays.
    void failure_data() {
        QTest::addColumn<int>("At");
        QTest::addColumn<QString>("Fault"); // injected before account At; "" for none
        QTest::addColumn<QString>("Template");
        QTest::addColumn<QString>("Message");
        QTest::addColumn<int>("Created"); // accounts that exist afterwards
        QTest::addColumn<QString>("Ersatz");
        QTest::newRow("account creation fails")
            << 3 << Q("NWUsers.Add") << Template
            << Q("Abbruch bei Benutzer EDV1_B03:\nNWUsers.Add fehlgeschlagen (-601)") << 2 << QString();
        QTest::newRow("template without rights: nothing created")
            << 1 << QString() << Template5a
            << Q("Abbruch bei Benutzer EDV1_B01:\nDas Template User_Template.5a.schueler.unterricht hat "
                 "keinen "
                 "ganzzahligen Wert für \"Home Directory Rights\".")
            << 0 << QString();
        QTest::newRow("workstation value not an address")
            << 2 << Q("WS") << Template
            << Q("Abbruch bei Benutzer EDV1_B02:\nDie Workstation WS02.EDV1.Workstations (\"WM:Network "
                 "Address\": 10.1..2) hat keine brauchbare Adresse: '' ist kein gültiger ganzzahliger Wert")
            << 2 << QString();
        QTest::newRow("replacement not an address: refused before the first account")
            << 1 << QString() << Template
            << Q("Die Adresse der Ersatz-Workstation \"999.1.1.1\" ist keine gültige IP-Adresse: vier Zahlen "
                 "von 0 bis 255, durch Punkte getrennt (zum Beispiel 10.1.99.1). Es wurde kein Benutzer "
                 "angelegt oder geändert.")
            << 0 << Q("999.1.1.1");
    }
    void failure() {
        QFETCH(int, At);
        QFETCH(QString, Fault);
        QFETCH(QString, Template);
        QFETCH(QString, Message);
        QFETCH(int, Created);
        QFETCH(QString, Ersatz);
        if (Fault == Q("WS"))
            Ndk().SetFieldValue(Raum + Q(R"(\WS02)"), Q("WM:Network Address"), Q("10.1..2"));
        TPrueflingeKonto E = Eingaben();
        E.Template = Template;
        QString Raised;
        try {
            Run(E, 4, Ersatz, [&](int K, TPrueflingeKonto&) {
                if (K == At && !Fault.isEmpty() && Fault != Q("WS"))
                    TFaultInjection::FailNext(Fault);
            });
        } catch (const EDirectoryError& Error) {
            Raised = Error.Message();
        }
        QCOMPARE(Raised, Message);
        for (int N = 1; N <= 4; ++N)
            QCOMPARE(Ndk().EntryExists(Konto(N)), N <= Created);
        if (Created > 0)
            QVERIFY(Passwort(1, Q("GEHEIM")) && Restriction(1) == Q("10.1.1.101"));
        QCOMPARE(TModalSeam::Shown(), QStringList());
    }

    // A run that ended between an account's creation and its rights (killed, or a failing step)
    // leaves the account unfinished; the next run completes what is missing and leaves a home
    // chosen by hand alone.
    void completion_data() {
        QTest::addColumn<QString>("Cut");  // the call failing in the first run, or what is undone after it
        QTest::addColumn<int>("Times");    // how often the call fails
        QTest::addColumn<QString>("Home"); // the account's home folder after the second run
        QTest::addColumn<QString>("Rights");
        const QString Own = Home + Q("EDV1_B01");
        QTest::newRow("no rights") << Q("NWTrustees.Add") << 100 << Own << Q("-RWECMFA");
        QTest::newRow("still the template's home") << Q("NWEntry.SetFieldValue") << 1 << Own << Q("-RWECMFA");
        QTest::newRow("folder removed") << Q("rmdir") << 0 << Own << Q("-RWECMFA");
        QTest::newRow("home chosen by hand") << Q("hand") << 0 << TauschBase << QString();
    }
    void completion() {
        QFETCH(QString, Cut);
        QFETCH(int, Times);
        QFETCH(QString, Home);
        QFETCH(QString, Rights);
        const TPrueflingeKonto E = Eingaben();
        if (Times > 0) {
            TFaultInjection::FailNext(Cut, Times);
            QVERIFY_THROWS_EXCEPTION(EDirectoryError, Run(E, 1));
            TFaultInjection::Clear();
            QVERIFY(Ndk().EntryExists(Konto(1)));
        } else {
            QCOMPARE(Run(E, 1), 1);
            if (Cut == Q("rmdir"))
                QVERIFY(QDir((**FStore).VolumeStore().LocalPath(Home)).removeRecursively());
            else
                Ndk().SetFieldValue(Konto(1), Q("Home Directory"),
                                    DataVolumeObjekt + Q(",home\\Tausch\\schueler"));
        }
        TModalSeam::Clear();
        QCOMPARE(Run(E, 1), 0);
        QCOMPARE(Ndk().SplitFilePath(Ndk().GetHomeDirectory(Konto(1))), Home);
        QVERIFY(Ndk().DirectoryExists(Home));
        QCOMPARE(Ndk().GetTrusteeRights(Home, Konto(1)), Rights);
        QCOMPARE(Ndk().GetFieldValue(Konto(1), Q("Full Name")), Q("Prüfling EDV1_B01"));
        QVERIFY(Passwort(1, Q("GEHEIM")));
    }

    // A password already in upper case reaches every account whole: the copies wiped after use are
    // the run's own, never the text the tab holds.
    void upperCasePassword() {
        TPrueflingeKonto E = Eingaben();
        E.Passwort = Q("GEHEIM");
        E.Passwort.detach();
        const QString Typed = E.Passwort;
        QCOMPARE(Run(E, 2), 2);
        QVERIFY(Passwort(1, Q("GEHEIM")) && Passwort(2, Q("GEHEIM")));
        QCOMPARE(Typed, Q("GEHEIM"));
    }
};

PARVON_TEST_MAIN(TstPrueflingeLauf)
#include "tst_prueflingelauf.moc"
