#include "SerialWorkQueue.h"

#include <QMutexLocker>

TSerialWorkQueue::TSerialWorkQueue() {
    FPool.setMaxThreadCount(1);
}

TSerialWorkQueue::~TSerialWorkQueue() {
    SetHeld(false);
    FPool.waitForDone();
}

bool TSerialWorkQueue::Start(const QString& Key, std::function<void()> Work) {
    {
        QMutexLocker Lock(&FMutex);
        if (FKeys.contains(Key))
            return false;
        FKeys.insert(Key);
    }
    FPool.start([this, Key, Work = std::move(Work)] {
        WaitWhileHeld();
        try {
            Work();
        } catch (...) {
        }
        QMutexLocker Lock(&FMutex);
        FKeys.remove(Key);
    });
    return true;
}

void TSerialWorkQueue::WaitForAll() {
    FPool.waitForDone();
}

void TSerialWorkQueue::SetHeld(bool Held) {
    QMutexLocker Lock(&FMutex);
    FHeld = Held;
    if (!Held)
        FReleased.wakeAll();
}

void TSerialWorkQueue::WaitWhileHeld() {
    QMutexLocker Lock(&FMutex);
    while (FHeld)
        FReleased.wait(&FMutex);
}
