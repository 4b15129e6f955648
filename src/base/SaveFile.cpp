#include "SaveFile.h"

#include <cerrno>

namespace {

// The reason of the device's last failure; where Qt kept none, the system's for errno.
QString Reason(const QFileDevice& File, int Errno) {
    if (File.error() != QFileDevice::NoError && !File.errorString().isEmpty())
        return File.errorString();
    return qt_error_string(Errno != 0 ? Errno : EIO);
}

} // namespace

bool OpenForSaving(QSaveFile& File, QString& Why) {
    errno = 0;
    if (File.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return true;
    Why = Reason(File, errno);
    return false;
}

bool WriteWhole(QSaveFile& File, const QByteArray& Data, QString& Why) {
    qint64 Done = 0;
    while (Done < Data.size()) {
        errno = 0;
        const qint64 Written = File.write(Data.constData() + Done, Data.size() - Done);
        if (Written <= 0) {
            Why = Reason(File, errno);
            File.cancelWriting();
            return false;
        }
        // A short write is no failure yet: the next call for the rest fails with the reason.
        Done += Written;
    }
    return true;
}

bool CommitSaving(QSaveFile& File, QString& Why) {
    errno = 0;
    if (File.commit())
        return true;
    Why = Reason(File, errno);
    return false;
}

bool SaveWhole(const QString& Path, const QByteArray& Data, QString& Why) {
    QSaveFile File(Path);
    return OpenForSaving(File, Why) && WriteWhole(File, Data, Why) && CommitSaving(File, Why);
}
