#include "FolderBrowser_u.h"

#include <DemoNamen.h>
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
        QCOMPARE(M->data(Server).toString(), Demo::Server);
        QStringList Volumes;
        for (int R = 0; R < M->rowCount(Server); ++R)
            Volumes << M->data(M->index(R, 0, Server)).toString();
        Volumes.sort();
        QCOMPARE(Volumes, (QStringList{Q("DATA"), Q("SYS")}));
        QVERIFY(Dlg.SelectPath(Demo::DataVolume));
        Dlg.FolderTree->expand(Dlg.FolderTree->currentIndex()); // reads the volume's folders
    }

    void folderPicker_data() {
        QTest::addColumn<QString>("select");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("shown"); // the path the dialog shows below the tree
        QTest::newRow("folder") << Demo::DataVolume + Q(R"(\ordner\unter)") << true
                                << Demo::DataVolume + Q(R"(\ordner\unter)")
                                << Demo::DataVolume + Q(R"(\ordner\unter)");
        QTest::newRow("volume") << Demo::DataVolume << true << Demo::DataVolume << Demo::DataVolume;
        QTest::newRow("trailing backslash")
            << Demo::DataVolume + Q(R"(\ordner\)") << true << Demo::DataVolume + Q(R"(\ordner)")
            << Demo::DataVolume + Q(R"(\ordner)");
        QTest::newRow("other case") << Q(R"(\\srv1\data\ORDNER)") << true
                                    << Demo::DataVolume + Q(R"(\ordner)")
                                    << Demo::DataVolume + Q(R"(\ordner)");
        QTest::newRow("cancel") << Demo::DataVolume + Q(R"(\ordner)") << false << QString()
                                << Demo::DataVolume + Q(R"(\ordner)");
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
        QVERIFY(Dlg.SelectPath(Demo::HomeBase));
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
        QVERIFY(Dlg.SelectPath(Demo::DataVolume + Q(R"(\echt)")));
        QVERIFY(!Dlg.SelectPath(Demo::DataVolume + Q(R"(\datei.txt)")));
        QVERIFY(!Dlg.SelectPath(Demo::DataVolume + Q(R"(\hinaus)")));
        QVERIFY(!Dlg.SelectPath(Demo::DataVolume + Q(R"(\..)")));
        QVERIFY(!Dlg.SelectPath(Q(R"(\\SRV2\DATA)")));
        QCOMPARE(Dlg.SelectedPath(), Demo::DataVolume + Q(R"(\echt)"));
    }

private:
    QString VolumeRoot(const QString& Volume) {
        for (const auto& V : (*FStore)->Volumes())
            if (V.Server == Demo::Server && V.Volume == Volume)
                return V.RootFolder;
        return QString();
    }
};

PARVON_TEST_MAIN(TFolderPickerTest)
#include "tst_folderpicker.moc"
