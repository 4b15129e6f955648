#include "FolderBrowser_u.h"
#include <TestText.h>

#include <ModalSeam.h>
#include <NdkCase.h>
#include <SqliteStore.h>
#include <TestMain.h>
#include <TestStore.h>
#include <ndk_u.h>

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWidget>
#include <optional>

// The folder picker: the connected servers with their volumes, the folders read through the
// client, the title, the result, and nothing outside the volumes.
class TFolderPickerTest : public QObject {
    Q_OBJECT

    std::optional<TTestStore> FStore;
    std::optional<TNdkCase> FCase;

private Q_SLOTS:
    void init() {
        FStore.emplace();
        FCase.emplace(**FStore);
    }
    void cleanup() {
        FCase.reset();
        FStore.reset();
    }

    void folderTreeShowsConnectedServers() {
        TFolderBrowser Dlg(*NDK, Q("Titel"));
        QAbstractItemModelTester Tester(Dlg.FolderTree->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModel* M = Dlg.FolderTree->model();
        QCOMPARE(M->rowCount(), 1);
        const QModelIndex Server = M->index(0, 0);
        QCOMPARE(M->data(Server).toString(), Q("SRV1"));
        QStringList Volumes;
        for (int R = 0; R < M->rowCount(Server); ++R)
            Volumes << M->data(M->index(R, 0, Server)).toString();
        Volumes.sort();
        QCOMPARE(Volumes, (QStringList{Q("DATA"), Q("SYS")}));
        QVERIFY(Dlg.SelectPath(Q(R"(\\SRV1\DATA)")));
        Dlg.FolderTree->expand(Dlg.FolderTree->currentIndex()); // reads the volume's folders
    }

    void folderPicker_data() {
        QTest::addColumn<QString>("select");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("shown"); // the path the dialog shows below the tree
        QTest::newRow("folder") << Q(R"(\\SRV1\DATA\ordner\unter)") << true
                                << Q(R"(\\SRV1\DATA\ordner\unter)") << Q(R"(\\SRV1\DATA\ordner\unter)");
        QTest::newRow("volume") << Q(R"(\\SRV1\DATA)") << true << Q(R"(\\SRV1\DATA)") << Q(R"(\\SRV1\DATA)");
        QTest::newRow("trailing backslash") << Q(R"(\\SRV1\DATA\ordner\)") << true
                                            << Q(R"(\\SRV1\DATA\ordner)") << Q(R"(\\SRV1\DATA\ordner)");
        QTest::newRow("other case") << Q(R"(\\srv1\data\ORDNER)") << true << Q(R"(\\SRV1\DATA\ordner)")
                                    << Q(R"(\\SRV1\DATA\ordner)");
        QTest::newRow("cancel") << Q(R"(\\SRV1\DATA\ordner)") << false << QString()
                                << Q(R"(\\SRV1\DATA\ordner)");
        QTest::newRow("server only") << QString() << true << QString() << QString();
    }

    void folderPicker() {
        QFETCH(QString, select);
        QFETCH(bool, accept);
        QFETCH(QString, result);
        QFETCH(QString, shown);
        QVERIFY(QDir().mkpath(VolumeRoot(Q("DATA")) + Q("/ordner/unter")));

        const QString Title = Q("Wählen Sie den Ordner für das Basisverzeichnis\rdes Klassenverzeichnis aus");
        QString Label;
        bool Selected = true;
        bool OkEnabled = false;
        QString Shown;
        TModalSeam::Push([&](QDialog& D) {
            auto* Dlg = qobject_cast<TFolderBrowser*>(&D);
            Label = Dlg->laTitel->text();
            if (select.isEmpty())
                Dlg->FolderTree->setCurrentIndex(Dlg->FolderTree->model()->index(0, 0));
            else
                Selected = Dlg->SelectPath(select);
            OkEnabled = Dlg->OKBtn->isEnabled();
            Shown = Dlg->edPfad->text();
            return accept ? int(QDialog::Accepted) : int(QDialog::Rejected);
        });
        QCOMPARE(OrdnerWaehlen(FCase->Owner(), *NDK, TFolderRoot::Network, Title), result);
        QVERIFY(Selected);
        QCOMPARE(OkEnabled, !select.isEmpty());
        QCOMPARE(Shown, shown);
        QCOMPARE(Label, Q("Wählen Sie den Ordner für das Basisverzeichnis\ndes Klassenverzeichnis aus"));
    }

    // Folders in the order people read them; one without subfolders shows no expand mark before it
    // is opened.
    void foldersInReadingOrder() {
        QVERIFY(QDir().mkpath(VolumeRoot(Q("DATA")) + Q("/home/schueler/10a/weber_anna")));
        TFolderBrowser Dlg(*NDK, Q("Titel"));
        QVERIFY(Dlg.SelectPath(Q(R"(\\SRV1\DATA\home\schueler)")));
        auto* M = static_cast<TFolderModel*>(Dlg.FolderTree->model());
        const QModelIndex Classes = Dlg.FolderTree->currentIndex();
        M->fetchMore(Classes);
        QStringList Names;
        for (int R = 0; R < M->rowCount(Classes); ++R)
            Names << M->data(M->index(R, 0, Classes)).toString();
        QCOMPARE(Names, (QStringList{Q("5a"), Q("5b"), Q("6a"), Q("6b"), Q("7a"), Q("7b"), Q("8a"), Q("9a"),
                                     Q("10a"), Q("11")}));
        const QModelIndex Class5a = M->index(0, 0, Classes), Class10a = M->index(8, 0, Classes);
        QVERIFY(!M->IsLoaded(Class5a) && !M->IsLoaded(Class10a));
        QVERIFY(!M->hasChildren(Class5a));
        QVERIFY(M->hasChildren(Class10a));
    }

    void folderPickerOffersFoldersOnly() {
        const QString Root = VolumeRoot(Q("DATA"));
        QVERIFY(QDir().mkpath(Root + Q("/echt")));
        QFile F(Root + Q("/datei.txt"));
        QVERIFY(F.open(QIODevice::WriteOnly));
        F.close();
        // A link inside the volume that leads out of it is not offered.
        QTemporaryDir Outside;
        QVERIFY(QFile::link(Outside.path(), Root + Q("/hinaus")));

        TFolderBrowser Dlg(*NDK, Q("Titel"));
        QVERIFY(Dlg.SelectPath(Q(R"(\\SRV1\DATA\echt)")));
        QVERIFY(!Dlg.SelectPath(Q(R"(\\SRV1\DATA\datei.txt)")));
        QVERIFY(!Dlg.SelectPath(Q(R"(\\SRV1\DATA\hinaus)")));
        QVERIFY(!Dlg.SelectPath(Q(R"(\\SRV1\DATA\..)")));
        QVERIFY(!Dlg.SelectPath(Q(R"(\\SRV2\DATA)")));
        QCOMPARE(Dlg.SelectedPath(), Q(R"(\\SRV1\DATA\echt)"));
    }

private:
    QString VolumeRoot(const QString& Volume) {
        for (const auto& V : (*FStore)->Volumes())
            if (V.Server == Q("SRV1") && V.Volume == Volume)
                return V.RootFolder;
        return QString();
    }
};

PARVON_TEST_MAIN(TFolderPickerTest)
#include "tst_folderpicker.moc"
