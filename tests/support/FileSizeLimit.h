#pragma once

#include <csignal>
#include <sys/resource.h>

// While it lives, no file of this process grows past Bytes: a write beyond stops short and the next
// fails with EFBIG, as on a full disk, without a device or root. The signal the kernel sends for it
// is ignored meanwhile.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t Bytes) {
        getrlimit(RLIMIT_FSIZE, &FBefore);
        FSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit Limit = FBefore;
        Limit.rlim_cur = Bytes;
        FSet = setrlimit(RLIMIT_FSIZE, &Limit) == 0;
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FBefore);
        std::signal(SIGXFSZ, FSignal);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
    bool Set() const { return FSet; }

private:
    rlimit FBefore{};
    void (*FSignal)(int) = SIG_DFL;
    bool FSet = false;
};
