#include "SqliteStore.h"

#include "SqliteParts.h"

#include <EDirectoryError.h>

#include <QMessageAuthenticationCode>
#include <sodium.h>

// Passwords are kept as salted hashes, never as text: Argon2id in libsodium's encoded form (the
// form names its own salt and limits). Hashes of the older PBKDF2 form are still checked; the next
// set replaces them.

namespace {

const QString Argon2id = QStringLiteral("argon2id");

void InitSodium() {
    if (sodium_init() < 0)
        ThrowDirectoryError(-1, QStringLiteral("Die Passwortbibliothek kann nicht initialisiert werden"));
}

// PBKDF2 with HMAC-SHA-256, one block: the form stores written before held.
QByteArray DeriveKey(const QByteArray& Password, const QByteArray& Salt, int Iterations) {
    QMessageAuthenticationCode Mac(QCryptographicHash::Sha256, Password);
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

bool CheckPbkdf2(const QString& Algorithm, const QByteArray& Password, const QByteArray& Salt,
                 const QByteArray& Hash) {
    const int Iterations = Algorithm.section(QLatin1Char(':'), 1).toInt();
    if (Iterations <= 0)
        return false;
    const QByteArray Probe = DeriveKey(Password, Salt, Iterations);
    return Probe.size() == Hash.size() &&
           sodium_memcmp(Probe.constData(), Hash.constData(), size_t(Hash.size())) == 0;
}

// The password's bytes, wiped when they are no longer needed.
class TSecret {
public:
    explicit TSecret(const QString& Text) : FBytes(Text.toUtf8()) {}
    ~TSecret() { sodium_memzero(FBytes.data(), size_t(FBytes.size())); }
    TSecret(const TSecret&) = delete;
    TSecret& operator=(const TSecret&) = delete;
    const QByteArray& Bytes() const { return FBytes; }

private:
    QByteArray FBytes;
};

} // namespace

void TSqliteStore::UseMinimalPasswordCostForTests() {
    FMinimalPasswordCost = true;
}

void TSqliteStore::SetPassword(const TObjectRef& Object, const QString& Password) {
    if (!Object.Key.Id || !P->Objects.Exists(Object))
        ThrowDirectoryError(ERR_NO_SUCH_ENTRY, QStringLiteral("Objekt nicht gefunden"));
    InitSodium();
    const TSecret Secret(Password);
    const unsigned long long Ops =
        FMinimalPasswordCost ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
    const size_t Memory =
        FMinimalPasswordCost ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
    char Encoded[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(Encoded, Secret.Bytes().constData(), size_t(Secret.Bytes().size()), Ops, Memory,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        ThrowDirectoryError(-1, QStringLiteral("Zu wenig Speicher für den Hash des Passworts"));
    static const TStatement Replace(
        "INSERT OR REPLACE INTO passwords(object_id, algorithm, salt, hash) VALUES(?, ?, ?, ?)");
    TSqlTransaction T(P->Db);
    // The encoded form holds the salt; the column stays an empty value.
    TQuery(P->Db, Replace, Object.Key.Id, Argon2id, QByteArray(""), QByteArray(Encoded));
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
    InitSodium();
    const TSecret Secret(Password);
    if (Algorithm == Argon2id)
        return crypto_pwhash_str_verify(Hash.constData(), Secret.Bytes().constData(),
                                        size_t(Secret.Bytes().size())) == 0;
    if (Algorithm.startsWith(QLatin1String("pbkdf2-sha256:")))
        return CheckPbkdf2(Algorithm, Secret.Bytes(), Salt, Hash);
    return false;
}
