// POSIX identities over LDAP: users carry posixAccount (uid, uidNumber, gidNumber, homeDirectory),
// organizations and organizational units parvonPosixGroup (gidNumber). Ids come from one counter
// entry below the base, moved on by a modify that deletes the value read and adds the value past a
// block of ids in one operation: when another workstation moved it meanwhile, the delete finds no
// such value, the whole modify fails and the reservation reads the counter again. The block is
// handed out here, one id at a time; it starts with one id and doubles with every reservation up to
// MaxBlock, so that a single class costs no ids it does not use and a run over many accounts one
// reservation per MaxBlock ids. Ids reserved and not handed out when the program ends are never
// given. An import gives objects ids of their own inside its group of writes (taken back with
// it) and first moves the counter past the highest of them in the range.

#include "LdapDirectory.h"

#include <EDirectoryError.h>
#include <FieldValues.h>

#include <QHash>
#include <QSet>
#include <algorithm>

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

// What makes a user an account: the class, its ids, its home folder (Home: "" for none), and its
// name as uid unless Entry (read with "uid") holds it already.
std::vector<TLdapAttribute> AccountAdds(const TObjectRef& User, const TLdapEntry& Entry, qint64 Uid,
                                        qint64 Gid, const QString& Home) {
    std::vector<TLdapAttribute> Adds{
        {QStringLiteral("objectClass"), {AccountClass.toUtf8()}},
        {QStringLiteral("uidNumber"), {Number(Uid)}},
        {QStringLiteral("gidNumber"), {Number(Gid)}},
        {QStringLiteral("homeDirectory"), {(Home.isEmpty() ? NoHome : Home).toUtf8()}}};
    bool HasUid = false;
    if (const TLdapAttribute* Uids = Entry.Find(QStringLiteral("uid")))
        for (const QByteArray& V : Uids->Values)
            HasUid = HasUid || QString::fromUtf8(V).compare(User.ShortName, Qt::CaseInsensitive) == 0;
    if (!HasUid)
        Adds.push_back({QStringLiteral("uid"), {User.ShortName.toUtf8()}});
    return Adds;
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

QByteArray TLdapDirectory::PosixCounter(TPosixIdentity::TKind Kind) {
    const QString Attribute = CounterAttribute(Kind);
    const QString Dn = CounterDn();
    for (int Attempt = 0; Attempt < 2; ++Attempt) {
        TLdapEntry Counter;
        const bool Found =
            FConnection.Search(Dn, TLdapConnection::TScope::Base, QStringLiteral("(objectClass=*)"),
                               {Attribute}, [&Counter](const TLdapEntry& E) { Counter = E; });
        if (Found && !Counter.Dn.isEmpty()) {
            const QByteArray* Held = First(Counter, Attribute);
            if (!Held)
                ThrowDirectoryError(ERR_INCONSISTENT_DATABASE,
                                    QStringLiteral("Der Zähler %1 hat keinen Wert %2").arg(Dn, Attribute));
            return *Held;
        }
        try {
            // Ids given stay whatever becomes of a group the allocation runs in: so does the counter.
            FConnection.AddOutsideGroup(Dn,
                                        {{QStringLiteral("objectClass"), {CounterClass.toUtf8()}},
                                         {QStringLiteral("cn"), {CounterName.toUtf8()}},
                                         {CounterAttribute(TKind::User), {Number(Settings().Uids.First)}},
                                         {CounterAttribute(TKind::Group), {Number(Settings().Gids.First)}}});
        } catch (const EDirectoryError& E) {
            if (E.Code() != ERR_ENTRY_ALREADY_EXISTS)
                throw;
        }
    }
    ThrowDirectoryError(ERR_INCONSISTENT_DATABASE, QStringLiteral("Der Zähler %1 fehlt").arg(Dn));
}

void TLdapDirectory::MovePosixCounterPast(TPosixIdentity::TKind Kind, qint64 Id) {
    const QString Attribute = CounterAttribute(Kind);
    for (int Attempt = 0; Attempt < Attempts; ++Attempt) {
        const QByteArray Held = PosixCounter(Kind);
        if (Held.toLongLong() > Id)
            return;
        try {
            FConnection.Modify(CounterDn(), {{Attribute, {Held}}}, {{Attribute, {Number(Id + 1)}}});
            return;
        } catch (const EDirectoryError& E) {
            if (E.Code() != ERR_NO_SUCH_VALUE)
                throw; // else another workstation moved it meanwhile
        }
    }
    ThrowDirectoryError(ERR_INVALID_REQUEST,
                        QStringLiteral("Nach %1 Versuchen ist der Zähler %2 nicht weitergesetzt: Er ändert "
                                       "sich zu oft")
                            .arg(QString::number(Attempts), CounterDn()));
}

void TLdapDirectory::ReservePosixIds(TPosixIdentity::TKind Kind, TPosixIdBlock& Block) {
    const TPosixRange& Range = Kind == TKind::User ? Settings().Uids : Settings().Gids;
    const QString Attribute = CounterAttribute(Kind);
    const QString Dn = CounterDn();
    for (int Attempt = 0; Attempt < Attempts; ++Attempt) {
        const QByteArray Held = PosixCounter(Kind);
        const qint64 Start = std::max(Held.toLongLong(), Range.First);
        if (Start > Range.Last)
            ThrowPosixRangeExhausted(Kind, Range);
        const qint64 Last = std::min(Start + Block.Size - 1, Range.Last);
        try {
            FConnection.Modify(Dn, {{Attribute, {Held}}}, {{Attribute, {Number(Last + 1)}}});
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
    const qint64 Gid = EnsurePosixIdentity(PrimaryContainer(Object)).Id;
    return Give(AccountAdds(Object, Entry, AllocatePosixId(TKind::User), Gid, Home));
}

TObjectRef TLdapDirectory::PrimaryContainer(const TObjectRef& User) {
    const QString ContainerName = User.FullName.section(QLatin1Char('\\'), 0, -2);
    TObjectRef Container;
    if (!TryResolve(ContainerName, Container))
        ThrowPosixUnknown(ContainerName);
    if (PosixKindOfLayout(Container.Layout) != TKind::Group)
        ThrowDirectoryError(
            ERR_INVALID_REQUEST,
            QStringLiteral("%1 steht in keinem Container, der eine Gruppe sein kann").arg(User.FullName));
    return Container;
}

std::vector<TPosixHolder> TLdapDirectory::PosixIdentities(const TObjectRef& Base) {
    std::vector<TPosixHolder> Held;
    const bool Found = FConnection.Search(
        Base.Key.Text.isEmpty() ? Settings().Base : Base.Key.Text, TLdapConnection::TScope::Subtree,
        QStringLiteral("(|(objectClass=%1)(objectClass=%2))").arg(AccountClass, GroupClass),
        {QStringLiteral("objectClass"), QStringLiteral("uidNumber"), QStringLiteral("gidNumber")},
        [&](const TLdapEntry& E) {
            bool IsAccount = false;
            if (const TLdapAttribute* Classes = E.Find(QStringLiteral("objectClass")))
                for (const QByteArray& C : Classes->Values)
                    IsAccount =
                        IsAccount || QString::fromUtf8(C).compare(AccountClass, Qt::CaseInsensitive) == 0;
            const QByteArray* Id =
                First(E, IsAccount ? QStringLiteral("uidNumber") : QStringLiteral("gidNumber"));
            if (Id)
                Held.push_back(
                    {FullNameOfDn(E.Dn), IsAccount ? TKind::User : TKind::Group, Id->toLongLong()});
        });
    if (!Found)
        ThrowPosixUnknown(Base.FullName);
    return Held;
}

void TLdapDirectory::GivePosixIdentities(const std::vector<TPosixGrant>& Grants) {
    if (Grants.empty())
        return;
    // What the tree holds, in one search (inside an LDAP transaction without the group's own
    // writes, which give no ids before this call).
    const std::vector<TPosixGrant> Writes = PosixGrantsToWrite(Grants, PosixIdentities(Root()));
    // Ids allocated from now on, here or elsewhere, pass over those given here; so do the ids this
    // workstation reserved already.
    for (const TPosixGrant& G : Writes) {
        std::deque<qint64>& Free = FIdBlocks[PosixKindOfLayout(G.Object.Layout) == TKind::User ? 0 : 1].Free;
        Free.erase(std::remove(Free.begin(), Free.end(), G.Id), Free.end());
    }
    for (const TKind Kind : {TKind::Group, TKind::User}) {
        const qint64 Highest =
            HighestGrantInRange(Writes, Kind, Kind == TKind::User ? Settings().Uids : Settings().Gids);
        if (Highest > 0)
            MovePosixCounterPast(Kind, Highest);
    }
    TDirectoryTransaction Transaction(*this);
    QHash<QString, qint64> Gids;          // the containers' given here, lower-case DN
    QHash<QString, qint64> ContainerGids; // a user's container's gid, lower-case full name
    auto Give = [&](const TObjectRef& Group, qint64 Gid) {
        FConnection.AddValues(Group.Key.Text, {{QStringLiteral("objectClass"), {GroupClass.toUtf8()}},
                                               {QStringLiteral("gidNumber"), {Number(Gid)}}});
        Gids.insert(Group.Key.Text.toLower(), Gid);
    };
    for (const TPosixGrant& G : Writes) {
        if (PosixKindOfLayout(G.Object.Layout) == TKind::Group) {
            Give(G.Object, G.Id);
            continue;
        }
        // The primary group: given here, held, or else given now; each container looked up once.
        const QString ContainerName = G.Object.FullName.section(QLatin1Char('\\'), 0, -2).toLower();
        qint64 Gid = ContainerGids.value(ContainerName, -1);
        if (Gid < 0) {
            const TObjectRef Container = PrimaryContainer(G.Object);
            Gid = Gids.value(Container.Key.Text.toLower(), -1);
            if (Gid < 0) {
                if (const std::optional<TPosixIdentity> Held = PosixIdentity(Container))
                    Gid = Held->Id;
                else
                    Give(Container, Gid = AllocatePosixId(TKind::Group));
            }
            ContainerGids.insert(ContainerName, Gid);
        }
        FConnection.AddValues(G.Object.Key.Text,
                              AccountAdds(G.Object, ReadEntry(G.Object, {QStringLiteral("uid")}), G.Id, Gid,
                                          MappedHome(G.Object)));
    }
    Transaction.Commit();
}
