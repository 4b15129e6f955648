#include <ClientStore.h>
#include <EDirectoryError.h>
#include <FaultInjection.h>
#include <NWCalls.h>
#include <NWDir.h>
#include <NWNetAddress.h>
#include <NWSess.h>
#include <TestMain.h>
#include <TestStore.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Root = QStringLiteral("NDS:\\\\SCHULE");
const QString Schueler = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler");
const QString Class5a = QStringLiteral("NDS:\\\\SCHULE\\unterricht\\schueler\\5a");
const QString DataVolume = QStringLiteral("NDS:\\\\SCHULE\\dienste\\SRV1_DATA");

QStringList ShortNames(NWEntries* E) {
    QStringList L;
    for (int I = 0; I < E->Count(); ++I)
        L << E->Item(I)->ShortName();
    return L;
}

// The status code of a call that must throw.
template <typename F> int CodeOf(F&& Call) {
    try {
        Call();
    } catch (const EDirectoryError& E) {
        return E.Code();
    }
    return 0;
}
} // namespace

// The directory control, the store behind it and the demo tree.
class TstClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { FStore = std::make_unique<TTestStore>(); }
    void cleanup() { FStore.reset(); }

    void DemoTreeHasItsParts() {
        NWDir Dir(**FStore);
        Dir.SetFullName(Root);
        QCOMPARE(ShortNames(Dir.Entries()), (QStringList{"dienste", "unterricht", "Workstations"}));
        Dir.SetFullName(Schueler);
        QStringList Classes = ShortNames(Dir.Entries());
        QCOMPARE(Classes.first(), QStringLiteral("User_Template"));
        QCOMPARE(Classes.size(), 11);
        Dir.SetFullName(Class5a);
        const int Users = Dir.Entries()->Count() - 1;
        QVERIFY2(Users >= 20 && Users <= 30, qPrintable(QString::number(Users)));
        QCOMPARE((**FStore).ConnectedTrees(), QStringList{Root});
        const auto Connections = (**FStore).ServerConnections();
        QCOMPARE(int(Connections.size()), 1);
        QCOMPARE(Connections[0].FullName, QStringLiteral("NDS:\\\\SCHULE\\dienste\\SRV1"));
        QCOMPARE(Connections[0].DisplayName, QStringLiteral("SRV1"));
        QCOMPARE(int((**FStore).Volumes().size()), 2);
    }

private:
    std::unique_ptr<TTestStore> FStore;
};

PARVON_TEST_MAIN(TstClient)
#include "tst_client.moc"
