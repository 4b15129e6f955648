// The BImport file from the tab into the directory: the file the window writes, imported by the
// console, again, and broken; the reader on the faults of hand-edited files; an import that breaks
// off in its middle.

#include <AppFixture.h>

#include <BImportFormat.h>
#include <BImportLauf.h>
#include <BImportTab_U.h>
#include <NWFileSystem.h>
#include <ndk_u.h>

#include <QFileDialog>
#include <QProcess>
#include <QtTest>
#include <TestMain.h>

using namespace Qt::StringLiterals;

class TBImportImportTest : public TAppFixture {
    Q_OBJECT

    QString File(const QString& Name = u"edv1.txt"_s) const { return Dir->filePath(Name); }
    static QString Account(int N, const QString& Stem = u"EDV1_B"_s) {
        return Demo::Kurs + u"\\%1%2"_s.arg(Stem).arg(N, 2, 10, QLatin1Char('0'));
    }
    struct TRun {
        int Status;
        QString Out, Err;
    };
    TRun Console(const QStringList& Args) const {
        QProcess P;
        P.start(QStringLiteral(PARVON_DIRTOOL), QStringList{u"--store"_s, Store->Path()} + Args);
        if (!P.waitForFinished(120000))
            qFatal("parvon-dirtool did not end");
        return {P.exitCode(), QString::fromUtf8(P.readAllStandardOutput()),
                QString::fromUtf8(P.readAllStandardError())};
    }
    TRun Import(const QString& Path) const {
        return Console({u"bimport"_s, Path, u"--template"_s, u"User_Template.schueler.unterricht"_s,
                        u"--ini"_s, IniPath()});
    }
    QByteArray Export() const { return Console({u"export"_s, u"SCHULE"_s}).Out.toUtf8(); }

private Q_SLOTS:
    void init() {
        Store = std::make_unique<TTestStore>();
        if (Store->Ldap) {
            // The console reaches the server's tree as the test does.
            const TLdapSettings S = TLdapTestServer::Shared()->Settings();
            QFile Ini(Store->Path() + u"/client.ini"_s);
            if (!Ini.open(QIODevice::WriteOnly) ||
                Ini.write(u"[SCHULE]\nDirectory=ldap\nUrl=%1\nBase=%2\nBindDn=%3\nPasswordFile=%4\n"_s
                              .arg(S.Url, S.Base, S.BindDn, S.PasswordFile)
                              .toUtf8()) <= 0)
                qFatal("cannot write client.ini");
        }
        StartCase();
        WriteIni("[config]\r\nBImport=TRUE\r\n"_ba);
        OpenForm();
    }
    void cleanup() {
        EndCase();
        Store.reset();
    }

    // The tab writes the file of room EDV1 with its design values; the console creates the 16
    // accounts as the exam-account run creates them, finds them all on a second import, and
    // changes nothing for a file with one broken line, naming that line.
    void RoundTrip() {
        auto* Tab = Child<TBImportTab>(Form.get(), u"TabBimport"_s);
        Answer::With<QFileDialog>([this](QFileDialog& Dlg) {
            Dlg.selectFile(File());
            return int(QDialog::Accepted);
        });
        Child<QPushButton>(Tab, u"Button1"_s)->click();

        // A dry run into the exam container, which holds EDV1_B01 already: what it would make, and nothing.
        const QByteArray Untouched = Export();
        const TRun Dry =
            Console({u"bimport"_s, File(), u"--template"_s, u"User_Template.schueler.unterricht"_s,
                     u"--container"_s, u"pruefung.unterricht"_s, u"--dry-run"_s});
        QVERIFY2(
            Dry.Out.startsWith(u"Exists, left alone: EDV1_B01 in pruefung.unterricht\nWould create EDV1_B02 "
                               u"in pruefung.unterricht (Surname \"EDV1_B02\", Given Name \"Prüfling\", "
                               u"Full Name \"Prüfling EDV1_B02\")\n"_s),
            qPrintable(Dry.Out));
        QVERIFY(Dry.Out.endsWith(u"15 accounts would be created, 1 exist already.\n"_s));
        QCOMPARE(Export(), Untouched);

        const TRun First = Import(File());
        QVERIFY2(First.Status == 0, qPrintable(First.Err));
        QVERIFY2(First.Out.endsWith(u"16 accounts created, 0 existed already.\n"_s), qPrintable(First.Out));
        for (int N = 1; N <= 16; ++N) {
            const QString Name = u"EDV1_B%1"_s.arg(N, 2, 10, QLatin1Char('0'));
            QCOMPARE(NDK->GetFieldValue(Account(N), u"Full Name"_s), u"Prüfling "_s + Name);
            QCOMPARE(NDK->GetFieldValue(Account(N), u"Given Name"_s), u"Prüfling"_s);
            QCOMPARE(NDK->GetFieldValue(Account(N), u"Surname"_s), Name);
            const QString Home = Demo::HomeBase + u"\\EDV1\\"_s + Name;
            QCOMPARE(NDK->SplitFilePath(NDK->GetHomeDirectory(Account(N))), Home);
            QVERIFY(NDK->DirectoryExists(Home));
            // The template's "Home Directory Rights" (251), as the exam run gives them.
            QCOMPARE(NDK->GetTrusteeRights(Home, Account(N)), u"-RWECMFA"_s);
        }
        QVERIFY(!NDK->EntryExists(Account(17)));

        const QByteArray Before = Export();
        const TRun Second = Import(File());
        QCOMPARE(Second.Status, 0);
        QVERIFY2(Second.Out.endsWith(u"No account created: all 16 exist already.\n"_s),
                 qPrintable(Second.Out));
        QCOMPARE(Export(), Before);

        // New names, and line 7 without its closing quote.
        QFile F(File());
        QVERIFY(F.open(QIODevice::ReadOnly));
        QList<QByteArray> Lines = F.readAll().replace("EDV1_B", "EDV1_C").split('\n');
        Lines[6].replace("\",\"EDV1\"", ",\"EDV1\"");
        QFile Broken(File(u"kaputt.txt"_s));
        QVERIFY(Broken.open(QIODevice::WriteOnly) && Broken.write(Lines.join('\n')) > 0);
        Broken.close();
        const TRun Third = Import(Broken.fileName());
        QCOMPARE(Third.Status, 2);
        QVERIFY2(Third.Err.contains(u"1 fault, nothing changed:\n  Zeile 7: "_s), qPrintable(Third.Err));
        QCOMPARE(Third.Err.count(u"Zeile "_s), 1);
        QCOMPARE(Export(), Before);
    }

    // What a hand-edited file gets wrong, each named with its line; the good lines are read all
    // the same.
    void Faults_data() {
        QTest::addColumn<QByteArray>("File");
        QTest::addColumn<QStringList>("Faults");
        QTest::addColumn<int>("Accounts");
        const QByteArray Good = "\"A01\",\"EDV1\",\"A01\",\"Pr\xFC"
                                "fling\",\"Pr\xFC"
                                "fling A01\"\r\n"_ba;
        QTest::newRow("good, Windows-1252") << Good << QStringList() << 1;
        QTest::newRow("empty file") << QByteArray() << QStringList() << 0;
        QTest::newRow("saved as UTF-8 with its mark")
            << "\xEF\xBB\xBF"_ba + Good
            << QStringList{u"Zeile 1: die Datei beginnt mit der Kennung von UTF-8"_s} << 0;
        QTest::newRow("line ends") << "\"B\",\"K\",\"B\",\"P\",\"P B\"\n"_ba + Good +
                                          "\"C\",\"K\",\"C\",\"P\",\"P C\""_ba
                                   << QStringList{u"Zeile 1: die Zeile endet mit LF allein"_s,
                                                  u"Zeile 3: die letzte Zeile endet nicht mit CR LF"_s}
                                   << 1;
        QTest::newRow("fields")
            << Good + "\"B\",\"K\",\"B\",\"P\"\r\n\"C\",\"K\",\"C\",\"P \"x\"\",\"P\"\r\nD,K,D,P,P\r\n"_ba
            << QStringList{u"Zeile 2: die Zeile hat 4 Felder"_s, u"Zeile 3: nach Feld 4 folgt kein Komma"_s,
                           u"Zeile 4: Feld 1 beginnt nicht"_s}
            << 1;
        QTest::newRow("names")
            << "\"a.b\",\"K\",\"a\",\"P\",\"P\"\r\n\"B\",\"K\\L\",\"B\",\"P\",\"P\"\r\n"
               "\"C\",\"K\",\"  \",\"P\",\"P\"\r\n\"D\",\"K\",\"D\",\"P\t\",\"P\"\r\n\"\",\"K\",\"\",\"P\",\"P\"\r\n"_ba
            << QStringList{u"Zeile 1: der Name \"a.b\" taugt nicht"_s,
                           u"Zeile 2: der Kurs \"K\\L\" taugt nicht"_s,
                           u"Zeile 3: der Nachname (Feld 3) ist leer"_s,
                           u"Zeile 4: Feld 4 (Vorname) enthält ein Steuerzeichen"_s,
                           u"Zeile 5: der Name \"\" taugt nicht"_s}
            << 0;
    }
    void Faults() {
        QFETCH(QByteArray, File);
        QFETCH(QStringList, Faults);
        QFETCH(int, Accounts);
        const BImport::TContent Content = BImport::Read(File);
        const QStringList Found = BImport::FaultLines(Content.Faults);
        QCOMPARE(Found.size(), Faults.size());
        for (qsizetype I = 0; I < Faults.size(); ++I)
            QVERIFY2(Found[I].startsWith(Faults[I]), qPrintable(Found[I]));
        QCOMPARE(int(Content.Accounts.size()), Accounts);
        if (Accounts && File.startsWith("\"A01\""))
            QCOMPARE(Content.Accounts.front().FullName, u"Prüfling A01"_s);
    }

    // The directory going away at the fifth account's full name: nothing of the import stays,
    // neither accounts nor folders, and the error names the line.
    void BreakOffLeavesNothing() {
        QByteArray Text;
        for (int N = 1; N <= 8; ++N)
            Text += BImport::Line({u"EDV1_D%1"_s.arg(N), u"EDV1"_s, u"D"_s, u"P"_s, u"P D"_s}).toLatin1() +
                    "\r\n";
        TBImportLauf Lauf(*NDK, (**Store).Directory());
        const TBImportStart Start{QString(), Demo::Schueler, Demo::Template, QString()};
        const TBImportPlan Plan = Lauf.Pruefen(Text, Start);
        QCOMPARE(Plan.Neu(), 8);
        Store->Faults->FailAfter(4 * 4 + 2); // each account: the user and three field writes
        QString Raised;
        try {
            Lauf.Ausfuehren(Plan, Start);
        } catch (const EDirectoryError& E) {
            Raised = E.Message();
        }
        Store->Faults->SetDown(false);
        QVERIFY2(Raised.startsWith(u"Zeile 5 (EDV1_D5): "_s), qPrintable(Raised));
        for (int N = 1; N <= 8; ++N) {
            QVERIFY(!NDK->EntryExists(Demo::Kurs + u"\\EDV1_D%1"_s.arg(N)));
            QVERIFY(!NWFileSystem::DirectoryExists(Demo::HomeBase + u"\\EDV1\\EDV1_D%1"_s.arg(N)));
        }
    }
};

PARVON_TEST_MAIN(TBImportImportTest)
#include "tst_bimport_import.moc"
