#pragma once

#include <DemoNamen.h>
#include <TestStore.h>
#include <TestText.h>

#include <FaultInjection.h>
#include <ModalSeam.h>
#include <ndk_u.h>

#include <QString>
#include <memory>

// The demo store and an access object on it, shared by the cases of one test program: Start in
// initTestCase (after the backend check), Reset in init, Stop in cleanupTestCase.
class TNdkFixture {
protected:
    std::unique_ptr<TTestStore> FStore;
    std::unique_ptr<TNDK> FNdk;

    static QString Tree() { return Demo::Prefix; }
    static QString Unterricht() { return Demo::Unterricht; }
    static QString Schueler() { return Demo::Schueler; }

    void Start() {
        TModalSeam::SetUnattended(true);
        FStore = std::make_unique<TTestStore>();
        FNdk = std::make_unique<TNDK>(nullptr);
    }
    void Reset() {
        TModalSeam::Clear();
        TFaultInjection::Clear();
        FNdk->SetFilters(QString());
    }
    void Stop() {
        FNdk.reset();
        FStore.reset();
    }

    // A fresh container below "schueler" for one test.
    QString NewContainer(const QString& Name) {
        FNdk->AddOrganizationalUnit(Schueler(), Name);
        if (FNdk->AddFailed)
            qFatal("cannot create the test container");
        return Schueler() + u'\\' + Name;
    }
    QString AddTestUser(const QString& Container, const QString& Name, TNDK* Ndk = nullptr) {
        if (!Ndk)
            Ndk = FNdk.get();
        Ndk->AddEntry(Container, Name, Q("User"));
        if (Ndk->AddFailed)
            qFatal("cannot create the test user");
        return Container + u'\\' + Name;
    }
};
