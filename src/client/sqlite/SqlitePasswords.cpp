#include "SqliteStore.h"

#include "SqliteParts.h"

#include <EDirectoryError.h>

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

// Passwords are kept as salted hashes, never as text.

namespace {

constexpr int PasswordIterations = 10000;

// PBKDF2 with HMAC-SHA-256, one block.
QByteArray DeriveKey(const QString& Password, const QByteArray& Salt, int Iterations) {
    QMessageAuthenticationCode Mac(QCryptographicHash::Sha256, Password.toUtf8());
    Mac.addData(Salt);
    Mac.addData(QByteArray("\x00\x00\x00\x01", 4));
    QByteArray U = Mac.result();
    QByteArray Key = U;
    for (int I = 1; I < Iterations; ++I) {
        Mac.reset();
        Mac.addData(U);
        U = Mac.result();
        char* K = Key.data();
        const char* P = U.constData();
        for (qsizetype B = 0; B < Key.size(); ++B)
            K[B] = char(K[B] ^ P[B]);
    }
    return Key;
}

} // namespace

void TSqliteStore::SetPassword(const TObjectRef& Object, const QString& Password) {
    if (!Object.Key.Id || !P->Objects.Exists(Object))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("No such object"));
    QByteArray Salt(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(Salt.data()), 4);
    const QByteArray Hash = DeriveKey(Password, Salt, PasswordIterations);
    static const TStatement Replace(
        "INSERT OR REPLACE INTO passwords(object_id, algorithm, salt, hash) VALUES(?, ?, ?, ?)");
    TSqlTransaction T(P->Db);
    TQuery(P->Db, Replace, Object.Key.Id, QStringLiteral("pbkdf2-sha256:%1").arg(PasswordIterations), Salt,
           Hash);
    T.Commit();
}

bool TSqliteStore::CheckPassword(const TObjectRef& Object, const QString& Password) {
    static const TStatement Select("SELECT algorithm, salt, hash FROM passwords WHERE object_id=?");
    QString Algorithm;
    QByteArray Salt, Hash;
    {
        TQuery Q(P->Db, Select, Object.Key.Id);
        if (!Q.Next())
            return false;
        Algorithm = Q.Value(0).toString();
        Salt = Q.Value(1).toByteArray();
        Hash = Q.Value(2).toByteArray();
    }
    if (!Algorithm.startsWith(QLatin1String("pbkdf2-sha256:")))
        return false;
    const int Iterations = Algorithm.section(QLatin1Char(':'), 1).toInt();
    if (Iterations <= 0)
        return false;
    const QByteArray Probe = DeriveKey(Password, Salt, Iterations);
    // Compare without an early exit.
    if (Probe.size() != Hash.size())
        return false;
    int Diff = 0;
    for (qsizetype I = 0; I < Probe.size(); ++I)
        Diff |= Probe[I] ^ Hash[I];
    return Diff == 0;
}
