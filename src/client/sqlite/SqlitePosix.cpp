#include "SqliteStore.h"

#include "SqliteParts.h"

#include <EDirectoryError.h>
#include <Layouts.h>
#include <Names.h>

#include <QHash>
#include <QSet>

// POSIX identities: one row of posix_ids per user or container that holds one. Every allocation
// runs inside one write transaction (the connection begins them IMMEDIATE, taking the database's
// write lock first), so that the counter read and the ids written are one step for every writer.
// Ids an import brings are written in the same way, the counters moved past them in that step.

namespace {

using TKind = TPosixIdentity::TKind;

int KindNumber(TKind Kind) {
    return Kind == TKind::User ? 0 : 1;
}

QString RangeKey(TKind Kind) {
    return Kind == TKind::User ? QStringLiteral("POSIX UID Range") : QStringLiteral("POSIX GID Range");
}

QString CounterKey(TKind Kind) {
    return Kind == TKind::User ? QStringLiteral("POSIX Next UID") : QStringLiteral("POSIX Next GID");
}

TPosixRange RangeOf(TSqliteSettings& Settings, TKind Kind) {
    TPosixRange Range;
    const QString Text = Settings.Setting(RangeKey(Kind));
    if (!Text.isEmpty() && !ParsePosixRange(Text, Range))
        ThrowDirectoryError(
            ERR_INVALID_REQUEST,
            QStringLiteral("Die Einstellung „%1“ ist kein Bereich: %2").arg(RangeKey(Kind), Text));
    return Range;
}

// Takes Count ids of a kind from the counter on (the range's first id at first), past any id held
// already (a range changed back), and moves the counter past them. Inside a transaction.
std::vector<qint64> Allocate(TSqliteStoreParts& P, TKind Kind, qsizetype Count) {
    std::vector<qint64> Ids;
    if (Count == 0)
        return Ids;
    const TPosixRange Range = RangeOf(P.Settings, Kind);
    qint64 Next = std::max(P.Settings.Setting(CounterKey(Kind)).toLongLong(), Range.First);
    static const TStatement Held("SELECT number FROM posix_ids WHERE kind=? AND number BETWEEN ? AND ?");
    QSet<qint64> Taken;
    {
        TQuery Q(P.Db, Held, KindNumber(Kind), Next, Range.Last);
        while (Q.Next())
            Taken.insert(Q.Value(0).toLongLong());
    }
    Ids.reserve(size_t(Count));
    for (; qsizetype(Ids.size()) < Count; ++Next) {
        if (Next > Range.Last)
            ThrowPosixRangeExhausted(Kind, Range);
        if (!Taken.contains(Next))
            Ids.push_back(Next);
    }
    P.Settings.SetSetting(CounterKey(Kind), QString::number(Next));
    return Ids;
}

void Give(TSqliteStoreParts& P, qint64 Object, TKind Kind, qint64 Id) {
    static const TStatement Insert("INSERT INTO posix_ids(object_id, kind, number) VALUES(?, ?, ?)");
    TQuery(P.Db, Insert, Object, KindNumber(Kind), Id);
}

// What the store holds of an object's identity: its layout and name, its own id and its parent's
// row and id (-1 for none); false when the object is gone.
struct THeld {
    QString Layout, Name;
    qint64 Own = -1, Parent = 0, ParentId = -1;
    QString ParentLayout;
};

bool ReadHeld(TSqliteStoreParts& P, qint64 Object, THeld& Out) {
    static const TStatement Select(
        "SELECT o.layout, o.name, u.number, o.parent_id, p.layout, g.number FROM objects o "
        "LEFT JOIN posix_ids u ON u.object_id=o.id LEFT JOIN objects p ON p.id=o.parent_id "
        "LEFT JOIN posix_ids g ON g.object_id=o.parent_id WHERE o.id=?");
    TQuery Q(P.Db, Select, Object);
    if (!Q.Next())
        return false;
    auto Number = [&](int Column) {
        return Q.Value(Column).isNull() ? qint64(-1) : Q.Value(Column).toLongLong();
    };
    Out = {Q.Value(0).toString(), Q.Value(1).toString(), Number(2), Q.Value(3).toLongLong(), Number(5),
           Q.Value(4).toString()};
    return true;
}

// The condition on objects o that selects the subtree of Base (Base included), with its arguments;
// throws when Base is gone.
QString SubtreeCondition(TSqliteStoreParts& P, const TObjectRef& Base, QVariantList& Args) {
    QString Where = QStringLiteral("o.tree_id=?");
    Args = {Base.Key.Scope};
    if (Base.Key.Id) {
        static const TStatement Path("SELECT path FROM objects WHERE id=?");
        TQuery Q(P.Db, Path, Base.Key.Id);
        if (!Q.Next())
            ThrowPosixUnknown(Base.FullName);
        const QString Levels = Q.Value(0).toString();
        Where += QStringLiteral(" AND (o.id=? OR (o.path>? AND o.path<?))");
        Args << Base.Key.Id << Levels + QLatin1Char('\\') << Levels + QLatin1Char(']');
    } else if (!P.Objects.Exists(Base)) {
        ThrowPosixUnknown(Base.FullName);
    }
    return Where;
}

// Moves the counter of a kind past the highest given id of the grants that lies in its range, so
// that allocations go on above the ids an import brought. Inside a transaction.
void MoveCounterPast(TSqliteStoreParts& P, TKind Kind, const std::vector<TPosixGrant>& Grants) {
    const qint64 Highest = HighestGrantInRange(Grants, Kind, RangeOf(P.Settings, Kind));
    if (Highest >= P.Settings.Setting(CounterKey(Kind)).toLongLong())
        P.Settings.SetSetting(CounterKey(Kind), QString::number(Highest + 1));
}

TKind KindOrThrow(const TObjectRef& Object) {
    const std::optional<TKind> Kind = PosixKindOfLayout(Object.Layout);
    if (!Kind || Object.IsTreeRoot())
        ThrowDirectoryError(ERR_INVALID_REQUEST,
                            QStringLiteral("%1 kann keine POSIX-Kennung haben").arg(Object.FullName));
    return *Kind;
}

} // namespace

TPosixRange TSqliteStore::PosixRange(TPosixIdentity::TKind Kind) {
    return RangeOf(P->Settings, Kind);
}

void TSqliteStore::SetPosixRange(TPosixIdentity::TKind Kind, const TPosixRange& Range) {
    P->Settings.SetSetting(RangeKey(Kind), PosixRangeText(Range));
}

std::optional<TPosixIdentity> TSqliteStore::PosixIdentity(const TObjectRef& Object) {
    THeld Held;
    if (!Object.Key.Id || !ReadHeld(*P, Object.Key.Id, Held) || Held.Own < 0)
        return std::nullopt;
    const std::optional<TKind> Kind = PosixKindOfLayout(Held.Layout);
    if (!Kind)
        return std::nullopt;
    TPosixIdentity Id;
    Id.Kind = *Kind;
    Id.Id = Held.Own;
    if (*Kind == TKind::Group)
        return Id;
    if (Held.ParentId < 0)
        return std::nullopt;
    Id.PrimaryGid = Held.ParentId;
    Id.LoginName = Held.Name;
    if (const NWFieldType* Home = P->Fields.Type(QStringLiteral("Home Directory"))) {
        const std::vector<QVariant> Values = P->Fields.Read(Object.Key.Id, *Home);
        if (!Values.empty()) {
            const QString Value = Values.front().toString();
            Id.HomeDirectory = FHomePathMap ? FHomePathMap(Value) : HomePathOnVolumes(Value, *this);
        }
    }
    return Id;
}

TPosixIdentity TSqliteStore::EnsurePosixIdentity(const TObjectRef& Object) {
    const TKind Kind = KindOrThrow(Object);
    if (std::optional<TPosixIdentity> Held = PosixIdentity(Object))
        return *Held;
    TSqlTransaction T(P->Db);
    THeld Held; // read again inside the transaction: another writer may have given it meanwhile
    if (!ReadHeld(*P, Object.Key.Id, Held))
        ThrowPosixUnknown(Object.FullName);
    if (Kind == TKind::User && Held.ParentId < 0) {
        if (PosixKindOfLayout(Held.ParentLayout) != TKind::Group)
            ThrowDirectoryError(ERR_INVALID_REQUEST,
                                QStringLiteral("%1 steht in keinem Container, der eine Gruppe sein kann")
                                    .arg(Object.FullName));
        Give(*P, Held.Parent, TKind::Group, Allocate(*P, TKind::Group, 1).front());
    }
    if (Held.Own < 0)
        Give(*P, Object.Key.Id, Kind, Allocate(*P, Kind, 1).front());
    T.Commit();
    return PosixIdentity(Object).value();
}

int TSqliteStore::EnsurePosixIdentities(const TObjectRef& Base) {
    if (!Base.IsTreeRoot() && KindOrThrow(Base) == TKind::User) {
        const bool Had = PosixIdentity(Base).has_value();
        EnsurePosixIdentity(Base);
        return Had ? 0 : 1;
    }
    TSqlTransaction T(P->Db);
    QVariantList Args;
    const QString Where = SubtreeCondition(*P, Base, Args);
    // Every user below a container of the subtree stands in the subtree, so that the containers'
    // ids given here are all the primary groups the users need.
    std::vector<qint64> Groups, Users;
    {
        TQuery Q(
            P->Db,
            QStringLiteral("SELECT o.id, o.layout FROM objects o WHERE ") + Where +
                QStringLiteral(" AND o.layout IN ('User', 'Organization', 'Organizational Unit') AND "
                               "NOT EXISTS (SELECT 1 FROM posix_ids i WHERE i.object_id=o.id) ORDER BY o.id"),
            Args);
        while (Q.Next())
            (Q.Value(1).toString() == QLatin1String("User") ? Users : Groups)
                .push_back(Q.Value(0).toLongLong());
    }
    const std::vector<qint64> Gids = Allocate(*P, TKind::Group, qsizetype(Groups.size()));
    const std::vector<qint64> Uids = Allocate(*P, TKind::User, qsizetype(Users.size()));
    for (size_t I = 0; I < Groups.size(); ++I)
        Give(*P, Groups[I], TKind::Group, Gids[I]);
    for (size_t I = 0; I < Users.size(); ++I)
        Give(*P, Users[I], TKind::User, Uids[I]);
    T.Commit();
    return int(Groups.size() + Users.size());
}

std::vector<TPosixHolder> TSqliteStore::PosixIdentities(const TObjectRef& Base) {
    QVariantList Args;
    const QString Where = SubtreeCondition(*P, Base, Args);
    // Full names as resolving gives them: the tree's and the object's canonical levels.
    const qsizetype TreeEnd = Base.FullName.indexOf(QLatin1Char('\\'), 6);
    const QString Tree = TreeEnd < 0 ? Base.FullName : Base.FullName.left(TreeEnd);
    std::vector<TPosixHolder> Held;
    TQuery Q(P->Db,
             QStringLiteral("SELECT o.dn, i.kind, i.number FROM objects o JOIN posix_ids i ON "
                            "i.object_id=o.id WHERE ") +
                 Where + QStringLiteral(" ORDER BY o.id"),
             Args);
    while (Q.Next())
        Held.push_back({Tree + QLatin1Char('\\') + Q.Value(0).toString(),
                        Q.Value(1).toInt() == 0 ? TKind::User : TKind::Group, Q.Value(2).toLongLong()});
    return Held;
}

void TSqliteStore::GivePosixIdentities(const std::vector<TPosixGrant>& Grants) {
    if (Grants.empty())
        return;
    TSqlTransaction T(P->Db);
    // Ids are unique in the whole store: every id held, in every tree, and each object's row.
    std::vector<TPosixHolder> Held;
    QHash<qint64, qint64> Gids; // container row -> its gid, held or given here
    {
        static const TStatement All("SELECT t.name, o.dn, i.kind, i.number, o.id FROM posix_ids i JOIN "
                                    "objects o ON o.id=i.object_id JOIN trees t ON t.id=o.tree_id");
        TQuery Q(P->Db, All);
        while (Q.Next()) {
            const TKind Kind = Q.Value(2).toInt() == 0 ? TKind::User : TKind::Group;
            Held.push_back({TreeFullName(Q.Value(0).toString()) + QLatin1Char('\\') + Q.Value(1).toString(),
                            Kind, Q.Value(3).toLongLong()});
            if (Kind == TKind::Group)
                Gids.insert(Q.Value(4).toLongLong(), Q.Value(3).toLongLong());
        }
    }
    const std::vector<TPosixGrant> Writes = PosixGrantsToWrite(Grants, Held);
    // The objects of the tree that can hold ids, with their containers.
    struct TRow {
        qint64 Parent = 0;
        QString ParentLayout;
    };
    QHash<qint64, TRow> Rows;
    {
        static const TStatement Objects(
            "SELECT o.id, o.parent_id, p.layout FROM objects o LEFT JOIN objects p ON p.id=o.parent_id "
            "WHERE o.tree_id=? AND o.layout IN ('User', 'Organization', 'Organizational Unit')");
        TQuery Q(P->Db, Objects, Grants.front().Object.Key.Scope);
        while (Q.Next())
            Rows.insert(Q.Value(0).toLongLong(), {Q.Value(1).toLongLong(), Q.Value(2).toString()});
    }
    MoveCounterPast(*P, TKind::Group, Writes);
    MoveCounterPast(*P, TKind::User, Writes);
    for (const TPosixGrant& G : Writes) {
        const auto Row = Rows.constFind(G.Object.Key.Id);
        if (G.Object.Key.Scope != Grants.front().Object.Key.Scope || Row == Rows.constEnd())
            ThrowPosixUnknown(G.Object.FullName);
        if (KindOrThrow(G.Object) == TKind::Group) {
            Give(*P, G.Object.Key.Id, TKind::Group, G.Id);
            Gids.insert(G.Object.Key.Id, G.Id);
            continue;
        }
        if (!Gids.contains(Row->Parent)) {
            if (PosixKindOfLayout(Row->ParentLayout) != TKind::Group)
                ThrowDirectoryError(ERR_INVALID_REQUEST,
                                    QStringLiteral("%1 steht in keinem Container, der eine Gruppe sein kann")
                                        .arg(G.Object.FullName));
            const qint64 Gid = Allocate(*P, TKind::Group, 1).front();
            Give(*P, Row->Parent, TKind::Group, Gid);
            Gids.insert(Row->Parent, Gid);
        }
        Give(*P, G.Object.Key.Id, TKind::User, G.Id);
    }
    T.Commit();
}
