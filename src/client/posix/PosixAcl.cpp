#include "PosixAcl.h"

#include <EDirectoryError.h>
#include <Rights.h>

#include <QFile>
#include <QStringList>

#include <acl/libacl.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

const char* const FlagsAttr = "user.parvon.flags";
const char* const TrusteesAttr = "user.parvon.trustees";
constexpr int LetterBits = 0x1FB;

[[noreturn]] void Fail(const QString& What, const QString& Path, int Errno) {
    ThrowDirectoryError(Errno == ENOENT || Errno == ENOTDIR || Errno == ELOOP ? ERR_INVALID_PATH : -1,
                        QStringLiteral("%1 %2: %3").arg(What, Path, QString::fromLocal8Bit(strerror(Errno))));
}

// The attribute's value, read by Get (fgetxattr or lgetxattr); empty when the folder has none. Most
// values fit the first buffer: one call.
template <typename TGet> QByteArray GetAttrWith(TGet Get, const QString& Path, const char* Name) {
    char Small[1024];
    const ssize_t First = Get(Name, Small, sizeof Small);
    if (First >= 0)
        return QByteArray(Small, First);
    if (errno == ENODATA)
        return {};
    if (errno != ERANGE)
        Fail(QStringLiteral("Erweiterte Attribute nicht lesbar:"), Path, errno);
    for (;;) {
        const ssize_t Size = Get(Name, nullptr, 0);
        if (Size < 0) {
            if (errno == ENODATA)
                return {};
            Fail(QStringLiteral("Erweiterte Attribute nicht lesbar:"), Path, errno);
        }
        QByteArray Value(Size, Qt::Uninitialized);
        const ssize_t Got = Get(Name, Value.data(), Value.size());
        if (Got >= 0) {
            Value.truncate(Got);
            return Value;
        }
        if (errno != ERANGE) // grown meanwhile: ask again
            Fail(QStringLiteral("Erweiterte Attribute nicht lesbar:"), Path, errno);
    }
}

QByteArray GetAttr(const TFolderFd& F, const char* Name) {
    return GetAttrWith([&F](const char* N, void* V, size_t S) { return fgetxattr(F.Fd(), N, V, S); },
                       F.Path(), Name);
}

void SetAttr(const TFolderFd& F, const char* Name, const QByteArray& Value) {
    const int Rc = Value.isEmpty() ? fremovexattr(F.Fd(), Name)
                                   : fsetxattr(F.Fd(), Name, Value.constData(), Value.size(), 0);
    if (Rc != 0 && !(Value.isEmpty() && errno == ENODATA))
        Fail(QStringLiteral("Erweiterte Attribute nicht schreibbar:"), F.Path(), errno);
}

QByteArray ProcPath(const TFolderFd& F) {
    return "/proc/self/fd/" + QByteArray::number(F.Fd());
}

class TAcl {
public:
    explicit TAcl(acl_t A = nullptr) : FAcl(A) {}
    ~TAcl() {
        if (FAcl)
            acl_free(FAcl);
    }
    TAcl(const TAcl&) = delete;
    TAcl& operator=(const TAcl&) = delete;
    acl_t Get() const { return FAcl; }
    acl_t& Ref() { return FAcl; } // for the calls that may replace it (acl_calc_mask)

private:
    acl_t FAcl;
};

QByteArray PermText(int Perms) {
    QByteArray T = "---";
    if (Perms & 4)
        T[0] = 'r';
    if (Perms & 2)
        T[1] = 'w';
    if (Perms & 1)
        T[2] = 'x';
    return T;
}

// The ACL of the record, its mask calculated; the same for the access and the default ACL.
acl_t WantedAcl(const TPosixRecord& R, const QString& Path) {
    QByteArray Text = "u::rwx,g::---,o::---";
    for (const TPosixTrustee& T : R.Trustees)
        Text +=
            (T.User ? ",u:" : ",g:") + QByteArray::number(T.Id) + ':' + PermText(PosixPermissions(T.Rights));
    acl_t A = acl_from_text(Text.constData());
    if (!A)
        Fail(QStringLiteral("ACL nicht darstellbar für"), Path, errno);
    if (acl_calc_mask(&A) != 0) {
        acl_free(A);
        Fail(QStringLiteral("ACL nicht darstellbar für"), Path, errno);
    }
    return A;
}

} // namespace

TFolderFd::TFolderFd(const QString& Path) : FPath(Path) {
    FFd = open(QFile::encodeName(Path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (FFd < 0)
        Fail(QStringLiteral("Ordner nicht zu öffnen:"), Path, errno);
}

TFolderFd::~TFolderFd() {
    if (FFd >= 0)
        close(FFd);
}

namespace {

TPosixRecord ParseRecord(const QByteArray& Flags, const QByteArray& Trustees) {
    TPosixRecord R;
    const QList<QByteArray> FlagList = Flags.split(' ');
    R.DeleteInhibit = FlagList.contains("DI");
    R.RenameInhibit = FlagList.contains("RI");
    const QString Text = QString::fromUtf8(Trustees);
    for (const QString& Line : Text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList F = Line.split(QLatin1Char('\t'));
        if (F.size() != 3 || F[0].size() != 8 || F[1].size() < 3 || F[1][1] != QLatin1Char(':') ||
            F[2].isEmpty())
            continue;
        TPosixTrustee T;
        T.User = F[1][0] == QLatin1Char('u');
        bool Ok = false;
        T.Id = F[1].mid(2).toLongLong(&Ok);
        if (!Ok || T.Id < 0 || (!T.User && F[1][0] != QLatin1Char('g')))
            continue;
        T.Rights = LettersToRights(QString(F[0]).remove(QLatin1Char('-')));
        T.FullName = F[2];
        R.Trustees.push_back(T);
    }
    return R;
}

} // namespace

TPosixRecord ReadRecord(const TFolderFd& Folder, TRecordParts Parts) {
    return ParseRecord(Parts == TRecordParts::All ? GetAttr(Folder, FlagsAttr) : QByteArray(),
                       GetAttr(Folder, TrusteesAttr));
}

TPosixRecord ReadRecordAt(const QString& Path, TRecordParts Parts) {
    const QByteArray Native = QFile::encodeName(Path);
    const auto Get = [&Native](const char* N, void* V, size_t S) {
        return lgetxattr(Native.constData(), N, V, S);
    };
    return ParseRecord(Parts == TRecordParts::All ? GetAttrWith(Get, Path, FlagsAttr) : QByteArray(),
                       GetAttrWith(Get, Path, TrusteesAttr));
}

namespace {

QByteArray FlagsValue(const TPosixRecord& Record) {
    QByteArrayList Flags;
    if (Record.DeleteInhibit)
        Flags << "DI";
    if (Record.RenameInhibit)
        Flags << "RI";
    return Flags.join(' ');
}

QByteArray TrusteesValue(const TPosixRecord& Record) {
    QString Text;
    for (const TPosixTrustee& T : Record.Trustees)
        Text += RightsText(T.Rights & LetterBits) + QLatin1Char('\t') +
                (T.User ? QLatin1String("u:") : QLatin1String("g:")) + QString::number(T.Id) +
                QLatin1Char('\t') + T.FullName + QLatin1Char('\n');
    return Text.toUtf8();
}

} // namespace

void WriteRecord(const TFolderFd& Folder, const TPosixRecord& Record, const TPosixRecord* Before) {
    const QByteArray Trustees = TrusteesValue(Record), Flags = FlagsValue(Record);
    if (!Before || TrusteesValue(*Before) != Trustees)
        SetAttr(Folder, TrusteesAttr, Trustees);
    if (!Before || FlagsValue(*Before) != Flags)
        SetAttr(Folder, FlagsAttr, Flags);
}

int PosixPermissions(int Rights) {
    if (Rights & RightBit(TRight::Supervisor))
        return 7;
    int P = 0;
    if (Rights & (RightBit(TRight::Read) | RightBit(TRight::FileScan)))
        P |= 4 | 1;
    if (Rights & (RightBit(TRight::Write) | RightBit(TRight::Create) | RightBit(TRight::Erase) |
                  RightBit(TRight::Modify)))
        P |= 2 | 1;
    return P;
}

void ProjectAcl(const TFolderFd& Folder, const TPosixRecord& Record, bool Emptied) {
    if (Record.Trustees.empty() && !Emptied)
        return;
    const TAcl Wanted(WantedAcl(Record, Folder.Path()));
    if (acl_set_fd(Folder.Fd(), Wanted.Get()) != 0 ||
        acl_set_file(ProcPath(Folder).constData(), ACL_TYPE_DEFAULT, Wanted.Get()) != 0)
        Fail(QStringLiteral("ACL nicht zu setzen für"), Folder.Path(), errno);
}

bool AclMatches(const TFolderFd& Folder, const TPosixRecord& Record) {
    if (Record.Trustees.empty())
        return true;
    const TAcl Wanted(WantedAcl(Record, Folder.Path()));
    const TAcl Access(acl_get_fd(Folder.Fd()));
    const TAcl Default(acl_get_file(ProcPath(Folder).constData(), ACL_TYPE_DEFAULT));
    if (!Access.Get() || !Default.Get())
        Fail(QStringLiteral("ACL nicht lesbar für"), Folder.Path(), errno);
    return acl_cmp(Access.Get(), Wanted.Get()) == 0 && acl_cmp(Default.Get(), Wanted.Get()) == 0;
}

namespace {

// A named entry of an ACL (a user or a group by its id) with its permission bits.
struct TNamedEntry {
    acl_tag_t Tag = ACL_UNDEFINED_TAG;
    id_t Id = 0;
    int Perms = 0;
};

bool ReadNamed(acl_entry_t E, TNamedEntry& Out) {
    if (acl_get_tag_type(E, &Out.Tag) != 0 || (Out.Tag != ACL_USER && Out.Tag != ACL_GROUP))
        return false;
    void* Qualifier = acl_get_qualifier(E);
    if (!Qualifier)
        return false;
    Out.Id = *static_cast<id_t*>(Qualifier);
    acl_free(Qualifier);
    acl_permset_t Set;
    Out.Perms = 0;
    if (acl_get_permset(E, &Set) == 0)
        for (const auto& [Bit, Perm] : {std::pair{4, ACL_READ}, {2, ACL_WRITE}, {1, ACL_EXECUTE}})
            if (acl_get_perm(Set, Perm) == 1)
                Out.Perms |= Bit;
    return true;
}

std::vector<TNamedEntry> NamedEntries(acl_t A) {
    std::vector<TNamedEntry> Named;
    acl_entry_t E;
    TNamedEntry N;
    for (int Which = ACL_FIRST_ENTRY; acl_get_entry(A, Which, &E) == 1; Which = ACL_NEXT_ENTRY)
        if (ReadNamed(E, N))
            Named.push_back(N);
    return Named;
}

// The permissions of the entry that Passed holds; 0 when it names it not.
int PassedPerms(const std::vector<TNamedEntry>& Passed, const TNamedEntry& Entry) {
    for (const TNamedEntry& P : Passed)
        if (P.Tag == Entry.Tag && P.Id == Entry.Id)
            return P.Perms;
    return 0;
}

bool HasStray(acl_t A, const std::vector<TNamedEntry>& Passed) {
    for (const TNamedEntry& N : NamedEntries(A))
        if (N.Perms & ~PassedPerms(Passed, N))
            return true;
    return false;
}

// Drops from A each named entry, or permission of one, that Passed does not give, and calculates
// the mask anew.
void DropStray(acl_t& A, const std::vector<TNamedEntry>& Passed) {
    std::vector<acl_entry_t> Gone;
    acl_entry_t E;
    TNamedEntry N;
    for (int Which = ACL_FIRST_ENTRY; acl_get_entry(A, Which, &E) == 1; Which = ACL_NEXT_ENTRY) {
        if (!ReadNamed(E, N))
            continue;
        const int Allowed = PassedPerms(Passed, N);
        acl_permset_t Set;
        if (Allowed == 0) {
            Gone.push_back(E);
        } else if ((N.Perms & ~Allowed) && acl_get_permset(E, &Set) == 0) {
            for (const auto& [Bit, Perm] : {std::pair{4, ACL_READ}, {2, ACL_WRITE}, {1, ACL_EXECUTE}})
                if (!(Allowed & Bit))
                    acl_delete_perm(Set, Perm);
            acl_set_permset(E, Set);
        }
    }
    for (acl_entry_t G : Gone)
        acl_delete_entry(A, G);
    acl_calc_mask(&A);
}

} // namespace

bool StrayAclEntries(const TFolderFd& Folder, const QString& Parent, bool Repair) {
    const QByteArray Path = ProcPath(Folder);
    TAcl Access(acl_get_fd(Folder.Fd()));
    TAcl Default(acl_get_file(Path.constData(), ACL_TYPE_DEFAULT));
    if (!Access.Get() || !Default.Get())
        Fail(QStringLiteral("ACL nicht lesbar für"), Folder.Path(), errno);
    if (NamedEntries(Access.Get()).empty() && NamedEntries(Default.Get()).empty())
        return false; // the common case: nothing named at all
    std::vector<TNamedEntry> Passed;
    if (!Parent.isEmpty()) {
        const TFolderFd ParentFd(Parent);
        const TAcl ParentDefault(acl_get_file(ProcPath(ParentFd).constData(), ACL_TYPE_DEFAULT));
        if (!ParentDefault.Get())
            Fail(QStringLiteral("ACL nicht lesbar für"), Parent, errno);
        Passed = NamedEntries(ParentDefault.Get());
    }
    const bool StrayAccess = HasStray(Access.Get(), Passed), StrayDefault = HasStray(Default.Get(), Passed);
    if (!StrayAccess && !StrayDefault)
        return false;
    if (Repair) {
        if (StrayAccess) {
            DropStray(Access.Ref(), Passed);
            if (acl_set_fd(Folder.Fd(), Access.Get()) != 0)
                Fail(QStringLiteral("ACL nicht zu setzen für"), Folder.Path(), errno);
        }
        if (StrayDefault) {
            DropStray(Default.Ref(), Passed);
            if (acl_set_file(Path.constData(), ACL_TYPE_DEFAULT, Default.Get()) != 0)
                Fail(QStringLiteral("ACL nicht zu setzen für"), Folder.Path(), errno);
        }
    }
    return true;
}

QString PosixSupportProblem(const QString& Folder) {
    const int Fd =
        open(QFile::encodeName(Folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (Fd < 0)
        return QStringLiteral("den Ordner gibt es nicht oder er ist nicht zu öffnen");
    QString Problem;
    if (fgetxattr(Fd, FlagsAttr, nullptr, 0) < 0 && errno == ENOTSUP)
        Problem = QStringLiteral("sein Dateisystem kennt keine erweiterten Attribute");
    else if (fgetxattr(Fd, "system.posix_acl_access", nullptr, 0) < 0 && errno == ENOTSUP)
        Problem = QStringLiteral("sein Dateisystem kennt keine POSIX-ACL");
    close(Fd);
    return Problem;
}
