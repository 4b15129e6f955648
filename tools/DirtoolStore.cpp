// parvon-dirtool: the store, the workstation's connections and volumes, export and import.

#include "Dirtool.h"

#include <DemoTree.h>
#include <DirectoryBackend.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <Ldif.h>
#include <NWDir.h>
#include <PosixVolumes.h>
#include <SqliteStore.h>
#include <VolumeFile.h>
#include <WorkstationStore.h>

#include <QFile>
#include <SaveFile.h>

QTextStream& Out() {
    static QTextStream S(stdout);
    return S;
}

void Need(const QStringList& Args, int Min, int Max) {
    if (Args.size() < Min)
        throw EUsage(QStringLiteral("Too few arguments."));
    if (Args.size() > Max)
        throw EUsage(QStringLiteral("Too many arguments."));
}

QString TreeArgFullName(const QString& Tree) {
    return Tree.startsWith(QLatin1String("NDS:\\\\"), Qt::CaseInsensitive)
               ? Tree
               : QStringLiteral("NDS:\\\\") + Tree;
}

QString TreeName(const QString& Tree) {
    return Tree.startsWith(QLatin1String("NDS:\\\\"), Qt::CaseInsensitive) ? Tree.mid(6) : Tree;
}

QByteArray ReadInput(const QString& Path) {
    QFile File;
    bool Opened;
    if (Path == QLatin1String("-")) {
        Opened = File.open(stdin, QIODevice::ReadOnly);
    } else {
        File.setFileName(Path);
        Opened = File.open(QIODevice::ReadOnly);
    }
    if (!Opened)
        throw EDirectoryError(QStringLiteral("Cannot read %1: %2").arg(Path, File.errorString()));
    return File.readAll();
}

void WriteOutput(const QString& Path, const QByteArray& Text) {
    if (Path.isEmpty() || Path == QLatin1String("-")) {
        Out().flush();
        QFile Stdout;
        if (!Stdout.open(stdout, QIODevice::WriteOnly) || Stdout.write(Text) != Text.size())
            throw EDirectoryError(QStringLiteral("Cannot write to standard output."));
        return;
    }
    QString Reason;
    if (!SaveWhole(Path, Text, Reason))
        throw EDirectoryError(QStringLiteral("Cannot write %1: %2").arg(Path, Reason));
}

int Demo(TTool& Tool, const QStringList& Args) {
    TSqliteStore& Store = Tool.Store;
    Need(Args, 0, 0);
    if (!Store.IsEmpty())
        throw EDirectoryError(QStringLiteral("The store %1 holds a tree already (%2).")
                                  .arg(Store.Folder(), Store.Trees().join(QStringLiteral(", "))));
    CreateDemoTree(Store);
    Out() << "Demo tree created in " << Store.Folder() << '\n';
    return 0;
}

int Export(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 2);
    WriteOutput(Args.value(1),
                Ldif::ExportTree(Tool.Client.Directory(), Tool.Client.VolumeStore(), TreeName(Args[0])));
    return 0;
}

int Import(TTool& Tool, const QStringList& Args) {
    Need(Args, 2, 2);
    const Ldif::TImportResult Result = Ldif::ImportTree(Tool.Client.Directory(), Tool.Client.VolumeStore(),
                                                        TreeName(Args[0]), ReadInput(Args[1]));
    Out() << Result.Created << " objects created, " << Result.Updated << " updated\n";
    // A store without a connected tree becomes usable at once: connected to the tree, with a
    // connection to each server of the text.
    const TImportConnections Done = ConnectImportedTree(Tool.Store, TreeName(Args[0]), Result.Servers);
    if (Done.Tree)
        Out() << "Connected to tree " << TreeName(Args[0]) << '\n';
    for (const QString& Server : Done.Servers)
        Out() << "Server connection added: " << Server << '\n';
    return 0;
}

int ExportVolumes(TTool& Tool, const QStringList& Args) {
    Need(Args, 0, 1);
    WriteOutput(Args.value(0), VolumeFile::Export(Tool.Client.VolumeStore()));
    return 0;
}

int ImportVolumes(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    const VolumeFile::TImportResult Result =
        VolumeFile::Import(Tool.Client.Directory(), Tool.Client.VolumeStore(), ReadInput(Args[0]));
    Out() << Result.Volumes << " volumes added, " << Result.Folders << " folders, " << Result.Trustees
          << " trustees\n";
    return 0;
}

int Trees(TTool& Tool, const QStringList& Args) {
    Need(Args, 0, 0);
    // The client's trees: the store's and those the client settings give an LDAP server, which
    // count as connected.
    TDirectoryBackend& Directory = Tool.Client.Directory();
    const QStringList Connected = Directory.ConnectedTrees();
    for (const QString& Tree : Directory.Trees())
        Out() << (Connected.contains(TreeArgFullName(Tree), Qt::CaseInsensitive) ? "* " : "  ") << Tree
              << '\n';
    return 0;
}

int ConnectTree(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    TSqliteStore& Store = Tool.Store;
    const QString Wanted = TreeName(Args[0]);
    QString Tree;
    for (const QString& T : Store.Trees())
        if (T.compare(Wanted, Qt::CaseInsensitive) == 0)
            Tree = T;
    if (Tree.isEmpty())
        throw EDirectoryError(QStringLiteral("Unknown tree %1.").arg(Wanted));
    QStringList Connected = Store.ConnectedTrees();
    if (!Connected.contains(TreeArgFullName(Tree), Qt::CaseInsensitive)) {
        Connected.append(TreeArgFullName(Tree));
        Store.SetConnectedTrees(Connected);
    }
    return 0;
}

int DisconnectTree(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    TSqliteStore& Store = Tool.Store;
    QStringList Connected = Store.ConnectedTrees();
    const qsizetype Before = Connected.size();
    Connected.removeIf(
        [&](const QString& T) { return T.compare(TreeArgFullName(Args[0]), Qt::CaseInsensitive) == 0; });
    if (Connected.size() == Before)
        throw EDirectoryError(
            QStringLiteral("The workstation is not connected to %1.").arg(TreeName(Args[0])));
    Store.SetConnectedTrees(Connected);
    return 0;
}

int Servers(TTool& Tool, const QStringList& Args) {
    Need(Args, 0, 0);
    for (const TServerConnection& C : Tool.Store.ServerConnections())
        Out() << QStringLiteral("%1  %2").arg(C.FullName, -40).arg(C.DisplayName) << '\n';
    return 0;
}

int AddServer(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 2);
    TSqliteStore& Store = Tool.Store;
    NWDir Dir(Tool.Client);
    Dir.SetFullName(Args[0]); // the server object must exist
    TServerConnection C;
    C.FullName = Dir.FullName();
    C.DisplayName = Args.size() > 1 ? Args[1] : Dir.ShortName();
    std::vector<TServerConnection> Connections = Store.ServerConnections();
    for (const TServerConnection& Old : Connections)
        if (Old.FullName.compare(C.FullName, Qt::CaseInsensitive) == 0)
            throw EDirectoryError(QStringLiteral("A connection to %1 exists already.").arg(C.FullName));
    Connections.push_back(C);
    Store.SetServerConnections(Connections);
    return 0;
}

int RemoveServer(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    TSqliteStore& Store = Tool.Store;
    std::vector<TServerConnection> Connections = Store.ServerConnections();
    const size_t Before = Connections.size();
    std::erase_if(Connections, [&](const TServerConnection& C) {
        return C.FullName.compare(Args[0], Qt::CaseInsensitive) == 0 ||
               C.DisplayName.compare(Args[0], Qt::CaseInsensitive) == 0;
    });
    if (Connections.size() == Before)
        throw EDirectoryError(QStringLiteral("No server connection %1.").arg(Args[0]));
    Store.SetServerConnections(Connections);
    return 0;
}

int Volumes(TTool& Tool, const QStringList& Args) {
    Need(Args, 0, 0);
    for (const TVolume& V : Tool.Client.VolumeStore().Volumes())
        Out() << QStringLiteral("\\\\%1\\%2").arg(V.Server, V.Volume) << "  " << V.RootFolder << "  "
              << V.VolumeObject << '\n';
    return 0;
}

int SetVolumeRoot(TTool& Tool, const QStringList& Args) {
    Need(Args, 2, 2);
    const QStringList Parts = Args[0].mid(2).split(QLatin1Char('\\'));
    if (!Args[0].startsWith(QLatin1String("\\\\")) || Parts.size() != 2 || Parts[0].isEmpty() ||
        Parts[1].isEmpty())
        throw EUsage(QStringLiteral("Volume \\\\SERVER\\VOLUME expected: %1").arg(Args[0]));
    Tool.Client.VolumeStore().SetVolumeRoot(Parts[0], Parts[1], Args[1]);
    return 0;
}

int CheckVolumes(TTool& Tool, const QStringList& Args) {
    Need(Args, 0, 1);
    const bool Repair = !Args.isEmpty();
    if (Repair && Args[0] != QLatin1String("--repair"))
        throw EUsage(QStringLiteral("Unknown option: %1").arg(Args[0]));
    auto* Posix = dynamic_cast<TPosixVolumes*>(&Tool.Client.VolumeStore());
    const QStringList Faulty = Posix ? Posix->CheckFolders(Repair) : QStringList();
    for (const QString& Path : Faulty)
        Out() << Path << (Repair ? "  repaired" : "") << '\n';
    return Faulty.isEmpty() || Repair ? 0 : 1;
}
