// POSIX identities over LDAP: users carry posixAccount (uid, uidNumber, gidNumber, homeDirectory),
// organizations and organizational units parvonPosixGroup (gidNumber). Ids come from one counter
// entry below the base, moved on by a modify that deletes the value read and adds the value past a
// block of ids in one operation: when another workstation moved it meanwhile, the delete finds no
// such value, the whole modify fails and the reservation reads the counter again. The block is
// handed out here, one id at a time; it starts with one id and doubles with every reservation up to
// MaxBlock, so that a single class costs no ids it does not use and a run over many accounts one
// reservation per MaxBlock ids. Ids reserved and not handed out when the program ends are never
// given.

#include "LdapDirectory.h"

#include <EDirectoryError.h>
#include <FieldValues.h>

#include <QSet>

namespace {

using TKind = TPosixIdentity::TKind;

const QString CounterName = QStringLiteral("parvon-ids");
const QString CounterClass = QStringLiteral("parvonIdCounter");
const QString GroupClass = QStringLiteral("parvonPosixGroup");
const QString AccountClass = QStringLiteral("posixAccount");
// The home folder of an account whose "Home Directory" maps to none (posixAccount needs one).
const QString NoHome = QStringLiteral("/nonexistent");
constexpr int Attempts = 100;
constexpr qint64 MaxBlock = 64;

QString CounterAttribute(TKind Kind) {
    return Kind == TKind::User ? QStringLiteral("parvonNextUidNumber")
                               : QStringLiteral("parvonNextGidNumber");
}

const QByteArray* First(const TLdapEntry& Entry, const QString& Attribute) {
    const TLdapAttribute* A = Entry.Find(Attribute);
    return A && !A->Values.isEmpty() ? &A->Values.front() : nullptr;
}

QByteArray Number(qint64 Id) {
    return QByteArray::number(Id);
}

} // namespace

QString TLdapDirectory::CounterDn() const {
    return QStringLiteral("cn=") + CounterName + QLatin1Char(',') + Settings().Base;
}

qint64 TLdapDirectory::AllocatePosixId(TPosixIdentity::TKind Kind) {
    TPosixIdBlock& Block = FIdBlocks[Kind == TKind::User ? 0 : 1];
    while (Block.Free.empty())
        ReservePosixIds(Kind, Block);
    const qint64 Id = Block.Free.front();
    Block.Free.pop_front();
    return Id;
}

void TLdapDirectory::ReservePosixIds(TPosixIdentity::TKind Kind, TPosixIdBlock& Block) {
    const TPosixRange& Range = Kind == TKind::User ? Settings().Uids : Settings().Gids;
    const QString Attribute = CounterAttribute(Kind);
    const QString Dn = CounterDn();
    for (int Attempt = 0; Attempt < Attempts; ++Attempt) {
        TLdapEntry Counter;
        const bool Found =
            FConnection.Search(Dn, TLdapConnection::TScope::Base, QStringLiteral("(objectClass=*)"),
                               {Attribute}, [&Counter](const TLdapEntry& E) { Counter = E; });
        if (!Found || Counter.Dn.isEmpty()) {
            try {
                // Ids given stay whatever becomes of a group the allocation runs in: so does
                // the counter.
                FConnection.AddOutsideGroup(
                    Dn, {{QStringLiteral("objectClass"), {CounterClass.toUtf8()}},
                         {QStringLiteral("cn"), {CounterName.toUtf8()}},
                         {CounterAttribute(TKind::User), {Number(Settings().Uids.First)}},
                         {CounterAttribute(TKind::Group), {Number(Settings().Gids.First)}}});
            } catch (const EDirectoryError& E) {
                if (E.Code() != ERR_ENTRY_ALREADY_EXISTS)
                    throw;
            }
            continue;
        }
        const QByteArray* Held = First(Counter, Attribute);
        if (!Held)
            ThrowDirectoryError(ERR_INCONSISTENT_DATABASE,
                                QStringLiteral("Der Zähler %1 hat keinen Wert %2").arg(Dn, Attribute));
        const qint64 Start = std::max(Held->toLongLong(), Range.First);
        if (Start > Range.Last)
            ThrowPosixRangeExhausted(Kind, Range);
        const qint64 Last = std::min(Start + Block.Size - 1, Range.Last);
        try {
            FConnection.Modify(Dn, {{Attribute, {*Held}}}, {{Attribute, {Number(Last + 1)}}});
        } catch (const EDirectoryError& E) {
            if (E.Code() == ERR_NO_SUCH_VALUE)
                continue; // another workstation moved it meanwhile
            throw;
        }
        Block.Size = std::min(Block.Size * 2, MaxBlock);
        // An object loaded with an id of its own (an import) keeps it: the block skips what is taken,
        // found in one search.
        const QString Class = Kind == TKind::User ? AccountClass : GroupClass;
        const QString IdAttribute =
            Kind == TKind::User ? QStringLiteral("uidNumber") : QStringLiteral("gidNumber");
        QString Any;
        for (qint64 Id = Start; Id <= Last; ++Id)
            Any += QStringLiteral("(%1=%2)").arg(IdAttribute).arg(Id);
        QSet<qint64> Taken;
        FConnection.Search(Settings().Base, TLdapConnection::TScope::Subtree,
                           QStringLiteral("(&(objectClass=%1)(|%2))").arg(Class, Any), {IdAttribute},
                           [&](const TLdapEntry& E) {
                               if (const QByteArray* V = First(E, IdAttribute))
                                   Taken.insert(V->toLongLong());
                           });
        for (qint64 Id = Start; Id <= Last; ++Id)
            if (!Taken.contains(Id))
                Block.Free.push_back(Id);
        return;
    }
    ThrowDirectoryError(ERR_INVALID_REQUEST,
                        QStringLiteral("Nach %1 Versuchen ist keine POSIX-Kennung vergeben: Der Zähler %2 "
                                       "ändert sich zu oft")
                            .arg(Attempts)
                            .arg(Dn));
}

std::optional<TPosixIdentity> TLdapDirectory::PosixIdentity(const TObjectRef& Object) {
    const std::optional<TKind> Kind = PosixKindOfLayout(Object.Layout);
    if (!Kind || Object.IsTreeRoot())
        return std::nullopt;
    const TLdapEntry Entry =
        ReadEntry(Object, {QStringLiteral("uid"), QStringLiteral("uidNumber"), QStringLiteral("gidNumber"),
                           QStringLiteral("homeDirectory")});
    TPosixIdentity Id;
    Id.Kind = *Kind;
    const QByteArray* Gid = First(Entry, QStringLiteral("gidNumber"));
    if (*Kind == TKind::Group) {
        if (!Gid)
            return std::nullopt;
        Id.Id = Gid->toLongLong();
        return Id;
    }
    const QByteArray* Uid = First(Entry, QStringLiteral("uidNumber"));
    if (!Uid || !Gid)
        return std::nullopt;
    Id.Id = Uid->toLongLong();
    Id.PrimaryGid = Gid->toLongLong();
    Id.LoginName = Object.ShortName;
    if (const QByteArray* Home = First(Entry, QStringLiteral("homeDirectory"));
        Home && *Home != NoHome.toUtf8())
        Id.HomeDirectory = QString::fromUtf8(*Home);
    return Id;
}

QString TLdapDirectory::MappedHome(const TObjectRef& User) {
    const NWFieldType* Type = FieldType(QStringLiteral("Home Directory"));
    if (!Type || !FHomePathMap)
        return QString();
    const std::vector<QVariant> Values = ReadField(User, *Type);
    return Values.empty() ? QString() : FHomePathMap(Values.front().toString());
}

TPosixIdentity TLdapDirectory::EnsurePosixIdentity(const TObjectRef& Object) {
    const std::optional<TKind> Kind = PosixKindOfLayout(Object.Layout);
    if (!Kind || Object.IsTreeRoot())
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("%1 kann keine POSIX-Kennung haben").arg(Object.FullName));
    const TLdapEntry Entry =
        ReadEntry(Object, {QStringLiteral("objectClass"), QStringLiteral("uid"), QStringLiteral("uidNumber"),
                           QStringLiteral("homeDirectory")});
    if (Entry.Dn.isEmpty())
        ThrowPosixUnknown(Object.FullName);
    // Two workstations giving the same object an id at once: the second modify finds the class or
    // the single-valued number held and fails; the id the first gave counts.
    auto Give = [&](const std::vector<TLdapAttribute>& Adds) {
        try {
            FConnection.Modify(Entry.Dn, {}, Adds);
        } catch (const EDirectoryError&) {
            if (!PosixIdentity(Object))
                throw;
        }
        return PosixIdentity(Object).value();
    };
    if (*Kind == TKind::Group) {
        if (std::optional<TPosixIdentity> Held = PosixIdentity(Object))
            return *Held;
        const qint64 Gid = AllocatePosixId(TKind::Group);
        return Give({{QStringLiteral("objectClass"), {GroupClass.toUtf8()}},
                     {QStringLiteral("gidNumber"), {Number(Gid)}}});
    }
    const QString Home = MappedHome(Object);
    const QByteArray HomeValue = (Home.isEmpty() ? NoHome : Home).toUtf8();
    if (First(Entry, QStringLiteral("uidNumber"))) {
        // The home folder follows "Home Directory", which an exam run writes after the account.
        const QByteArray* HeldHome = First(Entry, QStringLiteral("homeDirectory"));
        if (!HeldHome || *HeldHome != HomeValue)
            FConnection.Replace(Entry.Dn, {{QStringLiteral("homeDirectory"), {HomeValue}}});
        if (std::optional<TPosixIdentity> Held = PosixIdentity(Object))
            return *Held;
    }
    // The primary group first: the container, which may not yet be on the server read from.
    const QString ContainerName = Object.FullName.section(QLatin1Char('\\'), 0, -2);
    TObjectRef Container;
    if (!TryResolve(ContainerName, Container))
        ThrowPosixUnknown(ContainerName);
    if (PosixKindOfLayout(Container.Layout) != TKind::Group)
        ThrowDirectoryError(
            ERR_INVALID_REQUEST,
            QStringLiteral("%1 steht in keinem Container, der eine Gruppe sein kann").arg(Object.FullName));
    const qint64 Gid = EnsurePosixIdentity(Container).Id;
    const qint64 Uid = AllocatePosixId(TKind::User);
    std::vector<TLdapAttribute> Adds{{QStringLiteral("objectClass"), {AccountClass.toUtf8()}},
                                     {QStringLiteral("uidNumber"), {Number(Uid)}},
                                     {QStringLiteral("gidNumber"), {Number(Gid)}},
                                     {QStringLiteral("homeDirectory"), {HomeValue}}};
    bool HasUid = false;
    if (const TLdapAttribute* Uids = Entry.Find(QStringLiteral("uid")))
        for (const QByteArray& V : Uids->Values)
            HasUid = HasUid || QString::fromUtf8(V).compare(Object.ShortName, Qt::CaseInsensitive) == 0;
    if (!HasUid)
        Adds.push_back({QStringLiteral("uid"), {Object.ShortName.toUtf8()}});
    return Give(Adds);
}
