#include "VolumeFile.h"

#include <Rights.h>
#include <VolumeStore.h>

#include <QDir>
#include <QDirIterator>
#include <QHash>
#include <algorithm>

namespace VolumeFile {
namespace {

QByteArray Line(const QStringList& Fields) {
    return Fields.join(QLatin1Char('\t')).toUtf8() + '\n';
}

// Case aside first, then as written: the same order on every store.
bool NameBefore(const QString& A, const QString& B) {
    const int Order = A.compare(B, Qt::CaseInsensitive);
    return Order != 0 ? Order < 0 : A < B;
}

// The folders below a local root as levels, links not followed; parents before their children,
// the folders of one parent by name.
std::vector<QStringList> FoldersOnDisk(const QString& Root) {
    std::vector<QStringList> Folders;
    if (Root.isEmpty())
        return Folders;
    const QDir Base(Root);
    QDirIterator It(Root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (It.hasNext())
        Folders.push_back(Base.relativeFilePath(It.next()).split(QLatin1Char('/')));
    std::sort(Folders.begin(), Folders.end(), [](const QStringList& A, const QStringList& B) {
        return std::lexicographical_compare(A.begin(), A.end(), B.begin(), B.end(), NameBefore);
    });
    return Folders;
}

void WriteVolume(QByteArray& Out, TVolumeStore& Store, const TVolume& V) {
    const QString Name = QStringLiteral("\\\\%1\\%2").arg(V.Server, V.Volume);
    Out += Line({QStringLiteral("volume"), Name, V.VolumeObject});
    const std::vector<TFolderState> States = Store.FolderStates(V.Server, V.Volume);
    QHash<QString, const TFolderState*> StateOf;
    for (const TFolderState& S : States)
        StateOf.insert(S.Path.toUpper(), &S);

    auto Folder = [&](const QStringList& Levels) {
        const QString Path =
            Levels.isEmpty() ? Name : Name + QLatin1Char('\\') + Levels.join(QLatin1Char('\\'));
        const TFolderState* S = StateOf.value(Levels.join(QLatin1Char('\\')).toUpper());
        if (Levels.isEmpty() && !S)
            return; // the root is named by the volume line
        QStringList Flags;
        if (S && S->DeleteInhibit)
            Flags << QStringLiteral("DI");
        if (S && S->RenameInhibit)
            Flags << QStringLiteral("RI");
        Out += Line({QStringLiteral("folder"), Path, Flags.join(QLatin1Char(' '))});
        for (qsizetype I = 0; S && I < S->Trustees.size(); ++I)
            Out += Line({QStringLiteral("trustee"), Path, RightsText(S->Rights[I]), S->Trustees[I]});
    };
    Folder({});
    for (const QStringList& Levels : FoldersOnDisk(Store.LocalPath(Name)))
        Folder(Levels);
}

} // namespace

QByteArray Export(TVolumeStore& Store) {
    std::vector<TVolume> Volumes = Store.Volumes();
    std::sort(Volumes.begin(), Volumes.end(), [](const TVolume& A, const TVolume& B) {
        return A.Server.compare(B.Server, Qt::CaseInsensitive) != 0 ? NameBefore(A.Server, B.Server)
                                                                    : NameBefore(A.Volume, B.Volume);
    });
    QByteArray Out = "# Volumes with their folders, flags and trustees\nversion\t1\n";
    for (const TVolume& V : Volumes)
        WriteVolume(Out, Store, V);
    return Out;
}

} // namespace VolumeFile
