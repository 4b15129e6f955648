#include "AppSetup.h"
#include "LdapLogin_u.h"
#include "Parvon_U.h"

#include <DirectoryNotice.h>
#include <ModalSeam.h>
#include <Secrets.h>
#include <WorkstationClient.h>

#include <QApplication>
#include <QThread>

int main(int argc, char** argv) {
    // A core file would hold the passwords typed into the window.
    ForbidCoreDumps();
    QApplication App(argc, argv);
    SetupApplication(App);
    // The workstation's client follows its settings: a tree on an LDAP server asks for the bind
    // password when the client opens.
    InstallWorkstationClient([](const TBindRequest& R, const QString& Problem, QString& Password) {
        return AskBindPassword(R.Tree, R.Url, R.BindDn, Problem, Password);
    });
    // What the directory tells on its own (changes of a broken-off import taken back) in a box.
    SetDirectoryNoticeSink([](const QString& Text) {
        QMetaObject::invokeMethod(
            qApp, [Text] { TModalSeam::Information(nullptr, Text); },
            QThread::currentThread() == qApp->thread() ? Qt::DirectConnection : Qt::QueuedConnection);
    });
    TForm1 Form1;
    Form1.show();
    return App.exec();
}
