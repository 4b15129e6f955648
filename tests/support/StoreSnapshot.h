#pragma once

// What a test store holds, as an administrator would compare it: the database's dump as the
// sqlite3 shell writes it, every folder and file below the volumes' roots (with mode and content),
// and, against the LDAP test server, the server's whole tree as ldapsearch prints it.

#include <TestStore.h>

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

struct TStoreSnapshot {
    QString Dump;
    QStringList Folders;
    QString Ldap;       // every attribute, the server's own among them
    QString LdapFields; // the entries' own attributes

    explicit TStoreSnapshot(TTestStore& Store) {
        Dump = Run(QStringLiteral("sqlite3"),
                   {Store.Path() + QStringLiteral("/directory.db"), QStringLiteral(".dump")});
        const QString Root = Store.Path() + QStringLiteral("/volumes");
        QDirIterator It(Root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (It.hasNext()) {
            const QFileInfo Info(It.next());
            QString Line =
                Info.filePath().mid(Root.size()) + QStringLiteral(" %1").arg(int(Info.permissions()), 0, 16);
            if (Info.isFile()) {
                QFile F(Info.filePath());
                if (F.open(QIODevice::ReadOnly))
                    Line +=
                        u' ' + QString::fromLatin1(
                                   QCryptographicHash::hash(F.readAll(), QCryptographicHash::Md5).toHex());
            }
            Folders << Line;
        }
        Folders.sort();
        if (Store.Ldap) {
            const TLdapSettings S = TLdapTestServer::Shared()->Settings();
            Ldap = Run(QStringLiteral("ldapsearch"),
                       {QStringLiteral("-x"), QStringLiteral("-LLL"), QStringLiteral("-H"), S.Url,
                        QStringLiteral("-D"), S.BindDn, QStringLiteral("-y"), S.PasswordFile,
                        QStringLiteral("-b"), S.Base, QStringLiteral("(objectClass=*)"), QStringLiteral("*"),
                        QStringLiteral("+")});
        }
    }

    // The dump without what only numbers rows: the statements that set sequence counters.
    QStringList DumpLines() const {
        QStringList Lines = Dump.split(u'\n');
        Lines.removeIf([](const QString& L) { return L.contains(QLatin1String("sqlite_sequence")); });
        return Lines;
    }

private:
    static QString Run(const QString& Program, const QStringList& Args) {
        QProcess P;
        P.start(Program, Args);
        if (!P.waitForFinished(60000) || P.exitCode() != 0)
            qFatal("%s failed: %s", qPrintable(Program), P.readAllStandardError().constData());
        return QString::fromUtf8(P.readAllStandardOutput());
    }
};
