#include "LdapConnection.h"

#include <EDirectoryError.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cstring>
#include <ldap.h>

namespace {

constexpr int PageSize = 500;
const char* const StartTlsOid = "1.3.6.1.4.1.1466.20037";

timeval TimeVal(int Ms) {
    timeval T{};
    T.tv_sec = Ms / 1000;
    T.tv_usec = (Ms % 1000) * 1000;
    return T;
}

QString Text(const char* C) {
    return C ? QString::fromUtf8(C) : QString();
}

// A berval that borrows the bytes of a QByteArray.
berval Borrow(const QByteArray& Bytes) {
    berval B{};
    B.bv_len = ber_len_t(Bytes.size());
    B.bv_val = const_cast<char*>(Bytes.constData());
    return B;
}

// The server part of a URL ("ldap://host:port") and whether it asks for StartTLS.
bool ParseUrl(const QString& Url, QByteArray& Server, bool& StartTls) {
    LDAPURLDesc* Desc = nullptr;
    if (ldap_url_parse(Url.toUtf8().constData(), &Desc) != LDAP_URL_SUCCESS || !Desc)
        return false;
    StartTls = false;
    for (char** E = Desc->lud_exts; E && *E; ++E) {
        QByteArray Ext(*E);
        if (Ext.startsWith('!'))
            Ext.remove(0, 1);
        if (Ext.compare("StartTLS", Qt::CaseInsensitive) == 0 || Ext == StartTlsOid)
            StartTls = true;
    }
    Server = QByteArray(Desc->lud_scheme) + "://";
    if (Desc->lud_host) {
        QByteArray Host(Desc->lud_host);
        Server += Host.contains(':') ? '[' + Host + ']' : Host;
    }
    if (Desc->lud_port > 0)
        Server += ':' + QByteArray::number(Desc->lud_port);
    ldap_free_urldesc(Desc);
    return true;
}

// "{SSHA}" + base64(SHA-1(password + salt) + salt), as servers keep userPassword.
QByteArray SaltedHash(const QByteArray& Password) {
    QByteArray Salt(8, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(Salt.data()), 2);
    QCryptographicHash H(QCryptographicHash::Sha1);
    H.addData(Password);
    H.addData(Salt);
    return "{SSHA}" + (H.result() + Salt).toBase64();
}

struct TModArrays {
    std::vector<LDAPMod> Mods;
    std::vector<std::vector<berval>> Values;
    std::vector<std::vector<berval*>> Pointers;
    std::vector<QByteArray> Names;
    std::vector<LDAPMod*> List;

    TModArrays(const std::vector<TLdapAttribute>& Attributes, int Op) {
        const size_t N = Attributes.size();
        Mods.resize(N);
        Values.resize(N);
        Pointers.resize(N);
        Names.resize(N);
        for (size_t I = 0; I < N; ++I) {
            Names[I] = Attributes[I].Name.toUtf8();
            for (const QByteArray& V : Attributes[I].Values)
                Values[I].push_back(Borrow(V));
            for (berval& B : Values[I])
                Pointers[I].push_back(&B);
            Pointers[I].push_back(nullptr);
            Mods[I].mod_op = Op | LDAP_MOD_BVALUES;
            Mods[I].mod_type = Names[I].data();
            Mods[I].mod_bvalues =
                Attributes[I].Values.isEmpty() && Op != LDAP_MOD_ADD ? nullptr : Pointers[I].data();
            List.push_back(&Mods[I]);
        }
        List.push_back(nullptr);
    }
};

} // namespace

void TLdapMessageFree::operator()(LDAPMessage* Message) const {
    if (Message)
        ldap_msgfree(Message);
}

const TLdapAttribute* TLdapEntry::Find(const QString& Name) const {
    for (const TLdapAttribute& A : Attributes)
        if (A.Name.compare(Name, Qt::CaseInsensitive) == 0)
            return &A;
    return nullptr;
}

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

TLdapConnection::TLdapConnection(TLdapSettings Settings, const QString& Password)
    : FSettings(std::move(Settings)), FPassword(Password.toUtf8()) {}

TLdapConnection::~TLdapConnection() {
    Drop();
    FPassword.fill('\0');
}

void TLdapConnection::Drop() {
    if (FLd)
        ldap_unbind_ext_s(FLd, nullptr, nullptr);
    FLd = nullptr;
}

void TLdapConnection::Fail(int Code, const QString& What) {
    QString Message = QStringLiteral("LDAP %1: %2").arg(What, Text(ldap_err2string(Code)));
    if (FLd) {
        char* Diagnostic = nullptr;
        if (ldap_get_option(FLd, LDAP_OPT_DIAGNOSTIC_MESSAGE, &Diagnostic) == LDAP_OPT_SUCCESS &&
            Diagnostic) {
            if (*Diagnostic)
                Message += QStringLiteral(" (%1)").arg(Text(Diagnostic));
            ldap_memfree(Diagnostic);
        }
    }
    const int Status = StatusOfLdapResult(Code);
    if (Status == ERR_TRANSPORT_FAILURE || Code < 0)
        Drop(); // the state of the connection is unknown: the next call opens a new one
    ThrowDirectoryError(Status, Message);
}

void TLdapConnection::Connect() {
    Handle();
}

LDAP* TLdapConnection::Handle() {
    if (FLd)
        return FLd;
    QByteArray Server;
    bool StartTls = false;
    if (!ParseUrl(FSettings.Url, Server, StartTls))
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("Invalid LDAP URL \"%1\"").arg(FSettings.Url));
    const QString Where = QStringLiteral("server %1").arg(QString::fromUtf8(Server));
    int Rc = ldap_initialize(&FLd, Server.constData());
    if (Rc != LDAP_SUCCESS) {
        FLd = nullptr;
        Fail(Rc, Where);
    }
    // Until the bind succeeded the handle is no connection: a failed StartTLS or bind drops it.
    try {
        const int Version = LDAP_VERSION3;
        const timeval Timeout = TimeVal(FSettings.TimeoutMs);
        ldap_set_option(FLd, LDAP_OPT_PROTOCOL_VERSION, &Version);
        ldap_set_option(FLd, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
        ldap_set_option(FLd, LDAP_OPT_NETWORK_TIMEOUT, &Timeout);
        ldap_set_option(FLd, LDAP_OPT_TIMEOUT, &Timeout);
        if (StartTls && (Rc = ldap_start_tls_s(FLd, nullptr, nullptr)) != LDAP_SUCCESS)
            Fail(Rc, Where + QStringLiteral(", StartTLS"));
        // An empty password would bind without authentication: never what a bind DN asks for.
        if (FPassword.isEmpty() && !FSettings.BindDn.isEmpty()) {
            Drop();
            ThrowDirectoryError(
                ERR_FAILED_AUTHENTICATION,
                QStringLiteral("LDAP %1: no password to bind as %2").arg(Where, FSettings.BindDn));
        }
        berval Credentials = Borrow(FPassword);
        int Id = 0;
        const QByteArray Dn = FSettings.BindDn.toUtf8();
        Rc = ldap_sasl_bind(FLd, Dn.constData(), LDAP_SASL_SIMPLE, &Credentials, nullptr, nullptr, &Id);
        if (Rc != LDAP_SUCCESS)
            Fail(Rc, Where + QStringLiteral(", bind as %1").arg(FSettings.BindDn));
        TLdapMessage Result = Wait(Id, true, Where + QStringLiteral(", bind as %1").arg(FSettings.BindDn));
        CheckResult(Result.get(), Where + QStringLiteral(", bind as %1").arg(FSettings.BindDn));
    } catch (...) {
        Drop();
        throw;
    }
    return FLd;
}

TLdapMessage TLdapConnection::Wait(int MessageId, bool All, const QString& What) {
    timeval Timeout = TimeVal(FSettings.TimeoutMs);
    LDAPMessage* Message = nullptr;
    const int Rc = ldap_result(FLd, MessageId, All ? LDAP_MSG_ALL : LDAP_MSG_ONE, &Timeout, &Message);
    if (Rc == 0) {
        ldap_abandon_ext(FLd, MessageId, nullptr, nullptr);
        Drop();
        ThrowDirectoryError(ERR_TRANSPORT_FAILURE,
                            QStringLiteral("LDAP %1: the server did not answer within %2 s")
                                .arg(What)
                                .arg(FSettings.TimeoutMs / 1000.0));
    }
    if (Rc < 0) {
        int Code = LDAP_SERVER_DOWN;
        ldap_get_option(FLd, LDAP_OPT_RESULT_CODE, &Code);
        Fail(Code, What);
    }
    return TLdapMessage(Message);
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
    QString Message = QStringLiteral("LDAP %1: %2").arg(What, Text(ldap_err2string(Code)));
    if (!Detail.isEmpty())
        Message += QStringLiteral(" (%1)").arg(Detail);
    ThrowDirectoryError(Status, Message);
}

int TLdapConnection::SearchOnce(const TRequest& R, QByteArray& Cookie, bool Paged, int SizeLimit,
                                const std::function<void(const TLdapEntry&)>& OnEntry) {
    LDAP* Ld = Handle();
    LDAPControl* Page = nullptr;
    if (Paged) {
        berval C = Borrow(Cookie);
        const int Rc = ldap_create_page_control(Ld, PageSize, &C, 0, &Page);
        if (Rc != LDAP_SUCCESS)
            Fail(Rc, R.What);
    }
    LDAPControl* Controls[] = {Page, nullptr};
    timeval Limit = TimeVal(FSettings.TimeoutMs);
    int Id = 0;
    const int Rc = ldap_search_ext(Ld, R.Base.constData(), R.Scope, R.Filter.constData(),
                                   const_cast<char**>(R.Attributes.data()), 0, Paged ? Controls : nullptr,
                                   nullptr, &Limit, SizeLimit, &Id);
    if (Page)
        ldap_control_free(Page);
    if (Rc != LDAP_SUCCESS)
        Fail(Rc, R.What);
    Cookie.clear();
    // The answer whole: a request asks for at most PageSize entries, or for a base entry.
    const TLdapMessage Chain = Wait(Id, true, R.What);
    int Code = LDAP_OTHER;
    for (LDAPMessage* M = ldap_first_message(FLd, Chain.get()); M; M = ldap_next_message(FLd, M)) {
        const int Type = ldap_msgtype(M);
        if (Type == LDAP_RES_SEARCH_ENTRY) {
            TLdapEntry E;
            char* Dn = ldap_get_dn(FLd, M);
            E.Dn = Text(Dn);
            ldap_memfree(Dn);
            BerElement* Ber = nullptr;
            for (char* A = ldap_first_attribute(FLd, M, &Ber); A; A = ldap_next_attribute(FLd, M, Ber)) {
                TLdapAttribute Attribute{Text(A), {}};
                if (berval** Values = ldap_get_values_len(FLd, M, A)) {
                    for (berval** V = Values; *V; ++V)
                        Attribute.Values.append(QByteArray((*V)->bv_val, qsizetype((*V)->bv_len)));
                    ldap_value_free_len(Values);
                }
                ldap_memfree(A);
                E.Attributes.push_back(std::move(Attribute));
            }
            if (Ber)
                ber_free(Ber, 0);
            OnEntry(E);
        } else if (Type == LDAP_RES_SEARCH_RESULT) { // references: this client follows none
            LDAPControl** ServerControls = nullptr;
            if (ldap_parse_result(FLd, M, &Code, nullptr, nullptr, nullptr, &ServerControls, 0) !=
                LDAP_SUCCESS)
                Fail(LDAP_DECODING_ERROR, R.What);
            LDAPControl* Response =
                ServerControls ? ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, ServerControls, nullptr)
                               : nullptr;
            berval Next{0, nullptr};
            ber_int_t Estimate = 0;
            if (Response &&
                ldap_parse_pageresponse_control(FLd, Response, &Estimate, &Next) == LDAP_SUCCESS &&
                Next.bv_val) {
                Cookie = QByteArray(Next.bv_val, qsizetype(Next.bv_len));
                ber_memfree(Next.bv_val);
            }
            if (ServerControls)
                ldap_controls_free(ServerControls);
            if (Code != LDAP_SUCCESS && Code != LDAP_NO_SUCH_OBJECT && Code != LDAP_SIZELIMIT_EXCEEDED)
                CheckResult(M, R.What);
        }
    }
    return Code;
}

bool TLdapConnection::Search(const QString& Base, TScope Scope, const QString& Filter,
                             const QStringList& Attributes,
                             const std::function<void(const TLdapEntry&)>& OnEntry) {
    TRequest R;
    R.Base = Base.toUtf8();
    R.Filter = Filter.toUtf8();
    R.Scope = Scope == TScope::Base       ? LDAP_SCOPE_BASE
              : Scope == TScope::OneLevel ? LDAP_SCOPE_ONELEVEL
                                          : LDAP_SCOPE_SUBTREE;
    R.What = QStringLiteral("search below %1").arg(Base);
    std::vector<QByteArray> Names;
    for (const QString& A : Attributes)
        Names.push_back(A.toUtf8());
    for (const QByteArray& A : Names)
        R.Attributes.push_back(A.constData());
    R.Attributes.push_back(nullptr);

    // A read on a connection the server dropped meanwhile is tried once more on a new one.
    for (int Attempt = 0;; ++Attempt) {
        try {
            QByteArray Cookie;
            if (Scope == TScope::Base)
                return SearchOnce(R, Cookie, false, LDAP_NO_LIMIT, OnEntry) != LDAP_NO_SUCH_OBJECT;
            // Most containers are small: one plain request for up to a page of entries, held back
            // until it is complete; only past that (or the server's size limit) paged requests
            // (RFC 2696), which cost the server more, fetch everything.
            std::vector<TLdapEntry> First;
            const int Code =
                SearchOnce(R, Cookie, false, PageSize, [&First](const TLdapEntry& E) { First.push_back(E); });
            if (Code == LDAP_NO_SUCH_OBJECT)
                return false;
            if (Code == LDAP_SUCCESS) {
                for (const TLdapEntry& E : First)
                    OnEntry(E);
                return true;
            }
            do {
                const int Page = SearchOnce(R, Cookie, true, LDAP_NO_LIMIT, OnEntry);
                if (Page == LDAP_NO_SUCH_OBJECT)
                    return false;
                if (Page == LDAP_SIZELIMIT_EXCEEDED)
                    Fail(Page, R.What); // a server without paged results: the listing would be cut
            } while (!Cookie.isEmpty());
            return true;
        } catch (const EDirectoryError& E) {
            if (Attempt > 0 || E.Code() != ERR_TRANSPORT_FAILURE ||
                E.Message().contains(QLatin1String("did not answer")))
                throw;
        }
    }
}

int TLdapConnection::Count(const QString& Base, TScope Scope, const QString& Filter) {
    int N = 0;
    if (!Search(Base, Scope, Filter, {QStringLiteral("1.1")}, [&N](const TLdapEntry&) { ++N; }))
        return -1;
    return N;
}

void TLdapConnection::Add(const QString& Dn, const std::vector<TLdapAttribute>& Attributes) {
    const QString What = QStringLiteral("add %1").arg(Dn);
    LDAP* Ld = Handle();
    TModArrays Mods(Attributes, LDAP_MOD_ADD);
    int Id = 0;
    const int Rc = ldap_add_ext(Ld, Dn.toUtf8().constData(), Mods.List.data(), nullptr, nullptr, &Id);
    if (Rc != LDAP_SUCCESS)
        Fail(Rc, What);
    CheckResult(Wait(Id, true, What).get(), What);
}

void TLdapConnection::Replace(const QString& Dn, const std::vector<TLdapAttribute>& Attributes) {
    if (Attributes.empty())
        return;
    const QString What = QStringLiteral("modify %1").arg(Dn);
    LDAP* Ld = Handle();
    TModArrays Mods(Attributes, LDAP_MOD_REPLACE);
    int Id = 0;
    const int Rc = ldap_modify_ext(Ld, Dn.toUtf8().constData(), Mods.List.data(), nullptr, nullptr, &Id);
    if (Rc != LDAP_SUCCESS)
        Fail(Rc, What);
    CheckResult(Wait(Id, true, What).get(), What);
}

void TLdapConnection::Delete(const QString& Dn) {
    const QString What = QStringLiteral("delete %1").arg(Dn);
    LDAP* Ld = Handle();
    int Id = 0;
    const int Rc = ldap_delete_ext(Ld, Dn.toUtf8().constData(), nullptr, nullptr, &Id);
    if (Rc != LDAP_SUCCESS)
        Fail(Rc, What);
    CheckResult(Wait(Id, true, What).get(), What);
}

bool TLdapConnection::OffersPasswordModify() {
    if (FPasswordModify < 0) {
        bool Offered = false;
        Search(QString(), TScope::Base, QStringLiteral("(objectClass=*)"),
               {QStringLiteral("supportedExtension")}, [&Offered](const TLdapEntry& E) {
                   if (const TLdapAttribute* A = E.Find(QStringLiteral("supportedExtension")))
                       Offered = A->Values.contains(QByteArray(LDAP_EXOP_MODIFY_PASSWD));
               });
        FPasswordModify = Offered ? 1 : 0;
    }
    return FPasswordModify == 1;
}

void TLdapConnection::SetPassword(const QString& Dn, const QString& Password) {
    const QString What = QStringLiteral("password of %1").arg(Dn);
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

QString TLdapConnection::FilterValue(const QString& Value, bool Wildcards) {
    QString Out;
    Out.reserve(Value.size() + 8);
    for (QChar C : Value) {
        switch (C.unicode()) {
        case '*':
            Out += Wildcards ? QStringLiteral("*") : QStringLiteral("\\2a");
            break;
        case '(':
            Out += QStringLiteral("\\28");
            break;
        case ')':
            Out += QStringLiteral("\\29");
            break;
        case '\\':
            Out += QStringLiteral("\\5c");
            break;
        case 0:
            Out += QStringLiteral("\\00");
            break;
        default:
            Out += C;
        }
    }
    return Out;
}
