// The writing operations of the access object: entries, fields, stream copies, templates and
// folders.

#include "ndk_u.h"

#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <NWFileSystem.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryFile>

namespace {

// A private file through which one stream field travels: created exclusively with owner-only
// access; removed when the copy leaves it behind (an error on the way).
class TStreamFile {
public:
    explicit TStreamFile(const QString& Folder) {
        QTemporaryFile F(QDir(Folder).filePath(QStringLiteral("parvon-stream-XXXXXX.txt")));
        F.setAutoRemove(false);
        if (!F.open())
            throw EDirectoryError(
                QStringLiteral("Die temporäre Datei für die Übertragung konnte nicht angelegt "
                               "werden: ") +
                F.errorString());
        FPath = F.fileName();
        F.close();
    }
    ~TStreamFile() {
        if (!FPath.isEmpty())
            QFile::remove(FPath);
    }
    TStreamFile(const TStreamFile&) = delete;
    TStreamFile& operator=(const TStreamFile&) = delete;
    const QString& Path() const { return FPath; }
    void Forget() { FPath.clear(); }

private:
    QString FPath;
};

const QStringList& NeverCopied() {
    static const QStringList Names = {QStringLiteral("creatorsName"), QStringLiteral("modifiersName"),
                                      QStringLiteral("GUID"), QStringLiteral("Revision"),
                                      QStringLiteral("Used By")};
    return Names;
}

// Field name -> syntax name, the first field type of a name winning.
QHash<QString, QString> SyntaxMap(const NWFieldTypes& Types) {
    QHash<QString, QString> Map;
    const int N = Types.Count();
    Map.reserve(N);
    for (int I = 0; I < N; ++I) {
        const NWFieldType& T = Types.Item(I);
        if (!Map.contains(T.Name))
            Map.insert(T.Name, T.Syntax);
    }
    return Map;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Writing

void TNDK::AddEntry(const QString& Container, const QString& Name, const QString& Layout) {
    AddFailed = false;
    try {
        NWDir1->SetFullName(Container);
        NWEntries* Entries = NWDir1->Entries();
        if (!Entries)
            throw EDirectoryError(QStringLiteral("\"") + Container +
                                  QStringLiteral("\" ist kein Container."));
        Entries->Add(Layout, Name)->Update();
    } catch (...) {
        AddFailed = true;
    }
}

void TNDK::AddOrganizationalUnit(const QString& Container, const QString& Name) {
    AddEntry(Container, Name, QStringLiteral("Organizational Unit"));
}

void TNDK::AddTemplate(const QString& Container, const QString& Name) {
    AddEntry(Container, Name, QStringLiteral("Template"));
}

void TNDK::AddUser(const QString& Container, const QString& Name, const QString& Surname,
                   const QString& Template) {
    NWUsrGrp1->SetFullName(Container);
    NWUsrGrp1->Users().Add(Container + u'\\' + Name, Surname, Template, QVariant(), QVariant());
}

void TNDK::SetFieldValue(const QString& Entry, const QString& Field, const QString& Value) {
    NWDir1->SetFullName(Entry);
    const NWEntryPtr E = NWDir1->Entry();
    E->SetFieldValue(Field, QVariant(Value));
    E->Update();
}

void TNDK::SetLoginScriptFromFile(const QString& Entry, const QString& File) {
    NWDir1->SetFullName(TreePrefix());
    const NWEntryPtr E = NWDir1->FindEntry(Entry);
    E->LoadFieldFromFile(QStringLiteral("Login Script"), File);
    E->Update();
}

bool TNDK::RemoveStreamFile(const QString& Path) {
    return QFile::remove(Path) || !QFile::exists(Path);
}

// Moves one stream field from Source into Target through a private file; with Commit, Target is
// committed before the file goes. Raises when the file cannot be removed afterwards.
void TNDK::CopyStreamField(const NWEntry& Source, NWEntry& Target, const QString& Field, bool Commit) {
    TStreamFile File(StreamFolder);
    Source.SaveFieldToFile(Field, File.Path(), true);
    Target.LoadFieldFromFile(Field, File.Path());
    if (Commit)
        Target.Update();
    if (!RemoveStreamFile(File.Path()))
        throw EDirectoryError(QStringLiteral("Die temporäre Datei \"") + File.Path() +
                              QStringLiteral("\" konnte nicht gelöscht werden."));
    File.Forget();
}

void TNDK::CopyLoginScript(const QString& Source, const QString& Target) {
    NWDir1->SetFullName(TreePrefix());
    const NWEntryPtr S = NWDir1->FindEntry(Source);
    const NWEntryPtr T = NWDir1->FindEntry(Target);
    CopyStreamField(*S, *T, QStringLiteral("Login Script"), true);
}

void TNDK::CopyTemplate(const QString& Source, const QString& Container, const QString& Name) {
    AddTemplate(Container, Name);
    QStringList Fields;
    ListFieldNames(Source, Fields);
    NWDir1->SetFullName(TreePrefix());
    const NWEntryPtr S = NWDir1->FindEntry(Source);
    const NWEntryPtr T = NWDir1->FindEntry(Container + u'\\' + Name);
    T->Update();
    const QHash<QString, QString> Syntax = SyntaxMap(NWDir1->FieldTypes());
    const QString Stream = QStringLiteral("Stream");
    for (const QString& Field : std::as_const(Fields)) {
        if (Syntax.value(Field) != Stream) {
            const QVariant Value = S->GetFieldValue(Field, QVariant(), true);
            if (!Value.isValid())
                continue;
            if (NeverCopied().contains(Field))
                continue;
            T->SetFieldValue(Field, Value);
        } else {
            CopyStreamField(*S, *T, Field, false);
        }
    }
    T->Update();
}

// ---------------------------------------------------------------------------------------------
// Folders

bool TNDK::ForceDirectories(const QString& Path) {
    return NWFileSystem::ForceDirectories(Client(), Path);
}

bool TNDK::DirectoryExists(const QString& Path) {
    return NWFileSystem::DirectoryExists(Client(), Path);
}

std::vector<VolumeFiles::TEntry> TNDK::ListFiles(const QString& Path) {
    return VolumeFiles::List(NWDir1->Client(), Path);
}

QString TNDK::LocalFolder(const QString& Path) {
    return VolumeFiles::Root(NWDir1->Client(), Path);
}
