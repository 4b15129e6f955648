#include "LdapJournal.h"

#include <Clock.h>
#include <EDirectoryError.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Steps handed to the system between two syncs to the disk: a power cut loses at most these.
constexpr int SyncEvery = 64;

const char* KindName(TLdapUndo::TKind Kind) {
    switch (Kind) {
    case TLdapUndo::TKind::Delete:
        return "delete";
    case TLdapUndo::TKind::Restore:
        return "restore";
    case TLdapUndo::TKind::Add:
        return "add";
    }
    return "";
}

bool KindOfName(const QString& Name, TLdapUndo::TKind& Kind) {
    for (TLdapUndo::TKind K : {TLdapUndo::TKind::Delete, TLdapUndo::TKind::Restore, TLdapUndo::TKind::Add})
        if (Name == QLatin1String(KindName(K))) {
            Kind = K;
            return true;
        }
    return false;
}

QByteArray LineOf(const QJsonObject& Object) {
    return QJsonDocument(Object).toJson(QJsonDocument::Compact) + '\n';
}

// Makes a file's creation or removal in Folder last.
void SyncFolder(const QString& Folder) {
    const int Fd = ::open(QFile::encodeName(Folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd >= 0) {
        ::fsync(Fd);
        ::close(Fd);
    }
}

} // namespace

TLdapJournal::TLdapJournal(QString Path) : FPath(std::move(Path)), FLock(FPath + QStringLiteral(".lock")) {
    // A group may run for long: only a lock whose process is gone is stale.
    FLock.setStaleLockTime(0);
}

TLdapJournal::~TLdapJournal() {
    if (FFd >= 0)
        ::close(FFd);
    FLock.unlock();
}

bool TLdapJournal::Exists() const {
    return QFileInfo::exists(FPath);
}

bool TLdapJournal::Lock(int Ms) {
    if (FLock.isLocked())
        return true;
    QDir().mkpath(QFileInfo(FPath).absolutePath());
    return FLock.tryLock(Ms);
}

void TLdapJournal::Fail(const QString& What) const {
    ThrowDirectoryError(ERR_INVALID_REQUEST, QStringLiteral("Das Journal %1 kann nicht %2 werden: %3")
                                                 .arg(QDir::toNativeSeparators(FPath), What,
                                                      QString::fromLocal8Bit(std::strerror(errno))));
}

bool TLdapJournal::Read(TContent& Content) const {
    QFile File(FPath);
    if (!File.open(QIODevice::ReadOnly))
        return false;
    Content = TContent();
    const QList<QByteArray> Lines = File.readAll().split('\n');
    for (const QByteArray& Line : Lines) {
        // The last line lacks its end when the writer died within it: that write never went out.
        if (&Line == &Lines.back())
            break;
        const QJsonObject O = QJsonDocument::fromJson(Line).object();
        if (O.contains(QLatin1String("base"))) {
            Content.Base = O.value(QLatin1String("base")).toString();
            Content.Began =
                QDateTime::fromString(O.value(QLatin1String("began")).toString(), Qt::ISODateWithMs);
            continue;
        }
        if (O.contains(QLatin1String("cancel"))) {
            const QString Dn = O.value(QLatin1String("cancel")).toString();
            for (auto It = Content.Steps.rbegin(); It != Content.Steps.rend(); ++It)
                if (It->Kind == TLdapUndo::TKind::Delete && It->Dn == Dn) {
                    Content.Steps.erase(std::next(It).base());
                    break;
                }
            continue;
        }
        TLdapUndo Step;
        if (!KindOfName(O.value(QLatin1String("undo")).toString(), Step.Kind))
            continue;
        Step.Dn = O.value(QLatin1String("dn")).toString();
        for (const QJsonValue& A : O.value(QLatin1String("attributes")).toArray()) {
            const QJsonArray Pair = A.toArray();
            TLdapAttribute Attribute{Pair.at(0).toString(), {}};
            for (const QJsonValue& V : Pair.at(1).toArray())
                Attribute.Values.append(QByteArray::fromBase64(V.toString().toLatin1()));
            Step.Attributes.push_back(std::move(Attribute));
        }
        Content.Steps.push_back(std::move(Step));
    }
    return true;
}

void TLdapJournal::Append(const QByteArray& Line, bool Sync) {
    if (FFd < 0)
        Fail(QStringLiteral("geschrieben"));
    for (qsizetype Done = 0; Done < Line.size();) {
        const ssize_t N = ::write(FFd, Line.constData() + Done, size_t(Line.size() - Done));
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0)
            Fail(QStringLiteral("geschrieben"));
        Done += N;
    }
    if (Sync || ++FUnsynced >= SyncEvery) {
        if (::fdatasync(FFd) != 0)
            Fail(QStringLiteral("geschrieben"));
        FUnsynced = 0;
    }
}

void TLdapJournal::Start(const QString& Base) {
    if (FFd >= 0)
        ::close(FFd);
    FFd = ::open(QFile::encodeName(FPath).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC,
                 0600);
    if (FFd < 0)
        Fail(QStringLiteral("angelegt"));
    Append(LineOf({{QStringLiteral("base"), Base},
                   {QStringLiteral("began"), TClock::Now().toUTC().toString(Qt::ISODateWithMs)}}),
           true);
    SyncFolder(QFileInfo(FPath).absolutePath());
}

void TLdapJournal::Note(const TLdapUndo& Step) {
    QJsonArray Attributes;
    for (const TLdapAttribute& A : Step.Attributes) {
        QJsonArray Values;
        for (const QByteArray& V : A.Values)
            Values.append(QString::fromLatin1(V.toBase64()));
        Attributes.append(QJsonArray{A.Name, Values});
    }
    QJsonObject O{{QStringLiteral("undo"), QString::fromLatin1(KindName(Step.Kind))},
                  {QStringLiteral("dn"), Step.Dn}};
    if (!Attributes.isEmpty())
        O.insert(QStringLiteral("attributes"), Attributes);
    Append(LineOf(O), false);
}

void TLdapJournal::Cancel(const QString& Dn) {
    Append(LineOf({{QStringLiteral("cancel"), Dn}}), false);
}

void TLdapJournal::Remove() {
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
    if (QFile::exists(FPath) && !QFile::remove(FPath))
        Fail(QStringLiteral("gelöscht"));
    SyncFolder(QFileInfo(FPath).absolutePath());
}
