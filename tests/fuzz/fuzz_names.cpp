// The name and path conversions of the access object on arbitrary texts, over the demo tree: they
// answer (SplitFilePath may refuse with a directory error), and they undo each other where the
// forms carry the same information: a dotted name and its full name, a full name and its dotted
// name, a file-system path on a volume of a connected server and its path field text.
#include <DemoTree.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <SqliteStore.h>
#include <ndk_u.h>

#include <QApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Never destroyed: at the exit, the database driver's own statics may be gone already.
struct TWorld {
    std::shared_ptr<TSqliteStore> Store;
    std::unique_ptr<TDirectoryClient> Client;
    std::unique_ptr<TNDK> Ndk;
};
TWorld* World = nullptr;

void Check(bool Condition, const char* What, const QString& Text) {
    if (!Condition) {
        std::fprintf(stderr, "%s: \"%s\"\n", What, Text.toUtf8().constData());
        std::abort();
    }
}

// Levels joined by Separator, none of them empty.
bool PlainLevels(const QString& Text, QChar Separator) {
    if (Text.isEmpty())
        return false;
    for (const QString& Level : Text.split(Separator))
        if (Level.isEmpty())
            return false;
    return true;
}

// A path on a volume of the demo server with at least one directory, each level free of what the
// conversion to a path field drops or reads as a separator, and short enough for the path parse.
bool PlainUncPath(const QString& Text) {
    static const QRegularExpression Form(
        QStringLiteral("^\\\\\\\\SRV1\\\\(DATA|SYS)(\\\\[^\\\\/:, \\x{0}]+)+$"),
        QRegularExpression::CaseInsensitiveOption);
    return Text.toUtf8().size() < 200 && Form.match(Text).hasMatch();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*Argc, *Argv);
    static QTemporaryDir Dir; // the volumes' folders
    World = new TWorld;
    World->Store = std::make_shared<TSqliteStore>(Dir.path(), TSqliteStore::TStorage::Memory);
    World->Store->UseMinimalPasswordCostForTests();
    CreateDemoTree(*World->Store);
    World->Client = std::make_unique<TDirectoryClient>(World->Store, World->Store);
    TDirectoryClient::SetInstance(World->Client.get());
    World->Ndk = std::make_unique<TNDK>(nullptr, *World->Client);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QString Text = QString::fromUtf8(reinterpret_cast<const char*>(Data), qsizetype(Size));
    TNDK& Ndk = *World->Ndk;
    const QString Prefix = Ndk.TreePrefix();

    const QString Dotted = TNDK::PathToDotted(Text);
    const QString Full = Ndk.DottedToPath(Text);
    if (!Text.contains(u'\\') && !Text.startsWith(u'.') && !Text.endsWith(u'.') && !Text.isEmpty())
        Check(TNDK::PathToDotted(Full) == Text, "dotted name, full name and back", Text);
    if (Text.startsWith(Prefix + u'\\') && !Text.contains(u'.') &&
        PlainLevels(Text.mid(Prefix.size() + 1), u'\\'))
        Check(Ndk.DottedToPath(Dotted) == Text, "full name, dotted name and back", Text);
    Check(TNDK::VolumeOfPath(Text).size() <= Text.size(), "volume part longer than the path", Text);

    try {
        const QString Path = Ndk.SplitFilePath(Text);
        Check(Text.startsWith(QStringLiteral("\\\\")) ? Path == Text
                                                      : Path.startsWith(QStringLiteral("\\\\")),
              "path field text to no file-system path", Text);
    } catch (const EDirectoryError&) {
    }

    const QString Field = Ndk.UncToNds(Text);
    if (PlainUncPath(Text)) {
        Check(!Field.isEmpty() && Field != Text, "path on a connected server without a path field text",
              Text);
        const QString Back = Ndk.SplitFilePath(Field);
        const QString Volume = TNDK::VolumeOfPath(Text);
        Check(TNDK::VolumeOfPath(Back).compare(Volume, Qt::CaseInsensitive) == 0 &&
                  Back.mid(Volume.size()) == Text.mid(Volume.size()),
              "file-system path, path field text and back", Text);
    }
    return 0;
}
