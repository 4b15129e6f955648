#pragma once

#include "ForwardingBackend.h"
#include "RunJournal.h"

#include <QHash>
#include <functional>
#include <memory>
#include <optional>

// Receives the changes the recording decorators saw, in the order they were made.
using TChangeSink = std::function<void(const TRunChange& Change)>;

// What the recording decorators of one client share: the sink, the changes of a transaction that
// still runs (they reach the sink when the outermost transaction commits and are dropped when it
// rolls back), and the rights of a trustee being changed one right at a time, which reach the sink
// as one change when something else happens.
class TChangeRecorder {
public:
    // Sends what is pending to the old sink first; an empty sink records nothing.
    void SetSink(TChangeSink Sink);
    bool Active() const { return bool(FSink); }
    void Add(TRunChange Change);
    // A change of a trustee's rights on a folder: merged with the one before when it concerns the
    // same trustee and folder.
    void AddRights(const QString& Folder, const QString& Trustee, std::optional<int> Before,
                   std::optional<int> After);
    // Sends the pending rights change on.
    void Flush();
    void Begin();
    void Commit();
    void Rollback();

private:
    void Deliver(TRunChange Change);

    TChangeSink FSink;
    std::optional<TRunChange> FRights;
    int FDepth = 0;
    std::vector<TRunChange> FHeld; // made inside the running transaction
};

// Records every write made through it with what was there before, read from the inner backend,
// and what reads give afterwards; hands everything on. Records nothing while the recorder has no
// sink. A write that fails is not recorded: the run reports it. Fields the directory maintains
// itself ("Object Class", "Revision", ...) are not recorded.
class TRecordingBackend : public TForwardingBackend {
public:
    TRecordingBackend(std::shared_ptr<TDirectoryBackend> Inner, std::shared_ptr<TChangeRecorder> Recorder);

    void WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) override;
    TObjectRef CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                            const std::vector<TFieldWrite>& Fields = {}) override;
    TObjectRef CreateUser(const TObjectRef& Container, const QString& Name, const QString& Surname,
                          const TObjectRef* Template) override;
    void DeleteObject(const TObjectRef& Object) override;
    void BeginTransaction() override;
    void CommitTransaction() override;
    void RollbackTransaction() override;
    void SetPassword(const TObjectRef& Object, const QString& Password) override;

private:
    std::shared_ptr<TChangeRecorder> FRecorder;
};

// The same for a volume store: folders made (each missing level its own change, outermost first)
// or found, flags, trustees and their rights.
class TRecordingVolumeStore : public TForwardingVolumeStore {
public:
    TRecordingVolumeStore(std::shared_ptr<TVolumeStore> Inner, std::shared_ptr<TChangeRecorder> Recorder);

    bool CreateFolder(const QString& UncPath) override;
    bool RemoveFolder(const QString& UncPath) override;
    TFolderKey OpenFolder(const QString& UncPath) override;
    void SetFolderFlag(const TFolderKey& Folder, TFolderFlag Flag, bool On) override;
    void AddTrustee(const TFolderKey& Folder, const QString& Trustee) override;
    void RemoveTrustee(const TFolderKey& Folder, const QString& Trustee) override;
    void ChangeTrusteeRights(const TFolderKey& Folder, const QString& Trustee, int Grant,
                             int Revoke) override;
    void AssignTrustee(const TFolderKey& Folder, const QString& Trustee, int Rights) override;

private:
    QString PathOf(const TFolderKey& Folder) const;

    std::shared_ptr<TChangeRecorder> FRecorder;
    QHash<QString, QString> FPaths; // folder key -> the network path it was opened with
};

// The fields of an object as a change keeps them: every field but the ones the directory maintains.
std::vector<TFieldValues> KeptFields(TDirectoryBackend& Directory, const TObjectRef& Object);
