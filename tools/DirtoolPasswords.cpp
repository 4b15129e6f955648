// parvon-dirtool: setting and checking passwords, typed without echo or read from standard input.

#include "Dirtool.h"

#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <Secrets.h>

#include <QTextStream>
#include <termios.h>
#include <unistd.h>

namespace {

// The user an argument names; passwords are set for users only.
TObjectRef PasswordUser(TTool& Tool, const QString& FullName) {
    const TObjectRef User = Tool.Client.Directory().Resolve(FullName);
    if (User.Layout != QLatin1String("User"))
        throw EDirectoryError(QStringLiteral("%1 is no user.").arg(User.FullName));
    return User;
}

// The first line of standard input, read byte by byte into one buffer that is wiped: a text
// stream would keep its own copy. False for a line too long.
bool ReadSecretLine(QString& Password) {
    QByteArray Bytes;
    Bytes.reserve(1024); // never grown, so never copied
    char C = 0;
    bool TooLong = false;
    while (::read(STDIN_FILENO, &C, 1) == 1 && C != '\n') {
        if (Bytes.size() + 1 < Bytes.capacity())
            Bytes.append(C);
        else
            TooLong = true;
    }
    C = 0;
    if (Bytes.endsWith('\r'))
        Bytes.chop(1);
    if (!TooLong)
        Password = QString::fromUtf8(Bytes);
    WipeSecret(Bytes);
    return !TooLong;
}

// The password argument at Index, else the first line of standard input, read without echo from
// a terminal.
QString PasswordOf(const QStringList& Args, int Index) {
    if (Args.size() > Index)
        return Args[Index];
    const bool Terminal = isatty(STDIN_FILENO);
    termios Saved{};
    if (Terminal && tcgetattr(STDIN_FILENO, &Saved) == 0) {
        termios Quiet = Saved;
        Quiet.c_lflag &= ~tcflag_t(ECHO);
        QTextStream(stderr) << "Password: " << Qt::flush;
        tcsetattr(STDIN_FILENO, TCSANOW, &Quiet);
    }
    QString Password;
    const bool Read = ReadSecretLine(Password);
    if (Terminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &Saved);
        QTextStream(stderr) << '\n';
    }
    if (!Read)
        throw EDirectoryError(QStringLiteral("The password is too long."));
    return Password;
}

// A password as the program passes it to the directory: in upper case.
void Upper(TSecretText& Password) {
    TSecretText Typed(std::move(Password.Text()));
    Password.Text() = Typed.Text().toUpper();
}

} // namespace

int SetPassword(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    const TObjectRef User = PasswordUser(Tool, Args[0]);
    TSecretText Password(PasswordOf(Args, 1));
    Upper(Password);
    Tool.Client.Directory().SetPassword(User, Password.Text());
    Out() << "Password set for " << User.FullName << ".\n";
    return 0;
}

int CheckPassword(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 2);
    const TObjectRef User = PasswordUser(Tool, Args[0]);
    TSecretText Password(PasswordOf(Args, 1));
    Upper(Password);
    if (Tool.Client.Directory().CheckPassword(User, Password.Text())) {
        Out() << "Password is right.\n";
        return 0;
    }
    Out() << "Password is wrong.\n";
    return 1;
}
