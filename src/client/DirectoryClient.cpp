#include "DirectoryClient.h"

#include <EDirectoryError.h>
#include <RecordingBackend.h>

#include <QCoreApplication>

namespace {
TDirectoryClient* GInstance = nullptr;

std::unique_ptr<TDirectoryClient>& WorkstationClient() {
    static std::unique_ptr<TDirectoryClient> C;
    return C;
}

TDirectoryClient::TFactory& Factory() {
    static TDirectoryClient::TFactory F;
    return F;
}

void DropWorkstationClient() {
    WorkstationClient().reset();
}
} // namespace

TDirectoryClient::TDirectoryClient(std::shared_ptr<TDirectoryBackend> Directory,
                                   std::shared_ptr<TVolumeStore> Volumes)
    : FDirectory(std::move(Directory)), FVolumes(std::move(Volumes)) {}

void TDirectoryClient::SetJournal(std::shared_ptr<TRunJournal> Journal,
                                  std::function<TRunOrigin(const QString& Tree)> Origin) {
    if (!FRecorder) {
        FRecorder = std::make_shared<TChangeRecorder>();
        FDirectory = std::make_shared<TRecordingBackend>(FDirectory, FRecorder);
        FVolumes = std::make_shared<TRecordingVolumeStore>(FVolumes, FRecorder);
    }
    FJournal = std::move(Journal);
    FOrigin = std::move(Origin);
}

TRunOrigin TDirectoryClient::Origin(const QString& Tree) const {
    return FOrigin ? FOrigin(Tree) : TRunOrigin();
}

TDirectoryClient::~TDirectoryClient() {
    if (GInstance == this)
        GInstance = nullptr;
}

TDirectoryClient& TDirectoryClient::Instance() {
    if (GInstance)
        return *GInstance;
    auto& Own = WorkstationClient();
    if (!Own) {
        if (!Factory())
            ThrowDirectoryError(
                ERR_BAD_CONTEXT,
                QStringLiteral("Für diesen Arbeitsplatz ist kein Verzeichnis-Client eingerichtet"));
        Own = Factory()();
        if (QCoreApplication::instance())
            qAddPostRoutine(DropWorkstationClient);
    }
    return *Own;
}

void TDirectoryClient::SetInstance(TDirectoryClient* Client) {
    GInstance = Client;
}

TDirectoryClient* TDirectoryClient::Installed() {
    return GInstance;
}

void TDirectoryClient::SetWorkstationFactory(TFactory Factory) {
    ::Factory() = std::move(Factory);
}
