#pragma once

#include <EDirectoryError.h>
#include <LdapConnection.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>
#include <vector>

// The backend a directory test runs against: the embedded store, or, with PARVON_TEST_BACKEND=ldap,
// the demo directory on a throwaway LDAP server (scripts/ldap-test-server.sh) that the test
// executable starts once and stops at its end. Every fresh test store finds the server's directory
// as the server started: Reset undoes whatever the cases before wrote. PARVON_LDAP_LDIF names
// another export to load (scripts/ldap-test-server.sh).
class TLdapTestServer {
public:
    static bool Wanted() { return qgetenv("PARVON_TEST_BACKEND") == "ldap"; }

    // The shared server, started on first use; nullptr (with the reason) when it cannot start.
    static TLdapTestServer* Shared(QString* Why = nullptr) {
        static std::unique_ptr<TLdapTestServer> Server;
        static QString Reason;
        static bool Tried = false;
        if (!Tried) {
            Tried = true;
            auto S = std::unique_ptr<TLdapTestServer>(new TLdapTestServer());
            Reason = S->Start();
            if (Reason.isEmpty())
                Server = std::move(S);
        }
        if (Why)
            *Why = Reason;
        return Server.get();
    }

    ~TLdapTestServer() {
        if (!FFolder.isEmpty()) {
            const QByteArray Command =
                "\"" + Script().toLocal8Bit() + "\" stop \"" + FFolder.toLocal8Bit() + "\"";
            std::system(Command.constData());
        }
    }

    // Connection values for the tree SCHULE, bound as the server's administrator.
    TLdapSettings Settings() const {
        TLdapSettings S;
        S.Tree = QStringLiteral("SCHULE");
        S.Url = FEnv.value(QStringLiteral("PARVON_LDAP_URL"));
        S.Base = FEnv.value(QStringLiteral("PARVON_LDAP_BASE"));
        S.BindDn = FEnv.value(QStringLiteral("PARVON_LDAP_BIND_DN"));
        S.PasswordFile = FEnv.value(QStringLiteral("PARVON_LDAP_PASSWORD_FILE"));
        S.TimeoutMs = 5000;
        return S;
    }
    QString Password() const { return ReadPasswordFile(Settings().PasswordFile); }
    QString Value(const char* Name) const { return FEnv.value(QString::fromLatin1(Name)); }

    // Stops the server's process, so that it keeps its connections but answers nothing, and returns
    // once the system shows it stopped; Thaw lets it go on.
    void Freeze() {
        const int Pid = Value("PARVON_LDAP_PID").toInt();
        ::kill(Pid, SIGSTOP);
        QFile Stat(QStringLiteral("/proc/%1/stat").arg(Pid));
        QElapsedTimer T;
        T.start();
        while (T.elapsed() < 5000) {
            if (!Stat.open(QIODevice::ReadOnly))
                return;
            const QByteArray Line = Stat.readAll();
            Stat.close();
            const qsizetype Close = Line.lastIndexOf(')');
            if (Close >= 0 && Line.mid(Close + 2, 1) == "T")
                return;
            std::this_thread::yield();
        }
    }
    void Thaw() { ::kill(Value("PARVON_LDAP_PID").toInt(), SIGCONT); }

    // Kills the server's process (kill -9) and returns once it is gone.
    void Kill() {
        const int Pid = Value("PARVON_LDAP_PID").toInt();
        ::kill(Pid, SIGKILL);
        QElapsedTimer T;
        T.start();
        while (T.elapsed() < 10000) {
            QFile Stat(QStringLiteral("/proc/%1/stat").arg(Pid));
            if (!Stat.open(QIODevice::ReadOnly))
                break;
            const QByteArray Line = Stat.readAll();
            const qsizetype Close = Line.lastIndexOf(')');
            if (Close < 0 || Line.mid(Close + 2, 1) == "Z")
                break;
            std::this_thread::yield();
        }
    }
    // Starts a killed server again on its port with its database; false when it does not start.
    bool Revive() {
        QProcess P;
        P.start(Script(), {QStringLiteral("revive"), FFolder});
        if (!P.waitForFinished(60000) || P.exitCode() != 0)
            return false;
        ReadEnv(P.readAllStandardOutput());
        FAdmin.reset();
        return true;
    }

    // Puts the directory back as it was when the server started; the first call notes that state.
    void Reset() {
        std::map<QString, TLdapEntry> Now = ReadAll();
        if (!FSnapshotTaken) {
            FSnapshot = std::move(Now);
            FSnapshotTaken = true;
            return;
        }
        std::vector<const TLdapEntry*> Gone, Extra;
        for (const auto& [Key, Entry] : Now)
            if (!FSnapshot.count(Key))
                Extra.push_back(&Entry);
        std::sort(Extra.begin(), Extra.end(), [](const TLdapEntry* A, const TLdapEntry* B) {
            return A->Dn.count(QLatin1Char(',')) > B->Dn.count(QLatin1Char(','));
        });
        for (const TLdapEntry* E : Extra)
            Admin().Delete(E->Dn);
        for (const auto& [Key, Entry] : FSnapshot) {
            auto It = Now.find(Key);
            if (It == Now.end()) {
                Gone.push_back(&Entry);
                continue;
            }
            std::vector<TLdapAttribute> Changes;
            for (const TLdapAttribute& A : Entry.Attributes) {
                const TLdapAttribute* Held = It->second.Find(A.Name);
                if (!Held || Held->Values != A.Values)
                    Changes.push_back(A);
            }
            for (const TLdapAttribute& A : It->second.Attributes)
                if (!Entry.Find(A.Name))
                    Changes.push_back({A.Name, {}});
            Admin().Replace(Entry.Dn, Changes);
        }
        std::sort(Gone.begin(), Gone.end(), [](const TLdapEntry* A, const TLdapEntry* B) {
            return A->Dn.count(QLatin1Char(',')) < B->Dn.count(QLatin1Char(','));
        });
        for (const TLdapEntry* E : Gone)
            Admin().Add(E->Dn, E->Attributes);
    }

private:
    TLdapTestServer() = default;

    static QString Script() { return QStringLiteral(PARVON_SOURCE_DIR "/scripts/ldap-test-server.sh"); }

    QString Start() {
        if (!FTemp.isValid())
            return QStringLiteral("no temporary folder for the LDAP test server");
        QProcess P;
        P.setProcessChannelMode(QProcess::SeparateChannels);
        P.start(Script(), {QStringLiteral("start"), FTemp.path() + QStringLiteral("/server")});
        if (!P.waitForFinished(120000))
            return QStringLiteral("scripts/ldap-test-server.sh did not finish");
        if (P.exitCode() == 77)
            return QStringLiteral(
                "slapd or ldap-utils is not installed (scripts/install-deps.sh installs them)");
        if (P.exitCode() != 0)
            return QStringLiteral("the LDAP test server did not start: ") +
                   QString::fromLocal8Bit(P.readAllStandardError());
        FFolder = FTemp.path() + QStringLiteral("/server");
        // Should the test crash, a watcher stops the server once the process is gone.
        QProcess::startDetached(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; \"$0\" stop \"$1\" "
                            ">/dev/null 2>&1; rm -rf \"$2\"")
                 .arg(QCoreApplication::applicationPid()),
             Script(), FFolder, FTemp.path()});
        ReadEnv(P.readAllStandardOutput());
        return QString();
    }

    void ReadEnv(const QByteArray& Text) {
        for (const QByteArray& Line : Text.split('\n')) {
            // export NAME='VALUE'
            const qsizetype Eq = Line.indexOf('=');
            if (!Line.startsWith("export ") || Eq < 0)
                continue;
            QByteArray V = Line.mid(Eq + 1);
            if (V.startsWith('\'') && V.endsWith('\''))
                V = V.mid(1, V.size() - 2);
            FEnv.insert(QString::fromUtf8(Line.mid(7, Eq - 7)), QString::fromUtf8(V));
        }
    }

    TLdapConnection& Admin() {
        if (!FAdmin)
            FAdmin = std::make_unique<TLdapConnection>(Settings(), Password());
        return *FAdmin;
    }

    // Every entry below the base with its attributes, by lower-cased DN.
    std::map<QString, TLdapEntry> ReadAll() {
        std::map<QString, TLdapEntry> All;
        Admin().Search(Settings().Base, TLdapConnection::TScope::Subtree, QStringLiteral("(objectClass=*)"),
                       {QStringLiteral("*")}, [&All](const TLdapEntry& E) { All[E.Dn.toLower()] = E; });
        return All;
    }

    QTemporaryDir FTemp{QDir::tempPath() + QStringLiteral("/pl.XXXXXX")};
    QString FFolder;
    QHash<QString, QString> FEnv;
    std::unique_ptr<TLdapConnection> FAdmin;
    std::map<QString, TLdapEntry> FSnapshot;
    bool FSnapshotTaken = false;
};

// Skips the test class when it should run against the LDAP server and that server cannot start.
#define PARVON_REQUIRE_TEST_BACKEND()                                                                        \
    do {                                                                                                     \
        QString Why;                                                                                         \
        if (TLdapTestServer::Wanted() && !TLdapTestServer::Shared(&Why))                                     \
            QSKIP(qPrintable(QStringLiteral("LDAP backend: ") + Why));                                       \
    } while (false)
