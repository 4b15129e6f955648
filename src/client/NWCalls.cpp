#include "NWCalls.h"

#include "DirectoryClient.h"
#include "FaultInjection.h"

#include <Layouts.h>
#include <Names.h>
#include <Secrets.h>

#include <QString>
#include <cstring>
#include <map>
#include <vector>

struct NWDSBuf {
    std::size_t Size = 0;
    std::size_t Used = 0;
    int Operation = 0; // 0: not initialised
    struct TChange {
        int Type;
        QString Attribute;
    };
    std::vector<TChange> Changes;
};

namespace {

struct TContext {
    std::uint32_t Flags = 0;
    QString TreeName; // "" until key 11 is set: the first connected tree
};

std::map<NWDSContextHandle, TContext>& Contexts() {
    static std::map<NWDSContextHandle, TContext> C;
    return C;
}

TContext* ContextOf(NWDSContextHandle Handle) {
    auto It = Contexts().find(Handle);
    return It == Contexts().end() ? nullptr : &It->second;
}

// Copies Text into a buffer of Size bytes with its terminator; false when it does not fit.
bool CopyOut(const QByteArray& Text, char* Buffer, int Size) {
    if (!Buffer || Text.size() >= Size)
        return false;
    std::memcpy(Buffer, Text.constData(), size_t(Text.size()));
    Buffer[Text.size()] = '\0';
    return true;
}

// The tree the context addresses: the one set with key 11, else the first connected tree; ""
// when there is none.
QString TreeOfContext(TDirectoryBackend& Directory, const TContext& Context) {
    if (!Context.TreeName.isEmpty())
        return Context.TreeName;
    const QStringList Connected = Directory.ConnectedTrees();
    QString Tree, Levels;
    return !Connected.isEmpty() && SplitFullName(Connected.first(), Tree, Levels) ? Tree : QString();
}

// An object named by a typeless (or typed) dotted name relative to the root of the context's tree;
// a full name "NDS:\\TREE\..." is taken as it is.
bool ObjectOfContext(TDirectoryBackend& Directory, const TContext& Context, const char* Object,
                     TObjectRef& Out) {
    if (!Object)
        return false;
    const QString Name = QString::fromUtf8(Object);
    QString Tree, Levels, FullName;
    if (SplitFullName(Name, Tree, Levels))
        return Directory.TryResolve(Name, Out) && !Out.IsTreeRoot();
    const QString ContextTree = TreeOfContext(Directory, Context);
    return !ContextTree.isEmpty() && DottedToFullName(ContextTree, Name, FullName) &&
           Directory.TryResolve(FullName, Out) && !Out.IsTreeRoot();
}

// Finds the volume object of that short name: in the first connected tree, then in the others.
bool FindVolumeObject(TDirectoryBackend& Directory, const QString& ShortName, TObjectRef& Out) {
    QStringList Trees = Directory.Trees();
    const QStringList Connected = Directory.ConnectedTrees();
    QString Preferred, Levels;
    if (!Connected.isEmpty() && SplitFullName(Connected.first(), Preferred, Levels)) {
        Trees.removeIf([&](const QString& T) { return T.compare(Preferred, Qt::CaseInsensitive) == 0; });
        Trees.prepend(Preferred);
    }
    for (const QString& Tree : Trees) {
        TObjectRef Root;
        if (!Directory.TryResolve(TreeFullName(Tree), Root))
            continue;
        const QStringList Hits = Directory.Search(Root, ShortName, QStringLiteral("Volume"), 2);
        if (!Hits.isEmpty())
            return Directory.TryResolve(Hits.first(), Out);
    }
    return false;
}

// The server that holds a volume object: from the volume map, else from its "Host Server".
QString ServerOfVolumeObject(TDirectoryClient& Client, const TObjectRef& Volume) {
    for (const TVolume& V : Client.VolumeStore().Volumes())
        if (V.VolumeObject.compare(Volume.FullName, Qt::CaseInsensitive) == 0)
            return V.Server;
    TDirectoryBackend& Directory = Client.Directory();
    if (const NWFieldType* Host = Directory.FieldType(QStringLiteral("Host Server"))) {
        const std::vector<QVariant> Values = Directory.ReadField(Volume, *Host);
        if (!Values.empty())
            return Values.front().toString().section(QLatin1Char('\\'), -1);
    }
    return QString();
}

// The start of a call on a context: its injected fault, else ERR_BAD_CONTEXT for an unknown
// context, else ERR_INVALID_REQUEST when the arguments are not valid; Context is set when Status is 0.
struct TCallStart {
    NWCCODE Status = 0;
    TContext* Context = nullptr;
};
TCallStart StartCall(const QString& Call, NWDSContextHandle Handle, bool ArgumentsValid) {
    if (const NWCCODE Injected = TFaultInjection::Status(Call))
        return {Injected, nullptr};
    TContext* C = ContextOf(Handle);
    if (!C)
        return {ERR_BAD_CONTEXT, nullptr};
    if (!ArgumentsValid)
        return {ERR_INVALID_REQUEST, nullptr};
    return {0, C};
}

// Runs Body(Directory, Ref) on the object a call names in its context and answers its status:
// ERR_NO_SUCH_ENTRY for an unknown object, a directory error's code when the directory refuses.
template <typename TBody> NWCCODE OnObject(const TContext& Context, const char* Object, TBody Body) {
    try {
        TDirectoryBackend& D = TDirectoryClient::Instance().Directory();
        TObjectRef Ref;
        if (!ObjectOfContext(D, Context, Object, Ref))
            return ERR_NO_SUCH_ENTRY;
        return Body(D, Ref);
    } catch (const EDirectoryError& E) {
        return E.Code() < 0 ? E.Code() : ERR_INVALID_REQUEST;
    }
}

} // namespace

NWCCODE NWParsePath(const char* Path, char* ServerName, std::uint32_t* ConnHandle, char* VolumeName,
                    char* DirPath) {
    if (const NWCCODE Injected = TFaultInjection::Status(QStringLiteral("NWParsePath")))
        return Injected;
    if (!Path || !ServerName || !VolumeName || !DirPath)
        return ERR_INVALID_PATH;
    const QString Text = QString::fromUtf8(Path);
    QString Server, Volume, Dir;
    if (Text.startsWith(QLatin1String("\\\\"))) {
        // \\SERVER\VOLUME[\DIR...]
        const QString Rest = Text.mid(2);
        const int S1 = Rest.indexOf(QLatin1Char('\\'));
        if (S1 <= 0)
            return ERR_INVALID_PATH;
        Server = Rest.left(S1);
        const int S2 = Rest.indexOf(QLatin1Char('\\'), S1 + 1);
        Volume = S2 < 0 ? Rest.mid(S1 + 1) : Rest.mid(S1 + 1, S2 - S1 - 1);
        Dir = S2 < 0 ? QString() : Rest.mid(S2 + 1);
        if (Volume.isEmpty() || Volume.contains(QLatin1Char(':')) || Server.contains(QLatin1Char(':')))
            return ERR_INVALID_PATH;
        while (Dir.endsWith(QLatin1Char('\\')))
            Dir.chop(1);
        if (Dir.contains(QLatin1String("\\\\")) || Dir.startsWith(QLatin1Char('\\')))
            return ERR_INVALID_PATH;
    } else {
        // VOLOBJ:DIR, VOLOBJ the short name of a volume object.
        const int Colon = Text.indexOf(QLatin1Char(':'));
        if (Colon <= 0)
            return ERR_INVALID_PATH;
        Volume = Text.left(Colon);
        Dir = Text.mid(Colon + 1);
        if (Volume.contains(QLatin1Char('\\')) || Volume.contains(QLatin1Char('/')) ||
            Dir.contains(QLatin1Char(':')))
            return ERR_INVALID_PATH;
        while (Dir.startsWith(QLatin1Char('\\')))
            Dir.remove(0, 1);
        while (Dir.endsWith(QLatin1Char('\\')))
            Dir.chop(1);
        TObjectRef Object;
        TDirectoryClient& Client = TDirectoryClient::Instance();
        if (!FindVolumeObject(Client.Directory(), Volume, Object))
            return ERR_INVALID_PATH;
        Server = ServerOfVolumeObject(Client, Object);
        if (Server.isEmpty())
            return ERR_INVALID_PATH;
    }
    const QByteArray S = Server.toUtf8(), V = Volume.toUtf8(), Dp = Dir.toUtf8();
    if (S.size() >= NW_PATH_PART_BYTES || V.size() >= NW_PATH_PART_BYTES || Dp.size() >= NW_PATH_PART_BYTES)
        return ERR_INVALID_PATH;
    CopyOut(S, ServerName, NW_PATH_PART_BYTES);
    CopyOut(V, VolumeName, NW_PATH_PART_BYTES);
    CopyOut(Dp, DirPath, NW_PATH_PART_BYTES);
    if (ConnHandle)
        *ConnHandle = 1;
    return 0;
}

NWCCODE NWCallsInit(void* Reserved1, void* Reserved2) {
    return TFaultInjection::Status(QStringLiteral("NWCallsInit"));
}

NWCCODE NWDSCreateContextHandle(NWDSContextHandle* Context) {
    static NWDSContextHandle Next = 0;
    if (const NWCCODE Injected = TFaultInjection::Status(QStringLiteral("NWDSCreateContextHandle"))) {
        if (Context)
            *Context = 0;
        return Injected;
    }
    if (!Context)
        return ERR_INVALID_REQUEST;
    do
        ++Next;
    while (Next == 0 || ContextOf(Next));
    Contexts().emplace(Next, TContext());
    *Context = Next;
    return 0;
}

NWCCODE NWDSFreeContext(NWDSContextHandle Context) {
    const NWCCODE Injected = TFaultInjection::Status(QStringLiteral("NWDSFreeContext"));
    // Freeing the null handle that a failed creation leaves is no fault.
    if (Context != 0 && !Contexts().erase(Context))
        return ERR_BAD_CONTEXT;
    return Injected;
}

NWCCODE NWDSGetContext(NWDSContextHandle Context, int Key, void* Value) {
    const TCallStart Start = StartCall(QStringLiteral("NWDSGetContext"), Context, Value != nullptr);
    if (Start.Status != 0)
        return Start.Status;
    TContext* C = Start.Context;
    switch (Key) {
    case DCK_FLAGS:
        std::memcpy(Value, &C->Flags, sizeof C->Flags);
        return 0;
    case DCK_TREE_NAME:
        return CopyOut(C->TreeName.toUtf8(), static_cast<char*>(Value), NW_MAX_TREE_NAME_BYTES)
                   ? 0
                   : ERR_INVALID_REQUEST;
    default:
        return ERR_INVALID_REQUEST;
    }
}

NWCCODE NWDSSetContext(NWDSContextHandle Context, int Key, const void* Value) {
    const TCallStart Start = StartCall(QStringLiteral("NWDSSetContext"), Context, Value != nullptr);
    if (Start.Status != 0)
        return Start.Status;
    TContext* C = Start.Context;
    switch (Key) {
    case DCK_FLAGS:
        std::memcpy(&C->Flags, Value, sizeof C->Flags);
        return 0;
    case DCK_TREE_NAME: {
        const char* Text = static_cast<const char*>(Value);
        const std::size_t Length = strnlen(Text, NW_MAX_TREE_NAME_BYTES);
        if (Length >= std::size_t(NW_MAX_TREE_NAME_BYTES) || Length == 0)
            return ERR_INVALID_REQUEST;
        C->TreeName = QString::fromUtf8(Text, qsizetype(Length));
        return 0;
    }
    default:
        return ERR_INVALID_REQUEST;
    }
}

NWCCODE NWDSAllocBuf(std::size_t Size, NWDSBuf** Buf) {
    if (const NWCCODE Injected = TFaultInjection::Status(QStringLiteral("NWDSAllocBuf")))
        return Injected;
    if (!Buf || Size == 0 || Size > 64 * 1024)
        return ERR_INVALID_REQUEST;
    *Buf = new NWDSBuf;
    (*Buf)->Size = Size;
    return 0;
}

NWCCODE NWDSInitBuf(NWDSContextHandle Context, int Operation, NWDSBuf* Buf) {
    const TCallStart Start =
        StartCall(QStringLiteral("NWDSInitBuf"), Context, Buf && Operation == DSV_MODIFY_ENTRY);
    if (Start.Status != 0)
        return Start.Status;
    Buf->Operation = Operation;
    Buf->Used = 0;
    Buf->Changes.clear();
    return 0;
}

NWCCODE NWDSPutChange(NWDSContextHandle Context, NWDSBuf* Buf, int ChangeType, const char* AttrName) {
    const TCallStart Start =
        StartCall(QStringLiteral("NWDSPutChange"), Context,
                  Buf && Buf->Operation == DSV_MODIFY_ENTRY && AttrName && ChangeType == DS_REMOVE_ATTRIBUTE);
    if (Start.Status != 0)
        return Start.Status;
    // Change type, name length and the name in UTF-16 with its terminator, as the wire form holds it.
    const QString Attribute = QString::fromUtf8(AttrName);
    const std::size_t Needed = 8 + 2 * std::size_t(Attribute.size() + 1);
    if (Buf->Used + Needed > Buf->Size)
        return ERR_BUFFER_FULL;
    Buf->Used += Needed;
    Buf->Changes.push_back({ChangeType, Attribute});
    return 0;
}

NWCCODE NWDSModifyObject(NWDSContextHandle Context, const char* Object, std::int32_t* IterationHandle,
                         int More, NWDSBuf* Buf) {
    const TCallStart Start =
        StartCall(QStringLiteral("NWDSModifyObject"), Context, Buf && Buf->Operation == DSV_MODIFY_ENTRY);
    if (Start.Status != 0)
        return Start.Status;
    return OnObject(*Start.Context, Object, [&](TDirectoryBackend& D, const TObjectRef& Ref) -> NWCCODE {
        std::vector<TFieldWrite> Writes;
        for (const NWDSBuf::TChange& Change : Buf->Changes) {
            const NWFieldType* Type = D.FieldType(Change.Attribute);
            if (!Type)
                return ERR_NO_SUCH_ATTRIBUTE;
            // Removing the values of an attribute that holds none is refused.
            if (D.ReadField(Ref, *Type).empty())
                return ERR_DUPLICATE_VALUE;
            Writes.push_back({Type->Name, QVariant()});
        }
        if (Writes.empty())
            return 0;
        D.WriteFields(Ref, Writes);
        if (IterationHandle)
            *IterationHandle = NO_MORE_ITERATIONS;
        return 0;
    });
}

NWCCODE NWDSFreeBuf(NWDSBuf* Buf) {
    if (!Buf)
        return ERR_INVALID_REQUEST;
    delete Buf;
    return 0;
}

NWCCODE NWDSChangeObjectPassword(NWDSContextHandle Context, std::uint32_t Options, const char* Object,
                                 const char* OldPassword, const char* NewPassword) {
    const TCallStart Start =
        StartCall(QStringLiteral("NWDSChangeObjectPassword"), Context, NewPassword != nullptr);
    if (Start.Status != 0)
        return Start.Status;
    return OnObject(*Start.Context, Object, [&](TDirectoryBackend& D, const TObjectRef& Ref) -> NWCCODE {
        if (Ref.Layout != QLatin1String("User"))
            return ERR_NO_SUCH_ATTRIBUTE;
        const TSecretText Password(QString::fromUtf8(NewPassword));
        if (const NWFieldType* MinimumType = D.FieldType(QStringLiteral("Password Minimum Length"))) {
            const std::vector<QVariant> Minimum = D.ReadField(Ref, *MinimumType);
            if (!Minimum.empty() && Password.Text().size() < Minimum.front().toLongLong())
                return ERR_PASSWORD_TOO_SHORT;
        }
        D.SetPassword(Ref, Password.Text());
        return 0;
    });
}
