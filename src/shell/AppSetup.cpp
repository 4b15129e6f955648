#include "AppSetup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The signal handler only writes a byte; the event loop reads it and ends.
int GSignalSocket[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char Byte = 1;
    [[maybe_unused]] const ssize_t Written = ::write(GSignalSocket[1], &Byte, 1);
}

// Ends the event loop when the session or a script ends the program (SIGTERM, SIGINT), with exit
// status 0 and without asking: nobody is there to answer a question. The configuration is then not
// saved, as after "Nein".
void EndOnTerminationSignals(QApplication& App) {
    if (GSignalSocket[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, GSignalSocket) != 0)
        return;
    auto* Notifier = new QSocketNotifier(GSignalSocket[0], QSocketNotifier::Read, &App);
    QObject::connect(Notifier, &QSocketNotifier::activated, &App, [] {
        char Byte;
        [[maybe_unused]] const ssize_t Read = ::read(GSignalSocket[0], &Byte, 1);
        QCoreApplication::exit(0);
    });
    struct sigaction Action {};
    Action.sa_handler = OnTerminationSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &Action, nullptr);
    sigaction(SIGINT, &Action, nullptr);
}

} // namespace

void SetupApplication(QApplication& App) {
    App.setApplicationName(QStringLiteral("Parvon"));
    // Every text of the program is German; Qt's own texts (file dialog, context menus) follow, and
    // so do numbers, dates and names of files' types, also on a workstation set to no language.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto* Translator = new QTranslator(&App);
    if (Translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        App.installTranslator(Translator);
    else
        delete Translator;
    QFont Font(QStringLiteral("Arial"));
    Font.setPointSize(9);
    App.setFont(Font);
    EndOnTerminationSignals(App);
}
