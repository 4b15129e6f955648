#pragma once

#include <ModalSeam.h>
#include <ndk_u.h>

#include <QWidget>
#include <memory>

class TDirectoryClient;

// One case of a test that shows the access object's dialogs: an access object on Store, owned by
// a plain widget (the owner of its dialogs) and published as NDK, and the modal seam unattended.
// The end of the case undoes all of it.
class TNdkCase {
public:
    explicit TNdkCase(TDirectoryClient& Store) : FOwner(std::make_unique<QWidget>()) {
        NDK = new TNDK(FOwner.get(), Store);
        TModalSeam::Clear();
        TModalSeam::SetUnattended(true);
    }
    ~TNdkCase() {
        TModalSeam::Clear();
        TModalSeam::SetUnattended(false);
        FOwner.reset(); // frees the access object with it
        NDK = nullptr;
    }
    TNdkCase(const TNdkCase&) = delete;
    TNdkCase& operator=(const TNdkCase&) = delete;

    QWidget* Owner() const { return FOwner.get(); }

private:
    std::unique_ptr<QWidget> FOwner;
};
