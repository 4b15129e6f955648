#include "LdapConnection.h"
#include "LdapValues.h"

#include <EDirectoryError.h>

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>

// Passwords: the bind password's file, and the passwords of entries, set and checked.

namespace {

// "{SSHA}" + base64(SHA-1(password + salt) + salt), as servers keep userPassword.
QByteArray SaltedHash(const QByteArray& Password) {
    QByteArray Salt(8, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(Salt.data()), 2);
    QCryptographicHash H(QCryptographicHash::Sha1);
    H.addData(Password);
    H.addData(Salt);
    return "{SSHA}" + (H.result() + Salt).toBase64();
}

} // namespace

QString ReadPasswordFile(const QString& Path) {
    QFile F(Path);
    if (!F.open(QIODevice::ReadOnly))
        ThrowDirectoryError(ERR_FAILED_AUTHENTICATION,
                            QStringLiteral("Cannot read the password file %1").arg(Path));
    const QFileDevice::Permissions Others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (F.permissions() & Others)
        ThrowDirectoryError(
            ERR_FAILED_AUTHENTICATION,
            QStringLiteral("The password file %1 may be read by others than its owner").arg(Path));
    QByteArray Bytes = F.readAll();
    while (Bytes.endsWith('\n') || Bytes.endsWith('\r'))
        Bytes.chop(1);
    const QString Password = QString::fromUtf8(Bytes);
    Bytes.fill('\0');
    return Password;
}

bool TLdapConnection::OffersPasswordModify() {
    if (FPasswordModify < 0)
        FPasswordModify = OffersExtension(LDAP_EXOP_MODIFY_PASSWD) ? 1 : 0;
    return FPasswordModify == 1;
}

void TLdapConnection::SetPassword(const QString& Dn, const QString& Password) {
    const QString What = QStringLiteral("Kennwort von %1").arg(Dn);
    QByteArray Bytes = Password.toUtf8();
    if (Bytes.isEmpty()) {
        try {
            Replace(Dn, {{QStringLiteral("userPassword"), {}}});
        } catch (const EDirectoryError& E) {
            if (E.Code() != ERR_NO_SUCH_VALUE)
                throw;
        }
        return;
    }
    if (!FSettings.PasswordModify || !OffersPasswordModify()) {
        QByteArray Hash = SaltedHash(Bytes);
        Bytes.fill('\0');
        Replace(Dn, {{QStringLiteral("userPassword"), {Hash}}});
        return;
    }
    LDAP* Ld = Handle();
    const QByteArray User = Dn.toUtf8();
    berval UserValue = Borrow(User);
    berval NewValue = Borrow(Bytes);
    int Id = 0;
    const int Rc = ldap_passwd(Ld, &UserValue, nullptr, &NewValue, nullptr, nullptr, &Id);
    Bytes.fill('\0');
    if (Rc != LDAP_SUCCESS)
        Fail(Rc, What);
    CheckResult(Wait(Id, true, What).get(), What);
}

bool TLdapConnection::CheckPassword(const QString& Dn, const QString& Password) {
    if (Password.isEmpty()) {
        int Held = 0;
        Search(Dn, TScope::Base, QStringLiteral("(userPassword=*)"), {QStringLiteral("1.1")},
               [&Held](const TLdapEntry&) { ++Held; });
        return Held == 0;
    }
    TLdapSettings Own = FSettings;
    Own.BindDn = Dn;
    Own.Journal.clear(); // a probe takes nothing back
    TLdapConnection Probe(Own, Password);
    try {
        Probe.Connect();
    } catch (const EDirectoryError& E) {
        if (E.Code() == ERR_FAILED_AUTHENTICATION)
            return false;
        throw;
    }
    return true;
}
