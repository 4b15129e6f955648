#include <AppFixture.h>
#include <TestMain.h>

#include <FaultInjection.h>
#include <ndk_u.h>

#include <QTreeView>
#include <QtTest>

using namespace Qt::StringLiterals;

using namespace Demo;

// The choices of the tab "neue Klasse": the object pickers for container, login-script class and
// template with the defaults a chosen container brings, the folder pickers, a cancelled choice,
// and the tab without a directory.
class TKlassenTabPickerTest : public TAppFixture {
    Q_OBJECT

    // The values behind the class tab's pickers, as "name=value" lines.
    QStringList PickerState() const {
        QStringList L;
        for (const char* Name : {"EdContainer", "EdLoginscript", "EdTemplate", "edHomeBase", "edTauschbase"})
            L << QLatin1String(Name) + u'=' + T->findChild<QLineEdit*>(QLatin1String(Name))->text();
        L << QStringLiteral("BasisContainer=") + K().BasisContainer
          << QStringLiteral("ouSchueler=") + K().ouSchueler
          << QStringLiteral("LoginKlasse=") + K().LoginKlasse
          << QStringLiteral("MusterTemplate=") + K().MusterTemplate
          << QStringLiteral("HomeBase=") + K().HomeBase << QStringLiteral("TauschBase=") + K().TauschBase;
        return L;
    }
    void ClickEnabled(const QString& Button) {
        U.chTemplate->setChecked(true);
        T->KlassentabAktualisieren();
        auto* B = T->findChild<QAbstractButton*>(Button);
        QVERIFY(B && B->isEnabled());
        B->click();
    }

private Q_SLOTS:
    void initTestCase() { Store = std::make_unique<TTestStore>(); }
    void cleanupTestCase() { Store.reset(); }
    void init() { StartCaseInWindow(); }
    void cleanup() { EndCase(); }

    void pickers_data();
    void pickers();
    void containerDefaults_data();
    void containerDefaults();
    void containerConversion_data();
    void containerConversion();
    void cancelled_data();
    void cancelled();
    void folderPickers_data();
    void folderPickers();
    void withoutDirectory();
};

void TKlassenTabPickerTest::pickers_data() {
    // clang-format off
    QTest::addColumn<QString>("Button");
    QTest::addColumn<QString>("Entry");     // full name clicked in the tree
    QTest::addColumn<QString>("Caption");
    QTest::addColumn<QString>("Base");
    QTest::addColumn<bool>("Ok");
    QTest::addColumn<QStringList>("Changed");   // lines of PickerState that differ afterwards

    const QString C = QStringLiteral(" OU für neue Klasse wählen");
    const QString L = QStringLiteral(" Muster-Loginscript wählen");
    const QString M = QStringLiteral(" Mustertemplate wählen");
    // With the defaults of the class's template (the login-script source was empty already).
    QTest::newRow("container: a class")
        << "SpContainer" << Klasse5a << C << Prefix << true
        << QStringList{u"EdContainer=5a.schueler.unterricht"_s,
                       u"EdTemplate=User_Template.5a.schueler.unterricht"_s,
                       u"edHomeBase=\\\\SRV1\\DATA\\home\\schueler\\5a"_s,
                       u"edTauschbase=\\\\SRV1\\DATA\\home\\schueler\\Tausch\\5a"_s,
                       u"BasisContainer="_s + Klasse5a,
                       u"ouSchueler="_s + Klasse5a,
                       u"MusterTemplate="_s + Template5a,
                       u"HomeBase=\\\\SRV1\\DATA\\home\\schueler\\5a"_s,
                       u"TauschBase=\\\\SRV1\\DATA\\home\\schueler\\Tausch\\5a"_s};
    QTest::newRow("container: the tree") << "SpContainer" << Prefix << C << Prefix << false << QStringList();
    QTest::newRow("container: an organization") << "SpContainer" << Unterricht << C << Prefix << false
                                                << QStringList();
    QTest::newRow("container: a template") << "SpContainer" << Template << C << Prefix << false
                                           << QStringList();
    QTest::newRow("login script: a class") << "SpLoginscript" << Schueler + u"\\6a"_s << L << Schueler << true
                                           << QStringList{u"EdLoginscript=6a.schueler.unterricht"_s,
                                                          u"LoginKlasse="_s + Schueler + u"\\6a"_s};
    QTest::newRow("login script: a class in upper case")
        << "SpLoginscript" << Schueler.toUpper() + u"\\6A"_s << L << Schueler << true
        << QStringList{u"EdLoginscript=6A.SCHUELER.UNTERRICHT"_s, u"LoginKlasse="_s + Schueler.toUpper() + u"\\6A"_s};
    QTest::newRow("login script: the start container") << "SpLoginscript" << Schueler << L << Schueler << false
                                                       << QStringList();
    QTest::newRow("template: a class's template")
        << "SpTemplate" << Template5a << M << Schueler << true
        << QStringList{u"EdTemplate=User_Template.5a.schueler.unterricht"_s, u"MusterTemplate="_s + Template5a};
    QTest::newRow("template: the start container's own") << "SpTemplate" << Template << M << Schueler
                                                         << true << QStringList();
    QTest::newRow("template: a class") << "SpTemplate" << Klasse5a << M << Schueler << false << QStringList();
    // clang-format on
}

void TKlassenTabPickerTest::pickers() {
    QFETCH(QString, Button);
    QFETCH(QString, Entry);
    QFETCH(QString, Caption);
    QFETCH(QString, Base);
    QFETCH(bool, Ok);
    QFETCH(QStringList, Changed);
    const QStringList Before = PickerState();
    TPickerSeen Seen;
    Answer::Picker(Entry, &Seen);
    ClickEnabled(Button);
    QCOMPARE(Seen.Caption, Caption);
    QCOMPARE(Seen.Base, Base);
    QCOMPARE(Seen.Ok, Ok);

    QStringList Differ = PickerState();
    Differ.removeIf([&](const QString& Line) { return Before.contains(Line); });
    QCOMPARE(Differ, Changed);
    QCOMPARE(TModalSeam::Shown(), QStringList{Caption});
}

void TKlassenTabPickerTest::containerDefaults_data() {
    // clang-format off
    QTest::addColumn<QString>("Entry");
    QTest::addColumn<bool>("FileMode");
    QTest::addColumn<bool>("Defaults");   // the container's template names a home directory
    QTest::newRow("class, class mode") << Klasse5a << false << true;
    QTest::newRow("class, file mode") << Klasse5a << true << true;
    QTest::newRow("room without template, class mode") << Raum << false << false;
    QTest::newRow("room without template, file mode") << Raum << true << false;
    // clang-format on
}

void TKlassenTabPickerTest::containerDefaults() {
    QFETCH(QString, Entry);
    QFETCH(bool, FileMode);
    QFETCH(bool, Defaults);
    if (FileMode) {
        U.chLogDatei->click();
        U.EdLoginscript->setText(QStringLiteral("/tmp/login.txt"));
    } else {
        U.EdLoginscript->setText(QStringLiteral("4a.schueler.unterricht"));
    }
    K().LoginKlasse = Schueler + QStringLiteral("\\4a");
    // Filled fields are replaced, not only empty ones.
    U.edHomeBase->setText(DataVolume + QStringLiteral("\\alt\\"));
    U.edTauschbase->setText(DataVolume + QStringLiteral("\\altTausch"));
    const QString OldTemplate = K().MusterTemplate;
    K().Geaendert = false;

    Answer::Picker(Entry);
    U.SpContainer->click();

    QCOMPARE(K().BasisContainer, Entry);
    QCOMPARE(K().ouSchueler, Entry);
    QCOMPARE(U.EdContainer->text(), TNDK::PathToDotted(Entry));
    QVERIFY(K().Geaendert);
    QCOMPARE(U.EdLoginscript->text(), FileMode ? QStringLiteral("/tmp/login.txt") : QString());
    QCOMPARE(K().LoginKlasse, FileMode ? Schueler + QStringLiteral("\\4a") : QString());
    if (Defaults) {
        QCOMPARE(U.edHomeBase->text(), HomeBase + QStringLiteral("\\5a"));
        QCOMPARE(K().HomeBase, HomeBase + QStringLiteral("\\5a"));
        QCOMPARE(K().MusterTemplate, Entry + QStringLiteral("\\User_Template"));
        QCOMPARE(U.EdTemplate->text(), QStringLiteral("User_Template.5a.schueler.unterricht"));
        QCOMPARE(U.edTauschbase->text(), HomeBase + QStringLiteral("\\Tausch\\5a"));
        QCOMPARE(K().TauschBase, HomeBase + QStringLiteral("\\Tausch\\5a"));
    } else {
        QCOMPARE(U.edHomeBase->text(), DataVolume + QStringLiteral("\\alt\\"));
        QCOMPARE(K().HomeBase, DataVolume + QStringLiteral("\\alt"));
        QCOMPARE(K().MusterTemplate, OldTemplate);
        QCOMPARE(U.EdTemplate->text(), QStringLiteral("User_Template.schueler.unterricht"));
        QCOMPARE(U.edTauschbase->text(), DataVolume + QStringLiteral("\\altTausch"));
    }
    QCOMPARE(TModalSeam::Shown(), QStringList{QStringLiteral(" OU für neue Klasse wählen")});
}

void TKlassenTabPickerTest::containerConversion_data() {
    // clang-format off
    QTest::addColumn<QString>("Fault");
    QTest::addColumn<int>("Times");
    QTest::addColumn<bool>("Home");       // edHomeBase replaced
    QTest::addColumn<bool>("Template");   // template replaced
    QTest::addColumn<bool>("Tausch");     // edTauschbase replaced
    QTest::addColumn<bool>("Box");        // the conversion error shown
    QTest::newRow("home base not converted") << "NWParsePath" << 1 << false << true << true << false;
    QTest::newRow("neither converted") << "NWParsePath" << 2 << false << true << false << true;
    QTest::newRow("template not read") << "NWDir.FullName" << 1 << false << false << false << false;
    // clang-format on
}

void TKlassenTabPickerTest::containerConversion() {
    QFETCH(QString, Fault);
    QFETCH(int, Times);
    QFETCH(bool, Home);
    QFETCH(bool, Template);
    QFETCH(bool, Tausch);
    QFETCH(bool, Box);
    const QString Class = Klasse5a;
    const QString Value =
        NDK->GetFieldValue(Class + QStringLiteral("\\User_Template"), QStringLiteral("Home Directory"));
    QVERIFY(!Value.isEmpty());
    const QString OldHome = U.edHomeBase->text();
    const QString OldTausch = U.edTauschbase->text();
    const QString OldTemplate = U.EdTemplate->text();

    Answer::Picker(Class, nullptr, [=] { TFaultInjection::FailNext(Fault, Times); });
    U.SpContainer->click();

    // Container and login-script source are taken whatever follows.
    QCOMPARE(K().BasisContainer, Class);
    QCOMPARE(U.EdContainer->text(), QStringLiteral("5a.schueler.unterricht"));
    QVERIFY(U.EdLoginscript->text().isEmpty());
    QCOMPARE(U.edHomeBase->text(), Home ? HomeBase + QStringLiteral("\\5a") : OldHome);
    QCOMPARE(U.EdTemplate->text(),
             Template ? QStringLiteral("User_Template.5a.schueler.unterricht") : OldTemplate);
    QCOMPARE(U.edTauschbase->text(), Tausch ? HomeBase + QStringLiteral("\\Tausch\\5a") : OldTausch);
    QStringList Shown{QStringLiteral(" OU für neue Klasse wählen")};
    if (Box)
        Shown << QStringLiteral("Fehler|Der Pfad \"") + Value +
                     QStringLiteral("\" kann nicht aufgelöst werden (Fehler -601).");
    QCOMPARE(TModalSeam::Shown(), Shown);
}

void TKlassenTabPickerTest::cancelled_data() {
    // clang-format off
    QTest::addColumn<QString>("Button");
    for (const char* B : {"SpContainer", "SpLoginscript", "SpTemplate", "spHomeBase", "buTauschBase"})
        QTest::newRow(B) << QString::fromLatin1(B);
    // clang-format on
}

void TKlassenTabPickerTest::cancelled() {
    QFETCH(QString, Button);
    // After a click on an acceptable entry, and with nothing clicked: "Abbrechen" changes nothing.
    const QStringList Before = PickerState();
    K().Geaendert = false;
    for (bool Clicked : {true, false}) {
        TModalSeam::Push([=](QDialog& D) {
            if (auto* Dlg = qobject_cast<TouBrowser*>(&D); Dlg && Clicked)
                Dlg->NWBrowse1EntryClicked(Template5a);
            if (auto* Dlg = qobject_cast<TFolderBrowser*>(&D); Dlg && Clicked)
                Dlg->SelectPath(DataVolume + QStringLiteral("\\Tausch"));
            return int(QDialog::Rejected);
        });
        ClickEnabled(Button);
    }
    QCOMPARE(TModalSeam::Shown().size(), 2);
    QCOMPARE(PickerState(), Before);
    QVERIFY(!K().Geaendert);
}

void TKlassenTabPickerTest::folderPickers_data() {
    // clang-format off
    QTest::addColumn<QString>("Button");
    QTest::addColumn<QString>("Title");
    QTest::addColumn<QString>("Folder");   // chosen in the tree; "" for a server
    QTest::addColumn<QString>("Edit");
    const QString Home = QStringLiteral("Wählen Sie den Ordner für das Basisverzeichnis\ndes Klassenverzeichnis aus");
    const QString Tausch = QStringLiteral("Wählen Sie den Ordner für das Basisverzeichnis \ndes Klassen-Tauschverzeichnis aus");
    QTest::newRow("home base") << "spHomeBase" << Home << "\\\\SRV1\\DATA\\home\\pruefung" << "edHomeBase";
    QTest::newRow("home base, a volume") << "spHomeBase" << Home << "\\\\SRV1\\DATA" << "edHomeBase";
    QTest::newRow("home base, a server") << "spHomeBase" << Home << "" << "edHomeBase";
    QTest::newRow("exchange base") << "buTauschBase" << Tausch << "\\\\SRV1\\DATA\\Tausch" << "edTauschbase";
    QTest::newRow("exchange base, a server") << "buTauschBase" << Tausch << "" << "edTauschbase";
    // clang-format on
}

void TKlassenTabPickerTest::folderPickers() {
    QFETCH(QString, Button);
    QFETCH(QString, Title);
    QFETCH(QString, Folder);
    QFETCH(QString, Edit);
    auto* E = T->findChild<QLineEdit*>(Edit);
    const QString Old = E->text();
    QString Seen;
    Answer::With<TFolderBrowser>([&](TFolderBrowser& Dlg) {
        Seen = Dlg.laTitel->text();
        if (!Folder.isEmpty() && !Dlg.SelectPath(Folder))
            return int(QDialog::Rejected);
        if (Folder.isEmpty())
            Dlg.FolderTree->setCurrentIndex(Dlg.FolderTree->model()->index(0, 0));
        return int(QDialog::Accepted);
    });
    ClickEnabled(Button);
    QCOMPARE(Seen, Title);
    const QString Expected = Folder.isEmpty() ? Old : Folder;
    QCOMPARE(E->text(), Expected);
    QCOMPARE(Edit == QLatin1String("edHomeBase") ? K().HomeBase : K().TauschBase, Expected);
}

void TKlassenTabPickerTest::withoutDirectory() {
    // Without an access object (the directory was out of reach at start) the pickers and the run
    // say so instead of failing, and nothing changes.
    TKonfiguration Konfiguration;
    Konfiguration.ouSchueler = Konfiguration.BasisContainer = Schueler;
    TKlassenTab Tab(Konfiguration, nullptr);
    Tab.KonfigurationAnzeigen();
    Tab.Vorbereiten();
    const TKlassenTabControls C(&Tab);
    C.chTemplate->setChecked(true);
    Tab.KlassentabAktualisieren();
    const QString Before = C.EdContainer->text() + C.EdLoginscript->text() + C.EdTemplate->text();
    for (QAbstractButton* B : std::initializer_list<QAbstractButton*>{
             C.SpContainer, C.SpLoginscript, C.SpTemplate, C.spHomeBase, C.buTauschBase}) {
        QVERIFY2(B->isEnabled(), qPrintable(B->objectName()));
        B->click();
    }
    C.EdNeueklasse->setText(QStringLiteral("7c"));
    Tab.KlasseAnlegen();
    QCOMPARE(TModalSeam::Shown(),
             QStringList(6, QStringLiteral("Fehler|Das Verzeichnis ist nicht erreichbar.")));
    QCOMPARE(C.EdContainer->text() + C.EdLoginscript->text() + C.EdTemplate->text(), Before);
    QCOMPARE(Konfiguration.BasisContainer, Schueler);
    QVERIFY(C.MeProtokol->isHidden());
}

PARVON_TEST_MAIN(TKlassenTabPickerTest)
#include "tst_klassentab_picker.moc"
