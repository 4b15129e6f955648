#pragma once

#include <QString>
#include <vector>

// What a folder of a POSIX volume keeps in its extended attributes, namespace "user.parvon.":
//   user.parvon.flags     "DI", "RI" or "DI RI" (absent: no flag)
//   user.parvon.trustees  one line per assignment, in the order they were made, UTF-8:
//                         the rights in eight places SRWECMFA ("-R----F-"), a tab, "g:" and the
//                         gid of a container or "u:" and the uid of a user, a tab, the full name
// Any workstation that reads the folder reads the same flags, rights and ids.
struct TPosixTrustee {
    QString FullName;
    bool User = false; // a user entry (uid); otherwise a group entry (gid)
    qint64 Id = -1;
    int Rights = 0; // the letter bits of the rights mask (Rights.h)
};
struct TPosixRecord {
    bool DeleteInhibit = false;
    bool RenameInhibit = false;
    std::vector<TPosixTrustee> Trustees;
    bool Empty() const { return !DeleteInhibit && !RenameInhibit && Trustees.empty(); }
};

// An open folder: a directory opened without following a link. Throws EDirectoryError when Path
// is no directory.
class TFolderFd {
public:
    explicit TFolderFd(const QString& Path);
    ~TFolderFd();
    TFolderFd(const TFolderFd&) = delete;
    TFolderFd& operator=(const TFolderFd&) = delete;
    int Fd() const { return FFd; }
    QString Path() const { return FPath; }

private:
    int FFd = -1;
    QString FPath;
};

// Reads and writes the record; a damaged trustee line is skipped. Writing an empty part removes
// its attribute; with Before (what the folder holds) only the attributes that differ are written.
// Trustees: the trustees alone, the flags left unread (false).
enum class TRecordParts { All, Trustees };
TPosixRecord ReadRecord(const TFolderFd& Folder, TRecordParts Parts = TRecordParts::All);
// The same read by path, without opening the folder (a link at its end is not followed): for reads
// only, of a path just mapped.
TPosixRecord ReadRecordAt(const QString& Path, TRecordParts Parts = TRecordParts::All);
void WriteRecord(const TFolderFd& Folder, const TPosixRecord& Record, const TPosixRecord* Before = nullptr);

// The permission bits (r 4, w 2, x 1) a trustee's rights give on a folder and, through the default
// entries, on what is made in it: S everything; R or F read and enter; W, C, E or M write and
// enter; A nothing of its own.
int PosixPermissions(int Rights);

// Sets the folder's access and default ACL to what its trustees give: the owner everything, the
// owning group and others nothing, one named entry per trustee, the mask their union. A folder
// without trustees keeps its ACL, unless Emptied (its last trustee went): then the owner alone.
void ProjectAcl(const TFolderFd& Folder, const TPosixRecord& Record, bool Emptied = false);
// Whether the folder's ACL is the one ProjectAcl sets; true for a folder without trustees.
bool AclMatches(const TFolderFd& Folder, const TPosixRecord& Record);
// For a folder without trustees of its own: whether its access or default ACL holds a named entry,
// or a permission of one, that the default ACL of its parent folder does not pass on to it (Parent
// empty: the volume's root, which is passed nothing). Such an entry is left behind by trustees that were
// taken away elsewhere, or set behind the store's back. Repair drops those entries and permissions
// and keeps what the parent passes on.
bool StrayAclEntries(const TFolderFd& Folder, const QString& Parent, bool Repair);

// "" when the folder can carry extended attributes and POSIX ACLs; else why not (German).
QString PosixSupportProblem(const QString& Folder);
