#include "VolumeFile.h"

#include <DirectoryBackend.h>
#include <EDirectoryError.h>
#include <Rights.h>
#include <VolumePath.h>
#include <VolumeStore.h>

#include <QHash>
#include <QSet>
#include <QStringDecoder>

namespace VolumeFile {
namespace {

[[noreturn]] void Fail(int Line, const QString& Message) {
    throw EDirectoryError(QStringLiteral("Volume-Datei, Zeile %1: %2").arg(Line).arg(Message));
}

struct TRecord {
    int Line = 0;
    QString Kind; // "volume", "folder" or "trustee"
    QString Path; // "\\SERVER\VOLUME\dir"
    QString Server, Volume;
    QString Object; // volume: its volume object; trustee: its full name
    bool DeleteInhibit = false, RenameInhibit = false;
    int Rights = 0;
};

// "\\SERVER\VOLUME\dir\sub": server and volume, or false for a text that is no such path or
// climbs out of its volume.
bool SplitPath(const QString& Path, QString& Server, QString& Volume) {
    if (!Path.startsWith(QLatin1String("\\\\")))
        return false;
    const QStringList Levels = Path.mid(2).split(QLatin1Char('\\'));
    if (Levels.size() < 2 || Levels.contains(QString()) || Levels.contains(QStringLiteral(".")) ||
        Levels.contains(QStringLiteral("..")))
        return false;
    Server = Levels[0];
    Volume = Levels[1];
    return true;
}

TRecord ParseRecord(const QStringList& Fields, int Line) {
    static const QHash<QString, qsizetype> FieldCount = {
        {QStringLiteral("volume"), 3}, {QStringLiteral("folder"), 3}, {QStringLiteral("trustee"), 4}};
    TRecord R;
    R.Line = Line;
    R.Kind = Fields[0];
    if (!FieldCount.contains(R.Kind))
        Fail(Line, QStringLiteral("unbekannter Eintrag \"%1\"").arg(R.Kind));
    if (Fields.size() != FieldCount.value(R.Kind))
        Fail(Line, QStringLiteral("\"%1\" hat %2 Felder, nicht %3")
                       .arg(R.Kind)
                       .arg(FieldCount.value(R.Kind))
                       .arg(Fields.size()));
    R.Path = Fields[1];
    if (!SplitPath(R.Path, R.Server, R.Volume))
        Fail(Line, QStringLiteral("Netzwerkpfad \\\\SERVER\\VOLUME\\... erwartet, nicht \"%1\"").arg(R.Path));
    if (R.Kind == QLatin1String("volume")) {
        if (R.Path.count(QLatin1Char('\\')) != 3)
            Fail(Line, QStringLiteral("ein Volume ist \\\\SERVER\\VOLUME, nicht \"%1\"").arg(R.Path));
        R.Object = Fields[2];
    } else if (R.Kind == QLatin1String("folder")) {
        for (const QString& Flag : Fields[2].split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (Flag == QLatin1String("DI"))
                R.DeleteInhibit = true;
            else if (Flag == QLatin1String("RI"))
                R.RenameInhibit = true;
            else
                Fail(Line, QStringLiteral("Attribut \"DI\" oder \"RI\" erwartet, nicht \"%1\"").arg(Flag));
        }
    } else {
        R.Rights = LettersToRights(Fields[2]);
        if (RightsText(R.Rights) != Fields[2])
            Fail(Line,
                 QStringLiteral("Rechte in acht Stellen SRWECMFA erwartet, nicht \"%1\"").arg(Fields[2]));
        R.Object = Fields[3];
    }
    return R;
}

std::vector<TRecord> Parse(const QByteArray& Text) {
    QStringDecoder Utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString Whole = Utf8.decode(Text);
    if (Utf8.hasError())
        Fail(1, QStringLiteral("ungültiges UTF-8"));
    std::vector<TRecord> Records;
    bool Version = false;
    const QStringList Lines = Whole.split(QLatin1Char('\n'));
    for (qsizetype I = 0; I < Lines.size(); ++I) {
        QString L = Lines[I];
        if (L.endsWith(QLatin1Char('\r')))
            L.chop(1);
        if (L.isEmpty() || L.startsWith(QLatin1Char('#')))
            continue;
        const int Line = int(I + 1);
        const QStringList Fields = L.split(QLatin1Char('\t'));
        if (!Version) {
            if (Fields != QStringList{QStringLiteral("version"), QStringLiteral("1")})
                Fail(Line, QStringLiteral("\"version\", Tab, \"1\" erwartet"));
            Version = true;
            continue;
        }
        Records.push_back(ParseRecord(Fields, Line));
    }
    if (!Version)
        Fail(1, QStringLiteral("\"version\", Tab, \"1\" erwartet"));
    return Records;
}

class TImporter {
public:
    TImporter(TDirectoryBackend& Directory, TVolumeStore& Volumes)
        : FDirectory(Directory), FVolumes(Volumes) {}

    TImportResult Run(const QByteArray& Text) {
        std::vector<TRecord> Records = Parse(Text);
        // The check writes nothing; inside the transaction it sees the folders as the import will.
        TDirectoryTransaction Transaction(FDirectory);
        Check(Records);
        TImportResult Result;
        for (const TRecord& R : Records) {
            try {
                Apply(R, Result);
            } catch (const EDirectoryError& E) {
                Fail(R.Line, E.Message());
            }
        }
        Transaction.Commit();
        return Result;
    }

private:
    static QString Key(const QString& Server, const QString& Volume) {
        return (Server + QLatin1Char('\\') + Volume).toUpper();
    }

    // Everything that can be known before a change: the paths by the volume store's rules, the
    // volumes, the trustees.
    void Check(std::vector<TRecord>& Records) {
        QSet<QString> Named; // volumes named by a volume line or known to the store
        for (const TRecord& R : Records) {
            if (R.Kind != QLatin1String("volume"))
                continue;
            if (Named.contains(Key(R.Server, R.Volume)))
                Fail(R.Line, QStringLiteral("das Volume %1 kommt zweimal vor").arg(R.Path));
            Named.insert(Key(R.Server, R.Volume));
        }
        QHash<QString, bool> InStore; // whether the store knows a volume, asked once per volume
        for (TRecord& R : Records) {
            const QString Volume = Key(R.Server, R.Volume);
            VolumePath::TParts Parts;
            QString Why;
            if (!VolumePath::Split(R.Path, Parts, &Why))
                Fail(R.Line, Why);
            if (R.Kind == QLatin1String("volume"))
                continue;
            auto Known = InStore.constFind(Volume);
            if (Known == InStore.constEnd()) {
                TVolume Found;
                Known = InStore.insert(Volume, FVolumes.FindVolume(R.Server, R.Volume, Found));
            }
            if (!*Known && !Named.contains(Volume))
                Fail(R.Line, QStringLiteral("unbekanntes Volume \\\\%1\\%2").arg(R.Server, R.Volume));
            // Only the store can tell whether a path leads out of its volume through a link.
            if (*Known && FVolumes.LocalPath(R.Path).isEmpty())
                Fail(R.Line, QStringLiteral("der Pfad %1 führt aus seinem Volume hinaus").arg(R.Path));
            if (R.Kind == QLatin1String("trustee")) {
                TObjectRef Trustee;
                if (!FDirectory.TryResolve(R.Object, Trustee) || Trustee.IsTreeRoot())
                    Fail(R.Line, QStringLiteral("Objekt nicht gefunden: %1").arg(R.Object));
                R.Object = Trustee.FullName;
            }
        }
    }

    // What the store keeps for the folders of one volume, read once per volume.
    const TFolderState* StateOf(const TRecord& R) {
        const QString Volume = Key(R.Server, R.Volume);
        if (!FStates.contains(Volume)) {
            auto& States = FStates[Volume];
            for (const TFolderState& S : FVolumes.FolderStates(R.Server, R.Volume))
                States.insert(S.Path.toUpper(), S);
        }
        const QString Levels = R.Path.section(QLatin1Char('\\'), 4).toUpper();
        const auto& States = FStates[Volume];
        const auto It = States.constFind(Levels);
        return It == States.constEnd() ? nullptr : &*It;
    }

    void Apply(const TRecord& R, TImportResult& Result) {
        if (R.Kind == QLatin1String("volume")) {
            TVolume Known;
            if (!FVolumes.FindVolume(R.Server, R.Volume, Known)) {
                FVolumes.AddVolume({R.Server, R.Volume, QString(), R.Object});
                ++Result.Volumes;
            }
            return;
        }
        if (!FVolumes.CreateFolder(R.Path))
            ThrowDirectoryError(ERR_INVALID_PATH,
                                QStringLiteral("Ordner kann nicht angelegt werden: %1").arg(R.Path));
        const TFolderState* Now = StateOf(R);
        if (R.Kind == QLatin1String("folder")) {
            ++Result.Folders;
            const bool DeleteInhibit = Now && Now->DeleteInhibit, RenameInhibit = Now && Now->RenameInhibit;
            if (DeleteInhibit == R.DeleteInhibit && RenameInhibit == R.RenameInhibit)
                return;
            const TFolderKey Folder = FVolumes.OpenFolder(R.Path);
            FVolumes.SetFolderFlag(Folder, TFolderFlag::DeleteInhibit, R.DeleteInhibit);
            FVolumes.SetFolderFlag(Folder, TFolderFlag::RenameInhibit, R.RenameInhibit);
            return;
        }
        ++Result.Trustees;
        qsizetype At = -1;
        for (qsizetype I = 0; Now && I < Now->Trustees.size() && At < 0; ++I)
            if (Now->Trustees[I].compare(R.Object, Qt::CaseInsensitive) == 0)
                At = I;
        if (At >= 0 && Now->Rights[At] == R.Rights)
            return;
        FVolumes.AssignTrustee(FVolumes.OpenFolder(R.Path), R.Object, R.Rights);
    }

    TDirectoryBackend& FDirectory;
    TVolumeStore& FVolumes;
    QHash<QString, QHash<QString, TFolderState>> FStates; // volume key -> upper-cased levels -> state
};

} // namespace

TImportResult Import(TDirectoryBackend& Directory, TVolumeStore& Volumes, const QByteArray& Text) {
    return TImporter(Directory, Volumes).Run(Text);
}

} // namespace VolumeFile
