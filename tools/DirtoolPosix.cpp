// parvon-dirtool: POSIX identities of users and containers, and the ranges the store takes them from.

#include "Dirtool.h"

#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <PosixIds.h>
#include <SqliteStore.h>

int PosixIds(TTool& Tool, const QStringList& Args) {
    Need(Args, 0, 1);
    TDirectoryBackend& Directory = Tool.Client.Directory();
    const QStringList Bases = Args.isEmpty() ? Directory.ConnectedTrees() : QStringList{Args[0]};
    if (Bases.isEmpty())
        throw EUsage(QStringLiteral("The workstation is connected to no tree; name a context."));
    for (const QString& Base : Bases) {
        const TObjectRef Object = Directory.Resolve(Args.isEmpty() ? TreeArgFullName(Base) : Base);
        const int Given = Directory.EnsurePosixIdentities(Object);
        Out() << Object.FullName << ": " << Given << " ids given\n";
    }
    return 0;
}

int PosixId(TTool& Tool, const QStringList& Args) {
    Need(Args, 1, 1);
    TDirectoryBackend& Directory = Tool.Client.Directory();
    const std::optional<TPosixIdentity> Id = Directory.PosixIdentity(Directory.Resolve(Args[0]));
    if (!Id) {
        Out() << "none\n";
        return 1;
    }
    if (Id->Kind == TPosixIdentity::TKind::Group) {
        Out() << "gid=" << Id->Id << '\n';
        return 0;
    }
    Out() << "uid=" << Id->Id << " gid=" << Id->PrimaryGid << " login=" << Id->LoginName
          << " home=" << Id->HomeDirectory << '\n';
    return 0;
}

int PosixRanges(TTool& Tool, const QStringList& Args) {
    if (Args.size() == 1)
        Need(Args, 0, 0);
    Need(Args, 0, 2);
    using TKind = TPosixIdentity::TKind;
    if (Args.size() == 2) {
        TPosixRange Uids, Gids;
        if (!ParsePosixRange(Args[0], Uids) || !ParsePosixRange(Args[1], Gids))
            throw EUsage(QStringLiteral("A range is FIRST-LAST, e.g. 10000-59999."));
        Tool.Store.SetPosixRange(TKind::User, Uids);
        Tool.Store.SetPosixRange(TKind::Group, Gids);
    }
    Out() << "uids: " << PosixRangeText(Tool.Store.PosixRange(TKind::User)) << '\n';
    Out() << "gids: " << PosixRangeText(Tool.Store.PosixRange(TKind::Group)) << '\n';
    return 0;
}
