#include "VolumeBench.h"

#include <DemoTree.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <SqliteStore.h>
#include <VolumeFile.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>

namespace {

[[noreturn]] void Fail(const QString& Message) {
    QTextStream(stderr) << "parvon-bench: volume import: " << Message << '\n';
    std::exit(2);
}

} // namespace

TVolumeImportTiming TimeVolumeImport(int Folders) {
    QTemporaryDir Folder;
    if (!Folder.isValid())
        Fail(QStringLiteral("no temporary folder"));
    TVolumeImportTiming R;
    R.Folders = Folders;
    const auto Store = std::make_shared<TSqliteStore>(Folder.path());
    CreateDemoTree(*Store);
    TDirectoryClient Client(Store, Store);

    // Every folder in one parent, each with a flag, as a school's home folders come.
    QByteArray Text = "version\t1\n";
    for (int I = 1; I <= Folders; ++I)
        Text += QStringLiteral("folder\t\\\\SRV1\\DATA\\home\\massen\\benutzer%1\tDI\n")
                    .arg(I, 5, 10, QLatin1Char('0'))
                    .toUtf8();

    QElapsedTimer Since;
    std::atomic<bool> Importing = false, Done = false;
    std::thread Writer([&] {
        while (!Importing)
            QThread::yieldCurrentThread();
        QThread::msleep(50); // well inside the import's transaction
        R.WriterStartedMs = Since.nsecsElapsed() / 1e6;
        R.WriterOverlapped = !Done;
        try {
            TSqliteStore Second(Folder.path());
            Second.AddTree(QStringLiteral("ZWEITER"));
        } catch (const EDirectoryError& E) {
            R.WriterFailure = E.Message();
        }
        R.WriterEndedMs = Since.nsecsElapsed() / 1e6;
    });
    Since.start();
    Importing = true;
    VolumeFile::TImportResult Result;
    try {
        Result = VolumeFile::Import(Client.Directory(), Client.VolumeStore(), Text);
    } catch (const EDirectoryError& E) {
        Done = true;
        Writer.join();
        Fail(E.Message());
    }
    R.ImportMs = Since.nsecsElapsed() / 1e6;
    Done = true;
    Writer.join();
    if (Result.Folders != Folders)
        Fail(QStringLiteral("%1 of %2 folders applied").arg(Result.Folders).arg(Folders));
    if (R.WriterFailure.isEmpty() && !Store->Trees().contains(QStringLiteral("ZWEITER")))
        Fail(QStringLiteral("the second writer's tree is missing"));
    return R;
}
