#include "LdapConnection.h"
#include "LdapValues.h"

#include <EDirectoryError.h>

#include "LdapJournal.h"

#include <DirectoryNotice.h>

#include <QDir>
#include <QMutexLocker>
#include <QScopeGuard>

#include <cstring>
#include <new>
#include <sodium.h>

// The bind password's memory, and groups of writes: LDAP transactions (RFC 5805) where the server
// offers them, else the steps that take each write back, in memory and in the journal.

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
    FInTxn = false;
    FTxnId.clear();
    FNoted = false;
    FUndo.clear();
    FAddedDns.clear();
    FJournal.reset();
}

LDAP* TLdapConnection::WriteHandle(LDAPControl**& Controls) {
    Controls = nullptr;
    if (FGroupDepth == 0 || FRecovering || FOutside)
        return Handle();
    const QString What = QStringLiteral("Transaktion");
    if (FInTxn) {
        // The server drops a transaction with its connection: what follows must not land alone.
        if (!FLd || FConnections != FTxnConnection)
            ThrowDirectoryError(ERR_TRANSPORT_FAILURE,
                                QStringLiteral("%1 (Verbindung während der Transaktion verloren; "
                                               "nichts davon wurde geschrieben)")
                                    .arg(GermanLdapText(LDAP_SERVER_DOWN)));
        Controls = FTxnControls;
        return FLd;
    }
    if (FNoted)
        return Handle();
    LDAP* Ld = Handle();
    if (!FSettings.Transactions || !OffersTransactions()) {
        StartJournal();
        return Handle();
    }
    // Synchronous: libldap waits at most the connection's LDAP_OPT_TIMEOUT, the settings' timeout.
    berval* Id = nullptr;
    const int Rc = ldap_txn_start_s(Ld, nullptr, nullptr, &Id);
    if (Rc != LDAP_SUCCESS) {
        if (Id)
            ber_bvfree(Id);
        if (StatusOfLdapResult(Rc) == ERR_TRANSPORT_FAILURE || !FLd)
            Fail(Rc, What);
        // A server that names the operation but refuses it: the group goes on with the journal.
        FTransactions = 0;
        StartJournal();
        return Handle();
    }
    FTxnId = Id ? QByteArray(Id->bv_val, qsizetype(Id->bv_len)) : QByteArray();
    if (Id)
        ber_bvfree(Id);
    FInTxn = true;
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
    if (FInTxn) {
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
    FUndo.clear();
    FAddedDns.clear();
    if (FJournal) {
        // Everything landed: nothing is to be taken back.
        const std::unique_ptr<TLdapJournal> Journal = std::move(FJournal);
        Journal->Remove();
    }
    if (!std::exchange(FInTxn, false))
        return;
    const QByteArray Id = std::exchange(FTxnId, QByteArray());
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
    const bool InTxn = std::exchange(FInTxn, false);
    const QByteArray Id = std::exchange(FTxnId, QByteArray());
    const std::vector<TLdapUndo> Steps = std::exchange(FUndo, {});
    const std::unique_ptr<TLdapJournal> Journal = std::move(FJournal);
    FAddedDns.clear();
    try {
        if (InTxn) {
            // A lost connection took the transaction along.
            if (FLd && FConnections == FTxnConnection) {
                berval B = Borrow(Id);
                int Msg = 0;
                if (ldap_txn_end(FLd, 0, &B, nullptr, nullptr, &Msg) == LDAP_SUCCESS)
                    Wait(Msg, true, QStringLiteral("Abbruch der Transaktion"));
            }
            return;
        }
        const TUndone Undone = Undo(Steps);
        if (Journal)
            Journal->Remove();
        if (!Undone.Left.isEmpty())
            DirectoryNotice(QStringLiteral("Nicht alle Änderungen am Baum %1 ließen sich zurücknehmen: %2")
                                .arg(FSettings.Tree, Undone.Left.join(QStringLiteral("; "))));
    } catch (...) {
        // What cannot be taken back now stays in the journal for the next contact; the caller
        // reports the failure that led here.
        try {
            DirectoryNotice(
                Journal
                    ? QStringLiteral("Die bisherigen Änderungen am Baum %1 werden zurückgenommen, sobald der "
                                     "Server wieder erreichbar ist (Journal %2).")
                          .arg(FSettings.Tree, QDir::toNativeSeparators(Journal->Path()))
                    : QStringLiteral("Die bisherigen Änderungen am Baum %1 ließen sich nicht zurücknehmen "
                                     "und bleiben auf dem Server.")
                          .arg(FSettings.Tree));
        } catch (...) {
        }
    }
}

void TLdapConnection::AddOutsideGroup(const QString& Dn, const std::vector<TLdapAttribute>& Attributes) {
    const bool Was = std::exchange(FOutside, true);
    const auto Restore = qScopeGuard([this, Was] { FOutside = Was; });
    Add(Dn, Attributes);
}

// ---------------------------------------------------------------------------------------------
// Groups without a transaction

void TLdapConnection::StartJournal() {
    FNoted = true;
    if (FSettings.Journal.isEmpty())
        return;
    auto Journal = std::make_unique<TLdapJournal>(FSettings.Journal);
    if (!Journal->Lock(FSettings.TimeoutMs))
        ThrowDirectoryError(
            ERR_INVALID_REQUEST,
            QStringLiteral("Ein anderes Programm dieses Arbeitsplatzes schreibt gerade in den "
                           "Baum %1 (Sperre %2)")
                .arg(FSettings.Tree, QDir::toNativeSeparators(Journal->Path() + QStringLiteral(".lock"))));
    // A journal its group left behind is taken back before this group begins its own.
    if (Journal->Exists() && !RecoverFrom(*Journal))
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("Das Journal %1 gehört zu einem anderen Server; es bleibt liegen")
                                .arg(QDir::toNativeSeparators(Journal->Path())));
    Journal->Start(FSettings.Base);
    FJournal = std::move(Journal);
}

void TLdapConnection::NoteUndo(TLdapUndo Step) {
    if (FJournal)
        FJournal->Note(Step);
    FUndo.push_back(std::move(Step));
}

std::vector<TLdapAttribute> TLdapConnection::HeldValues(const QString& Dn, const QStringList& Attributes) {
    TLdapEntry Held;
    Search(Dn, TScope::Base, QStringLiteral("(objectClass=*)"),
           Attributes.isEmpty() ? QStringList{QStringLiteral("*")} : Attributes,
           [&Held](const TLdapEntry& E) { Held = E; });
    if (Attributes.isEmpty())
        return Held.Attributes;
    std::vector<TLdapAttribute> Values;
    for (const QString& Name : Attributes) {
        const TLdapAttribute* A = Held.Find(Name);
        Values.push_back({Name, A ? A->Values : QList<QByteArray>()});
    }
    return Values;
}

TLdapConnection::TUndone TLdapConnection::Undo(const std::vector<TLdapUndo>& Steps) {
    TUndone Done;
    const bool Was = std::exchange(FRecovering, true);
    const auto Restore = qScopeGuard([this, Was] { FRecovering = Was; });
    for (auto It = Steps.rbegin(); It != Steps.rend(); ++It) {
        try {
            switch (It->Kind) {
            case TLdapUndo::TKind::Delete:
                Delete(It->Dn);
                ++Done.Deleted;
                break;
            case TLdapUndo::TKind::Restore:
                Replace(It->Dn, It->Attributes);
                ++Done.Restored;
                break;
            case TLdapUndo::TKind::Add:
                Add(It->Dn, It->Attributes);
                ++Done.Added;
                break;
            }
        } catch (const EDirectoryError& E) {
            if (E.Code() == ERR_TRANSPORT_FAILURE)
                throw;
            // An add that never landed, or an entry that is there again.
            if ((It->Kind == TLdapUndo::TKind::Delete && E.Code() == ERR_NO_SUCH_ENTRY) ||
                (It->Kind == TLdapUndo::TKind::Add && E.Code() == ERR_ENTRY_ALREADY_EXISTS))
                continue;
            Done.Left.append(QStringLiteral("%1 (%2)").arg(It->Dn, E.Message()));
        }
    }
    return Done;
}

bool TLdapConnection::RecoverFrom(TLdapJournal& Journal) {
    TLdapJournal::TContent Content;
    if (!Journal.Read(Content))
        return true;
    if (Content.Base.compare(FSettings.Base, Qt::CaseInsensitive) != 0)
        return false;
    const TUndone Done = Undo(Content.Steps);
    Journal.Remove();
    if (Content.Steps.empty())
        return true; // broken off before its first write
    QStringList Parts;
    Parts << QStringLiteral("%1 angelegte Einträge gelöscht").arg(Done.Deleted)
          << QStringLiteral("%1 geänderte wiederhergestellt").arg(Done.Restored);
    if (Done.Added)
        Parts << QStringLiteral("%1 gelöschte wieder angelegt").arg(Done.Added);
    QString Text =
        QStringLiteral("Abgebrochene Änderungen am Baum %1 (begonnen %2) wurden zurückgenommen: %3.")
            .arg(FSettings.Tree, Content.Began.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
                 Parts.join(QStringLiteral(", ")));
    if (!Done.Left.isEmpty())
        Text += QStringLiteral(" Nicht zurückgenommen: %1").arg(Done.Left.join(QStringLiteral("; ")));
    DirectoryNotice(Text);
    return true;
}

void TLdapConnection::RecoverJournal() {
    if (!FRecovers || FGroupDepth > 0 || FRecovering || FSettings.Journal.isEmpty())
        return;
    TLdapJournal Journal(FSettings.Journal);
    // A journal whose group still runs (in another process) is that group's.
    if (!Journal.Exists() || !Journal.Lock(0))
        return;
    if (!RecoverFrom(Journal))
        DirectoryNotice(
            QStringLiteral("Das Journal %1 gehört zu einem anderen Server als %2; es bleibt liegen.")
                .arg(QDir::toNativeSeparators(Journal.Path()), FSettings.Url));
}
