// The tab "Prüflinge/Teilnehmer anlegen" in the main window: choosing the container and what it
// switches on, the preview, the workstation container and list, the key filters and spin edits,
// a run through the button and a window closed during it, and the account printout.

#include "../reports/ListenFixture.h"

#include <KAUserTab_U.h>
#include <SqliteStore.h>
#include <StringList.h>

#include <QComboBox>
#include <QPdfDocument>
#include <QProgressBar>
#include <QSpinBox>
#include <QtTest>
#include <TestMain.h>

using namespace Qt::StringLiterals;
using namespace Demo;

class TstKAUserTab : public TListenFixture {
    Q_OBJECT

    TKAUserTab* Tab = nullptr;

    template <typename TControl> TControl* C(const char* Name) const {
        return Child<TControl>(Tab, QLatin1String(Name));
    }
    QString Text(const char* Label) const { return C<QLabel>(Label)->text(); }
    void Choose(const QString& Container) {
        Answer::Picker(Container);
        C<QToolButton>("spKursU")->click();
    }
    // A container Name below Parent with Count objects of Layout, named by Name(I).
    QString Container(const QString& Parent, const QString& Name, int Count, const char* Layout,
                      const std::function<QString(int)>& ItemName) {
        TSqliteStore& S = *Store->Store;
        TDirectoryTransaction T(S);
        const TObjectRef Ou = S.CreateObject(S.Resolve(Parent), u"Organizational Unit"_s, Name);
        for (int I = 1; I <= Count; ++I)
            S.CreateObject(Ou, QLatin1String(Layout), ItemName(I),
                           {{u"WM:Network Address"_s, QStringList{u"10.1.5.%1"_s.arg(I)}}});
        T.Commit();
        return Ou.FullName;
    }

private Q_SLOTS:
    void init() {
        StartListCase();
        Tab = Child<TKAUserTab>(Form.get(), u"tabKAUser"_s);
    }
    void cleanup() { EndListCase(); }

    void chooseContainer() {
        const QStringList Switched{u"chAdressRestr"_s,  u"cbVorname"_s,   u"spBenutzerVon"_s,
                                   u"spBenutzerZahl"_s, u"cbTemplateU"_s, u"spTemplateU"_s,
                                   u"edMaske"_s,        u"spPrintRestr"_s};
        const auto Enabled = [&](const QStringList& Names) {
            QStringList On;
            for (const QString& Name : Names)
                if (Tab->findChild<QWidget*>(Name)->isEnabled())
                    On << Name;
            return On;
        };
        QCOMPARE(Enabled(Switched + QStringList{u"buCreateUser"_s, u"edPass"_s}), QStringList{u"edPass"_s});
        TPickerSeen Seen;
        Answer::Picker(Kurs, &Seen);
        C<QToolButton>("spKursU")->click();
        QCOMPARE(Seen.Caption, u" OU der Klasse wählen"_s);
        QCOMPARE(Seen.Base, Schueler);
        QCOMPARE(C<QLineEdit>("edKursU")->text(), u"EDV1.schueler.unterricht"_s);
        QCOMPARE(C<QLineEdit>("edMaske")->text(), u"EDV1_B%%"_s);
        QCOMPARE((QStringList{Text("laUsers"), Text("laRaum"), Text("laRestrict")}),
                 (QStringList{u"EDV1_B01  bis  EDV1_B16"_s, u"EDV1.schueler.unterricht"_s,
                              u"ohne Netzwerkadressbeschränkung"_s}));
        // The templates of the student base container, not of the course.
        auto* Templates = C<QComboBox>("cbTemplateU");
        QCOMPARE(Templates->count(), 1);
        QCOMPARE(Templates->currentText(), u"User_Template.schueler.unterricht"_s);
        QCOMPARE(NDK->NWDir1->Filters(), QString());
        QCOMPARE(Enabled(Switched +
                         QStringList{u"buCreateUser"_s, u"edWS"_s, u"spWorkstations"_s, u"edIPErsatz"_s}),
                 Switched + QStringList{u"buCreateUser"_s});
    }

    void preview_data() {
        QTest::addColumn<QString>("Maske");
        QTest::addColumn<int>("Von");
        QTest::addColumn<int>("Zahl");
        QTest::addColumn<QString>("Users");
        QTest::addColumn<QString>("Pattern");
        QTest::addColumn<QString>("Box");
        QTest::newRow("from 0") << u"EDV1_B%%"_s << 0 << 5 << u"EDV1_B00  bis  EDV1_B04"_s << u"EDV1_B%2.2d"_s
                                << QString();
        QTest::newRow("three digits")
            << u"EDV1_B%%"_s << 55 << 99 << u"EDV1_B55  bis  EDV1_B153"_s << u"EDV1_B%2.2d"_s << QString();
        QTest::newRow("second %% writes one %")
            << u"R%%_%%"_s << 1 << 16 << u"R01_%  bis  R16_%"_s << u"R%2.2d_%%"_s << QString();
        QTest::newRow("no %%: all kept")
            << u"ohne"_s << 3 << 4 << u"EDV1_B01  bis  EDV1_B16"_s << u"EDV1_B%2.2d"_s << QString();
        QTest::newRow("refused directive")
            << u"X%q%%"_s << 3 << 4 << u"EDV1_B01  bis  EDV1_B16"_s << u"X%q%2.2d"_s
            << u"Fehler|Ungültiges Format in der Maske: X%q%2.2d"_s;
    }
    void preview() {
        QFETCH(QString, Maske);
        QFETCH(int, Von);
        QFETCH(int, Zahl);
        QFETCH(QString, Users);
        QFETCH(QString, Pattern);
        QFETCH(QString, Box);
        Choose(Kurs);
        C<QLineEdit>("edMaske")->setText(Maske);
        C<QCheckBox>("chAdressRestr")->click(); // the room's 20 workstations set the number first
        C<QSpinBox>("spBenutzerVon")->setValue(Von);
        C<QSpinBox>("spBenutzerZahl")->setValue(Zahl);
        QCOMPARE(Text("laUsers"), Users);
        QCOMPARE(Tab->ExamUserMask(), Pattern);
        const bool Updated = Box.isEmpty() && Maske.contains(u"%%"_s);
        QCOMPARE(Text("laRestrict"),
                 Updated ? u"mit Netzwerkadressbeschränkung"_s : u"ohne Netzwerkadressbeschränkung"_s);
        QCOMPARE(TModalSeam::Shown().filter(u"Fehler|"_s).value(0), Box);
    }

    // The address box guesses the room's container; the room's workstations set the number of
    // accounts (at most 99), ordered by name as text without regard to case.
    void workstations_data() {
        QTest::addColumn<int>("Room"); // workstations of a room named like the course; -1: no room
        QTest::addColumn<QString>("Count");
        QTest::addColumn<int>("Accounts");
        QTest::addColumn<QStringList>("First");
        QTest::newRow("EDV1 of the demo")
            << 20 << u"Zahl der Workstations: 20"_s << 20 << QStringList{u"WS01"_s, u"WS02"_s, u"WS03"_s};
        QTest::newRow("120") << 120 << u"Zahl der Workstations: 120"_s << 99
                             << QStringList{u"pc1"_s, u"PC10"_s, u"PC100"_s};
        QTest::newRow("empty room") << 0 << u"Zahl der Workstations: 0"_s << 16 << QStringList();
        QTest::newRow("no room") << -1 << QString() << 16 << QStringList();
    }
    void workstations() {
        QFETCH(int, Room);
        QFETCH(QString, Count);
        QFETCH(int, Accounts);
        QFETCH(QStringList, First);
        QString Course = Kurs;
        if (Room != 20) {
            Course = Container(Schueler, u"R"_s, 0, "User", {});
            if (Room >= 0)
                Container(Workstations, u"R"_s, Room, "Workstation",
                          [](int I) { return (I % 2 ? u"pc"_s : u"PC"_s) + QString::number(I); });
        }
        Choose(Course);
        C<QCheckBox>("chAdressRestr")->click();
        const QString Guess =
            Room < 0 ? QString() : TNDK::PathToDotted(Course).section(u'.', 0, 0) + u".Workstations"_s;
        QCOMPARE(C<QLineEdit>("edWS")->text(), Guess);
        QCOMPARE(Text("laWScount"), Count);
        QCOMPARE(C<QSpinBox>("spBenutzerZahl")->value(), Accounts);
        QCOMPARE(Form->WorkstationListe->Texts().mid(0, 3), First);
        QVERIFY(C<QLineEdit>("edWS")->isEnabled() && C<QLineEdit>("edIPErsatz")->isEnabled());

        C<QLineEdit>("edIPErsatz")->setText(u"10.1.9.9"_s);
        C<QCheckBox>("chAdressRestr")->click();
        QCOMPARE(C<QLineEdit>("edWS")->text() + C<QLineEdit>("edIPErsatz")->text(), QString());
        QVERIFY(!C<QLineEdit>("edWS")->isEnabled() && !C<QToolButton>("spWorkstations")->isEnabled());
        QCOMPARE(C<QLineEdit>("edWS")->palette().color(QPalette::Base),
                 C<QLineEdit>("edWS")->palette().color(QPalette::Button));
    }

    // Typed, pasted or dropped: the mask keeps letters, digits, "%", "-" and "_", the address
    // digits and ".". A spin edit reads what is typed until the focus leaves it.
    void keysAndSpins() {
        Choose(Kurs);
        C<QCheckBox>("chAdressRestr")->click();
        auto* Maske = C<QLineEdit>("edMaske");
        Maske->clear();
        QTest::keyClicks(Maske, u"R .1%-_x"_s);
        QTest::sendKeyEvent(QTest::Click, Maske, Qt::Key_unknown, u"ä"_s, Qt::NoModifier);
        Maske->insert(u"ü y"_s);
        QCOMPARE(Maske->text(), u"R1%-_xy"_s);
        auto* Ersatz = C<QLineEdit>("edIPErsatz");
        QTest::keyClicks(Ersatz, u"10.1 a.5"_s);
        Ersatz->insert(u",7"_s);
        QCOMPARE(Ersatz->text(), u"10.1.57"_s);

        Maske->setText(u"EDV1_B%%"_s);
        auto* Zahl = C<QSpinBox>("spBenutzerZahl");
        Zahl->selectAll();
        QTest::keyClicks(Zahl, u"150"_s);
        QCOMPARE(Text("laUsers"), u"EDV1_B01  bis  EDV1_B150"_s);
        QFocusEvent Out(QEvent::FocusOut);
        QApplication::sendEvent(Zahl, &Out);
        QCOMPARE(Zahl->text(), u"99"_s);
        QCOMPARE(Text("laUsers"), u"EDV1_B01  bis  EDV1_B99"_s);
        auto* Von = C<QSpinBox>("spBenutzerVon");
        Von->selectAll();
        QTest::keyClick(Von, Qt::Key_Delete);
        QCOMPARE(Text("laUsers"), u"EDV1_B00  bis  EDV1_B98"_s); // no number reads as the lower limit
        Von->setValue(70);
        QCOMPARE(Von->text(), u"55"_s);
    }

    // A run through the button, then the same run again; the button is off while it runs, a
    // second start meanwhile is ignored, and an input changed meanwhile applies to the accounts
    // that follow.
    void run() {
        Choose(Kurs);
        C<QCheckBox>("chAdressRestr")->click();
        C<QLineEdit>("edIPErsatz")->setText(u"10.1.99.1"_s);
        C<QLineEdit>("edPass")->setText(u"geheim"_s);
        auto* Button = C<QPushButton>("buCreateUser");
        QList<bool> ButtonOn;
        connect(C<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged, this, [&](int K) {
            ButtonOn << Button->isEnabled();
            if (K == 2) {
                Tab->buCreateUserClick();
                C<QComboBox>("cbVorname")->setEditText(u"Teilnehmer"_s);
            }
        });
        Button->click();
        QCOMPARE(ButtonOn, QList<bool>(20, false)); // one step per account
        QCOMPARE(
            (QStringList{Text("laAktion"), Text("laFortschritt"), Text("laNewUser")}),
            (QStringList{u"Benutzer anlegen/aktualisieren"_s, u"20/20"_s, u"20 Benutzer neu angelegt"_s}));
        QVERIFY(Button->isEnabled());
        QCOMPARE(NDK->GetFieldValue(Kurs + u"\\EDV1_B01"_s, u"Full Name"_s), u"Prüfling EDV1_B01"_s);
        QCOMPARE(NDK->GetFieldValue(Kurs + u"\\EDV1_B02"_s, u"Full Name"_s), u"Teilnehmer EDV1_B02"_s);
        // Seats 5 and 7 have no address in the school network; the replacement binds them.
        QCOMPARE(TModalSeam::Shown().filter(u"Error ("_s).size(), 2);
        QCOMPARE(Text("laRestrNew"), u"0 Benutzer ohne Netzwerkadressbeschränkung"_s);

        // Without the replacement they are left unbound, and the tab says which.
        C<QLineEdit>("edIPErsatz")->clear();
        Button->click();
        QCOMPARE(Text("laNewUser"), u"0 Benutzer neu angelegt"_s);
        QCOMPARE(Text("laRestrNew"), u"2 Benutzer ohne Netzwerkadressbeschränkung: EDV1_B05, EDV1_B07"_s);

        // A replacement that is no address refuses the run with one box, before any account.
        C<QLineEdit>("edIPErsatz")->setText(u"999.1.1.1"_s);
        TModalSeam::Clear();
        Button->click();
        QCOMPARE(TModalSeam::Shown().size(), 1);
        QVERIFY(TModalSeam::Shown().first().startsWith(
            u"Fehler|Die Adresse der Ersatz-Workstation \"999.1.1.1\" ist keine gültige IP-Adresse"_s));
        QCOMPARE(Text("laNewUser") + Text("laRestrNew"), QString());
        C<QLineEdit>("edIPErsatz")->clear();

        // A failing run shows which account failed, and the button comes back.
        C<QComboBox>("cbTemplateU")->setEditText(u"gibtsnicht.schueler.unterricht"_s);
        C<QSpinBox>("spBenutzerVon")->setValue(21);
        Button->click();
        QVERIFY(TModalSeam::Shown().last().startsWith(u"Fehler|Abbruch bei Benutzer EDV1_B21:\n"_s));
        QVERIFY(Button->isEnabled() && !Tab->LaufAktiv());
    }

    // Closing the window during a run ends it before the next account; the window closes.
    void closeDuringRun() {
        Choose(Kurs);
        K().Geaendert = false; // the close asks nothing
        connect(C<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged, this, [&](int K) {
            if (K == 3)
                Form->close();
        });
        C<QPushButton>("buCreateUser")->click();
        QCOMPARE(Text("laNewUser"), u"2 Benutzer neu angelegt"_s);
        QVERIFY(NDK->EntryExists(Kurs + u"\\EDV1_B02"_s));
        QVERIFY(!NDK->EntryExists(Kurs + u"\\EDV1_B03"_s));
        QVERIFY(!Tab->LaufAktiv() && C<QPushButton>("buCreateUser")->isEnabled());
    }

    // The restriction column: the addresses joined by " / ", cut at 1850 whatever the paper.
    void printout_data() {
        QTest::addColumn<QStringList>("Values"); // as the store takes them
        QTest::addColumn<QString>("Column");
        const QString T23 = u"1#0A010517"_s, T72 = u"1#0A010702"_s, Ipx = u"0#00000001001B210A0001"_s;
        QTest::newRow("two") << QStringList{T23, T72} << u"10.1.5.23 / 10.1.7.2"_s;
        QTest::newRow("other type last") << QStringList{T23, Ipx} << u"10.1.5.23 / "_s;
        QTest::newRow("none") << QStringList() << QString();
    }
    void printout() {
        QFETCH(QStringList, Values);
        QFETCH(QString, Column);
        const QString Course = Klasse(Schueler, u"P"_s, 1);
        Store->Store->WriteFields(Store->Store->Resolve(Course + u"\\u01"_s),
                                  {{u"Network Address Restriction"_s, Values}});
        Choose(Course);
        Paper.PrintableWidthMm = 297;
        TModalSeam::Push(TPrintDialog::Cancel());
        C<QToolButton>("spPrintRestr")->click();
        QCOMPARE(Form->DruckTitel, TDruckTitel{});
        TModalSeam::Push(TPrintDialog::AcceptToPdf(Dir->filePath(u"p.pdf"_s)));
        C<QToolButton>("spPrintRestr")->click();
        QCOMPARE(Form->DruckTitel.Header1, u"Benutzer in P"_s);
        QCOMPARE(Form->DruckTitel.Spalte4, u"Network Address Restriction"_s);
        QStringList Seen;
        for (const TPrintCall& Call : Paper.Texts(1, 1))
            if (Call.X >= 1250 && Call.X <= 1260)
                Seen << u"%1 %2,%3 %4"_s.arg(Call.Text).arg(Call.X).arg(Call.Y).arg(
                    Call.Clipped ? Call.Clip.Right : 0);
        QCOMPARE(Seen,
                 (QStringList{u"Network Address Restriction 1260,-370 0"_s, Column + u" 1250,-445 1850"_s}));
        QCOMPARE(Paper.Lines(1, 1).first().X2, 2820);
    }

    // Through the real printer into a PDF file: the demo exam account with its two addresses.
    void printToPdf() {
        TPrintDialog::SetRecorder(nullptr);
        Choose(Pruefung);
        const QString File = Dir->filePath(u"konten.pdf"_s);
        TModalSeam::Push(TPrintDialog::AcceptToPdf(File));
        C<QToolButton>("spPrintRestr")->click();
        QPdfDocument Pdf;
        QCOMPARE(Pdf.load(File), QPdfDocument::Error::None);
        const QString Page = Pdf.getAllText(0).text();
        for (const QString& Part : {u"Benutzer in pruefung"_s, u"Network Address Restriction"_s,
                                    u"Prüfling EDV1_B01"_s, u"10.1.1.101 / 10.1.1.200"_s})
            QVERIFY2(Page.contains(Part), qPrintable(Part + u'\n' + Page));
    }
};

PARVON_TEST_MAIN(TstKAUserTab)
#include "tst_kausertab.moc"
