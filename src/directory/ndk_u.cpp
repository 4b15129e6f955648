#include "ndk_u.h"

#include "treeSelect_u.h"

#include <Clock.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <ErrorGuard.h>
#include <ModalSeam.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryFile>
#include <QThread>
#include <exception>

TNDK* NDK = nullptr;

namespace {

// The user figures share one outline: a head and shoulders.
void DrawPerson(QPainter& P, qreal X, qreal Y, qreal Scale, const QBrush& Fill) {
    P.setBrush(Fill);
    P.drawEllipse(QRectF(X + 3 * Scale, Y, 4 * Scale, 4 * Scale));
    P.drawRoundedRect(QRectF(X + 1 * Scale, Y + 5 * Scale, 8 * Scale, 6 * Scale), 2 * Scale, 2 * Scale);
}

QIcon DrawIcon(int Code) {
    QPixmap Pix(16, 16);
    Pix.fill(Qt::transparent);
    QPainter P(&Pix);
    P.setRenderHint(QPainter::Antialiasing);
    P.setPen(QPen(QColor(40, 40, 40), 1));
    switch (Code) {
    case 1: // User: one figure
        DrawPerson(P, 2.5, 1.5, 1.1, QColor(70, 130, 200));
        break;
    case 2: { // Organizational Unit: a box with a lid
        P.setBrush(QColor(230, 190, 90));
        P.drawRect(QRectF(1.5, 5.5, 13, 9));
        P.setBrush(QColor(245, 215, 130));
        P.drawRect(QRectF(0.5, 2.5, 15, 3));
        P.drawLine(QPointF(6, 8.5), QPointF(10, 8.5));
        break;
    }
    case 3: // Group: two figures, one behind the other
        DrawPerson(P, 5.5, 0.5, 0.95, QColor(150, 190, 230));
        DrawPerson(P, 0.5, 3.5, 1.05, QColor(70, 130, 200));
        break;
    case 4: { // Organization: a building with windows
        P.setBrush(QColor(190, 190, 200));
        P.drawRect(QRectF(2.5, 3.5, 11, 11));
        P.setBrush(QColor(120, 160, 210));
        for (int Row = 0; Row < 3; ++Row)
            for (int Col = 0; Col < 3; ++Col)
                P.drawRect(QRectF(4 + Col * 3, 5 + Row * 3, 1.5, 1.5));
        P.setBrush(QColor(150, 90, 50));
        P.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(8, 0.5), QPointF(14.5, 3.5)}));
        break;
    }
    case 5: { // Organizational Role: a figure wearing a hat
        DrawPerson(P, 2.5, 3.5, 1.1, QColor(120, 170, 90));
        P.setBrush(QColor(60, 60, 60));
        P.drawRect(QRectF(5.5, 0.5, 5, 3));
        P.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 3.5));
        break;
    }
    case 6: { // Root: a node with roots going down
        P.setBrush(QColor(200, 60, 60));
        P.drawEllipse(QRectF(5, 1, 6, 6));
        P.setPen(QPen(QColor(120, 80, 40), 1.5));
        P.drawLine(QPointF(8, 7), QPointF(8, 14));
        P.drawLine(QPointF(8, 10), QPointF(3, 14.5));
        P.drawLine(QPointF(8, 10), QPointF(13, 14.5));
        break;
    }
    case 7: { // Tree: a crown on a trunk
        P.setBrush(QColor(120, 80, 40));
        P.drawRect(QRectF(6.5, 10.5, 3, 5));
        P.setBrush(QColor(60, 150, 60));
        P.drawEllipse(QRectF(1.5, 0.5, 13, 11));
        break;
    }
    case 8: { // Template: a figure drawn dashed on a sheet
        P.setBrush(QColor(250, 250, 240));
        P.drawRect(QRectF(0.5, 0.5, 15, 15));
        P.setPen(QPen(QColor(70, 130, 200), 1, Qt::DashLine));
        DrawPerson(P, 3, 2.5, 1.0, Qt::NoBrush);
        break;
    }
    case 9: { // Volume: a disk stack
        P.setBrush(QColor(170, 170, 180));
        P.drawRect(QRectF(1.5, 4, 13, 8));
        P.drawEllipse(QRectF(1.5, 9, 13, 6));
        P.setBrush(QColor(210, 210, 220));
        P.drawEllipse(QRectF(1.5, 1, 13, 6));
        P.setBrush(QColor(60, 200, 60));
        P.drawEllipse(QRectF(11, 9.5, 2, 2));
        break;
    }
    case 10: { // Catalog: a bound book with lines
        P.setBrush(QColor(160, 60, 60));
        P.drawRect(QRectF(2.5, 0.5, 11, 15));
        P.setBrush(QColor(250, 245, 230));
        P.drawRect(QRectF(5, 2.5, 7, 11));
        P.drawLine(QPointF(6.5, 5.5), QPointF(10.5, 5.5));
        P.drawLine(QPointF(6.5, 8), QPointF(10.5, 8));
        P.drawLine(QPointF(6.5, 10.5), QPointF(10.5, 10.5));
        break;
    }
    default: { // any other layout: a sheet with a folded corner
        P.setBrush(QColor(245, 245, 245));
        P.drawPolygon(QPolygonF({QPointF(2.5, 0.5), QPointF(10.5, 0.5), QPointF(13.5, 3.5),
                                 QPointF(13.5, 15.5), QPointF(2.5, 15.5)}));
        P.drawPolyline(QPolygonF({QPointF(10.5, 0.5), QPointF(10.5, 3.5), QPointF(13.5, 3.5)}));
        break;
    }
    }
    P.end();
    return QIcon(Pix);
}

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

QString ExceptionText(const std::exception& E) {
    if (auto* D = dynamic_cast<const EDirectoryError*>(&E))
        return D->Message();
    return QString::fromUtf8(E.what());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Creation and tree choice

TNDK::TNDK(QWidget* Owner)
    : QObject(Owner), NWDir1(new NWDir(this)), NWVolAdm1(new NWVolAdm(this)), NWUsrGrp1(new NWUsrGrp(this)),
      NWSess1(new NWSess(this)), FOwner(Owner) {
    Init();
}

TNDK::TNDK(QWidget* Owner, TDirectoryClient& Store)
    : QObject(Owner), NWDir1(new NWDir(Store, this)), NWVolAdm1(new NWVolAdm(Store, this)),
      NWUsrGrp1(new NWUsrGrp(Store, this)), NWSess1(new NWSess(Store, this)), FOwner(Owner) {
    Init();
}

TNDK::~TNDK() {
    if (NDK == this)
        NDK = nullptr;
}

void TNDK::Init() {
    setObjectName(QStringLiteral("NDK"));
    NWDir1->setObjectName(QStringLiteral("NWDir1"));
    NWVolAdm1->setObjectName(QStringLiteral("NWVolAdm1"));
    NWUsrGrp1->setObjectName(QStringLiteral("NWUsrGrp1"));
    NWSess1->setObjectName(QStringLiteral("NWSess1"));
    StreamFolder = QDir::tempPath();
    connect(NWDir1, &NWDir::SearchCompleted, this, &TNDK::NWDir1SearchCompleted);
    MakeImageList();
    Guarded(FOwner, [this] { FormCreate(); });
}

void TNDK::MakeImageList() {
    ImageList.clear();
    for (int Code = 0; Code <= 10; ++Code)
        ImageList << DrawIcon(Code);
}

void TNDK::FormCreate() {
    FTreePrefix.clear();
    SearchScope = 2;
    DottedResults = true;

    const int N = NWSess1->ConnectedTreeCount();
    QString Chosen;
    if (N < 2) {
        Chosen = NWSess1->ConnectedTree(0);
    } else {
        TTreeSelect Dialog(FOwner);
        for (int I = 0; I < N; ++I)
            Dialog.ComboBox1->addItem(NWSess1->ConnectedTree(I));
        Dialog.ComboBox1->setCurrentIndex(0);
        Dialog.ComboBox1->setEditText(Dialog.ComboBox1->itemText(0));
        TModalSeam::Exec(Dialog); // OK and the close button alike: the text as it stands counts
        Chosen = Dialog.ComboBox1->currentText();
    }
    NWDir1->SetFullName(Chosen);
    FTreePrefix = Chosen;
}

// ---------------------------------------------------------------------------------------------
// Names and paths

QString TNDK::PathToDotted(const QString& Name) {
    if (Name.isEmpty())
        return QString();
    if (Name.contains(u'.'))
        return Name;
    QString S = Name;
    const QString Double = QStringLiteral("\\\\");
    if (const int P = S.indexOf(Double); P >= 0)
        S.remove(0, P + 2);
    if (const int P = S.indexOf(u'\\'); P >= 0)
        S.remove(0, P + 1);
    // Every level, leaf first, each behind a ".".
    const QStringList Levels = S.split(u'\\');
    QString Result;
    for (auto It = Levels.crbegin(); It != Levels.crend(); ++It)
        Result += u'.' + *It;
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

// ---------------------------------------------------------------------------------------------
// Reading

QString TNDK::FieldValueText(const QVariant& Value) {
    if (!Value.isValid() || Value.isNull())
        return QString();
    switch (Value.typeId()) {
    case QMetaType::QString:
        return Value.toString();
    case QMetaType::QDateTime:
        return TClock::DateTimeToStr(Value.toDateTime());
    case QMetaType::QDate:
        return TClock::DateToStr(Value.toDate());
    case QMetaType::QStringList: {
        const QStringList L = Value.toStringList();
        return L.size() == 1 ? L.first() : QString();
    }
    case QMetaType::QVariantList:
        return QString();
    default:
        return Value.canConvert<QString>() ? Value.toString() : QString();
    }
}

QString TNDK::GetFieldValue(const QString& Entry, const QString& Field) {
    NWDir1->SetFullName(Entry);
    try {
        return FieldValueText(NWDir1->Entry()->GetFieldValue(Field, QStringLiteral(""), false));
    } catch (const std::exception&) {
        return QString();
    }
}

QString TNDK::GetFieldValueList(const QString& Entry, const QString& Field) {
    NWDir1->SetFullName(Entry);
    try {
        const QVariant V = NWDir1->Entry()->GetFieldValue(Field, QStringLiteral(""), true);
        QVariantList Values;
        if (V.typeId() == QMetaType::QStringList) {
            const QStringList L = V.toStringList();
            for (const QString& S : L)
                Values << S;
        } else if (V.typeId() == QMetaType::QVariantList) {
            Values = V.toList();
        } else {
            return QString();
        }
        QString Result;
        for (const QVariant& Item : std::as_const(Values)) {
            if (!Result.isEmpty())
                Result += QStringLiteral("\r\n");
            Result += FieldValueText(Item);
        }
        return Result;
    } catch (const std::exception&) {
        return QString();
    }
}

QString TNDK::GetHomeDirectory(const QString& Entry) {
    NWDir1->SetFullName(Entry);
    QString Home = FieldValueText(
        NWDir1->Entry()->GetFieldValue(QStringLiteral("Home Directory"), QStringLiteral(""), false));
    RemoveChar(Home, u' ');
    return Home;
}

QString TNDK::GetShortName(const QString& Entry) {
    NWDir1->SetFullName(Entry);
    return NWDir1->ShortName();
}

QString TNDK::GetEntryLayout(const QString& Entry) {
    NWDir1->SetFullName(Entry);
    return NWDir1->Entry()->Layout();
}

bool TNDK::EntryExists(const QString& Entry) {
    try {
        return NWDir1->FindEntry(Entry) != nullptr;
    } catch (...) {
        return false;
    }
}

void TNDK::SetFilters(const QString& Layouts) {
    NWDir1->SetFilters(Layouts);
}

void TNDK::ListEntries(const QString& Container, TStringList& List) {
    NWDir1->SetFullName(Container);
    NWEntries* Entries = NWDir1->Entries();
    if (!Entries)
        return;
    Entries->Refresh();
    const int N = Entries->Count();
    for (int I = 0; I < N; ++I) {
        const NWEntryPtr E = Entries->Item(I);
        List.Add(E->ShortName(), std::make_unique<TNDSObj>(E->FullName()));
    }
}

int TNDK::CountEntries(const QString& Container) {
    NWDir1->SetFullName(Container);
    NWEntries* Entries = NWDir1->Entries();
    return Entries ? Entries->Count() : 0;
}

void TNDK::SearchObjects(const QString& Base, const QString& Name, const QString& Layout, TStringList& List) {
    const QString From = Base.toUpper() == QStringLiteral("[ROOT]") ? TreePrefix() : Base;
    SearchResults = &List;
    SearchRunning = true;
    try {
        NWDir1->Search(Name, Layout, SearchScope, From, 0);
    } catch (...) {
        SearchRunning = false;
        SearchResults = nullptr;
        throw;
    }
    // The results arrive through the event loop; sleep until events come instead of polling.
    while (SearchRunning)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // The list is the caller's: results that arrive late must not reach it.
    if (SearchResults == &List)
        SearchResults = nullptr;
    DottedResults = true;
}

void TNDK::NWDir1SearchCompleted(const QVariant& Results) {
    struct TEnd {
        bool& Running;
        ~TEnd() { Running = false; }
    } End{SearchRunning};
    Guarded(FOwner, [&] {
        if (!SearchResults)
            return;
        QStringList Texts;
        if (Results.typeId() == QMetaType::QStringList) {
            Texts = Results.toStringList();
        } else if (Results.typeId() == QMetaType::QVariantList) {
            const QVariantList L = Results.toList();
            for (const QVariant& V : L)
                Texts << V.toString();
        } else {
            return;
        }
        for (const QString& Text : std::as_const(Texts)) {
            if (Text.isEmpty())
                continue;
            SearchResults->Add(DottedResults ? PathToDotted(Text) : Text, std::make_unique<TNDSObj>(Text));
        }
    });
}

void TNDK::ListFieldNames(const QString& Entry, QStringList& List) {
    NWDir1->SetFullName(TreePrefix());
    const NWEntryPtr E = NWDir1->FindEntry(Entry);
    const QVariant V = E->GetFieldValue(QString(), QVariant(0), true);
    List << V.toStringList();
}

QString TNDK::GetFieldTypeInfo(const QString& Field) {
    const NWFieldTypes Types = NWDir1->FieldTypes();
    const int N = Types.Count();
    for (int I = 0; I < N; ++I) {
        const NWFieldType& T = Types.Item(I);
        if (T.Name == Field)
            return T.Syntax;
    }
    return QString();
}

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
// Rights and flags

QString TNDK::RightsToLetters(quint32 Mask) {
    static const struct {
        quint32 Bit;
        char16_t Letter;
    } Rights[] = {{0x100, u'S'}, {0x001, u'R'}, {0x002, u'W'}, {0x010, u'E'},
                  {0x008, u'C'}, {0x080, u'M'}, {0x040, u'F'}, {0x020, u'A'}};
    QString Letters;
    for (const auto& R : Rights)
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
        QThread::msleep(100);
        try {
            Added = Entry->Trustees().Add(Trustee, 0);
            break;
        } catch (const std::exception& E) {
            Last = std::current_exception();
            if (Debug || Attempt == Attempts)
                TModalSeam::Plain(FOwner, QStringLiteral("Error (") + ExceptionText(E) + u')');
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
        const NWTrusteePtr T = NWVolAdm1->GetDirectoryEntry(Dir)->Trustees().Item(Trustee, 0);
        const NWRights Rights = T->Rights();
        static const struct {
            TRight Right;
            char16_t Letter;
        } Order[] = {{TRight::Supervisor, u'S'}, {TRight::Read, u'R'},         {TRight::Write, u'W'},
                     {TRight::Erase, u'E'},      {TRight::Create, u'C'},       {TRight::Modify, u'M'},
                     {TRight::FileScan, u'F'},   {TRight::AccessControl, u'A'}};
        QString Text;
        for (const auto& R : Order)
            Text += Rights.Right(R.Right) ? QChar(R.Letter) : QChar(u'-');
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

// ---------------------------------------------------------------------------------------------
// Sessions and client contexts

void TNDK::ListConnectedServers(TStringList& List) {
    const int N = NWSess1->ServerConnectionCount();
    for (int I = 0; I < N; ++I) {
        const NWSess::TServerConnection C = NWSess1->ServerConnection(I);
        List.Add(C.DisplayName, std::make_unique<TNDSObj>(C.FullName));
    }
}

void TNDK::ShowNwdsError(const QString& Call, NWCCODE Result) {
    TModalSeam::Message(FOwner, QMessageBox::Critical, QStringLiteral("NWDS Error"),
                        Call + QStringLiteral(" returned ") + QString::number(Result) + u'.',
                        QMessageBox::Ok);
}

NWCCODE TNDK::OpenClientContext(NWDSContextHandle& Context) {
    NWCCODE Status = NWCallsInit(nullptr, nullptr);
    if (Status != 0)
        ShowNwdsError(QStringLiteral("NWCallsInit"), Status);
    Status = NWDSCreateContextHandle(&Context);
    if (Status != 0)
        ShowNwdsError(QStringLiteral("NWDSCreateContexthandle"), Status);
    std::uint32_t Flags = 0;
    Status = NWDSGetContext(Context, DCK_FLAGS, &Flags);
    if (Status == 0) {
        Flags |= DCV_TYPELESS_NAMES;
        NWDSSetContext(Context, DCK_FLAGS, &Flags);
    }
    return Status;
}

void TNDK::CloseClientContext(NWDSContextHandle Context) {
    const NWCCODE Status = NWDSFreeContext(Context);
    if (Status != 0)
        ShowNwdsError(QStringLiteral("NWDSFreeContext"), Status);
}

NWCCODE TNDK::ClearAttribute(const QString& ObjectName, const QString& AttributeName) {
    NWDSContextHandle Context = 0;
    OpenClientContext(Context);
    // The tree the object name comes from: the chosen tree's own name.
    const QByteArray Tree = PathToDotted(TreePrefix()).toLower().toUtf8();
    NWDSSetContext(Context, DCK_TREE_NAME, Tree.constData());
    const QByteArray Attribute = AttributeName.toUtf8();
    const QByteArray Object = (u'.' + ObjectName).toUtf8();

    NWDSBuf* Buf = nullptr;
    NWCCODE Status = NWDSAllocBuf(5096, &Buf);
    const bool Allocated = Status == 0 && Buf;
    if (Status == 0)
        Status = NWDSInitBuf(Context, DSV_MODIFY_ENTRY, Buf);
    if (Status == 0) {
        Status = NWDSPutChange(Context, Buf, DS_REMOVE_ATTRIBUTE, Attribute.constData());
        if (Status == 0) {
            std::int32_t Iteration = NO_MORE_ITERATIONS;
            Status = NWDSModifyObject(Context, Object.constData(), &Iteration, 0, Buf);
        }
    }
    if (Status == 614 || Status == -614)
        Status = 0;
    if (Allocated)
        NWDSFreeBuf(Buf);
    CloseClientContext(Context);
    return Status;
}
