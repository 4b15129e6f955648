#pragma once

#include <EDirectoryError.h>
#include <ForwardingBackend.h>

#include <QString>
#include <memory>

// A directory that fails as a real one fails, for tests: while down, every call that would reach
// the directory throws what a backend throws when its server cannot be reached; FailAfter lets the
// given number of writes through first, so that a run or an import breaks off in its middle.
class TFaultyBackend final : public TForwardingBackend {
public:
    explicit TFaultyBackend(std::shared_ptr<TDirectoryBackend> Inner) : TForwardingBackend(std::move(Inner)) {}

    void SetDown(bool Down) { FWritesLeft = Down ? 0 : -1; }
    // The next Writes writes (creations, field writes, deletions, passwords) succeed, then the
    // directory is down.
    void FailAfter(int Writes) { FWritesLeft = Writes; }
    bool Down() const { return FWritesLeft == 0; }

    QStringList Trees() override { return Check(), TForwardingBackend::Trees(); }
    QStringList ConnectedTrees() override { return Check(), TForwardingBackend::ConnectedTrees(); }
    void BeginTransaction() override {
        Check();
        TForwardingBackend::BeginTransaction();
    }
    void CommitTransaction() override {
        Check();
        TForwardingBackend::CommitTransaction();
    }
    void WriteFields(const TObjectRef& Object, const std::vector<TFieldWrite>& Fields) override {
        Write();
        TForwardingBackend::WriteFields(Object, Fields);
    }
    TObjectRef CreateObject(const TObjectRef& Parent, const QString& Layout, const QString& Name,
                            const std::vector<TFieldWrite>& Fields = {}) override {
        Write();
        return TForwardingBackend::CreateObject(Parent, Layout, Name, Fields);
    }
    TObjectRef CreateUser(const TObjectRef& Container, const QString& Name, const QString& Surname,
                          const TObjectRef* Template) override {
        Write();
        return TForwardingBackend::CreateUser(Container, Name, Surname, Template);
    }
    void DeleteObject(const TObjectRef& Object) override {
        Write();
        TForwardingBackend::DeleteObject(Object);
    }
    void SetPassword(const TObjectRef& Object, const QString& Password) override {
        Write();
        TForwardingBackend::SetPassword(Object, Password);
    }

protected:
    TDirectoryBackend& Target(const QString& FullName) override {
        Check();
        return TForwardingBackend::Target(FullName);
    }

private:
    void Check() const {
        if (Down())
            ThrowDirectoryError(ERR_TRANSPORT_FAILURE, QStringLiteral("Der Verzeichnisserver antwortet nicht"));
    }
    void Write() {
        Check();
        if (FWritesLeft > 0)
            --FWritesLeft;
    }

    int FWritesLeft = -1; // -1: never down
};
