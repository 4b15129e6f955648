// Ending an exam and the login slips through the exam tab's controls: the archive of the accounts'
// files (links never followed), the accounts locked afterwards, what is refused or kept when a
// step cannot be done; the slips on paper and in a PDF file; the password field's eye button.

#include "../reports/ListenFixture.h"

#include <KAUserTab_U.h>
#include <NWFileSystem.h>
#include <PruefungEnde.h>
#include <RunJournal.h>
#include <SqliteJournal.h>
#include <SqliteStore.h>

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QPdfDocument>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QtTest>
#include <TestMain.h>
#include <zip.h>

using namespace Qt::StringLiterals;
using namespace Demo;

namespace {
// The entries of a zip file by name, with their contents.
QMap<QString, QByteArray> ZipInhalt(const QString& File) {
    QMap<QString, QByteArray> Out;
    int Code = 0;
    zip_t* Z = zip_open(QFile::encodeName(File).constData(), ZIP_RDONLY, &Code);
    if (!Z)
        return {{u"<kein Archiv>"_s, QByteArray::number(Code)}};
    for (zip_int64_t I = 0; I < zip_get_num_entries(Z, 0); ++I) {
        const QString Name = QString::fromUtf8(zip_get_name(Z, zip_uint64_t(I), ZIP_FL_ENC_GUESS));
        QByteArray Data;
        if (zip_file_t* F = zip_fopen_index(Z, zip_uint64_t(I), 0)) {
            char Buf[4096];
            for (zip_int64_t N; (N = zip_fread(F, Buf, sizeof Buf)) > 0;)
                Data.append(Buf, qsizetype(N));
            zip_fclose(F);
        }
        Out.insert(Name, Data);
    }
    zip_discard(Z);
    return Out;
}

QString Konto(int N) {
    return Kurs + u"\\EDV1_B%1"_s.arg(N, 2, 10, QLatin1Char('0'));
}
} // namespace

class TstPruefungEnde : public TListenFixture {
    Q_OBJECT

    TKAUserTab* Tab = nullptr;

    template <typename TControl> TControl* C(const char* Name) const {
        return Child<TControl>(Tab, QLatin1String(Name));
    }
    // The course with Zahl exam accounts bound to the room, password "geheim".
    void Pruefung(int Zahl) {
        Answer::Picker(Kurs);
        C<QToolButton>("spKursU")->click();
        C<QCheckBox>("chAdressRestr")->click();
        C<QSpinBox>("spBenutzerZahl")->setValue(Zahl);
        C<QLineEdit>("edPass")->setText(u"geheim"_s);
        C<QPushButton>("buCreateUser")->click();
        QCOMPARE(Text("laNewUser"), u"%1 Benutzer neu angelegt"_s.arg(Zahl));
    }
    QString Text(const char* Label) const { return C<QLabel>(Label)->text(); }
    QString Lokal(int N) {
        return NWFileSystem::LocalPath(**Store,
                                       HomeBase + u"\\EDV1\\EDV1_B%1"_s.arg(N, 2, 10, QLatin1Char('0')));
    }
    static void Schreiben(const QString& Path, const QByteArray& Data) {
        QDir().mkpath(QFileInfo(Path).path());
        QFile F(Path);
        QVERIFY(F.open(QIODevice::WriteOnly) && F.write(Data) == Data.size());
    }
    // Answers the save dialog with File (or cancels it) and the confirmation with Ok, keeping its list.
    void Antworten(const QString& File, bool Ok, QString* Plan = nullptr,
                   const std::function<void()>& Bestaetigt = {}) {
        Answer::With<QFileDialog>([File](QFileDialog& D) {
            if (D.objectName() != u"SaveDialogArchiv"_s || File.isEmpty())
                return int(QDialog::Rejected);
            D.selectFile(File);
            return int(QDialog::Accepted);
        });
        if (File.isEmpty())
            return;
        Answer::With<QDialog>([=](QDialog& D) {
            if (Plan)
                *Plan = Child<QPlainTextEdit>(&D, u"mePlan"_s)->toPlainText();
            if (Bestaetigt)
                Bestaetigt();
            return D.objectName() == u"PruefungBeendenDlg"_s && Ok ? int(QDialog::Accepted)
                                                                   : int(QDialog::Rejected);
        });
    }
    bool Passwort(int N, const QString& Text) {
        return Store->Store->CheckPassword(Store->Store->Resolve(Konto(N)), Text);
    }

private Q_SLOTS:
    void init() {
        StartListCase();
        Tab = Child<TKAUserTab>(Form.get(), u"tabKAUser"_s);
    }
    void cleanup() { EndListCase(); }

    // Three accounts with files, a link out of the home folder, an empty folder, and one account
    // of the series missing: the archive holds what is theirs, the list says what was left out,
    // and every account ends locked and unbound.
    void endExam() {
        Pruefung(3);
        auto Journal = std::make_shared<TSqliteJournal>(Dir->path(), TSqliteJournal::TStorage::Memory);
        (**Store).SetJournal(Journal, [](const QString&) { return TRunOrigin{u"admin"_s, QString()}; });
        NDK->SetFilters(QString());
        Schreiben(Lokal(1) + u"/aufgabe.txt"_s, "Lösung 1");
        Schreiben(Lokal(1) + u"/Ordner/zwei.txt"_s, "zwei");
        QVERIFY(QDir().mkpath(Lokal(3) + u"/leer"_s));
        Schreiben(Dir->filePath(u"draussen/geheim.txt"_s), "nicht für das Archiv");
        QVERIFY(QFile::link(Dir->filePath(u"draussen/geheim.txt"_s), Lokal(2) + u"/datei"_s));
        QVERIFY(QFile::link(Dir->filePath(u"draussen"_s), Lokal(2) + u"/ordner"_s));
        C<QSpinBox>("spBenutzerZahl")->setValue(4); // EDV1_B04 does not exist

        const QString Zip = Dir->filePath(u"pruefung.zip"_s);
        QString Plan;
        Antworten(Zip, true, &Plan);
        C<QPushButton>("buPruefungBeenden")->click();
        for (const QString& Line : {u"EDV1_B01: 2 Dateien, 13 Byte aus "_s + HomeBase + u"\\EDV1\\EDV1_B01"_s,
                                    u"EDV1_B02: datei wird nicht gesammelt (Verknüpfung)"_s,
                                    u"EDV1_B02: ordner wird nicht gesammelt (Verknüpfung)"_s,
                                    u"EDV1_B04: nicht vorhanden, wird übersprungen"_s})
            QVERIFY2(Plan.split(u'\n').contains(Line), qPrintable(Line + u"\n--\n"_s + Plan));
        QVERIFY(!Plan.contains(u"geheim"_s));

        const QMap<QString, QByteArray> Inhalt = ZipInhalt(Zip);
        QCOMPARE(Inhalt.keys(),
                 (QStringList{u"EDV1_B01/"_s, u"EDV1_B01/Ordner/"_s, u"EDV1_B01/Ordner/zwei.txt"_s,
                              u"EDV1_B01/aufgabe.txt"_s, u"EDV1_B02/"_s, u"EDV1_B03/"_s, u"EDV1_B03/leer/"_s,
                              u"Inhalt.txt"_s}));
        QCOMPARE(Inhalt.value(u"EDV1_B01/aufgabe.txt"_s), QByteArray("Lösung 1"));
        const QString Liste = QString::fromUtf8(Inhalt.value(u"Inhalt.txt"_s));
        for (const QString& Line : {u"  aufgabe.txt  9 Byte"_s, u"  datei  nicht gesammelt: Verknüpfung"_s,
                                    u"  2 Dateien, 13 Byte"_s, u"EDV1_B04: nicht vorhanden"_s})
            QVERIFY2(Liste.contains(Line), qPrintable(Line + u"\n--\n"_s + Liste));

        for (int N = 1; N <= 3; ++N) {
            QCOMPARE(NDK->GetNetworkAddresses(Konto(N)), QString());
            QVERIFY(!Passwort(N, u"GEHEIM"_s) && !Passwort(N, QString()));
        }
        QCOMPARE(Text("laNewUser"),
                 u"3 Konten gesperrt, 2 Dateien (13 Byte) in "_s + QDir::toNativeSeparators(Zip));
        QVERIFY(C<QPushButton>("buPruefungBeenden")->isEnabled() &&
                C<QPushButton>("buCreateUser")->isEnabled());

        // The journal: the archive, then per account its password and its restriction as it was.
        const std::vector<TJournalRun> Runs = Journal->Runs();
        QCOMPARE(Runs.size(), size_t(1));
        QCOMPARE(Runs[0].Kind + u'|' + Runs[0].Login + u'|' + Runs[0].Result,
                 u"Prüfung beenden|admin|3 Konten gesperrt, 0 nicht"_s);
        QStringList Changes;
        for (const TRunChange& Change : Journal->Changes(Runs[0].Id))
            Changes << ChangeKindName(Change.Kind) + u' ' +
                           (Change.Kind == TRunChange::TKind::WriteFile ? QFileInfo(Change.Target).fileName()
                                                                        : Change.Target.section(u'\\', -1)) +
                           u' ' +
                           (Change.Kind == TRunChange::TKind::WriteField
                                ? Change.Detail + u' ' + QString::number(Change.Before.size())
                                : QString());
        QCOMPARE(Changes.mid(0, 4),
                 (QStringList{u"failure EDV1_B04 "_s, u"write-file pruefung.zip "_s,
                              u"failure EDV1_B02/datei "_s, u"failure EDV1_B02/ordner "_s}));
        QCOMPARE(Changes.mid(4, 2), (QStringList{u"set-password EDV1_B01 "_s,
                                                 u"write-field EDV1_B01 Network Address Restriction 1"_s}));
        QCOMPARE(Changes.size(), 10);
        // The confirmation's dry run listed the same changes, item for item.
        QStringList Journaled;
        for (const TRunChange& Change : Journal->Changes(Runs[0].Id))
            Journaled << ChangeLines(Change, true);
        const QString Dry = Plan.section(u"Änderungen (Probelauf, noch ist nichts geschehen):\n"_s, 1);
        QVERIFY2(Dry.startsWith(Journaled.join(u'\n') + u"\n\nProtokoll des Laufs:"_s),
                 qPrintable(Dry + u"\n--\n"_s + Journaled.join(u'\n')));
    }

    // A folder swapped for a link out of the home folder after it was listed: what lies behind
    // the link is never read, and the list says so.
    void swappedForALink() {
        Pruefung(1);
        Schreiben(Lokal(1) + u"/sub/y.txt"_s, "eigene Arbeit");
        Schreiben(Dir->filePath(u"draussen/y.txt"_s), "fremd");
        const QString Zip = Dir->filePath(u"p.zip"_s);
        bool Getauscht = false;
        TPruefungEnde Ende(*NDK, [&](int Schritt, int, const QString&) {
            if (Schritt == 0 && !Getauscht) {
                Getauscht = QDir(Lokal(1) + u"/sub"_s).removeRecursively() &&
                            QFile::link(Dir->filePath(u"draussen"_s), Lokal(1) + u"/sub"_s);
            }
            return true;
        });
        const TPruefungEndeErgebnis E = Ende.Ausfuehren({Kurs, u"EDV1_B%2.2d"_s, 1, 1, Zip});
        QVERIFY(Getauscht);
        QCOMPARE(ZipInhalt(Zip).value(u"EDV1_B01/sub/y.txt"_s), QByteArray());
        QVERIFY2(E.Ausgelassen.size() == 1 && E.Ausgelassen[0].startsWith(u"EDV1_B01/sub/y.txt: "_s),
                 qPrintable(E.Ausgelassen.join(u'\n')));
        QVERIFY(QString::fromUtf8(ZipInhalt(Zip).value(u"Inhalt.txt"_s))
                    .contains(u"  sub/y.txt  nicht lesbar: "_s));
        QCOMPARE(E.Gesperrt, QStringList{u"EDV1_B01"_s});
    }

    // What keeps every account as it was, and an account whose password cannot be set keeping its
    // restriction.
    void keptAsItWas_data() {
        QTest::addColumn<QString>("Case");
        QTest::addColumn<QStringList>("Locked"); // accounts that end without restriction
        QTest::addColumn<QString>("Box");        // the start of the last box shown
        QTest::newRow("save dialog cancelled") << u"cancel save"_s << QStringList() << QString();
        QTest::newRow("no account of the series")
            << u"none"_s << QStringList()
            << u"Information|In EDV1.schueler.unterricht gibt es keines der Konten "_s;
        QTest::newRow("confirmation cancelled") << u"cancel plan"_s << QStringList() << QString();
        QTest::newRow("archive not writable") << u"no folder"_s << QStringList() << u"Fehler|Das Archiv "_s;
        QTest::newRow("first password fails")
            << u"password"_s << QStringList{u"EDV1_B02"_s}
            << u"Fehler|Diese Konten wurden nicht gesperrt:\nEDV1_B01: Passwort nicht gesetzt, "
               "Netzwerkadressbeschränkung bleibt"_s;
    }
    void keptAsItWas() {
        QFETCH(QString, Case);
        QFETCH(QStringList, Locked);
        QFETCH(QString, Box);
        Pruefung(2);
        TModalSeam::Clear();
        const QString Zip =
            Case == u"no folder"_s ? Dir->filePath(u"fehlt/p.zip"_s) : Dir->filePath(u"p.zip"_s);
        if (Case == u"none"_s)
            C<QSpinBox>("spBenutzerVon")->setValue(30);
        else
            Antworten(Case == u"cancel save"_s ? QString() : Zip, Case != u"cancel plan"_s, nullptr, [&Case] {
                // After the dry run of the confirmation: the real run's first password fails.
                if (Case == u"password"_s)
                    TFaultInjection::FailNext(u"NWDSChangeObjectPassword"_s, 1, {}, -601);
            });
        C<QPushButton>("buPruefungBeenden")->click();
        for (int N = 1; N <= 2; ++N) {
            const bool Gesperrt = Locked.contains(TNDK::PathToDotted(Konto(N)).section(u'.', 0, 0));
            QCOMPARE(NDK->GetNetworkAddresses(Konto(N)).isEmpty(), Gesperrt);
            QCOMPARE(Passwort(N, u"GEHEIM"_s), !Gesperrt);
        }
        QCOMPARE(QFileInfo::exists(Zip), Case == u"password"_s);
        const QStringList Shown = TModalSeam::Shown().filter(u"|"_s);
        QVERIFY2(Box.isEmpty() ? Shown.isEmpty() : Shown.value(Shown.size() - 1).startsWith(Box),
                 qPrintable(Shown.join(u"\n--\n"_s)));
    }

    // Twelve accounts, three of them bound to seats of the room: two pages of slips with cut
    // marks, the password only when ticked and typed; then the same into a PDF file.
    void slips() {
        Pruefung(3);
        for (int N = 4; N <= 12; ++N)
            NDK->AddUser(Kurs, u"EDV1_B%1"_s.arg(N, 2, 10, QLatin1Char('0')), u"X"_s, QString());
        const auto Slips = [&](bool Mit, const QString& Pdf = QString()) {
            Answer::With<QDialog>([Mit](QDialog& D) {
                Child<QCheckBox>(&D, u"chZettelPasswort"_s)->setChecked(Mit);
                Child<QLineEdit>(&D, u"edZettelPasswort"_s)->setText(u"geheim"_s);
                return int(QDialog::Accepted);
            });
            TModalSeam::Push(TPrintDialog::AcceptToPdf(Pdf.isEmpty() ? Dir->filePath(u"x.pdf"_s) : Pdf));
            C<QToolButton>("spPrintSlips")->click();
        };
        Slips(false);
        QCOMPARE(Paper.Pages(1), 2);
        const QStringList Erster = Paper.TextsOf(1, 1);
        for (const QString& Line :
             {u"Anmeldung am 13.06.2003"_s, u"Anmeldename: EDV1_B01"_s, u"Arbeitsplatz: WS01"_s,
              u"Raum: EDV1"_s, u"Arbeitsplatz: beliebig"_s, u"Seite 1/2"_s})
            QVERIFY2(Erster.contains(Line), qPrintable(Line + u"\n--\n"_s + Erster.join(u'\n')));
        QCOMPARE(Erster.filter(u"Anmeldename: "_s).size(), 10);
        QCOMPARE(Paper.TextsOf(1, 2).filter(u"Anmeldename: "_s).size(), 2);
        QCOMPARE(Erster.filter(u"Passwort: "_s), QStringList(10, u"Passwort: "_s));
        // Cut marks at the 3 x 6 corners of the grid, and a line to write each password on.
        QCOMPARE(Paper.Lines(1, 1).size(), 3 * 6 * 2 + 10);

        Slips(true);
        QCOMPARE(Paper.TextsOf(2, 2).filter(u"Passwort: "_s), QStringList(2, u"Passwort: geheim"_s));

        TPrintDialog::SetRecorder(nullptr);
        const QString Pdf = Dir->filePath(u"zettel.pdf"_s);
        Slips(false, Pdf);
        QPdfDocument Doc;
        QCOMPARE(Doc.load(Pdf), QPdfDocument::Error::None);
        QCOMPARE(Doc.pageCount(), 2);
        QVERIFY(Doc.getAllText(1).text().contains(u"EDV1_B12"_s));
    }

    // The exam password is hidden until the eye button shows it.
    void passwordHidden() {
        auto* Pass = C<QLineEdit>("edPass");
        QCOMPARE(Pass->echoMode(), QLineEdit::Password);
        C<QToolButton>("spPassZeigen")->click();
        QCOMPARE(Pass->echoMode(), QLineEdit::Normal);
        C<QToolButton>("spPassZeigen")->click();
        QCOMPARE(Pass->echoMode(), QLineEdit::Password);
    }
};

PARVON_TEST_MAIN(TstPruefungEnde)
#include "tst_pruefungende.moc"
