#pragma once

#include <QFile>
#include <QString>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// A store folder that this thread may only read while the object lives: its database file, and
// with WholeFolder the folder too, lose their write permission. Root passes every permission check
// anyway, so the thread also gives up the capabilities that bypass them (from its effective set:
// they come back at the end), and sees the files as any other user would.
class TReadOnlyStore {
public:
    TReadOnlyStore(const QString& Folder, bool WholeFolder)
        : FFolder(Folder), FFile(Folder + QStringLiteral("/directory.db")), FWholeFolder(WholeFolder) {
        QFile::setPermissions(FFile, QFile::ReadOwner);
        if (FWholeFolder)
            QFile::setPermissions(FFolder, QFile::ReadOwner | QFile::ExeOwner);
        FHeader.version = _LINUX_CAPABILITY_VERSION_3;
        if (syscall(SYS_capget, &FHeader, FSaved) != 0)
            return;
        __user_cap_data_struct Reduced[2] = {FSaved[0], FSaved[1]};
        for (const int Cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            Reduced[Cap / 32].effective &= ~(1u << (Cap % 32));
        FDropped = syscall(SYS_capset, &FHeader, Reduced) == 0;
    }
    ~TReadOnlyStore() {
        if (FDropped)
            syscall(SYS_capset, &FHeader, FSaved);
        QFile::setPermissions(FFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(FFile, QFile::ReadOwner | QFile::WriteOwner);
    }
    TReadOnlyStore(const TReadOnlyStore&) = delete;
    TReadOnlyStore& operator=(const TReadOnlyStore&) = delete;

private:
    QString FFolder, FFile;
    bool FWholeFolder;
    __user_cap_header_struct FHeader{};
    __user_cap_data_struct FSaved[2]{};
    bool FDropped = false;
};
