#include "LdapConnection.h"
#include "LdapValues.h"

#include <EDirectoryError.h>

// What the server's result codes mean to the client: its status codes and the messages of a
// failure, which name the request and the server's diagnostic but never a password.

int StatusOfLdapResult(int Result) {
    switch (Result) {
    case LDAP_SUCCESS:
        return 0;
    case LDAP_NO_SUCH_OBJECT:
        return ERR_NO_SUCH_ENTRY;
    case LDAP_ALREADY_EXISTS:
        return ERR_ENTRY_ALREADY_EXISTS;
    case LDAP_NO_SUCH_ATTRIBUTE:
        return ERR_NO_SUCH_VALUE;
    case LDAP_UNDEFINED_TYPE:
        return ERR_NO_SUCH_ATTRIBUTE;
    case LDAP_TYPE_OR_VALUE_EXISTS:
        return ERR_DUPLICATE_VALUE;
    case LDAP_CONSTRAINT_VIOLATION:
    case LDAP_INVALID_SYNTAX:
        return ERR_SYNTAX_VIOLATION;
    case LDAP_INVALID_DN_SYNTAX:
        return ERR_ILLEGAL_DS_NAME;
    case LDAP_NAMING_VIOLATION:
        return ERR_ILLEGAL_CONTAINMENT;
    case LDAP_OBJECT_CLASS_VIOLATION:
        return ERR_ILLEGAL_ATTRIBUTE;
    case LDAP_INVALID_CREDENTIALS:
    case LDAP_INAPPROPRIATE_AUTH:
        return ERR_FAILED_AUTHENTICATION;
    case LDAP_INSUFFICIENT_ACCESS:
    case LDAP_STRONG_AUTH_REQUIRED:
    case LDAP_CONFIDENTIALITY_REQUIRED:
        return ERR_NO_ACCESS;
    case LDAP_SERVER_DOWN:
    case LDAP_TIMEOUT:
    case LDAP_CONNECT_ERROR:
    case LDAP_BUSY:
    case LDAP_UNAVAILABLE:
    case LDAP_TIMELIMIT_EXCEEDED:
        return ERR_TRANSPORT_FAILURE;
    default:
        return ERR_INVALID_REQUEST;
    }
}

QString GermanLdapText(int Result) {
    switch (Result) {
    case LDAP_INVALID_CREDENTIALS:
        return QStringLiteral("Benutzer oder Kennwort ist falsch");
    case LDAP_SERVER_DOWN:
    case LDAP_CONNECT_ERROR:
    case LDAP_UNAVAILABLE:
    case LDAP_BUSY:
        return QStringLiteral("Der LDAP-Server ist nicht erreichbar");
    case LDAP_TIMEOUT:
    case LDAP_TIMELIMIT_EXCEEDED:
        return QStringLiteral("Der LDAP-Server hat nicht rechtzeitig geantwortet");
    case LDAP_NO_SUCH_OBJECT:
        return QStringLiteral("Das Objekt gibt es nicht");
    case LDAP_ALREADY_EXISTS:
        return QStringLiteral("Das Objekt gibt es bereits");
    case LDAP_INSUFFICIENT_ACCESS:
    case LDAP_STRONG_AUTH_REQUIRED:
    case LDAP_CONFIDENTIALITY_REQUIRED:
        return QStringLiteral("Keine Berechtigung");
    case LDAP_CONSTRAINT_VIOLATION:
        return QStringLiteral("Eine Einschränkung des Servers ist verletzt");
    default:
        return QString();
    }
}

namespace {

// "<German text> (<request>: <the server's text>; LDAP-Code <n>)"; without a German text the
// server's text leads.
QString ResultMessage(int Code, const QString& What, const QString& Detail) {
    QString Server = Text(ldap_err2string(Code));
    if (!Detail.isEmpty())
        Server += QStringLiteral(", ") + Detail;
    const QString German = GermanLdapText(Code);
    const QString Inner = QStringLiteral("%1: %2; LDAP-Code %3").arg(What, Server).arg(Code);
    return German.isEmpty() ? QStringLiteral("LDAP-Fehler (%1)").arg(Inner)
                            : QStringLiteral("%1 (%2)").arg(German, Inner);
}

} // namespace

void TLdapConnection::Fail(int Code, const QString& What) {
    QString Detail;
    if (FLd) {
        char* Diagnostic = nullptr;
        if (ldap_get_option(FLd, LDAP_OPT_DIAGNOSTIC_MESSAGE, &Diagnostic) == LDAP_OPT_SUCCESS &&
            Diagnostic) {
            Detail = Text(Diagnostic);
            ldap_memfree(Diagnostic);
        }
    }
    const QString Message = ResultMessage(Code, What, Detail);
    const int Status = StatusOfLdapResult(Code);
    if (Status == ERR_TRANSPORT_FAILURE || Code < 0)
        Drop(); // the state of the connection is unknown: the next call opens a new one
    ThrowDirectoryError(Status, Message);
}

void TLdapConnection::CheckResult(LDAPMessage* Result, const QString& What) {
    int Code = LDAP_SUCCESS;
    char* Diagnostic = nullptr;
    const int Rc = ldap_parse_result(FLd, Result, &Code, nullptr, &Diagnostic, nullptr, nullptr, 0);
    const QString Detail = Text(Diagnostic);
    if (Diagnostic)
        ldap_memfree(Diagnostic);
    if (Rc != LDAP_SUCCESS)
        Fail(Rc, What);
    if (Code == LDAP_SUCCESS)
        return;
    const int Status = StatusOfLdapResult(Code);
    if (Status == ERR_TRANSPORT_FAILURE)
        Drop();
    ThrowDirectoryError(Status, ResultMessage(Code, What, Detail));
}
