#include "VolumeBench.h"

#include <DemoTree.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <SqliteStore.h>
#include <VolumeFile.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
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

    // The import makes the folders inside its transaction: the second writer starts once the first
    // of them is on disk.
    const QString Parent = Client.VolumeStore().LocalPath(QStringLiteral("\\\\SRV1\\DATA\\home\\massen"));
    if (Parent.isEmpty() || QFileInfo::exists(Parent))
        Fail(QStringLiteral("the folders' parent is there already"));
    QElapsedTimer Since;
    std::atomic<bool> Done = false;
    std::thread Writer([&] {
        while (!Done && !QFileInfo::exists(Parent))
            QThread::msleep(5);
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

    // The file system's share: the same folders made with mkdir alone, in a folder of their own.
    QTemporaryDir Raw;
    const QString RawParent = Raw.path() + QStringLiteral("/massen");
    QElapsedTimer T;
    T.start();
    bool Made = QDir().mkdir(RawParent);
    for (int I = 1; I <= Folders && Made; ++I)
        Made = QDir().mkdir(RawParent + QStringLiteral("/benutzer%1").arg(I, 5, 10, QLatin1Char('0')));
    R.MkdirMs = T.nsecsElapsed() / 1e6;
    if (!Made)
        Fail(QStringLiteral("mkdir failed"));
    return R;
}
