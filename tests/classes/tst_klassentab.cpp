#include <TestMain.h>
#include <TestStore.h>

#include <KlassenTab_U.h>
#include <ModalSeam.h>
#include <Parvon_U.h>
#include <RadioGroup.h>

#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

// The inputs of the tab "neue Klasse": the name filter, the change handlers, the login-script
// source, the file dialog and the enabling rules of the refresh.
class TKlassenTabTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> Store;
    std::unique_ptr<QTemporaryDir> Dir;
    std::unique_ptr<TForm1> Form;
    TKlassenTab* T = nullptr;

private Q_SLOTS:
    void initTestCase() { Store = std::make_unique<TTestStore>(); }
    void cleanupTestCase() { Store.reset(); }
    void init() {
        TModalSeam::Clear();
        TModalSeam::SetUnattended(true);
        Dir = std::make_unique<QTemporaryDir>();
        Form = std::make_unique<TForm1>(nullptr, Dir->filePath(QStringLiteral("Parvon.ini")));
        T = Form->tabNeueKlasse;
    }
    void cleanup() {
        QCOMPARE(TModalSeam::Pending(), 0);
        Form->KonfigGeaendert = false;
        Form.reset();
        TModalSeam::Clear();
    }

    void controls_data();
    void controls();
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
    QTest::newRow("Label1") << "Label1" << "Name der Klasse" << "";
    QTest::newRow("EdNeueklasse") << "EdNeueklasse" << "" << "";
    QTest::newRow("Label3") << "Label3" << "Klasse anlegen in (Basis-Container)" << "";
    QTest::newRow("EdContainer") << "EdContainer" << "schueler.unterricht" << "OU auswählen, in der Klassen angelegt werden";
    QTest::newRow("SpContainer") << "SpContainer" << "..." << "";
    QTest::newRow("Label4") << "Label4" << "Loginscript übernehmen : " << "";
    QTest::newRow("chLogKlasse") << "chLogKlasse" << "von Klasse" << "";
    QTest::newRow("chLogDatei") << "chLogDatei" << "aus Datei" << "";
    QTest::newRow("EdLoginscript") << "EdLoginscript" << "" << "";
    QTest::newRow("SpLoginscript") << "SpLoginscript" << "..." << "Klasse mit korrektem Loginscript  auswählen mit ";
    QTest::newRow("spLogDatei") << "spLogDatei" << "..." << "";
    QTest::newRow("Label15") << "Label15" << "Basisverzeichnis für Klassenverzeichnis (BasisHomeDir)" << "";
    QTest::newRow("edHomeBase") << "edHomeBase" << "\\\\SRV1\\DATA\\home\\schueler" << "";
    QTest::newRow("spHomeBase") << "spHomeBase" << "..." << "";
    QTest::newRow("GroupBox1") << "GroupBox1" << " Klassentauschverzeichnis " << "";
    QTest::newRow("chTausch") << "chTausch" << "Tauschverzeichnis anlegen" << "";
    QTest::newRow("raTausch") << "raTausch" << " Schüler können " << "";
    QTest::newRow("Label14") << "Label14" << "Basispfad für Klassentauschverz." << "";
    QTest::newRow("edTauschbase") << "edTauschbase" << "\\\\SRV1\\DATA\\home\\Tausch\\schueler" << "";
    QTest::newRow("buTauschBase") << "buTauschBase" << "..." << "";
    QTest::newRow("chTemplate") << "chTemplate" << "User_Template in Klasse anlegen" << "";
    QTest::newRow("Label5") << "Label5" << "Muster User_Template (als Vorlage)" << "";
    QTest::newRow("EdTemplate") << "EdTemplate" << "User_Template.schueler.unterricht" << "";
    QTest::newRow("SpTemplate") << "SpTemplate" << "..." << "User_Template in einer Klasse auswählen";
    QTest::newRow("MeProtokol") << "MeProtokol" << "" << "";
    QTest::newRow("BuAnlegen") << "BuAnlegen" << "anlegen" << "neue Klasse anlegen";
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

void TKlassenTabTest::typedName_data() {
    QTest::addColumn<QString>("Typed");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("allowed") << "Klasse_7a09" << "Klasse_7a09";
    QTest::newRow("blank") << "7a b" << "7ab";
    QTest::newRow("hyphen") << "10-1" << "101";
    QTest::newRow("umlauts and sharp s") << "Müßig_Ä" << "Mig_";
    QTest::newRow("path characters") << "..\\x/y:z" << "xyz";
    QTest::newRow("only forbidden") << ".,;!" << "";
}

void TKlassenTabTest::typedName() {
    QFETCH(QString, Typed);
    QFETCH(QString, Expected);
    // Key by key, as a keyboard delivers them (also keys outside ASCII).
    for (QChar Ch : Typed) {
        if (Ch.unicode() < 0x80)
            QTest::keyClick(T->EdNeueklasse, char(Ch.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, T->EdNeueklasse, Qt::Key_unknown, QString(Ch), Qt::NoModifier);
    }
    QCOMPARE(T->EdNeueklasse->text(), Expected);
    // Backspace still edits.
    if (!Expected.isEmpty()) {
        QTest::keyClick(T->EdNeueklasse, Qt::Key_Backspace);
        QCOMPARE(T->EdNeueklasse->text(), Expected.chopped(1));
    }
}

void TKlassenTabTest::pastedName_data() {
    QTest::addColumn<QString>("Pasted");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("climbing path") << "..\\x" << "x";
    QTest::newRow("blank") << "7a b" << "7ab";
    QTest::newRow("line break and tab") << "5\r\nb\tc" << "5bc";
    QTest::newRow("unicode letters") << "Ωmega٣" << "mega";
}

void TKlassenTabTest::pastedName() {
    QFETCH(QString, Pasted);
    QFETCH(QString, Expected);
    QGuiApplication::clipboard()->setText(Pasted);
    T->EdNeueklasse->setFocus();
    QTest::keyClick(T->EdNeueklasse, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(T->EdNeueklasse->text(), Expected);
    // Into the middle of a name, and set by code: the same filter.
    T->EdNeueklasse->setText(QStringLiteral("ab"));
    T->EdNeueklasse->setCursorPosition(1);
    T->EdNeueklasse->paste();
    QCOMPARE(T->EdNeueklasse->text(), u'a' + Expected + u'b');
    T->EdNeueklasse->setText(Pasted);
    QCOMPARE(T->EdNeueklasse->text(), Expected);
}

void TKlassenTabTest::droppedName() {
    // A drop inserts through the same path as typing and pasting.
    auto* Mime = new QMimeData;
    Mime->setText(QStringLiteral("../etc 1"));
    const QPoint At = T->EdNeueklasse->rect().center();
    QDragEnterEvent Enter(At, Qt::CopyAction, Mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(T->EdNeueklasse, &Enter);
    QDropEvent Drop(QPointF(At), Qt::CopyAction, Mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(T->EdNeueklasse, &Drop);
    delete Mime;
    QCOMPARE(T->EdNeueklasse->text(), QStringLiteral("etc1"));
}

void TKlassenTabTest::nameEnablesButton() {
    T->BuAnlegen->setEnabled(false);
    T->EdNeueklasse->setText(QStringLiteral("5a"));
    QVERIFY(T->BuAnlegen->isEnabled());
    T->EdNeueklasse->clear();
    QVERIFY(!T->BuAnlegen->isEnabled());
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
    Form->KonfigGeaendert = false;
    if (auto* E = T->findChild<QLineEdit*>(Action))
        E->setText(E->text() + QStringLiteral("x"));
    else if (Action == QLatin1String("raTausch"))
        T->raTausch->Button(1)->click();
    else
        T->findChild<QAbstractButton*>(Action)->click();
    QVERIFY(Form->KonfigGeaendert);
    // The name is not configuration.
    Form->KonfigGeaendert = false;
    T->EdNeueklasse->setText(QStringLiteral("7b"));
    QVERIFY(!Form->KonfigGeaendert);
}

void TKlassenTabTest::baseWithoutBackslash_data() {
    QTest::addColumn<QString>("Typed");
    QTest::addColumn<QString>("Held");
    QTest::newRow("plain") << "\\\\SRV1\\DATA\\k" << "\\\\SRV1\\DATA\\k";
    QTest::newRow("one backslash") << "\\\\SRV1\\DATA\\k\\" << "\\\\SRV1\\DATA\\k";
    QTest::newRow("only the last one") << "H:\\k\\\\" << "H:\\k\\";
}

void TKlassenTabTest::baseWithoutBackslash() {
    QFETCH(QString, Typed);
    QFETCH(QString, Held);
    T->edHomeBase->setText(Typed);
    T->edTauschbase->setText(Typed);
    QCOMPARE(Form->HomeBase, Held);
    QCOMPARE(Form->TauschBase, Held);
    QCOMPARE(T->edHomeBase->text(), Typed);
    QCOMPARE(T->edTauschbase->text(), Typed);
}

void TKlassenTabTest::loginSourceSwitch() {
    T->EdLoginscript->setText(QStringLiteral("5a.schueler.unterricht"));
    Form->KonfigGeaendert = false;
    Form->LoginKlasse = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler\\5a");

    // "aus Datei": file mode.
    T->chLogDatei->click();
    QVERIFY(T->chLogDatei->isChecked());
    QVERIFY(!T->chLogKlasse->isChecked());
    QVERIFY(T->SpLoginscript->isHidden());
    QVERIFY(!T->spLogDatei->isHidden());
    QVERIFY(T->EdLoginscript->text().isEmpty());
    QVERIFY(Form->KonfigGeaendert);
    QCOMPARE(Form->LoginKlasse, QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler\\5a"));

    // Clearing the checked "aus Datei" returns to class mode.
    T->EdLoginscript->setText(QStringLiteral("C:\\a.txt"));
    T->chLogDatei->click();
    QVERIFY(T->chLogKlasse->isChecked());
    QVERIFY(!T->chLogDatei->isChecked());
    QVERIFY(!T->SpLoginscript->isHidden());
    QVERIFY(T->spLogDatei->isHidden());
    QVERIFY(T->EdLoginscript->text().isEmpty());

    // Clearing "von Klasse" goes to file mode; exactly one box is checked in every state.
    T->chLogKlasse->click();
    QVERIFY(!T->chLogKlasse->isChecked() && T->chLogDatei->isChecked());
    T->chLogKlasse->click();
    QVERIFY(T->chLogKlasse->isChecked() && !T->chLogDatei->isChecked());
}

void TKlassenTabTest::loginFileDialog() {
    T->chLogDatei->click();
    const QString File = Dir->filePath(QStringLiteral("login.txt"));
    QFile F(File);
    QVERIFY(F.open(QIODevice::WriteOnly));
    F.close();

    QStringList Filters;
    QString Suffix, Start;
    bool NonNative = false;
    TModalSeam::Push([&](QDialog& D) {
        auto* Dlg = qobject_cast<QFileDialog*>(&D);
        if (!Dlg)
            return int(QDialog::Rejected);
        Filters = Dlg->nameFilters();
        Suffix = Dlg->defaultSuffix();
        Start = Dlg->directory().absolutePath();
        NonNative = Dlg->testOption(QFileDialog::DontUseNativeDialog);
        Dlg->selectFile(File);
        return int(QDialog::Accepted);
    });
    T->spLogDatei->click();
    QCOMPARE(Filters, (QStringList{"Textdateien (*.txt)", "Alle Dateien (*.*)"}));
    QCOMPARE(Suffix, QStringLiteral("txt"));
    QCOMPARE(Start, QDir(QCoreApplication::applicationDirPath()).absolutePath());
    QVERIFY(NonNative);
    QCOMPARE(T->EdLoginscript->text(), QDir::toNativeSeparators(File));

    // Cancelled: nothing changes.
    TModalSeam::Push([](QDialog&) { return int(QDialog::Rejected); });
    T->spLogDatei->click();
    QCOMPARE(T->EdLoginscript->text(), QDir::toNativeSeparators(File));
}

void TKlassenTabTest::refresh_data() {
    // Inputs: name, container, login source, template box, template, home base, exchange box, exchange base.
    QTest::addColumn<QString>("Inputs");    // eight places, "1" filled/checked, "0" empty/unchecked
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
    Form->Timer3->stop();
    auto On = [&](int I) { return Inputs.at(I) == u'1'; };
    auto Fill = [&](QLineEdit* E, int I, const char* Text) { E->setText(On(I) ? QLatin1String(Text) : QString()); };
    Fill(T->EdNeueklasse, 0, "5a");
    Fill(T->EdContainer, 1, "schueler.unterricht");
    Fill(T->EdLoginscript, 2, "4a.schueler.unterricht");
    T->chTemplate->setChecked(On(3));
    Fill(T->EdTemplate, 4, "User_Template.schueler.unterricht");
    Fill(T->edHomeBase, 5, "\\\\SRV1\\DATA\\home");
    T->chTausch->setChecked(On(6));
    Fill(T->edTauschbase, 7, "\\\\SRV1\\DATA\\tausch");
    T->KlassentabAktualisieren();

    QCOMPARE(T->BuAnlegen->isEnabled(), Anlegen);
    QCOMPARE(T->SpLoginscript->isEnabled(), On(1));
    QCOMPARE(T->SpTemplate->isEnabled(), On(3));
    QCOMPARE(T->EdTemplate->isEnabled(), On(3));
    QCOMPARE(T->edTauschbase->isEnabled(), On(6));
    const QColor ButtonFace = T->palette().color(QPalette::Button);
    QCOMPARE(T->EdTemplate->palette().color(QPalette::Base), On(3) ? QColor(Qt::white) : ButtonFace);
    QCOMPARE(T->edTauschbase->palette().color(QPalette::Base), On(6) ? QColor(Qt::white) : ButtonFace);
    for (QToolButton* B : {T->SpContainer, T->spLogDatei, T->spHomeBase, T->buTauschBase})
        QVERIFY2(B->isEnabled(), qPrintable(B->objectName()));
}

void TKlassenTabTest::refreshRunsOnTimer() {
    // Within the refresh period the button follows the inputs, without a call.
    T->EdLoginscript->setText(QStringLiteral("4a.schueler.unterricht"));
    T->EdNeueklasse->setText(QStringLiteral("5a"));
    QTRY_VERIFY(T->BuAnlegen->isEnabled());
    T->edHomeBase->clear();
    QTRY_VERIFY(!T->BuAnlegen->isEnabled());
    // Without a "CreateTausch" key the box starts unchecked.
    QTRY_VERIFY(!T->edTauschbase->isEnabled());
    T->chTausch->click();
    QTRY_VERIFY(T->edTauschbase->isEnabled());
}

PARVON_TEST_MAIN(TKlassenTabTest)
#include "tst_klassentab.moc"
