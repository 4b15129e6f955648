#pragma once

#include <DirectoryBackend.h>
#include <VolumeStore.h>

#include <QString>

#include <functional>
#include <memory>
#include <vector>

// The workstation's directory client: the directory the controls read and write, and the volume
// store their folders, flags and trustees live in. The controls reach nothing else.
class TChangeRecorder;
class TRunJournal;

// Who runs a run on a tree, and where that tree lives.
struct TRunOrigin {
    QString Login;  // the name the workstation or the server knows the administrator by
    QString Server; // the server that holds the tree; "" for the workstation's own store
};

class TDirectoryClient {
public:
    TDirectoryClient(std::shared_ptr<TDirectoryBackend> Directory, std::shared_ptr<TVolumeStore> Volumes);
    ~TDirectoryClient();
    TDirectoryClient(const TDirectoryClient&) = delete;
    TDirectoryClient& operator=(const TDirectoryClient&) = delete;

    TDirectoryBackend& Directory() const { return *FDirectory; }
    TVolumeStore& VolumeStore() const { return *FVolumes; }
    const std::shared_ptr<TDirectoryBackend>& DirectoryPtr() const { return FDirectory; }
    const std::shared_ptr<TVolumeStore>& VolumeStorePtr() const { return FVolumes; }

    // What the pickers list: the server connections and the volume map.
    std::vector<TServerConnection> ServerConnections() const { return FDirectory->ServerConnections(); }
    std::vector<TVolume> Volumes() const { return FVolumes->Volumes(); }

    // The run journal (null without one) and the recorder every write through the client passes,
    // which a journaled run (JournaledRun.h) connects to the journal while it lasts. SetJournal puts
    // recording decorators in front of the directory and the volume store.
    void SetJournal(std::shared_ptr<TRunJournal> Journal,
                    std::function<TRunOrigin(const QString& Tree)> Origin);
    TRunJournal* Journal() const { return FJournal.get(); }
    TChangeRecorder* Recorder() const { return FRecorder.get(); }
    TRunOrigin Origin(const QString& Tree) const;

    // The process-wide client: the one installed with SetInstance, else the workstation's own,
    // opened on first use by the factory; throws when neither is installed.
    static TDirectoryClient& Instance();
    // Installs a client (tests, tools); nullptr returns to the workstation's own.
    static void SetInstance(TDirectoryClient* Client);
    // The client SetInstance installed; null for the workstation's own.
    static TDirectoryClient* Installed();
    // How the workstation's own client is opened on first use (the client's setup installs the one
    // that follows the client's settings).
    using TFactory = std::function<std::unique_ptr<TDirectoryClient>()>;
    static void SetWorkstationFactory(TFactory Factory);

private:
    std::shared_ptr<TDirectoryBackend> FDirectory;
    std::shared_ptr<TVolumeStore> FVolumes;
    std::shared_ptr<TRunJournal> FJournal;
    std::shared_ptr<TChangeRecorder> FRecorder;
    std::function<TRunOrigin(const QString& Tree)> FOrigin;
};
