#pragma once

#include <QMutex>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QWaitCondition>
#include <functional>

// Work done in the background, one piece after another on a thread of its own, each key at most
// once queued or running. Work that throws ends there and tells no one. The destructor waits for
// every piece that was queued.
class TSerialWorkQueue {
public:
    TSerialWorkQueue();
    ~TSerialWorkQueue();
    TSerialWorkQueue(const TSerialWorkQueue&) = delete;
    TSerialWorkQueue& operator=(const TSerialWorkQueue&) = delete;

    // Queues Work under Key; false, and nothing queued, while work of that key is queued or runs.
    bool Start(const QString& Key, std::function<void()> Work);
    // Returns once every piece queued has ended.
    void WaitForAll();

    // While held, queued work waits before it begins (tests).
    void SetHeld(bool Held);

private:
    void WaitWhileHeld();

    QMutex FMutex;
    QWaitCondition FReleased;
    QSet<QString> FKeys; // queued or running
    bool FHeld = false;
    QThreadPool FPool;
};
