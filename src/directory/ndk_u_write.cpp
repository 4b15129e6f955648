// The writing operations of the access object: entries, fields, stream copies, templates,
// folders, trustee rights and directory flags.

#include "ndk_u.h"

#include <Clock.h>
#include <EDirectoryError.h>
#include <ErrorGuard.h>
#include <ModalSeam.h>
#include <NWFileSystem.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryFile>
#include <exception>

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

// Moves one stream field from Source into Target's buffered changes through a private file.
// Raises when the file cannot be removed afterwards.
void TNDK::CopyStreamField(const NWEntry& Source, NWEntry& Target, const QString& Field) {
    TStreamFile File(StreamFolder);
    Source.SaveFieldToFile(Field, File.Path(), true);
    Target.LoadFieldFromFile(Field, File.Path());
    if (!RemoveStreamFile(File.Path()))
        throw EDirectoryError(QStringLiteral("Die temporäre Datei \"") + File.Path() +
                              QStringLiteral("\" konnte nicht gelöscht werden."));
    File.Forget();
}

void TNDK::CopyLoginScript(const QString& Source, const QString& Target) {
    NWDir1->SetFullName(TreePrefix());
    const NWEntryPtr S = NWDir1->FindEntry(Source);
    const NWEntryPtr T = NWDir1->FindEntry(Target);
    const QString Field = QStringLiteral("Login Script");
    TStreamFile File(StreamFolder);
    S->SaveFieldToFile(Field, File.Path(), true);
    T->LoadFieldFromFile(Field, File.Path());
    T->Update();
    if (!RemoveStreamFile(File.Path()))
        throw EDirectoryError(QStringLiteral("Die temporäre Datei \"") + File.Path() +
                              QStringLiteral("\" konnte nicht gelöscht werden."));
    File.Forget();
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
            CopyStreamField(*S, *T, Field);
        }
    }
    T->Update();
}

// ---------------------------------------------------------------------------------------------
// Folders

bool TNDK::ForceDirectories(const QString& Path) {
    return NWFileSystem::ForceDirectories(Path);
}

bool TNDK::DirectoryExists(const QString& Path) {
    return NWFileSystem::DirectoryExists(Path);
}

// ---------------------------------------------------------------------------------------------
// Rights and flags

namespace {
// The rights in the order of a read rights text, with their bits in a rights mask.
const struct {
    quint32 Bit;
    char16_t Letter;
} RightsOrder[] = {{0x100, u'S'}, {0x001, u'R'}, {0x002, u'W'}, {0x010, u'E'},
                   {0x008, u'C'}, {0x080, u'M'}, {0x040, u'F'}, {0x020, u'A'}};
} // namespace

QString TNDK::RightsToLetters(quint32 Mask) {
    QString Letters;
    for (const auto& R : RightsOrder)
        if (Mask & R.Bit)
            Letters += QChar(R.Letter);
    return Letters;
}

void TNDK::SetTrusteeRights(const QString& Path, const QString& Trustee, const QString& Letters) {
    const QString Upper = Letters.toUpper();
    const QString Dir = SplitFilePath(Path);
    NWVolAdm1->SetFullName(VolumeOfPath(Dir));
    const NWDirectoryEntryPtr Entry = NWVolAdm1->GetDirectoryEntry(Dir);

    // A container created moments before may not yet be known where the folder lives: give the
    // directory up to about ten seconds. The wait blocks on purpose; nothing else may run meanwhile.
    constexpr int Attempts = 100;
    NWTrusteePtr Added;
    std::exception_ptr Last;
    for (int Attempt = 1; Attempt <= Attempts; ++Attempt) {
        TClock::Pause(100);
        try {
            Added = Entry->Trustees().Add(Trustee, 0);
            break;
        } catch (const std::exception&) {
            Last = std::current_exception();
            if (Debug || Attempt == Attempts)
                TModalSeam::Plain(FOwner, QStringLiteral("Error (") + CurrentErrorText() + u')');
        }
    }
    if (!Added)
        std::rethrow_exception(Last);

    NWRights Rights = Added->Rights();
    static const struct {
        TRight Right;
        char16_t Letter;
    } Order[] = {{TRight::Write, u'W'},    {TRight::Read, u'R'},      {TRight::Create, u'C'},
                 {TRight::Erase, u'E'},    {TRight::Modify, u'M'},    {TRight::AccessControl, u'A'},
                 {TRight::FileScan, u'F'}, {TRight::Supervisor, u'S'}};
    for (const auto& R : Order)
        Rights.SetRight(R.Right, Upper.contains(QChar(R.Letter)));
}

QString TNDK::GetTrusteeRights(const QString& Path, const QString& Trustee) {
    const QString Dir = SplitFilePath(Path);
    try {
        NWVolAdm1->SetFullName(VolumeOfPath(Dir));
        // The whole mask in one read rather than one read per right.
        const quint32 Mask = NWVolAdm1->GetDirectoryEntry(Dir)->Trustees().Item(Trustee, 0)->Rights().Mask();
        QString Text;
        for (const auto& R : RightsOrder)
            Text += (Mask & R.Bit) ? QChar(R.Letter) : QChar(u'-');
        return Text;
    } catch (...) {
        return QString();
    }
}

void TNDK::SetDirectoryFlags(const QString& Path, const QString& Flags) {
    const QString Upper = Flags.toUpper();
    const QString Dir = SplitFilePath(Path);
    NWVolAdm1->SetFullName(VolumeOfPath(Dir));
    if (Upper.contains(QStringLiteral("+DI")))
        NWVolAdm1->GetDirectoryEntry(Dir)->SetDeleteInhibit(true);
    if (Upper.contains(QStringLiteral("-DI")))
        NWVolAdm1->GetDirectoryEntry(Dir)->SetDeleteInhibit(false);
    if (Upper.contains(QStringLiteral("+RI")))
        NWVolAdm1->GetDirectoryEntry(Dir)->SetRenameInhibit(true);
    if (Upper.contains(QStringLiteral("-RI")))
        NWVolAdm1->GetDirectoryEntry(Dir)->SetRenameInhibit(false);
}
