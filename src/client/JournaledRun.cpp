#include "JournaledRun.h"

#include "DirectoryClient.h"

#include <Clock.h>
#include <RecordingBackend.h>

#include <utility>

TJournaledRun::TJournaledRun(TDirectoryClient& Client, const QString& Kind, const QString& Title,
                             const QString& Tree, std::vector<TRunInput> Inputs, qint64 Undoes)
    : FClient(Client) {
    TRunJournal* Journal = Client.Journal();
    if (!Journal || !Client.Recorder())
        return;
    TJournalRun Run;
    Run.Kind = Kind;
    Run.Title = Title;
    Run.Started = TClock::Now();
    const TRunOrigin Origin = Client.Origin(Tree);
    Run.Login = Origin.Login;
    Run.Server = Origin.Server;
    Run.Tree = Tree;
    Run.Inputs = std::move(Inputs);
    Run.Undoes = Undoes;
    FId = Journal->Begin(Run);
    const qint64 Id = FId;
    Client.Recorder()->SetSink([Journal, Id](const TRunChange& Change) { Journal->Record(Id, Change); });
}

TJournaledRun::~TJournaledRun() {
    if (!FId)
        return;
    try {
        End(QStringLiteral("abgebrochen"));
    } catch (...) {
    }
}

void TJournaledRun::Record(const TRunChange& Change) {
    if (!FId)
        return;
    FClient.Recorder()->Flush();
    FClient.Journal()->Record(FId, Change);
}

void TJournaledRun::End(const QString& Result) {
    if (!FId)
        return;
    const qint64 Id = FId;
    FId = 0;
    FClient.Recorder()->SetSink({});
    FClient.Journal()->End(Id, TClock::Now(), Result);
}
