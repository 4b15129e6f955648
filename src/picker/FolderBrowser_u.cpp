#include "FolderBrowser_u.h"

#include <EDirectoryError.h>
#include <ModalSeam.h>
#include <NWFileSystem.h>
#include <StringList.h>
#include <ndk_u.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

struct TFolderModel::TFolderNode : TLazyTreeModel::TNode {
    TKind Kind = TKind::Server;
    QString Path;        // "\\SERVER\VOLUME\dir"; empty for a server
    bool MayHold = true; // false: a folder without subfolders
};

TFolderModel::TFolderModel(TNDK& Ndk, QObject* Parent) : TLazyTreeModel(Parent) {
    TStringList Connections;
    Ndk.ListConnectedServers(Connections);
    std::vector<std::unique_ptr<TNode>> Servers;
    for (int I = 0; I < Connections.Count(); ++I) {
        QString Name = Connections.Text(I);
        if (Name.isEmpty() && Connections.Object(I))
            Name = Connections.Object(I)->Text.section(u'\\', -1);
        const auto Known = [&Name](const auto& S) { return S->Name.compare(Name, Qt::CaseInsensitive) == 0; };
        if (Name.isEmpty() || std::any_of(Servers.begin(), Servers.end(), Known))
            continue;
        auto Server = std::make_unique<TFolderNode>();
        Server->Kind = TKind::Server;
        Server->Name = Name;
        Server->Loaded = true;
        const QStringList Volumes = NWFileSystem::ServerVolumes(Name);
        for (const QString& V : Volumes) {
            auto Volume = std::make_unique<TFolderNode>();
            Volume->Kind = TKind::Volume;
            Volume->Name = V;
            Volume->Path = QStringLiteral("\\\\") + Name + u'\\' + V;
            Server->Add(std::move(Volume));
        }
        Servers.push_back(std::move(Server));
    }
    ResetTop(std::move(Servers));
}

TFolderModel::~TFolderModel() = default;

const TFolderModel::TFolderNode* TFolderModel::FolderOf(const QModelIndex& Index) const {
    return Index.isValid() ? static_cast<const TFolderNode*>(NodeOf(Index)) : nullptr;
}

QString TFolderModel::Path(const QModelIndex& Index) const {
    const TFolderNode* N = FolderOf(Index);
    return N ? N->Path : QString();
}

TFolderModel::TKind TFolderModel::Kind(const QModelIndex& Index) const {
    const TFolderNode* N = FolderOf(Index);
    return N ? N->Kind : TKind::Server;
}

bool TFolderModel::MayHaveChildren(const TNode& Node) const {
    return static_cast<const TFolderNode&>(Node).MayHold;
}

std::vector<std::unique_ptr<TLazyTreeModel::TNode>> TFolderModel::LoadChildren(TNode& Node) {
    const QString Parent = static_cast<const TFolderNode&>(Node).Path;
    // A level that cannot be read throws; it shows empty (the view opens levels from its event
    // handlers, where no error box belongs).
    const std::vector<NWFileSystem::TFolderEntry> Folders = NWFileSystem::ListFoldersMarked(Parent);
    std::vector<std::unique_ptr<TNode>> Rows;
    Rows.reserve(Folders.size());
    for (const NWFileSystem::TFolderEntry& F : Folders) {
        auto Folder = std::make_unique<TFolderNode>();
        Folder->Kind = TKind::Folder;
        Folder->Name = F.Name;
        Folder->Path = Parent + u'\\' + F.Name;
        Folder->MayHold = F.HasFolders;
        Rows.push_back(std::move(Folder));
    }
    // By name as people read it, whatever order the client lists them in.
    SortByName(Rows);
    return Rows;
}

QVariant TFolderModel::data(const QModelIndex& Index, int Role) const {
    if (!checkIndex(Index, CheckIndexOption::IndexIsValid))
        return {};
    const TFolderNode* N = FolderOf(Index);
    switch (Role) {
    case Qt::DisplayRole:
        return N->Name;
    case Qt::ToolTipRole:
    case PathRole:
        return N->Kind == TKind::Server ? QStringLiteral("\\\\") + N->Name : N->Path;
    case Qt::DecorationRole: {
        const QStyle::StandardPixmap Icon = N->Kind == TKind::Server   ? QStyle::SP_ComputerIcon
                                            : N->Kind == TKind::Volume ? QStyle::SP_DriveNetIcon
                                                                       : QStyle::SP_DirIcon;
        return QApplication::style()->standardIcon(Icon);
    }
    default:
        return {};
    }
}

QModelIndex TFolderModel::IndexOf(const QString& Path) {
    if (!Path.startsWith(QStringLiteral("\\\\")))
        return {};
    const QStringList Parts = Path.mid(2).split(u'\\', Qt::SkipEmptyParts);
    if (Parts.size() < 2)
        return {};
    return IndexOfPath(QModelIndex(), Parts);
}

TFolderBrowser::TFolderBrowser(TNDK& Ndk, const QString& Title, QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("FolderBrowser"));
    setWindowTitle(QStringLiteral("Ordner suchen"));

    QString Text = Title;
    Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text.replace(u'\r', u'\n');
    laTitel = new QLabel(Text, this);
    laTitel->setObjectName(QStringLiteral("laTitel"));
    laTitel->setTextFormat(Qt::PlainText);
    laTitel->setWordWrap(true);

    FModel = new TFolderModel(Ndk, this);
    FolderTree = new QTreeView(this);
    FolderTree->setObjectName(QStringLiteral("FolderTree"));
    FolderTree->setModel(FModel);
    SetUpLazyTreeView(*FolderTree);
    FolderTree->setMinimumSize(320, 320);
    FolderTree->expandToDepth(0); // the servers open, showing their volumes

    edPfad = new QLineEdit(this);
    edPfad->setObjectName(QStringLiteral("edPfad"));
    edPfad->setReadOnly(true);
    edPfad->setFocusPolicy(Qt::NoFocus);

    auto* Buttons = new QDialogButtonBox(this);
    OKBtn = Buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->setEnabled(false);
    CancelBtn = Buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(laTitel);
    Layout->addWidget(FolderTree, 1);
    Layout->addWidget(edPfad);
    Layout->addWidget(Buttons);

    connect(FolderTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFolderBrowser::CurrentChanged);
}

TFolderBrowser::~TFolderBrowser() = default;

void TFolderBrowser::CurrentChanged() {
    const QString Path = SelectedPath();
    edPfad->setText(Path);
    OKBtn->setEnabled(!Path.isEmpty());
}

bool TFolderBrowser::SelectPath(const QString& Path) {
    return RevealRow(*FolderTree, FModel->IndexOf(Path));
}

QString TFolderBrowser::SelectedPath() const {
    return FModel->Path(FolderTree->currentIndex());
}

QString OrdnerWaehlen(QWidget* Parent, TNDK& Ndk, TFolderRoot Root, const QString& Title) {
    Q_UNUSED(Root); // the network locations are the only root
    if (!Parent)
        Parent = QApplication::activeWindow();
    std::unique_ptr<TFolderBrowser> Dlg;
    try {
        Dlg = std::make_unique<TFolderBrowser>(Ndk, Title, Parent);
    } catch (const EDirectoryError&) {
        return QString(); // the network locations cannot be read
    }
    if (TModalSeam::Exec(*Dlg) != QDialog::Accepted)
        return QString();
    return Dlg->SelectedPath();
}
