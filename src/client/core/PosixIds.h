#pragma once

// What every backend that keeps POSIX identities shares: which objects have one, the ranges ids
// are taken from, a user's home folder as a path, and the error of an identity not (yet) known.

#include "DirectoryBackend.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class TVolumeStore;

// The kind of identity objects of a layout hold (any case): users a uid, Organizations and
// Organizational Units a gid; none for every other layout.
std::optional<TPosixIdentity::TKind> PosixKindOfLayout(const QString& Layout);

// The ids one kind is taken from, both ends included.
struct TPosixRange {
    qint64 First = 10000;
    qint64 Last = 59999;
    bool Contains(qint64 Id) const { return Id >= First && Id <= Last; }
};
// "10000-59999" (blanks around the numbers allowed): true with the range for a range of ids from
// 1 to 2^31-1 whose first id is not past its last; false for anything else.
bool ParsePosixRange(const QString& Text, TPosixRange& Out);
QString PosixRangeText(const TPosixRange& Range);
// Throws: every id of the range is given.
[[noreturn]] void ThrowPosixRangeExhausted(TPosixIdentity::TKind Kind, const TPosixRange& Range);

// 1 to 2^31-1, the ids a POSIX system takes.
bool IsPosixIdNumber(qint64 Id);
// The first grant GivePosixIdentities refuses, checked against the ids the directory holds (Held:
// at least every holder of the grants' objects and of ids of their kinds), with why (German).
struct TPosixGrantFault {
    size_t Index = 0;
    QString Message;
};
std::optional<TPosixGrantFault> PosixGrantFault(const std::vector<TPosixGrant>& Grants,
                                                const std::vector<TPosixHolder>& Held);
// What GivePosixIdentities is left to write; throws ERR_INVALID_REQUEST with the first fault. A
// grant whose object holds its id already goes; the containers' grants come first, each kind in
// the given order.
std::vector<TPosixGrant> PosixGrantsToWrite(const std::vector<TPosixGrant>& Grants,
                                            const std::vector<TPosixHolder>& Held);
// The highest id of a kind among the grants that lies in the range; -1 for none.
qint64 HighestGrantInRange(const std::vector<TPosixGrant>& Grants, TPosixIdentity::TKind Kind,
                           const TPosixRange& Range);

// Throws ERR_NO_SUCH_ENTRY as an unknown trustee does: the object, or the identity of its
// container, is not (yet) held where the directory is read.
[[noreturn]] void ThrowPosixUnknown(const QString& FullName);

// Maps a value of "Home Directory" ("volume object,path below the volume's root") to a path.
using THomePathMap = std::function<QString(const QString& HomeDirectoryValue)>;
// The local folder of a "Home Directory" value on the volume whose volume object it names, through
// the volume map of Volumes; "" when no volume has that volume object or the path leaves the root.
QString HomePathOnVolumes(const QString& HomeDirectoryValue, TVolumeStore& Volumes);
