#include "LdapConnection.h"

#include "LdapJournal.h"
#include "LdapValues.h"

#include <Clock.h>
#include <EDirectoryError.h>

#include <QMutexLocker>
#include <QScopeGuard>

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

TLdapConnection::TLdapConnection(TLdapSettings Settings, const QString& Password)
    : TLdapConnection(std::move(Settings), std::make_shared<const TLdapSecret>(Password),
                      std::make_shared<TLdapReach>()) {
    FRecovers = true;
}

TLdapConnection::TLdapConnection(TLdapSettings Settings, std::shared_ptr<const TLdapSecret> Password,
                                 std::shared_ptr<TLdapReach> Reach)
    : FSettings(std::move(Settings)), FPassword(std::move(Password)), FReach(std::move(Reach)) {}

TLdapConnection::~TLdapConnection() {
    if (FGroupDepth > 0)
        AbortWrites();
    Drop();
}

void TLdapConnection::NoteUnreachable(int Code, const QString& Message) {
    QMutexLocker Lock(&FReach->Mutex);
    FReach->FailedAt = TClock::Now();
    FReach->Code = Code;
    FReach->Message = Message;
}

void TLdapConnection::Drop() {
    if (FLd)
        ldap_unbind_ext_s(FLd, nullptr, nullptr);
    FLd = nullptr;
}

void TLdapConnection::Connect() {
    Handle();
}

LDAP* TLdapConnection::Handle() {
    if (FLd)
        return FLd;
    if (!FSettings.Refusal.isEmpty())
        ThrowDirectoryError(ERR_FAILED_AUTHENTICATION,
                            QStringLiteral("Der Verzeichnisbaum „%1“ ist nicht erreichbar: %2")
                                .arg(FSettings.Tree, FSettings.Refusal));
    // A server that did not answer a moment ago gets a short try only within the timeout, so that
    // many calls together do not wait much longer than one.
    int Budget = FSettings.TimeoutMs;
    {
        QMutexLocker Lock(&FReach->Mutex);
        if (FReach->FailedAt.isValid() && TClock::Now() < FReach->FailedAt.addMSecs(FSettings.TimeoutMs))
            Budget = qMin(Budget, 250);
    }
    QByteArray Server;
    bool StartTls = false;
    if (!ParseUrl(FSettings.Url, Server, StartTls))
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("Ungültige LDAP-Adresse \"%1\"").arg(FSettings.Url));
    const QString Where = QStringLiteral("Server %1").arg(QString::fromUtf8(Server));
    int Rc = ldap_initialize(&FLd, Server.constData());
    if (Rc != LDAP_SUCCESS) {
        FLd = nullptr;
        Fail(Rc, Where);
    }
    // Connect, StartTLS and bind together wait at most the timeout.
    const QDateTime Deadline = TClock::Now().addMSecs(Budget);
    const auto Left = [&Deadline] { return int(qMax<qint64>(1, TClock::Now().msecsTo(Deadline))); };
    // Until the bind succeeded the handle is no connection: a failed StartTLS or bind drops it.
    try {
        const int Version = LDAP_VERSION3;
        const timeval Timeout = TimeVal(Budget);
        ldap_set_option(FLd, LDAP_OPT_PROTOCOL_VERSION, &Version);
        ldap_set_option(FLd, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
        ldap_set_option(FLd, LDAP_OPT_NETWORK_TIMEOUT, &Timeout);
        ldap_set_option(FLd, LDAP_OPT_TIMEOUT, &Timeout);
        if (StartTls && (Rc = ldap_start_tls_s(FLd, nullptr, nullptr)) != LDAP_SUCCESS)
            Fail(Rc, Where + QStringLiteral(", StartTLS"));
        // An empty password would bind without authentication: never what a bind DN asks for.
        if (FPassword->Size() == 0 && !FSettings.BindDn.isEmpty()) {
            Drop();
            ThrowDirectoryError(ERR_FAILED_AUTHENTICATION,
                                QStringLiteral("Der Verzeichnisbaum „%1“ ist nicht erreichbar: Für die "
                                               "Anmeldung als %2 am %3 ist kein Kennwort angegeben")
                                    .arg(FSettings.Tree, FSettings.BindDn, Where));
        }
        berval Credentials{ber_len_t(FPassword->Size()), const_cast<char*>(FPassword->Data())};
        int Id = 0;
        const QByteArray Dn = FSettings.BindDn.toUtf8();
        const QString What = Where + QStringLiteral(", Anmeldung als %1").arg(FSettings.BindDn);
        Rc = ldap_sasl_bind(FLd, Dn.constData(), LDAP_SASL_SIMPLE, &Credentials, nullptr, nullptr, &Id);
        if (Rc != LDAP_SUCCESS)
            Fail(Rc, What);
        TLdapMessage Result = Wait(Id, true, What, Left());
        CheckResult(Result.get(), What);
    } catch (const EDirectoryError& E) {
        Drop();
        if (E.Code() == ERR_TRANSPORT_FAILURE)
            NoteUnreachable(E.Code(), E.Message());
        throw;
    } catch (...) {
        Drop();
        throw;
    }
    ++FConnections;
    {
        QMutexLocker Lock(&FReach->Mutex);
        FReach->FailedAt = QDateTime();
    }
    // Before anything else, what a group broken off earlier left on the server is taken back.
    RecoverJournal();
    return FLd;
}

TLdapMessage TLdapConnection::Wait(int MessageId, bool All, const QString& What, int Ms) {
    timeval Timeout = TimeVal(Ms < 0 ? FSettings.TimeoutMs : Ms);
    LDAPMessage* Message = nullptr;
    const int Rc = ldap_result(FLd, MessageId, All ? LDAP_MSG_ALL : LDAP_MSG_ONE, &Timeout, &Message);
    if (Rc == 0) {
        ldap_abandon_ext(FLd, MessageId, nullptr, nullptr);
        Drop();
        const QString Message = QStringLiteral("%1 (%2: keine Antwort innerhalb von %3 s)")
                                    .arg(GermanLdapText(LDAP_TIMEOUT), What)
                                    .arg((Ms < 0 ? FSettings.TimeoutMs : Ms) / 1000.0);
        NoteUnreachable(ERR_TRANSPORT_FAILURE, Message);
        ThrowDirectoryError(ERR_TRANSPORT_FAILURE, Message);
    }
    if (Rc < 0) {
        int Code = LDAP_SERVER_DOWN;
        ldap_get_option(FLd, LDAP_OPT_RESULT_CODE, &Code);
        Fail(Code, What);
    }
    return TLdapMessage(Message);
}

int TLdapConnection::SearchOnce(const TRequest& R, QByteArray& Cookie, bool Paged, int SizeLimit,
                                const std::function<void(TLdapEntry&)>& OnEntry) {
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
    // Each message as it arrives, so that the entries are read while the server still sends; a
    // request left before its end is abandoned with what came of it.
    bool Done = false;
    const auto Abandon = qScopeGuard([&] {
        if (!Done && FLd)
            ldap_abandon_ext(FLd, Id, nullptr, nullptr);
    });
    int Code = LDAP_OTHER;
    while (!Done) {
        const TLdapMessage Message = Wait(Id, false, R.What);
        LDAPMessage* M = Message.get();
        const int Type = ldap_msgtype(M);
        if (Type == LDAP_RES_SEARCH_ENTRY) {
            // Read in one pass, the names and values where the message holds them.
            TLdapEntry E;
            BerElement* Ber = nullptr;
            berval Dn{0, nullptr};
            if (ldap_get_dn_ber(FLd, M, &Ber, &Dn) != LDAP_SUCCESS)
                Fail(LDAP_DECODING_ERROR, R.What);
            const std::unique_ptr<BerElement, void (*)(BerElement*)> Held(
                Ber, [](BerElement* B) { ber_free(B, 0); });
            E.Dn = QString::fromUtf8(Dn.bv_val, qsizetype(Dn.bv_len));
            for (;;) {
                berval Name{0, nullptr};
                berval* Values = nullptr;
                if (ldap_get_attribute_ber(FLd, M, Ber, &Name, &Values) != LDAP_SUCCESS)
                    Fail(LDAP_DECODING_ERROR, R.What);
                if (!Name.bv_val)
                    break;
                TLdapAttribute Attribute{QString::fromUtf8(Name.bv_val, qsizetype(Name.bv_len)), {}};
                for (const berval* V = Values; V && V->bv_val; ++V)
                    Attribute.Values.append(QByteArray(V->bv_val, qsizetype(V->bv_len)));
                if (Values)
                    ber_memfree(Values);
                E.Attributes.push_back(std::move(Attribute));
            }
            OnEntry(E);
        } else if (Type == LDAP_RES_SEARCH_RESULT) { // references: this client follows none
            Done = true;
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
    R.What = QStringLiteral("Suche unter %1").arg(Base.isEmpty() ? QStringLiteral("der Wurzel") : Base);
    std::vector<QByteArray> Names;
    for (const QString& A : Attributes)
        Names.push_back(A.toUtf8());
    for (const QByteArray& A : Names)
        R.Attributes.push_back(A.constData());
    R.Attributes.push_back(nullptr);

    const std::function<void(TLdapEntry&)> Pass = [&OnEntry](TLdapEntry& E) { OnEntry(E); };
    // A read on a connection the server dropped meanwhile is tried once more on a new one.
    for (int Attempt = 0;; ++Attempt) {
        try {
            QByteArray Cookie;
            if (Scope == TScope::Base)
                return SearchOnce(R, Cookie, false, LDAP_NO_LIMIT, Pass) != LDAP_NO_SUCH_OBJECT;
            // Most containers are small: one plain request for up to a page of entries, held back
            // until it is complete; only past that (or the server's size limit) paged requests
            // (RFC 2696), which cost the server more, fetch everything.
            std::vector<TLdapEntry> First;
            const int Code = SearchOnce(R, Cookie, false, PageSize,
                                        [&First](TLdapEntry& E) { First.push_back(std::move(E)); });
            if (Code == LDAP_NO_SUCH_OBJECT)
                return false;
            if (Code == LDAP_SUCCESS) {
                for (const TLdapEntry& E : First)
                    OnEntry(E);
                return true;
            }
            do {
                const int Page = SearchOnce(R, Cookie, true, LDAP_NO_LIMIT, Pass);
                if (Page == LDAP_NO_SUCH_OBJECT)
                    return false;
                if (Page == LDAP_SIZELIMIT_EXCEEDED)
                    Fail(Page, R.What); // a server without paged results: the listing would be cut
            } while (!Cookie.isEmpty());
            return true;
        } catch (const EDirectoryError& E) {
            QMutexLocker Lock(&FReach->Mutex);
            if (Attempt > 0 || E.Code() != ERR_TRANSPORT_FAILURE || FReach->FailedAt.isValid())
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
    const QString What = QStringLiteral("Anlegen von %1").arg(Dn);
    LDAPControl** Controls = nullptr;
    LDAP* Ld = WriteHandle(Controls);
    const bool Noted = Noting();
    if (Noted)
        NoteUndo({TLdapUndo::TKind::Delete, Dn, {}});
    TModArrays Mods(Attributes, LDAP_MOD_ADD);
    try {
        int Id = 0;
        const int Rc = ldap_add_ext(Ld, Dn.toUtf8().constData(), Mods.List.data(), Controls, nullptr, &Id);
        if (Rc != LDAP_SUCCESS)
            Fail(Rc, What);
        CheckWrite(Wait(Id, true, What).get(), What);
    } catch (const EDirectoryError& E) {
        // Refused: nothing to take back (an entry that was there already stays). Without an answer
        // the step stays, as the entry may have landed.
        if (Noted && E.Code() != ERR_TRANSPORT_FAILURE) {
            FUndo.pop_back();
            if (FJournal)
                FJournal->Cancel(Dn);
        }
        throw;
    }
    if (Noted)
        FAddedDns.insert(Dn.toLower());
}

void TLdapConnection::Replace(const QString& Dn, const std::vector<TLdapAttribute>& Attributes) {
    ModifyValues(Dn, Attributes, LDAP_MOD_REPLACE);
}

void TLdapConnection::AddValues(const QString& Dn, const std::vector<TLdapAttribute>& Adds) {
    ModifyValues(Dn, Adds, LDAP_MOD_ADD);
}

void TLdapConnection::ModifyValues(const QString& Dn, const std::vector<TLdapAttribute>& Attributes, int Op) {
    if (Attributes.empty())
        return;
    const QString What = QStringLiteral("Ändern von %1").arg(Dn);
    LDAPControl** Controls = nullptr;
    LDAP* Ld = WriteHandle(Controls);
    if (Noting() && !FAddedDns.contains(Dn.toLower())) {
        QStringList Names;
        for (const TLdapAttribute& A : Attributes)
            Names.append(A.Name);
        NoteUndo({TLdapUndo::TKind::Restore, Dn, HeldValues(Dn, Names)});
        Ld = Handle();
    }
    TModArrays Mods(Attributes, Op);
    int Id = 0;
    const int Rc = ldap_modify_ext(Ld, Dn.toUtf8().constData(), Mods.List.data(), Controls, nullptr, &Id);
    if (Rc != LDAP_SUCCESS)
        Fail(Rc, What);
    CheckWrite(Wait(Id, true, What).get(), What);
}

void TLdapConnection::Modify(const QString& Dn, const std::vector<TLdapAttribute>& Deletes,
                             const std::vector<TLdapAttribute>& Adds) {
    const QString What = QStringLiteral("modify %1").arg(Dn);
    LDAP* Ld = Handle();
    TModArrays Deleted(Deletes, LDAP_MOD_DELETE), Added(Adds, LDAP_MOD_ADD);
    std::vector<LDAPMod*> List(Deleted.List.begin(), Deleted.List.end() - 1);
    List.insert(List.end(), Added.List.begin(), Added.List.end());
    int Id = 0;
    const int Rc = ldap_modify_ext(Ld, Dn.toUtf8().constData(), List.data(), nullptr, nullptr, &Id);
    if (Rc != LDAP_SUCCESS)
        Fail(Rc, What);
    CheckResult(Wait(Id, true, What).get(), What);
}

void TLdapConnection::Delete(const QString& Dn) {
    const QString What = QStringLiteral("Löschen von %1").arg(Dn);
    LDAPControl** Controls = nullptr;
    LDAP* Ld = WriteHandle(Controls);
    if (Noting() && !FAddedDns.contains(Dn.toLower())) {
        std::vector<TLdapAttribute> Entry = HeldValues(Dn, {});
        if (!Entry.empty())
            NoteUndo({TLdapUndo::TKind::Add, Dn, std::move(Entry)});
        Ld = Handle();
    }
    int Id = 0;
    const int Rc = ldap_delete_ext(Ld, Dn.toUtf8().constData(), Controls, nullptr, &Id);
    if (Rc != LDAP_SUCCESS)
        Fail(Rc, What);
    CheckWrite(Wait(Id, true, What).get(), What);
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
