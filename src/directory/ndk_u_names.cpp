// The access object's names and paths: dotted and full names, the tree prefix, class codes, volume
// paths and the conversion of path field texts.

#include "ndk_u.h"

#include <EDirectoryError.h>

#include <QHash>

QString TNDK::PathToDotted(const QString& Name) {
    if (Name.isEmpty())
        return QString();
    if (Name.contains(u'.'))
        return Name;
    QStringView S(Name);
    if (const qsizetype P = S.indexOf(u"\\\\"); P >= 0)
        S = S.mid(P + 2);
    if (const qsizetype P = S.indexOf(u'\\'); P >= 0)
        S = S.mid(P + 1);
    // Every level, leaf first, each behind a ".".
    QString Result;
    Result.reserve(S.size() + 1);
    for (qsizetype End = S.size();;) {
        const qsizetype Before = End > 0 ? S.left(End).lastIndexOf(u'\\') : -1;
        Result += u'.';
        Result += S.mid(Before + 1, End - Before - 1);
        if (Before < 0)
            break;
        End = Before;
    }
    if (Result.startsWith(u'.'))
        Result.remove(0, 1);
    if (Result.endsWith(u'.'))
        Result.chop(1);
    return Result;
}

QString TNDK::DottedToPath(const QString& Name) {
    if (Name.contains(u'\\'))
        return Name;
    QString S = Name + u'.';
    if (S.startsWith(u'.'))
        S.remove(0, 1);
    // Every level before a ".", top level first, each behind a "\".
    QStringList Levels = S.split(u'.');
    Levels.removeLast();
    QString Result;
    for (auto It = Levels.crbegin(); It != Levels.crend(); ++It)
        Result += u'\\' + *It;
    return Result.isEmpty() ? TreePrefix() : TreePrefix() + Result;
}

QString TNDK::TreePrefix() {
    if (FTreePrefix.isEmpty()) {
        const QString Full = NWDir1->FullName();
        int P = -1;
        for (int Count = 0; Count < 3; ++Count) {
            P = Full.indexOf(u'\\', P + 1);
            if (P < 0)
                break;
        }
        FTreePrefix = P < 0 ? Full : Full.left(P);
    }
    return FTreePrefix;
}

int TNDK::ClassCode(const QString& Layout) {
    static const QHash<QString, int> Codes = {
        {QStringLiteral("USER"), 1},
        {QStringLiteral("ORGANIZATIONAL UNIT"), 2},
        {QStringLiteral("GROUP"), 3},
        {QStringLiteral("ORGANIZATION"), 4},
        {QStringLiteral("ORGANIZATIONAL ROLE"), 5},
        {QStringLiteral("ROOT"), 6},
        {QStringLiteral("TOP"), 6},
        {QStringLiteral("TREE"), 7},
        {QStringLiteral("TEMPLATE"), 8},
        {QStringLiteral("VOLUME"), 9},
        {QStringLiteral("NDSCAT:MASTER CATALOG"), 10},
    };
    return Codes.value(Layout.toUpper(), 0);
}

QString TNDK::VolumeOfPath(const QString& Path) {
    int P = -1;
    for (int Count = 0; Count < 4; ++Count) {
        P = Path.indexOf(u'\\', P + 1);
        if (P < 0)
            return Path;
    }
    return Path.left(P);
}

namespace {
struct TParsedPath {
    NWCCODE Status = 0;
    QString Server, Volume, Dir;
};

TParsedPath ParsePath(const QString& Path) {
    const QByteArray In = Path.toUtf8();
    char Server[256] = {};
    char Volume[256] = {};
    char Dir[256] = {};
    std::uint32_t Conn = 0;
    TParsedPath R;
    R.Status = NWParsePath(In.constData(), Server, &Conn, Volume, Dir);
    if (R.Status == 0) {
        // The buffers are zero-terminated by contract; the last byte stays 0 whatever happens.
        Server[255] = Volume[255] = Dir[255] = 0;
        R.Server = QString::fromUtf8(Server);
        R.Volume = QString::fromUtf8(Volume);
        R.Dir = QString::fromUtf8(Dir);
    }
    return R;
}
} // namespace

QString TNDK::SplitFilePath(const QString& Text) {
    if (Text.startsWith(QStringLiteral("\\\\")))
        return Text;
    QString S = Text;
    S.remove(u' ');
    S.replace(u'/', u'\\');
    if (const int P = S.indexOf(QStringLiteral(",\\")); P >= 0)
        S.remove(P + 1, 1);
    const int Comma = S.indexOf(u',');
    if (Comma < 0)
        throw EDirectoryError(
            QStringLiteral("Ungültiger Pfad \"") + Text +
            QStringLiteral("\": das Volume-Objekt ist nicht durch \",\" vom Verzeichnis getrennt."));
    S[Comma] = u':';
    S.remove(0, 6);
    S.remove(0, S.indexOf(u'\\') + 1);
    for (;;) {
        const int Backslash = S.indexOf(u'\\');
        const int Colon = S.indexOf(u':');
        if (Backslash < 0 || Colon < 0 || Backslash > Colon)
            break;
        S.remove(0, Backslash + 1);
    }
    const TParsedPath Parsed = ParsePath(S);
    if (Parsed.Status != 0)
        throw EDirectoryError(QStringLiteral("Der Pfad \"") + Text +
                                  QStringLiteral("\" kann nicht aufgelöst werden (Fehler ") +
                                  QString::number(Parsed.Status) + QStringLiteral(")."),
                              Parsed.Status);
    QString R = QStringLiteral("\\\\") + Parsed.Server + u'\\' + Parsed.Volume + u'\\' + Parsed.Dir;
    R.remove(0, 2 + Parsed.Server.length() + 1);
    // The volume object's name is server "_" volume: its separator becomes the path's "\".
    if (const int At = int(Parsed.Server.length()); At < R.length())
        R[At] = u'\\';
    return QStringLiteral("\\\\") + R;
}

QString TNDK::UncToNds(const QString& Path) {
    const TParsedPath Parsed = ParsePath(Path);
    if (Parsed.Status != 0)
        return Path;
    const QString Server = Parsed.Server.toUpper();
    TStringList Connections;
    ListConnectedServers(Connections);
    for (int I = 0; I < Connections.Count(); ++I) {
        const QString Full = Connections.Object(I)->Text.toUpper();
        if (Full.contains(Server))
            return Full + u'_' + Parsed.Volume + u',' + Parsed.Dir;
    }
    return QString();
}

void TNDK::RemoveChar(QString& Text, QChar Ch) {
    Text.remove(Ch);
}
