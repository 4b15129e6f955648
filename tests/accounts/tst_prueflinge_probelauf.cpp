// The exam run's dry run: over the demo room it changes nothing in the store, on the volumes or on
// the directory server, never shows the password, and lists exactly what the real run made right
// after it then journals.

#include "../reports/ListenFixture.h"
#include "StoreSnapshot.h"

#include <KAUserTab_U.h>
#include <SqliteJournal.h>

#include <QSpinBox>
#include <QtTest>
#include <TestMain.h>

using namespace Qt::StringLiterals;
using namespace Demo;

class TstPrueflingeProbelauf : public TListenFixture {
    Q_OBJECT

    TKAUserTab* Tab = nullptr;
    std::shared_ptr<TSqliteJournal> Journal;

    template <typename TControl> TControl* C(const char* Name) const {
        return Child<TControl>(Tab, QLatin1String(Name));
    }

private Q_SLOTS:
    void initTestCase() { PARVON_REQUIRE_TEST_BACKEND(); }
    void init() {
        StartListCase();
        Journal = std::make_shared<TSqliteJournal>(Store->Path());
        (**Store).SetJournal(Journal, [](const QString&) { return TRunOrigin{u"admin"_s, QString()}; });
        Tab = Child<TKAUserTab>(Form.get(), u"tabKAUser"_s);
    }
    void cleanup() {
        EndListCase();
        Journal.reset();
    }

    void dryRunMatchesTheRun_data() {
        QTest::addColumn<bool>("Again");
        QTest::newRow("new accounts") << false;
        QTest::newRow("existing accounts") << true;
    }
    void dryRunMatchesTheRun() {
        QFETCH(bool, Again);
        Answer::Picker(Kurs);
        C<QToolButton>("spKursU")->click();
        C<QCheckBox>("chAdressRestr")->click(); // the room EDV1 and its workstations
        C<QSpinBox>("spBenutzerZahl")->setValue(3);
        C<QLineEdit>("edPass")->setText(u"geheim"_s);
        if (Again)
            C<QPushButton>("buCreateUser")->click();
        const size_t RunsBefore = Journal->Runs().size();
        QVERIFY(C<QPushButton>("buProbelaufU")->isEnabled());

        const TStoreSnapshot Before(*Store);
        QString Shown;
        Answer::With<QDialog>([&Shown](QDialog& D) {
            Shown = Child<QPlainTextEdit>(&D, u"meListe"_s)->toPlainText();
            return int(QDialog::Accepted);
        });
        C<QPushButton>("buProbelaufU")->click();
        const TStoreSnapshot After(*Store);
        QCOMPARE(After.Dump, Before.Dump);
        QCOMPARE(After.Folders, Before.Folders);
        QCOMPARE(After.Ldap, Before.Ldap);
        QCOMPARE(Shown.count(u"Passwort wird gesetzt: "_s), 3);
        QVERIFY(!Shown.contains(u"geheim"_s, Qt::CaseInsensitive));
        QCOMPARE(Shown.contains(u"Anlegen: User EDV1_B01.EDV1.schueler.unterricht"_s), !Again);
        const TLaufBericht Dry = Tab->LetzterProbelauf();
        QVERIFY(Dry.Erfolgreich);

        C<QPushButton>("buCreateUser")->click();
        const std::vector<TJournalRun> Runs = Journal->Runs();
        QCOMPARE(Runs.size(), RunsBefore + 1);
        const std::vector<TRunChange> Real = Journal->Changes(Runs.back().Id);
        QCOMPARE(Real.size(), Dry.Aenderungen.size());
        for (size_t I = 0; I < Real.size(); ++I)
            QVERIFY2(Real[I] == Dry.Aenderungen[I],
                     qPrintable(ChangeLines(Real[I], false).join(u'\n') + u"\n  vs\n"_s +
                                ChangeLines(Dry.Aenderungen[I], true).join(u'\n')));
    }
};

PARVON_TEST_MAIN(TstPrueflingeProbelauf)
#include "tst_prueflinge_probelauf.moc"
