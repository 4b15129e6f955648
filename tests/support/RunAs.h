#pragma once

#include <QProcess>
#include <QString>

// The exit status of a shell command run with the given ids and no other groups (-1 when it did
// not end on its own); needs root.
inline int RunAs(qint64 Uid, qint64 Gid, const QString& Command) {
    QProcess P;
    P.setWorkingDirectory(QStringLiteral("/"));
    P.start(QStringLiteral("setpriv"),
            {QStringLiteral("--reuid=%1").arg(Uid), QStringLiteral("--regid=%1").arg(Gid),
             QStringLiteral("--clear-groups"), QStringLiteral("sh"), QStringLiteral("-c"), Command});
    if (!P.waitForFinished(20000))
        return -1;
    return P.exitStatus() == QProcess::NormalExit ? P.exitCode() : -1;
}
