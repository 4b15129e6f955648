#include "DirectoryTestSupport.h"
#include "NdkFixture.h"

#include <ModalSeam.h>
#include <ndk_u.h>
#include <treeSelect_u.h>

#include <EDirectoryError.h>
#include <FaultInjection.h>
#include <NWNetAddress.h>

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <TestMain.h>
#include <memory>

// The tree the access object works in, the client's error boxes, and fields cleared in the chosen
// tree.
class TstTreeChoice : public QObject, TNdkFixture {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        PARVON_REQUIRE_TEST_BACKEND();
        Start();
    }
    void init() { Reset(); }
    void cleanupTestCase() { Stop(); }

    // ----- tree choice

    void OneTreeNoDialog() {
        TScopedStore Store;
        TModalSeam::Clear();
        TNDK Ndk(nullptr);
        QVERIFY(TModalSeam::Shown().isEmpty());
        QCOMPARE(Ndk.TreePrefix(), Tree());
        QCOMPARE(Ndk.NWDir1->FullName(), Tree());
        QCOMPARE(Ndk.SearchScope, 2);
        QVERIFY(Ndk.DottedResults);
    }

    void TwoTreesAsk_data() {
        QTest::addColumn<QString>("Typed"); // "" leaves the preselected text
        QTest::addColumn<int>("Result");
        QTest::addColumn<QString>("Chosen");
        QTest::newRow("OK on preselected") << QString() << int(QDialog::Accepted) << Tree();
        QTest::newRow("closed on preselected") << QString() << int(QDialog::Rejected) << Tree();
        QTest::newRow("OK on second") << Q(R"(NDS:\\ZWEI)") << int(QDialog::Accepted) << Q(R"(NDS:\\ZWEI)");
        QTest::newRow("closed on edited")
            << Q(R"(NDS:\\ZWEI)") << int(QDialog::Rejected) << Q(R"(NDS:\\ZWEI)");
        QTest::newRow("typed tree not connected")
            << Q(R"(NDS:\\DREI)") << int(QDialog::Rejected) << Q(R"(NDS:\\DREI)");
    }
    void TwoTreesAsk() {
        QFETCH(QString, Typed);
        QFETCH(int, Result);
        QFETCH(QString, Chosen);
        TScopedStore Store;
        Store->AddTree(Q("ZWEI"));
        Store->AddTree(Q("DREI"));
        Store->SetConnectedTrees({Tree(), Q(R"(NDS:\\ZWEI)")});
        TModalSeam::Clear();
        QStringList Items;
        QString Preselected;
        TModalSeam::Push([&](QDialog& D) {
            auto* Combo = D.findChild<QComboBox*>(Q("ComboBox1"));
            if (!Combo)
                return int(QDialog::Rejected);
            for (int I = 0; I < Combo->count(); ++I)
                Items << Combo->itemText(I);
            Preselected = Combo->currentText();
            if (!Typed.isEmpty())
                Combo->setEditText(Typed);
            return Result;
        });
        TNDK Ndk(nullptr);
        QCOMPARE(TModalSeam::Shown(), QStringList{Q("Treeauswahl")});
        QCOMPARE(Items, (QStringList{Tree(), Q(R"(NDS:\\ZWEI)")}));
        QCOMPARE(Preselected, Tree());
        QCOMPARE(Ndk.TreePrefix(), Chosen);
        QCOMPARE(Ndk.NWDir1->FullName(), Chosen);
    }

    void TreeSelectDialogLooksRight() {
        TTreeSelect D;
        QCOMPARE(D.windowTitle(), Q("Treeauswahl"));
        QCOMPARE(D.Label4->text(), QStringLiteral("Sie sind mit mehreren Bäumen verbunden."));
        QCOMPARE(D.Label2->text(), QStringLiteral("wählen Sie in der Auswahlliste den  Baum, "));
        QCOMPARE(D.Label3->text(), QStringLiteral("mit dem das Programm verbunden werden soll."));
        QCOMPARE(D.Label1->text(), QStringLiteral("gewählter Baum"));
        QVERIFY(D.Label1->font().bold());
        QVERIFY(D.ComboBox1->isEditable());
        QCOMPARE(D.Button1->text(), Q("OK"));
        QVERIFY(D.Button1->isDefault());
        QVERIFY(D.windowFlags() & Qt::WindowContextHelpButtonHint);
        D.show();
        QVERIFY(QTest::qWaitForWindowExposed(&D));
        QCOMPARE(D.minimumSize(), D.maximumSize());
        QTest::mouseClick(D.Button1, Qt::LeftButton);
        QCOMPARE(D.result(), int(QDialog::Accepted));
    }

    void NoConnectedTree() {
        TScopedStore Store;
        Store->SetConnectedTrees({});
        TModalSeam::Clear();
        TNDK Ndk(nullptr);
        const QStringList Shown = TModalSeam::Shown();
        QCOMPARE(Shown.size(), 1);
        QVERIFY(Shown.first().startsWith(Q("Fehler|")));
        // The prefix then comes from wherever the control stands.
        QCOMPARE(Ndk.TreePrefix(), Ndk.NWDir1->FullName().section(u'\\', 0, 2));
    }

    // ----- client contexts

    void NwdsErrorBoxes() {
        TFaultInjection::FailNext(Q("NWCallsInit"), 1, QString(), 88);
        TFaultInjection::FailNext(Q("NWDSCreateContexthandle"), 1, QString(), -301);
        QList<QMessageBox::Icon> Icons;
        QList<QMessageBox::StandardButtons> Buttons;
        for (int I = 0; I < 2; ++I)
            TModalSeam::Push([&](QDialog& D) {
                auto& Box = static_cast<QMessageBox&>(D);
                Icons << Box.icon();
                Buttons << Box.standardButtons();
                return int(QMessageBox::Ok);
            });
        NWDSContextHandle Context = 0;
        FNdk->OpenClientContext(Context);
        FNdk->CloseClientContext(Context);
        QCOMPARE(TModalSeam::Shown(), (QStringList{Q("NWDS Error|NWCallsInit returned 88."),
                                                   Q("NWDS Error|NWDSCreateContexthandle returned -301.")}));
        QCOMPARE(Icons, (QList<QMessageBox::Icon>{QMessageBox::Critical, QMessageBox::Critical}));
        QCOMPARE(Buttons, (QList<QMessageBox::StandardButtons>{QMessageBox::Ok, QMessageBox::Ok}));
    }

    void FreeContextErrorBox() {
        TFaultInjection::FailNext(Q("NWDSFreeContext"), 1, QString(), 5);
        NWDSContextHandle Context = 0;
        QCOMPARE(FNdk->OpenClientContext(Context), 0);
        FNdk->CloseClientContext(Context);
        QCOMPARE(TModalSeam::Shown(), QStringList{Q("NWDS Error|NWDSFreeContext returned 5.")});
    }

    void ClearAttribute() {
        const QString Ou = NewContainer(Q("clear"));
        const QString User = AddTestUser(Ou, Q("anna"));
        const QString Field = Q("Network Address Restriction");
        {
            NWDir Dir(**FStore);
            Dir.SetFullName(User);
            const NWEntryPtr E = Dir.Entry();
            E->SetFieldValue(
                Field, QVariantList{QVariant::fromValue(NWNetAddress(1, QByteArray("\x0a\x01\x05\x17", 4))),
                                    QVariant::fromValue(NWNetAddress(1, QByteArray("\x0a\x01\x05\x18", 4)))});
            E->Update();
            QCOMPARE(E->GetFieldValue(Field, QVariant(), true).toList().size(), 2);
        }
        const QString Dotted = TNDK::PathToDotted(User);
        QCOMPARE(FNdk->ClearAttribute(Dotted, Field), 0);
        {
            NWDir Dir(**FStore);
            Dir.SetFullName(User);
            // No value left: the list of one element without a value.
            const QVariantList Left = Dir.Entry()->GetFieldValue(Field, QVariant(), true).toList();
            QCOMPARE(Left.size(), 1);
            QVERIFY(Left.first().value<NWNetAddress>().IsEmpty());
        }
        // Nothing left to remove: the client's "no such value" counts as done.
        QCOMPARE(FNdk->ClearAttribute(Dotted, Field), 0);
        // An object that is not there is not.
        QVERIFY(FNdk->ClearAttribute(Q("niemand.") + TNDK::PathToDotted(Ou), Field) != 0);
        QVERIFY(TModalSeam::Shown().isEmpty());
    }

    void ClearAttributeInChosenTree() {
        // The context addresses the tree that was chosen, whatever its name.
        TScopedStore Store;
        Store->AddTree(Q("ZWEI"));
        Store->SetConnectedTrees({Q(R"(NDS:\\ZWEI)")});
        TNDK Ndk(nullptr);
        QCOMPARE(Ndk.TreePrefix(), Q(R"(NDS:\\ZWEI)"));
        Ndk.AddEntry(Ndk.TreePrefix(), Q("o"), Q("Organization"));
        QVERIFY(!Ndk.AddFailed);
        const QString User = AddTestUser(Q(R"(NDS:\\ZWEI\o)"), Q("bert"), &Ndk);
        Ndk.SetFieldValue(User, Q("Surname"), Q("Bert"));
        QCOMPARE(Ndk.GetFieldValue(User, Q("Surname")), Q("Bert"));
        QCOMPARE(Ndk.ClearAttribute(Q("bert.o"), Q("Surname")), 0);
        QCOMPARE(Ndk.GetFieldValue(User, Q("Surname")), QString());
    }
};

PARVON_TEST_MAIN(TstTreeChoice)
#include "tst_treechoice.moc"
