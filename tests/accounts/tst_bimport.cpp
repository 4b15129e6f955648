// The BImport file and the tab "Datei für Bimport": the file's lines and bytes, the inputs and
// failures that leave an existing file as it was, the course picker, the preview on its events and
// the save dialog.

#include <AppFixture.h>

#include <BImportDatei.h>
#include <BImportTab_U.h>

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMimeDatabase>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>
#include <TestMain.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TBImportEingaben)

class TBImportTest : public TAppFixture {
    Q_OBJECT

    const TBImportEingaben Design{u"EDV1_B%2.2d"_s, u"EDV1"_s, u"Prüfling"_s, 16};
    TBImportTab* Tab = nullptr;
    QString File() const { return Dir->filePath(u"bimport.txt"_s); }
    QByteArray Read() const {
        QFile F(File());
        return F.open(QIODevice::ReadOnly) ? F.readAll() : "<missing>"_ba;
    }
    // Writes the file over an earlier one and answers what that raised ("" for nothing).
    QString Run(const TBImportEingaben& E) {
        QFile F(File());
        if (!F.open(QIODevice::WriteOnly) || F.write("vorher\r\n") != 8)
            qFatal("cannot write the earlier file");
        F.close();
        try {
            return BImportSchreiben(File(), E) ? QString() : u"not created"_s;
        } catch (const std::exception& Error) {
            return QString::fromUtf8(Error.what());
        }
    }

    template <typename TControl> TControl* Control(const char* Name) const {
        return Child<TControl>(Tab, QLatin1String(Name));
    }
    QString First() const { return Control<QLabel>("lafirst")->text(); }
    QString Last() const { return Control<QLabel>("laLast")->text(); }
    static QString Line(const QString& Name, const QString& Kurs, const QString& Vorname = u"Prüfling"_s) {
        return u"\"%1\",\"%2\",\"%1\",\"%3\",\"%3 %1\""_s.arg(Name, Kurs, Vorname);
    }
    // The next save dialog chooses Path; Seen gets the dialog's title, filters and default suffix.
    static void Save(const QString& Path, QStringList* Seen = nullptr) {
        Answer::With<QFileDialog>([=](QFileDialog& Dlg) {
            if (Seen)
                *Seen = QStringList{Dlg.windowTitle(), Dlg.defaultSuffix()} + Dlg.nameFilters();
            const bool Expected = Dlg.acceptMode() == QFileDialog::AcceptSave &&
                                  Dlg.testOption(QFileDialog::DontConfirmOverwrite);
            Dlg.selectFile(Path);
            return int(Expected ? QDialog::Accepted : QDialog::Rejected);
        });
    }

private Q_SLOTS:
    void initTestCase() { Store = std::make_unique<TTestStore>(); }
    void cleanupTestCase() { Store.reset(); }
    void init() {
        StartCase();
        WriteIni("[config]\r\nBImport=TRUE\r\n"_ba);
        OpenForm();
        Tab = Child<TBImportTab>(Form.get(), u"TabBimport"_s);
    }
    void cleanup() { EndCase(); }

    void ChooseCourse() {
        TModalSeam::Push([](QDialog&) { return int(QDialog::Rejected); }); // cancelled: nothing changes
        Control<QToolButton>("spKurs")->click();
        QCOMPARE(Control<QLineEdit>("edKurs")->text(), u"EDV1"_s);
        TPickerSeen Seen;
        Answer::Picker(Demo::Klasse5a, &Seen);
        Control<QToolButton>("spKurs")->click();
        QCOMPARE(Seen.Caption, u" OU für neue Klasse wählen"_s);
        QCOMPARE(Seen.Base, Demo::Schueler);
        QCOMPARE(Control<QLineEdit>("edMaske1")->text(), u"5a_B%%"_s);
        QCOMPARE(First(), Line(u"5a_B01"_s, u"5a"_s));
        QCOMPARE(Last(), Line(u"5a_B16"_s, u"5a"_s));
    }

    void PreviewFollowsTheInputs() {
        auto* Maske = Control<QLineEdit>("edMaske1");
        auto* Zahl = Control<QSpinBox>("spZahl");
        QCOMPARE(First(), QString());
        Form->show(); // shown, the tab brings its preview up to date
        Of<QTabWidget>(Form, "PageControl1")->setCurrentWidget(Tab);
        QCOMPARE(First(), Line(u"EDV1_B01"_s, u"EDV1"_s));
        Maske->setText(u"R%%"_s);
        Zahl->setValue(0);
        QCOMPARE(Last(), Line(u"R00"_s, u"EDV1"_s));
        Zahl->setValue(100);
        QCOMPARE(Last(), Line(u"R100"_s, u"EDV1"_s));
        // Without "%%" the earlier mask stays in force, and the preview as it was.
        Maske->setText(u"ohne Nummer"_s);
        Zahl->setValue(7);
        QCOMPARE(Last(), Line(u"R100"_s, u"EDV1"_s));
        QCOMPARE(Tab->BImportMask(), u"R%2.2d"_s);
        Control<QComboBox>("cbName")->setCurrentIndex(1);
        Maske->setText(u"A%%B%%"_s);
        QCOMPARE(First(), Line(u"A01B%"_s, u"EDV1"_s, u"Teilnehmer"_s));
        Maske->setText(u"X%q%%"_s);
        QCOMPARE(TModalSeam::Shown(), QStringList{u"Fehler|Ungültiges Format in der Maske: X%q%2.2d"_s});
        QCOMPARE(Control<QLabel>("Label9")->text(),
                 u"Es werden die Benutzer EDV1_B01 bis  EDV1_B20 angelegt"_s);
    }

    void WriteTheFile() {
        QStringList Seen;
        Save(File(), &Seen);
        Control<QPushButton>("Button1")->click();
        QCOMPARE(Seen, (QStringList{u"Name und Pfad der BImport-Datei wählen"_s, u"txt"_s,
                                    u"Textdateien (*.txt)"_s, u"Alle Dateien (*.*)"_s}));
        QCOMPARE(Read().count("\r\n"), 16);
        // The dialog starts with the file chosen last.
        QString Start;
        Answer::With<QFileDialog>([&](QFileDialog& Dlg) {
            Start = Dlg.selectedFiles().value(0);
            return int(QDialog::Rejected);
        });
        Control<QPushButton>("Button1")->click();
        QCOMPARE(Start, File());
    }

    void FileCannotBeCreated() {
        const QString Path = Dir->filePath(u"fehlt/kurs.txt"_s);
        Save(Path);
        QMessageBox::StandardButtons Buttons;
        TModalSeam::Push([&](QDialog& D) {
            Buttons = static_cast<QMessageBox&>(D).standardButtons();
            return int(QMessageBox::Cancel);
        });
        Control<QPushButton>("Button1")->click();
        QCOMPARE(TModalSeam::Shown().last(),
                 u"Fehler|"_s + QDir::toNativeSeparators(Path) + u" kann nicht angelegt werden."_s);
        QCOMPARE(Buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void Lines_data() {
        QTest::addColumn<TBImportEingaben>("Eingaben");
        QTest::addColumn<int>("Lines");
        QTest::addColumn<QByteArray>("Last");
        QTest::newRow("design values") << Design << 16
                                       << "\"EDV1_B16\",\"EDV1\",\"EDV1_B16\",\"Pr\xFC"
                                          "fling\",\"Pr\xFC"
                                          "fling EDV1_B16\""_ba;
        QTest::newRow("count 0: empty file")
            << TBImportEingaben{Design.Maske, u"K"_s, u"P"_s, 0} << 0 << ""_ba;
        QTest::newRow("three digits") << TBImportEingaben{u"K%2.2d"_s, u"K"_s, u"T"_s, 120} << 120
                                      << "\"K120\",\"K\",\"K120\",\"T\",\"T K120\""_ba;
        // Windows-1252, not Latin-1: the euro sign is the byte 0x80.
        QTest::newRow("euro sign") << TBImportEingaben{u"E%2.2d"_s, u"K"_s, u"5 €"_s, 1} << 1
                                   << "\"E01\",\"K\",\"E01\",\"5 \x80\",\"5 \x80 E01\""_ba;
    }
    void Lines() {
        QFETCH(TBImportEingaben, Eingaben);
        QFETCH(int, Lines);
        QFETCH(QByteArray, Last);
        QCOMPARE(Run(Eingaben), QString());
        const QByteArray Bytes = Read();
        QCOMPARE(Bytes.count("\r\n"), Lines);
        QCOMPARE(Bytes.count('\n'), Lines);
        QVERIFY(Bytes.endsWith(Last + (Lines ? "\r\n"_ba : ""_ba)));
        if (Lines == 16)
            QVERIFY(Bytes.startsWith("\"EDV1_B01\",\"EDV1\",\"EDV1_B01\",\"Pr\xFC"
                                     "fling\",\"Pr\xFC"
                                     "fling EDV1_B01\"\r\n"));
    }

    void Refused_data() {
        QTest::addColumn<TBImportEingaben>("Eingaben");
        QTest::addColumn<QString>("Message");
        const QString Nothing = u" Es wurde keine Datei geschrieben."_s;
        QTest::newRow("outside the code page")
            << TBImportEingaben{Design.Maske, u"EDV1"_s, u"Člen"_s, 16}
            << u"Das Zeichen „Č“ im Feld „Attribut Vorname“ kann in der BImport-Datei (Zeichensatz "
               u"Windows-1252) nicht gespeichert werden."_s +
                   Nothing;
        QTest::newRow("beyond 16 bits")
            << TBImportEingaben{Design.Maske, u"R😀"_s, u"P"_s, 1}
            << u"Das Zeichen „😀“ im Feld „Raum- bzw. Kursbezeichnung“ kann in der "
               u"BImport-Datei (Zeichensatz Windows-1252) nicht gespeichert werden."_s +
                   Nothing;
        QTest::newRow("quote")
            << TBImportEingaben{u"B\"%2.2d"_s, u"K"_s, u"P"_s, 1}
            << u"Das Zeichen „\"“ im Feld „Maske für Namensgebung“ ist in der BImport-Datei "
               u"nicht erlaubt: es begrenzt dort die Felder."_s +
                   Nothing;
        QTest::newRow("no mask yet")
            << TBImportEingaben{QString(), u"K"_s, u"P"_s, 1}
            << u"Die Maske für Namensgebung enthält kein „%%“ für die Nummer der Benutzer."_s + Nothing;
    }
    void Refused() {
        QFETCH(TBImportEingaben, Eingaben);
        QFETCH(QString, Message);
        QCOMPARE(Run(Eingaben), Message);
        QCOMPARE(Read(), "vorher\r\n"_ba);
    }

    // The save dialog opens in the folder of the file chosen last, beside a pipe and a text file
    // whose name tells no type: it lists them without opening either (the text file's type is the
    // one of its name), and it closes. A file that blocks its reader, as /proc/kmsg does, needs a
    // real device; the pipe stands for it. A helper keeps opening the pipe's other end, so a reader
    // would be counted and let go instead of hanging the test.
    void SaveDialogOpensNothingItLists() {
        const QString Folder = Dir->filePath(u"mit pipe"_s);
        QVERIFY(QDir().mkpath(Folder));
        const QByteArray Pipe = QFile::encodeName(Folder + u"/pipe"_s);
        QCOMPARE(mkfifo(Pipe.constData(), 0600), 0);
        QFile Text(Folder + u"/daten"_s);
        QVERIFY(Text.open(QIODevice::WriteOnly) && Text.write("Text ohne Endung\n") > 0);
        Text.close();
        std::atomic<int> Readers = 0;
        std::mutex M;
        std::condition_variable Cv;
        bool Stop = false;
        std::thread Helper([&] {
            std::unique_lock Lock(M);
            while (!Cv.wait_for(Lock, std::chrono::milliseconds(5), [&] { return Stop; })) {
                const int Fd = ::open(Pipe.constData(), O_WRONLY | O_NONBLOCK);
                if (Fd >= 0) {
                    ++Readers;
                    ::close(Fd);
                }
            }
        });
        Save(Folder + u"/kurs.txt"_s);
        Control<QPushButton>("Button1")->click();
        QString Type;
        Answer::With<QFileDialog>([&](QFileDialog& Dlg) {
            auto* Files = Dlg.findChild<QFileSystemModel*>();
            const auto TypeOf = [&](const QString& Name) {
                const QModelIndex I = Files->index(Folder + u'/' + Name);
                Files->data(I, Qt::DecorationRole);
                return Files->type(I);
            };
            (void)QTest::qWaitFor([&] { return !TypeOf(u"daten"_s).isEmpty(); }, 10000);
            Type = TypeOf(u"daten"_s);
            return int(QDialog::Rejected);
        });
        Control<QPushButton>("Button1")->click();
        {
            const std::lock_guard Lock(M);
            Stop = true;
        }
        Cv.notify_all();
        Helper.join();
        QCOMPARE(Readers.load(), 0);
        QCOMPARE(Type, QMimeDatabase().mimeTypeForName(u"application/octet-stream"_s).comment());
    }

    // A write that fails on the way (here beyond the process's file size limit, as on a full disk)
    // gives the system's reason and leaves the earlier file whole and nothing beside it.
    void WriteFailureKeepsTheOldFile() {
        rlimit Saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &Saved) == 0);
        const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit Small = Saved;
        Small.rlim_cur = 4096;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &Small) == 0);
        const QString Raised = Run(TBImportEingaben{Design.Maske, u"EDV1"_s, u"Prüfling"_s, 5000});
        setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, OldHandler);
        QVERIFY2(Raised.startsWith(u"Die Datei „"_s + QDir::toNativeSeparators(File()) +
                                   u"“ konnte nicht geschrieben"_s),
                 qPrintable(Raised));
        QVERIFY2(Raised.endsWith(u" konnte nicht geschrieben werden ("_s + qt_error_string(EFBIG) +
                                 u"). Eine bereits vorhandene Datei dieses Namens ist unverändert."_s),
                 qPrintable(Raised));
        QCOMPARE(Read(), "vorher\r\n"_ba);
        QCOMPARE(QDir(Dir->path()).entryList(QDir::Files), (QStringList{u"bimport.txt"_s, u"Parvon.ini"_s}));
    }
};

PARVON_TEST_MAIN(TBImportTest)
#include "tst_bimport.moc"
