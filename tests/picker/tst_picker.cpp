#include "BrowseKlick.h"
#include "OUBrowser_U.h"

#include <DemoNamen.h>
#include <TestText.h>

#include <DirectoryClient.h>
#include <ModalSeam.h>
#include <NWBrowse.h>
#include <NWDir.h>
#include <NdkCase.h>
#include <TestMain.h>
#include <TestStore.h>
#include <ndk_u.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWidget>
#include <optional>

using namespace Demo;

namespace {
// What a scripted picker saw: the state after each click sequence.
struct TPickerRun {
    bool Clicked = true;
    bool OkEnabled = false;
    QString Auswahl;
    QString EdAuswahl;
    QString Caption;
    QString RootName;
};
} // namespace

class TPickerTest : public QObject {
    Q_OBJECT

private:
    // Most cases only read the demo directory and share one; the others get their own.
    TStorePerCase FStores{{"setup", "formCreateDefaults", "acceptance", "layoutTestIgnoresCase",
                           "baseWaehlbarTrueAcceptsBase", "clickOnVanishedEntry", "rootBaseAnyCase",
                           "emptyBaseThroughChoosePicker", "emptyBaseWhenShownDirectly",
                           "unknownBasePropagates", "cancelKeepsSelection"}};
    TTestStore* FStore = nullptr;
    std::optional<TNdkCase> FCase;
    QWidget* Owner() const { return FCase->Owner(); }

    // Shows the picker of Kind through ChoosePicker, clicks the entries in order, then presses OK
    // when it is enabled (otherwise Abbrechen).
    bool RunPicker(TPickerKind Kind, const QString& OuSchueler, const QStringList& Clicks, TPickerRun& Run,
                   QString& Selection) {
        TModalSeam::Push([&](QDialog& D) {
            auto* Dlg = qobject_cast<TouBrowser*>(&D);
            if (!Dlg)
                return int(QDialog::Rejected);
            Dlg->show();
            Run.Caption = Dlg->windowTitle();
            Run.RootName = Dlg->NWBrowse1->Model()->FullName(Dlg->NWBrowse1->Model()->index(0, 0));
            for (const QString& C : Clicks)
                Run.Clicked = Run.Clicked && ClickEntry(Dlg->NWBrowse1, C);
            Run.OkEnabled = Dlg->OKBtn->isEnabled();
            Run.Auswahl = Dlg->Auswahl;
            Run.EdAuswahl = Dlg->edAuswahl->text();
            if (Dlg->OKBtn->isEnabled())
                QTest::mouseClick(Dlg->OKBtn, Qt::LeftButton);
            else
                QTest::mouseClick(Dlg->CancelBtn, Qt::LeftButton);
            return Dlg->result();
        });
        return ChoosePicker(Owner(), *NDK, Kind, OuSchueler, Selection);
    }

private Q_SLOTS:
    void initTestCase() { FStores.InitTestCase(); }
    void cleanupTestCase() { FStores.CleanupTestCase(); }

    void init() {
        FStore = &FStores.Init(QTest::currentTestFunction());
        FCase.emplace(**FStore);
    }
    void cleanup() {
        FCase.reset();
        FStores.Cleanup();
        FStore = nullptr;
    }

    // ---- caller set-ups ---------------------------------------------------------------------

    void setup_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("auswahlklassen");
        QTest::addColumn<bool>("baseWaehlbar");

        const QString Ou = Q("Organizational Unit");
        const QString OrgOu = Q("Organization,Organizational Unit");
        const QString ForUsers =
            Q("Wählen Sie die organisatorische Einheit (OU), für die Benutzer angelegt werden sollen.");
        QTest::newRow("container")
            << int(TPickerKind::Container) << Q(" OU für neue Klasse wählen")
            << Q("Wählen Sie die organisatorische Einheit (OU), in der die Klasse angelegt werden soll.")
            << Prefix << OrgOu << Ou << false;
        QTest::newRow("loginscript")
            << int(TPickerKind::Loginscript) << Q(" Muster-Loginscript wählen")
            << Q("Wählen Sie die Klasse, von der das Loginscript übernommen werden soll.") << Schueler << Ou
            << QString() << false;
        QTest::newRow("template")
            << int(TPickerKind::Template) << Q(" Mustertemplate wählen")
            << Q("Wählen Sie das Template, das für die neue Klasse übernommen werden soll.") << Schueler
            << Q("Organizational Unit,Template") << Q("Template") << true;
        QTest::newRow("klassenauswahl") << int(TPickerKind::KlassenAuswahl) << Q(" Klasse wählen")
                                        << Q("Wählen Sie die Klasse für die Schülerliste") << Schueler
                                        << Q("Organizational Unit,User") << Ou << false;
        QTest::newRow("kurs") << int(TPickerKind::Kurs) << Q(" OU für neue Klasse wählen") << ForUsers
                              << Schueler << OrgOu << Ou << false;
        QTest::newRow("kursU") << int(TPickerKind::KursU) << Q(" OU der Klasse wählen") << ForUsers
                               << Schueler << OrgOu << Ou << false;
        QTest::newRow("workstations")
            << int(TPickerKind::Workstations) << Q(" OU der Workstations wählen")
            << Q("Wählen Sie die organisatorische Einheit (OU), in der sich die Workstations befinden.")
            << Workstations << OrgOu << Ou << false;
        QTest::newRow("templateU") << int(TPickerKind::TemplateU) << Q(" Template auswählen")
                                   << Q("Wählen Sie das Template zur Erstellung  der neuen Benutzer.")
                                   << Schueler << Q("Organization,Organizational Unit,Template")
                                   << Q("Template") << false;
    }

    void setup() {
        QFETCH(int, kind);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QFETCH(QString, base);
        QFETCH(QString, filter);
        QFETCH(QString, auswahlklassen);
        QFETCH(bool, baseWaehlbar);

        TouBrowser Dlg(*NDK, Owner());
        SetupPicker(Dlg, TPickerKind(kind), Schueler);
        QCOMPARE(Dlg.windowTitle(), caption);
        QCOMPARE(Dlg.LaHinweis->text(), hint);
        QCOMPARE(Dlg.Base.toUpper(), base.toUpper());
        QCOMPARE(Dlg.Filter, filter);
        QCOMPARE(Dlg.Auswahlklassen, auswahlklassen);
        QCOMPARE(Dlg.BaseWaehlbar, baseWaehlbar);
        QCOMPARE(Dlg.ExpandMode, 1);
        QVERIFY(!Dlg.Image1->pixmap().isNull());
        QVERIFY(Dlg.Image2->pixmap().isNull());
        QVERIFY(!Dlg.OKBtn->isEnabled());

        // Shown, the tree starts at the base with the picker's filter on the shared control.
        QVERIFY(Dlg.Prepare());
        QCOMPARE(NDK->NWDir1->Filters().toUpper(), filter.toUpper());
        const QModelIndex Root = Dlg.NWBrowse1->Model()->index(0, 0);
        QCOMPARE(Dlg.NWBrowse1->Model()->FullName(Root).toUpper(), base.toUpper());
        QVERIFY(Dlg.NWBrowse1->View()->isExpanded(Root));
    }

    void formCreateDefaults() {
        TouBrowser Dlg(*NDK);
        QCOMPARE(Dlg.windowTitle(), Q("Auswahl"));
        QVERIFY(Dlg.Base.isEmpty() && Dlg.Filter.isEmpty() && Dlg.Auswahlklassen.isEmpty() &&
                Dlg.Auswahl.isEmpty());
        QVERIFY(Dlg.BaseWaehlbar);
        QCOMPARE(Dlg.ExpandMode, 0);
        QVERIFY(!Dlg.OKBtn->isEnabled());
        QVERIFY(Dlg.OKBtn->isDefault());
        QCOMPARE(Dlg.OKBtn->text(), Q("OK"));
        QCOMPARE(Dlg.CancelBtn->text(), Q("Abbrechen"));
        QVERIFY(Dlg.edAuswahl->isReadOnly());
        QVERIFY(Dlg.LaHinweis->wordWrap());
        QCOMPARE(Dlg.findChild<NWBrowse*>(Q("NWBrowse1")), Dlg.NWBrowse1);

        for (unsigned Mode : {0u, 1u, 2u, 3u, 200u}) {
            Dlg.SetExpandMode(Mode);
            QCOMPARE(Dlg.ExpandMode, Mode > 2 ? 0 : int(Mode));
        }
        Dlg.SetSymbol(2, Q("Template"));
        QVERIFY(!Dlg.Image2->pixmap().isNull());
        Dlg.SetSymbol(3, Q("Template")); // no such slot: nothing changes, nothing breaks
        QVERIFY(Dlg.Image1->pixmap().isNull());
    }

    // ---- acceptance of the clicked entry ---------------------------------------------------

    void acceptance_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("auswahl");

        QTest::newRow("container: start container refused")
            << int(TPickerKind::Container) << QStringList{Prefix} << false << QString();
        QTest::newRow("container: organization refused")
            << int(TPickerKind::Container) << QStringList{Unterricht} << false << QString();
        QTest::newRow("container: unit accepted")
            << int(TPickerKind::Container) << QStringList{Schueler} << true << Schueler;
        QTest::newRow("loginscript: start container refused")
            << int(TPickerKind::Loginscript) << QStringList{Schueler} << false << QString();
        QTest::newRow("loginscript: any class accepted")
            << int(TPickerKind::Loginscript) << QStringList{Klasse5a} << true << Klasse5a;
        QTest::newRow("template: class refused")
            << int(TPickerKind::Template) << QStringList{Klasse5a} << false << QString();
        QTest::newRow("template: template accepted")
            << int(TPickerKind::Template) << QStringList{Template5a} << true << Template5a;
        QTest::newRow("klassenauswahl: class accepted")
            << int(TPickerKind::KlassenAuswahl) << QStringList{Klasse5a} << true << Klasse5a;
        QTest::newRow("accepted then refused")
            << int(TPickerKind::Template) << QStringList{Template5a, Klasse5a} << false << QString();
        QTest::newRow("refused then accepted")
            << int(TPickerKind::Container) << QStringList{Prefix, Schueler} << true << Schueler;
    }

    void acceptance() {
        QFETCH(int, kind);
        QFETCH(QStringList, clicks);
        QFETCH(bool, ok);
        QFETCH(QString, auswahl);

        TPickerRun Run;
        QString Selection = Q("unverändert");
        const bool Chosen = RunPicker(TPickerKind(kind), Schueler, clicks, Run, Selection);
        QVERIFY(Run.Clicked);
        QCOMPARE(Run.OkEnabled, ok);
        QCOMPARE(Run.Auswahl.toUpper(), auswahl.toUpper());
        QCOMPARE(Chosen, ok);
        QCOMPARE(Selection.toUpper(), ok ? auswahl.toUpper() : Q("UNVERÄNDERT"));
        // Every click shows the entry, acceptable or not.
        QCOMPARE(Run.EdAuswahl, TNDK::PathToDotted(clicks.last().toUpper()));
    }

    void userRefusedInClassPicker() {
        // The student-list picker shows users; they cannot be chosen.
        NDK->AddUser(Klasse5a, Q("Testschueler"), Q("Schüler"), Template5a);
        const QString User = Klasse5a + Q(R"(\Testschueler)");
        TPickerRun Run;
        QString Selection;
        QVERIFY(!RunPicker(TPickerKind::KlassenAuswahl, Schueler, {Klasse5a, User}, Run, Selection));
        QVERIFY(Run.Clicked);
        QVERIFY(!Run.OkEnabled);
        QVERIFY(Run.Auswahl.isEmpty());
        QCOMPARE(Run.EdAuswahl, Q("TESTSCHUELER.5A.SCHUELER.UNTERRICHT"));
    }

    void auswahlKeepsCase() {
        // The entry as the browse control spells it, not as the user sees it.
        NDK->AddOrganizationalUnit(Schueler, Q("MixedCase7b"));
        const QString Entry = Schueler + Q(R"(\MixedCase7b)");
        TPickerRun Run;
        QString Selection;
        QVERIFY(RunPicker(TPickerKind::Loginscript, Schueler, {Entry}, Run, Selection));
        QVERIFY(Selection.endsWith(Q(R"(\MixedCase7b)")));
        QCOMPARE(Run.EdAuswahl, Q("MIXEDCASE7B.SCHUELER.UNTERRICHT"));
    }

    void layoutTestIgnoresCase() {
        TouBrowser Dlg(*NDK, Owner());
        Dlg.Base = Schueler;
        Dlg.Filter = Q("Organizational Unit");
        Dlg.Auswahlklassen = Q("organizational unit");
        QVERIFY(Dlg.Prepare());
        Dlg.NWBrowse1EntryClicked(Klasse5a);
        QVERIFY(Dlg.OKBtn->isEnabled());
        QCOMPARE(Dlg.Auswahl, Klasse5a);

        // Only whole layout names count: a name that merely ends a listed one is not listed.
        Dlg.Auswahlklassen = Q("Organizational Unit Extra,Template");
        Dlg.NWBrowse1EntryClicked(Klasse5a);
        QVERIFY(!Dlg.OKBtn->isEnabled());
        QVERIFY(Dlg.Auswahl.isEmpty());
    }

    void baseWaehlbarTrueAcceptsBase() {
        TouBrowser Dlg(*NDK, Owner());
        Dlg.Base = Schueler;
        Dlg.Filter = Q("Organizational Unit");
        Dlg.BaseWaehlbar = true;
        QVERIFY(Dlg.Prepare());
        Dlg.NWBrowse1EntryClicked(Schueler.toLower());
        QVERIFY(Dlg.OKBtn->isEnabled());
        Dlg.BaseWaehlbar = false; // the same click is refused, whatever the letter case
        Dlg.NWBrowse1EntryClicked(Schueler.toLower());
        QVERIFY(!Dlg.OKBtn->isEnabled());
        QVERIFY(Dlg.Auswahl.isEmpty());
    }

    void clickOnVanishedEntry() {
        TouBrowser Dlg(*NDK, Owner());
        Dlg.Base = Schueler;
        QVERIFY(Dlg.Prepare());
        Dlg.NWBrowse1EntryClicked(Klasse5a);
        QVERIFY(Dlg.OKBtn->isEnabled());
        // An entry that no longer exists: the error is shown and the choice is withdrawn.
        bool Threw = false;
        try {
            Dlg.NWBrowse1EntryClicked(Schueler + Q(R"(\gibtsnicht)"));
        } catch (...) {
            Threw = true;
        }
        QVERIFY(Threw);
        QVERIFY(!Dlg.OKBtn->isEnabled());
        QVERIFY(Dlg.Auswahl.isEmpty());
    }

    // ---- start point --------------------------------------------------------------------------

    void rootBaseAnyCase_data() {
        QTest::addColumn<QString>("base");
        QTest::newRow("upper") << Q("[ROOT]");
        QTest::newRow("lower") << Q("[root]");
        QTest::newRow("mixed") << Q("[Root]");
    }

    void rootBaseAnyCase() {
        QFETCH(QString, base);
        TouBrowser Dlg(*NDK, Owner());
        Dlg.Base = base;
        Dlg.Filter = Q("Organization,Organizational Unit");
        QVERIFY(Dlg.Prepare());
        QCOMPARE(Dlg.Base, NDK->TreePrefix());
        QCOMPARE(Dlg.NWBrowse1->Model()->FullName(Dlg.NWBrowse1->Model()->index(0, 0)).toUpper(),
                 Prefix.toUpper());
    }

    void emptyBaseThroughChoosePicker() {
        QString Selection = Q("alt");
        QVERIFY(!ChoosePicker(Owner(), *NDK, TPickerKind::Loginscript, QString(), Selection));
        QCOMPARE(Selection, Q("alt"));
        // Only the message was shown, never the picker itself.
        QCOMPARE(TModalSeam::Shown(), QStringList{Q("Fehler|Fehler: Base nicht gewählt.")});
    }

    void emptyBaseWhenShownDirectly() {
        // Shown without Prepare (a plain show or exec): the same check runs and closes with Cancel.
        TouBrowser Dlg(*NDK, Owner());
        Dlg.show();
        QTRY_VERIFY(!Dlg.isVisible());
        QCOMPARE(Dlg.result(), int(QDialog::Rejected));
        QCOMPARE(TModalSeam::Shown(), QStringList{Q("Fehler|Fehler: Base nicht gewählt.")});
    }

    void unknownBasePropagates() {
        // Building the tree fails: the caller's handler sees the error, the cursor is restored.
        QString Selection;
        bool Threw = false;
        try {
            ChoosePicker(Owner(), *NDK, TPickerKind::Loginscript, Schueler + Q(R"(\gibtsnicht)"), Selection);
        } catch (...) {
            Threw = true;
        }
        QVERIFY(Threw);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(TModalSeam::Shown().isEmpty());
    }

    void cancelKeepsSelection() {
        QString Selection = Q("alt");
        TModalSeam::Push([](QDialog& D) {
            auto* Dlg = qobject_cast<TouBrowser*>(&D);
            Dlg->NWBrowse1EntryClicked(Klasse5a); // acceptable, but the user cancels
            return int(QDialog::Rejected);
        });
        QVERIFY(!ChoosePicker(Owner(), *NDK, TPickerKind::Loginscript, Schueler, Selection));
        QCOMPARE(Selection, Q("alt"));
    }
};

PARVON_TEST_MAIN(TPickerTest)
#include "tst_picker.moc"
