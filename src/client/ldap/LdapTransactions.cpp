#include "LdapConnection.h"
#include "LdapValues.h"

#include <EDirectoryError.h>

#include <QMutexLocker>

#include <cstring>
#include <new>
#include <sodium.h>

// The bind password's memory, and groups of writes: LDAP transactions (RFC 5805) where the server
// offers them, else a note of the entries added that an abort deletes again.

TLdapSecret::TLdapSecret(const QString& Password) {
    if (sodium_init() < 0)
        throw std::bad_alloc();
    QByteArray Bytes = Password.toUtf8();
    FSize = size_t(Bytes.size());
    FData = static_cast<char*>(sodium_malloc(FSize + 1));
    if (!FData) {
        sodium_memzero(Bytes.data(), size_t(Bytes.size()));
        throw std::bad_alloc();
    }
    std::memcpy(FData, Bytes.constData(), FSize);
    FData[FSize] = '\0';
    sodium_memzero(Bytes.data(), size_t(Bytes.size()));
    sodium_mprotect_readonly(FData);
}

TLdapSecret::~TLdapSecret() {
    sodium_free(FData); // wipes it
}

bool TLdapConnection::OffersExtension(const char* Oid) {
    bool Offered = false;
    Search(QString(), TScope::Base, QStringLiteral("(objectClass=*)"), {QStringLiteral("supportedExtension")},
           [&Offered, Oid](const TLdapEntry& E) {
               if (const TLdapAttribute* A = E.Find(QStringLiteral("supportedExtension")))
                   Offered = A->Values.contains(QByteArray(Oid));
           });
    return Offered;
}

bool TLdapConnection::OffersTransactions() {
    if (FTransactions < 0)
        FTransactions = OffersExtension(LDAP_EXOP_TXN_START) && OffersExtension(LDAP_EXOP_TXN_END) ? 1 : 0;
    return FTransactions == 1;
}

void TLdapConnection::BeginWrites() {
    if (FGroupDepth++ > 0)
        return;
    FTxnId.clear();
    FAdded.clear();
}

LDAP* TLdapConnection::WriteHandle(LDAPControl**& Controls) {
    Controls = nullptr;
    if (FGroupDepth == 0)
        return Handle();
    const QString What = QStringLiteral("Transaktion");
    if (!FTxnId.isEmpty()) {
        // The server drops a transaction with its connection: what follows must not land alone.
        if (!FLd || FConnections != FTxnConnection)
            ThrowDirectoryError(ERR_TRANSPORT_FAILURE,
                                QStringLiteral("%1 (Verbindung während der Transaktion verloren; "
                                               "nichts davon wurde geschrieben)")
                                    .arg(GermanLdapText(LDAP_SERVER_DOWN)));
        Controls = FTxnControls;
        return FLd;
    }
    if (!FAdded.isEmpty() || !OffersTransactions())
        return Handle();
    LDAP* Ld = Handle();
    // Synchronous: libldap waits at most the connection's LDAP_OPT_TIMEOUT, the settings' timeout.
    berval* Id = nullptr;
    const int Rc = ldap_txn_start_s(Ld, nullptr, nullptr, &Id);
    if (Rc != LDAP_SUCCESS || !Id || !Id->bv_len) {
        if (Id)
            ber_bvfree(Id);
        if (StatusOfLdapResult(Rc) == ERR_TRANSPORT_FAILURE || !FLd)
            Fail(Rc, What);
        // A server that names the operation but refuses it: the group goes on with the journal.
        FTransactions = 0;
        return Ld;
    }
    FTxnId = QByteArray(Id->bv_val, qsizetype(Id->bv_len));
    ber_bvfree(Id);
    FTxnConnection = FConnections;
    FTxnControl = std::make_shared<LDAPControl>();
    FTxnControl->ldctl_oid = const_cast<char*>(LDAP_CONTROL_TXN_SPEC);
    FTxnControl->ldctl_value = Borrow(FTxnId);
    FTxnControl->ldctl_iscritical = 1;
    FTxnControls[0] = FTxnControl.get();
    FTxnControls[1] = nullptr;
    Controls = FTxnControls;
    return FLd;
}

void TLdapConnection::CheckWrite(LDAPMessage* Result, const QString& What) {
    if (!FTxnId.isEmpty()) {
        // Inside a transaction the server only queues the write.
        int Code = LDAP_SUCCESS;
        if (ldap_parse_result(FLd, Result, &Code, nullptr, nullptr, nullptr, nullptr, 0) == LDAP_SUCCESS &&
            Code == LDAP_TXN_SPECIFY_OKAY)
            return;
    }
    CheckResult(Result, What);
}

void TLdapConnection::CommitWrites() {
    if (FGroupDepth == 0 || --FGroupDepth > 0)
        return;
    FAdded.clear();
    const QByteArray Id = std::exchange(FTxnId, QByteArray());
    if (Id.isEmpty())
        return;
    const QString What = QStringLiteral("Abschluss der Transaktion");
    if (!FLd || FConnections != FTxnConnection)
        ThrowDirectoryError(ERR_TRANSPORT_FAILURE,
                            QStringLiteral("%1 (%2: Verbindung verloren; nichts wurde geschrieben)")
                                .arg(GermanLdapText(LDAP_SERVER_DOWN), What));
    berval B = Borrow(Id);
    int Msg = 0;
    const int Rc = ldap_txn_end(FLd, 1, &B, nullptr, nullptr, &Msg);
    if (Rc != LDAP_SUCCESS)
        Fail(Rc, What);
    CheckResult(Wait(Msg, true, What).get(), What);
}

void TLdapConnection::AbortWrites() noexcept {
    if (FGroupDepth == 0)
        return;
    FGroupDepth = 0;
    const QByteArray Id = std::exchange(FTxnId, QByteArray());
    const QStringList Added = std::exchange(FAdded, QStringList());
    try {
        if (!Id.isEmpty()) {
            // A lost connection took the transaction along.
            if (FLd && FConnections == FTxnConnection) {
                berval B = Borrow(Id);
                int Msg = 0;
                if (ldap_txn_end(FLd, 0, &B, nullptr, nullptr, &Msg) == LDAP_SUCCESS)
                    Wait(Msg, true, QStringLiteral("Abbruch der Transaktion"));
            }
            return;
        }
        for (qsizetype I = Added.size() - 1; I >= 0; --I)
            Delete(Added[I]);
    } catch (...) {
        // What cannot be undone now stays: the caller reports the failure that led here.
    }
}
