#include <AppFixture.h>
#include <TestMain.h>

#include <FaultInjection.h>
#include <ndk_u.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLayout>
#include <QMimeData>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

using namespace Qt::StringLiterals;

using namespace Demo;

// The inputs of the tab "neue Klasse": the name filter, the change handlers, the login-script
// source, the file dialog and the enabling rules of the refresh.
class TKlassenTabTest : public TAppFixture {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Store = std::make_unique<TTestStore>(); }
    void cleanupTestCase() { Store.reset(); }
    void init() { StartCaseInWindow(); }
    void cleanup() { EndCase(); }

    void controls_data();
    void controls();
    void controlsTopToBottom();
    void typedName_data();
    void typedName();
    void pastedName_data();
    void pastedName();
    void droppedName();
    void nameEnablesButton();
    void changeMarks_data();
    void changeMarks();
    void baseWithoutBackslash_data();
    void baseWithoutBackslash();
    void loginSourceSwitch();
    void loginFileDialog();
    void refresh_data();
    void refresh();
    void refreshRunsOnTimer();
};

void TKlassenTabTest::controls_data() {
    QTest::addColumn<QString>("Name");
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Hint");
    QTest::newRow("Label1") << "Label1"
                            << "Name der Klasse"
                            << "";
    QTest::newRow("EdNeueklasse") << "EdNeueklasse"
                                  << ""
                                  << "";
    QTest::newRow("Label3") << "Label3"
                            << "Klasse anlegen in (Basis-Container)"
                            << "";
    QTest::newRow("EdContainer") << "EdContainer"
                                 << "schueler.unterricht"
                                 << "OU auswählen, in der Klassen angelegt werden";
    QTest::newRow("SpContainer") << "SpContainer"
                                 << "..."
                                 << "";
    QTest::newRow("Label4") << "Label4"
                            << "Loginscript übernehmen : "
                            << "";
    QTest::newRow("chLogKlasse") << "chLogKlasse"
                                 << "von Klasse"
                                 << "";
    QTest::newRow("chLogDatei") << "chLogDatei"
                                << "aus Datei"
                                << "";
    QTest::newRow("EdLoginscript") << "EdLoginscript"
                                   << ""
                                   << "";
    QTest::newRow("SpLoginscript") << "SpLoginscript"
                                   << "..."
                                   << "Klasse mit korrektem Loginscript  auswählen mit ";
    QTest::newRow("spLogDatei") << "spLogDatei"
                                << "..."
                                << "";
    QTest::newRow("Label15") << "Label15"
                             << "Basisverzeichnis für Klassenverzeichnis (BasisHomeDir)"
                             << "";
    QTest::newRow("edHomeBase") << "edHomeBase" << HomeBase << "";
    QTest::newRow("spHomeBase") << "spHomeBase"
                                << "..."
                                << "";
    QTest::newRow("GroupBox1") << "GroupBox1"
                               << " Klassentauschverzeichnis "
                               << "";
    QTest::newRow("chTausch") << "chTausch"
                              << "Tauschverzeichnis anlegen"
                              << "";
    QTest::newRow("raTausch") << "raTausch"
                              << " Schüler können "
                              << "";
    QTest::newRow("Label14") << "Label14"
                             << "Basispfad für Klassentauschverz."
                             << "";
    QTest::newRow("edTauschbase") << "edTauschbase" << TauschBase << "";
    QTest::newRow("buTauschBase") << "buTauschBase"
                                  << "..."
                                  << "";
    QTest::newRow("chTemplate") << "chTemplate"
                                << "User_Template in Klasse anlegen"
                                << "";
    QTest::newRow("Label5") << "Label5"
                            << "Muster User_Template (als Vorlage)"
                            << "";
    QTest::newRow("EdTemplate") << "EdTemplate"
                                << "User_Template.schueler.unterricht"
                                << "";
    QTest::newRow("SpTemplate") << "SpTemplate"
                                << "..."
                                << "User_Template in einer Klasse auswählen";
    QTest::newRow("MeProtokol") << "MeProtokol"
                                << ""
                                << "";
    QTest::newRow("BuAnlegen") << "BuAnlegen"
                               << "anlegen"
                               << "neue Klasse anlegen";
}

void TKlassenTabTest::controls() {
    QFETCH(QString, Name);
    QFETCH(QString, Text);
    QFETCH(QString, Hint);
    QWidget* W = T->findChild<QWidget*>(Name);
    QVERIFY(W);
    QString Shown;
    if (auto* L = qobject_cast<QLabel*>(W))
        Shown = L->text();
    else if (auto* E = qobject_cast<QLineEdit*>(W))
        Shown = E->text();
    else if (auto* B = qobject_cast<QAbstractButton*>(W))
        Shown = B->text();
    else if (auto* G = qobject_cast<QGroupBox*>(W))
        Shown = G->title();
    else if (auto* M = qobject_cast<QPlainTextEdit*>(W))
        Shown = M->toPlainText();
    QCOMPARE(Shown, Text);
    QCOMPARE(W->toolTip(), Hint);
    if (auto* E = qobject_cast<QLineEdit*>(W))
        QCOMPARE(E->isReadOnly(), Name != QLatin1String("EdNeueklasse"));
}

void TKlassenTabTest::controlsTopToBottom() {
    // Read top to bottom, and left to right within a row, the controls come in the order of the
    // inputs; the two login-script buttons share one place.
    Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
    U.MeProtokol->show();
    T->layout()->activate();
    const QStringList Order{
        u"Label1"_s,   u"EdNeueklasse"_s, u"Label3"_s,       u"EdContainer"_s,   u"SpContainer"_s,
        u"Label4"_s,   u"chLogKlasse"_s,  u"chLogDatei"_s,   u"EdLoginscript"_s, u"SpLoginscript"_s,
        u"Label15"_s,  u"edHomeBase"_s,   u"spHomeBase"_s,   u"GroupBox1"_s,     u"chTausch"_s,
        u"raTausch"_s, u"Label14"_s,      u"edTauschbase"_s, u"buTauschBase"_s,  u"chTemplate"_s,
        u"Label5"_s,   u"EdTemplate"_s,   u"SpTemplate"_s,   u"MeProtokol"_s,    u"BuAnlegen"_s};
    QPoint Last(-1, -1);
    QString LastName;
    for (const QString& Name : Order) {
        auto* W = T->findChild<QWidget*>(Name);
        QVERIFY2(W && W->isVisible(), qPrintable(Name));
        const QPoint P = W->mapTo(T, QPoint(0, 0));
        QVERIFY2(P.y() > Last.y() || (P.y() == Last.y() && P.x() > Last.x()),
                 qPrintable(LastName + QStringLiteral(" before ") + Name));
        Last = P;
        LastName = Name;
    }
    const QRect Klasse = U.SpLoginscript->geometry();
    QTest::mouseClick(U.chLogDatei, Qt::LeftButton);
    QVERIFY(U.spLogDatei->isVisible() && !U.SpLoginscript->isVisible());
    QCOMPARE(U.spLogDatei->geometry(), Klasse);
}

void TKlassenTabTest::typedName_data() {
    QTest::addColumn<QString>("Typed");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("allowed") << "Klasse_7a09"
                             << "Klasse_7a09";
    QTest::newRow("blank") << "7a b"
                           << "7ab";
    QTest::newRow("hyphen") << "10-1"
                            << "101";
    QTest::newRow("umlauts and sharp s") << "Müßig_Ä"
                                         << "Mig_";
    QTest::newRow("path characters") << "..\\x/y:z"
                                     << "xyz";
    QTest::newRow("only forbidden") << ".,;!"
                                    << "";
    QTest::newRow("longer than a container name") << QString(100, u'k') << QString(64, u'k');
}

void TKlassenTabTest::typedName() {
    QFETCH(QString, Typed);
    QFETCH(QString, Expected);
    // Key by key, as a keyboard delivers them (also keys outside ASCII).
    for (QChar Ch : Typed) {
        if (Ch.unicode() < 0x80)
            QTest::keyClick(U.EdNeueklasse, char(Ch.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, U.EdNeueklasse, Qt::Key_unknown, QString(Ch), Qt::NoModifier);
    }
    QCOMPARE(U.EdNeueklasse->text(), Expected);
    // Backspace still edits.
    if (!Expected.isEmpty()) {
        QTest::keyClick(U.EdNeueklasse, Qt::Key_Backspace);
        QCOMPARE(U.EdNeueklasse->text(), Expected.chopped(1));
    }
}

void TKlassenTabTest::pastedName_data() {
    QTest::addColumn<QString>("Pasted");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("climbing path") << "..\\x"
                                   << "x";
    QTest::newRow("blank") << "7a b"
                           << "7ab";
    QTest::newRow("line break and tab") << "5\r\nb\tc"
                                        << "5bc";
    QTest::newRow("unicode letters") << "Ωmega٣"
                                     << "mega";
}

void TKlassenTabTest::pastedName() {
    QFETCH(QString, Pasted);
    QFETCH(QString, Expected);
    QGuiApplication::clipboard()->setText(Pasted);
    U.EdNeueklasse->setFocus();
    QTest::keyClick(U.EdNeueklasse, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(U.EdNeueklasse->text(), Expected);
    // Into the middle of a name, and set by code: the same filter.
    U.EdNeueklasse->setText(QStringLiteral("ab"));
    U.EdNeueklasse->setCursorPosition(1);
    U.EdNeueklasse->paste();
    QCOMPARE(U.EdNeueklasse->text(), u'a' + Expected + u'b');
    U.EdNeueklasse->setText(Pasted);
    QCOMPARE(U.EdNeueklasse->text(), Expected);
}

void TKlassenTabTest::droppedName() {
    // A drop inserts through the same path as typing and pasting.
    auto* Mime = new QMimeData;
    Mime->setText(QStringLiteral("../etc 1"));
    const QPoint At = U.EdNeueklasse->rect().center();
    QDragEnterEvent Enter(At, Qt::CopyAction, Mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(U.EdNeueklasse, &Enter);
    QDropEvent Drop(QPointF(At), Qt::CopyAction, Mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(U.EdNeueklasse, &Drop);
    delete Mime;
    QCOMPARE(U.EdNeueklasse->text(), QStringLiteral("etc1"));
}

void TKlassenTabTest::nameEnablesButton() {
    U.BuAnlegen->setEnabled(false);
    U.EdNeueklasse->setText(QStringLiteral("5a"));
    QVERIFY(U.BuAnlegen->isEnabled());
    U.EdNeueklasse->clear();
    QVERIFY(!U.BuAnlegen->isEnabled());
}

void TKlassenTabTest::changeMarks_data() {
    QTest::addColumn<QString>("Action");
    QTest::newRow("EdContainer") << "EdContainer";
    QTest::newRow("EdLoginscript") << "EdLoginscript";
    QTest::newRow("EdTemplate") << "EdTemplate";
    QTest::newRow("edHomeBase") << "edHomeBase";
    QTest::newRow("edTauschbase") << "edTauschbase";
    QTest::newRow("chTausch") << "chTausch";
    QTest::newRow("raTausch") << "raTausch";
    QTest::newRow("chTemplate") << "chTemplate";
}

void TKlassenTabTest::changeMarks() {
    QFETCH(QString, Action);
    K().Geaendert = false;
    if (auto* E = T->findChild<QLineEdit*>(Action))
        E->setText(E->text() + QStringLiteral("x"));
    else if (Action == QLatin1String("raTausch"))
        U.raTausch->Button(1)->click();
    else
        T->findChild<QAbstractButton*>(Action)->click();
    QVERIFY(K().Geaendert);
    // The name is not configuration.
    K().Geaendert = false;
    U.EdNeueklasse->setText(QStringLiteral("7b"));
    QVERIFY(!K().Geaendert);
}

void TKlassenTabTest::baseWithoutBackslash_data() {
    QTest::addColumn<QString>("Typed");
    QTest::addColumn<QString>("Held");
    QTest::newRow("plain") << "\\\\SRV1\\DATA\\k"
                           << "\\\\SRV1\\DATA\\k";
    QTest::newRow("one backslash") << "\\\\SRV1\\DATA\\k\\"
                                   << "\\\\SRV1\\DATA\\k";
    QTest::newRow("only the last one") << "H:\\k\\\\"
                                       << "H:\\k\\";
}

void TKlassenTabTest::baseWithoutBackslash() {
    QFETCH(QString, Typed);
    QFETCH(QString, Held);
    U.edHomeBase->setText(Typed);
    U.edTauschbase->setText(Typed);
    QCOMPARE(K().HomeBase, Held);
    QCOMPARE(K().TauschBase, Held);
    QCOMPARE(U.edHomeBase->text(), Typed);
    QCOMPARE(U.edTauschbase->text(), Typed);
}

void TKlassenTabTest::loginSourceSwitch() {
    U.EdLoginscript->setText(QStringLiteral("5a.schueler.unterricht"));
    K().Geaendert = false;
    K().LoginKlasse = Klasse5a;

    // "aus Datei": file mode.
    U.chLogDatei->click();
    QVERIFY(U.chLogDatei->isChecked());
    QVERIFY(!U.chLogKlasse->isChecked());
    QVERIFY(U.SpLoginscript->isHidden());
    QVERIFY(!U.spLogDatei->isHidden());
    QVERIFY(U.EdLoginscript->text().isEmpty());
    QVERIFY(K().Geaendert);
    QCOMPARE(K().LoginKlasse, Klasse5a);

    // Clearing the checked "aus Datei" returns to class mode.
    U.EdLoginscript->setText(QStringLiteral("C:\\a.txt"));
    U.chLogDatei->click();
    QVERIFY(U.chLogKlasse->isChecked());
    QVERIFY(!U.chLogDatei->isChecked());
    QVERIFY(!U.SpLoginscript->isHidden());
    QVERIFY(U.spLogDatei->isHidden());
    QVERIFY(U.EdLoginscript->text().isEmpty());

    // Clearing "von Klasse" goes to file mode; exactly one box is checked in every state.
    U.chLogKlasse->click();
    QVERIFY(!U.chLogKlasse->isChecked() && U.chLogDatei->isChecked());
    // The configuration holds the mode and, in file mode, the file as shown: the file of the
    // earlier file mode is gone.
    QVERIFY(!K().LoginVonKlasse);
    QCOMPARE(K().LoginDatei, QString());
    U.EdLoginscript->setText(QStringLiteral("C:\\b.txt"));
    QCOMPARE(K().LoginDatei, QStringLiteral("C:\\b.txt"));
    U.chLogKlasse->click();
    QVERIFY(U.chLogKlasse->isChecked() && !U.chLogDatei->isChecked());
    QVERIFY(K().LoginVonKlasse);
}

void TKlassenTabTest::loginFileDialog() {
    U.chLogDatei->click();
    const QString File = Dir->filePath(QStringLiteral("login.txt"));
    QFile F(File);
    QVERIFY(F.open(QIODevice::WriteOnly));
    F.close();

    QStringList Filters;
    QString Suffix, Start, Date;
    bool NonNative = false;
    QSize Size;
    Answer::With<QFileDialog>([&](QFileDialog& Dlg) {
        Filters = Dlg.nameFilters();
        Suffix = Dlg.defaultSuffix();
        Start = Dlg.directory().absolutePath();
        NonNative = Dlg.testOption(QFileDialog::DontUseNativeDialog);
        Size = Dlg.size();
        Dlg.selectFile(File);
        // The file's date as the dialog shows it, once the listing has arrived.
        const auto* Details = Dlg.findChild<QTreeView*>(u"treeView"_s);
        // The date is checked after the dialog closed.
        static_cast<void>(QTest::qWaitFor([&] {
            const QAbstractItemModel* M = Details->model();
            for (int R = 0; R < M->rowCount(Details->rootIndex()); ++R)
                if (M->index(R, 0, Details->rootIndex()).data().toString() == u"login.txt"_s)
                    Date = M->index(R, 3, Details->rootIndex()).data().toString();
            return !Date.isEmpty();
        }));
        return int(QDialog::Accepted);
    });
    U.spLogDatei->click();
    QCOMPARE(Filters, (QStringList{u"Textdateien (*.txt)"_s, u"Alle Dateien (*.*)"_s}));
    QCOMPARE(Suffix, QStringLiteral("txt"));
    QCOMPARE(Start, QDir(QCoreApplication::applicationDirPath()).absolutePath());
    QVERIFY(NonNative);
    // A size at which the columns can be read, and German dates whatever the workstation's locale
    // (the test machine has none).
    QCOMPARE(Size, QSize(800, 500));
    QCOMPARE(Date, QLocale(QLocale::German).toString(QFileInfo(File).lastModified(), u"dd.MM.yyyy HH:mm"_s));
    QCOMPARE(U.EdLoginscript->text(), QDir::toNativeSeparators(File));

    // Cancelled: nothing changes.
    TModalSeam::Push([](QDialog&) { return int(QDialog::Rejected); });
    U.spLogDatei->click();
    QCOMPARE(U.EdLoginscript->text(), QDir::toNativeSeparators(File));
}

void TKlassenTabTest::refresh_data() {
    // Inputs: name, container, login source, template box, template, home base, exchange box, exchange base.
    QTest::addColumn<QString>("Inputs"); // eight places, "1" filled/checked, "0" empty/unchecked
    QTest::addColumn<bool>("Anlegen");
    QTest::newRow("everything") << "11111111" << true;
    QTest::newRow("no name") << "01111111" << false;
    QTest::newRow("no container") << "10111111" << false;
    QTest::newRow("no login source") << "11011111" << false;
    QTest::newRow("template box, no template") << "11110111" << false;
    QTest::newRow("no template box, no template") << "11100111" << true;
    QTest::newRow("no home base") << "11111011" << false;
    QTest::newRow("exchange box, no exchange base") << "11111110" << false;
    QTest::newRow("no exchange box, no exchange base") << "11111100" << true;
    QTest::newRow("nothing") << "00000000" << false;
}

void TKlassenTabTest::refresh() {
    QFETCH(QString, Inputs);
    QFETCH(bool, Anlegen);
    Child<QTimer>(Form.get(), u"Timer3"_s)->stop();
    auto On = [&](int I) { return Inputs.at(I) == u'1'; };
    auto Fill = [&](QLineEdit* E, int I, const char* Text) {
        E->setText(On(I) ? QLatin1String(Text) : QString());
    };
    Fill(U.EdNeueklasse, 0, "5a");
    Fill(U.EdContainer, 1, "schueler.unterricht");
    Fill(U.EdLoginscript, 2, "4a.schueler.unterricht");
    U.chTemplate->setChecked(On(3));
    Fill(U.EdTemplate, 4, "User_Template.schueler.unterricht");
    Fill(U.edHomeBase, 5, "\\\\SRV1\\DATA\\home");
    U.chTausch->setChecked(On(6));
    Fill(U.edTauschbase, 7, "\\\\SRV1\\DATA\\tausch");
    T->KlassentabAktualisieren();

    QCOMPARE(U.BuAnlegen->isEnabled(), Anlegen);
    QCOMPARE(U.SpLoginscript->isEnabled(), On(1));
    QCOMPARE(U.SpTemplate->isEnabled(), On(3));
    QCOMPARE(U.EdTemplate->isEnabled(), On(3));
    QCOMPARE(U.edTauschbase->isEnabled(), On(6));
    const QColor ButtonFace = T->palette().color(QPalette::Button);
    QCOMPARE(U.EdTemplate->palette().color(QPalette::Base), On(3) ? QColor(Qt::white) : ButtonFace);
    QCOMPARE(U.edTauschbase->palette().color(QPalette::Base), On(6) ? QColor(Qt::white) : ButtonFace);
    for (QToolButton* B : {U.SpContainer, U.spLogDatei, U.spHomeBase, U.buTauschBase})
        QVERIFY2(B->isEnabled(), qPrintable(B->objectName()));
}

void TKlassenTabTest::refreshRunsOnTimer() {
    // Within the refresh period the button follows the inputs, without a call.
    U.EdLoginscript->setText(QStringLiteral("4a.schueler.unterricht"));
    U.EdNeueklasse->setText(QStringLiteral("5a"));
    QTRY_VERIFY(U.BuAnlegen->isEnabled());
    U.edHomeBase->clear();
    QTRY_VERIFY(!U.BuAnlegen->isEnabled());
    // Without a "CreateTausch" key the box starts unchecked.
    QTRY_VERIFY(!U.edTauschbase->isEnabled());
    U.chTausch->click();
    QTRY_VERIFY(U.edTauschbase->isEnabled());
}

PARVON_TEST_MAIN(TKlassenTabTest)
#include "tst_klassentab.moc"
