#include "DryRun.h"

#include "DirectoryClient.h"

#include <OverlayBackend.h>
#include <RecordingBackend.h>

TDryRun::TDryRun(TDirectoryClient& Real)
    : FClient(
          std::make_unique<TDirectoryClient>(std::make_shared<TOverlayBackend>(Real.DirectoryPtr()),
                                             std::make_shared<TOverlayVolumeStore>(Real.VolumeStorePtr()))),
      FInstalled(TDirectoryClient::Installed()) {
    // Recorded as a journaled run records: the recording decorators in front of the copy.
    FClient->SetJournal(nullptr, {});
    FClient->Recorder()->SetSink([this](const TRunChange& Change) { FChanges.push_back(Change); });
    TDirectoryClient::SetInstance(FClient.get());
}

TDryRun::~TDryRun() {
    TDirectoryClient::SetInstance(FInstalled);
}

const std::vector<TRunChange>& TDryRun::Changes() {
    FClient->Recorder()->Flush();
    return FChanges;
}

void TDryRun::Record(const TRunChange& Change) {
    FClient->Recorder()->Flush();
    FChanges.push_back(Change);
}
