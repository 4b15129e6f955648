#include "DirectoryNotice.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex SinkMutex;
TDirectoryNoticeSink& Sink() {
    static TDirectoryNoticeSink S;
    return S;
}
} // namespace

void SetDirectoryNoticeSink(TDirectoryNoticeSink NewSink) {
    QMutexLocker Lock(&SinkMutex);
    Sink() = std::move(NewSink);
}

void DirectoryNotice(const QString& Text) {
    TDirectoryNoticeSink Current;
    {
        QMutexLocker Lock(&SinkMutex);
        Current = Sink();
    }
    if (Current)
        Current(Text);
    else
        qInfo("%s", qPrintable(Text));
}
