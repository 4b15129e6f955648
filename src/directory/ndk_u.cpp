#include "ndk_u.h"

#include "LayoutIcons.h"
#include "treeSelect_u.h"

#include <Clock.h>
#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <ErrorGuard.h>
#include <ModalSeam.h>

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QHash>
#include <QScopeGuard>

TNDK* NDK = nullptr;

TNDK& Erreichbar(TNDK* Ndk) {
    if (!Ndk)
        throw EDirectoryError(QStringLiteral("Das Verzeichnis ist nicht erreichbar."));
    return *Ndk;
}

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
    ImageList = LayoutIcons();
    Guarded(FOwner, [this] { FormCreate(); });
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
    // The results arrive through the event loop. The completion ends every waiting search: one
    // started while another waits takes over, and the first completion returns both.
    if (SearchRunning) {
        QEventLoop Loop;
        FSearchLoops.push_back(&Loop);
        const auto Done = qScopeGuard([this] { FSearchLoops.pop_back(); });
        Loop.exec();
    }
    // The list is the caller's: results that arrive late must not reach it.
    if (SearchResults == &List)
        SearchResults = nullptr;
    DottedResults = true;
}

void TNDK::NWDir1SearchCompleted(const QVariant& Results) {
    const auto End = qScopeGuard([this] {
        SearchRunning = false;
        for (QEventLoop* Loop : FSearchLoops)
            Loop->quit();
    });
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

QByteArray TNDK::ContextTreeName() {
    return PathToDotted(TreePrefix()).toLower().toUtf8();
}

NWCCODE TNDK::ClearAttribute(const QString& ObjectName, const QString& AttributeName) {
    NWDSContextHandle Context = 0;
    OpenClientContext(Context);
    // The tree the object name comes from.
    const QByteArray Tree = ContextTreeName();
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
