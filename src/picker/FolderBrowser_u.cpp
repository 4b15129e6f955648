#include "FolderBrowser_u.h"

#include "ModalSeam.h"

#include <DirectoryClient.h>
#include <EDirectoryError.h>

#include <QApplication>
#include <QDir>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

struct TFolderModel::TNode {
    TKind Kind = TKind::Server;
    QString Name;
    QString Path;   // "\\SERVER\VOLUME\dir"; empty for a server
    QString Local;  // folder on disk; empty for a server
    TNode* Parent = nullptr;
    int Row = 0;
    bool Loaded = false;
    std::vector<std::unique_ptr<TNode>> Children;

    TNode* Add(std::unique_ptr<TNode> Child) {
        Child->Parent = this;
        Child->Row = int(Children.size());
        Children.push_back(std::move(Child));
        return Children.back().get();
    }
    TNode* Find(const QString& ChildName) const {
        for (const auto& C : Children)
            if (C->Name == ChildName)
                return C.get();
        for (const auto& C : Children)
            if (C->Name.compare(ChildName, Qt::CaseInsensitive) == 0)
                return C.get();
        return nullptr;
    }
};

TFolderModel::TFolderModel(TDirectoryClient& Store, QObject* Parent)
    : QAbstractItemModel(Parent), FTop(std::make_unique<TNode>()) {
    FTop->Loaded = true;
    const auto Connections = Store.ServerConnections();
    const auto Volumes = Store.Volumes();
    for (const auto& C : Connections) {
        QString Name = C.DisplayName;
        if (Name.isEmpty())
            Name = C.FullName.section(u'\\', -1);
        if (Name.isEmpty() || FTop->Find(Name))
            continue;
        auto Server = std::make_unique<TNode>();
        Server->Kind = TKind::Server;
        Server->Name = Name;
        Server->Loaded = true;
        TNode* S = FTop->Add(std::move(Server));
        for (const auto& V : Volumes) {
            if (V.Server.compare(Name, Qt::CaseInsensitive) != 0)
                continue;
            auto Volume = std::make_unique<TNode>();
            Volume->Kind = TKind::Volume;
            Volume->Name = V.Volume;
            Volume->Path = QStringLiteral("\\\\") + V.Server + u'\\' + V.Volume;
            Volume->Local = V.RootFolder;
            S->Add(std::move(Volume));
        }
    }
}

TFolderModel::~TFolderModel() = default;

TFolderModel::TNode* TFolderModel::NodeOf(const QModelIndex& Index) const {
    return Index.isValid() ? static_cast<TNode*>(Index.internalPointer()) : FTop.get();
}

QModelIndex TFolderModel::IndexOfNode(TNode* Node) const {
    if (!Node || Node == FTop.get())
        return {};
    return createIndex(Node->Row, 0, Node);
}

QString TFolderModel::Path(const QModelIndex& Index) const {
    return Index.isValid() ? NodeOf(Index)->Path : QString();
}

TFolderModel::TKind TFolderModel::Kind(const QModelIndex& Index) const {
    return Index.isValid() ? NodeOf(Index)->Kind : TKind::Server;
}

QModelIndex TFolderModel::index(int Row, int Column, const QModelIndex& Parent) const {
    if (Column != 0 || Row < 0 || (Parent.isValid() && Parent.column() != 0))
        return {};
    const TNode* P = NodeOf(Parent);
    if (Row >= int(P->Children.size()))
        return {};
    return createIndex(Row, Column, P->Children[size_t(Row)].get());
}

QModelIndex TFolderModel::parent(const QModelIndex& Child) const {
    if (!Child.isValid())
        return {};
    return IndexOfNode(NodeOf(Child)->Parent);
}

int TFolderModel::rowCount(const QModelIndex& Parent) const {
    if (Parent.isValid() && Parent.column() != 0)
        return 0;
    return int(NodeOf(Parent)->Children.size());
}

int TFolderModel::columnCount(const QModelIndex&) const { return 1; }

bool TFolderModel::hasChildren(const QModelIndex& Parent) const {
    if (Parent.isValid() && Parent.column() != 0)
        return false;
    const TNode* P = NodeOf(Parent);
    return P->Loaded ? !P->Children.empty() : true;
}

bool TFolderModel::canFetchMore(const QModelIndex& Parent) const {
    return !FAnnouncing && Parent.isValid() && Parent.column() == 0 && !NodeOf(Parent)->Loaded;
}

void TFolderModel::fetchMore(const QModelIndex& Parent) {
    if (!canFetchMore(Parent))
        return;
    TNode* P = NodeOf(Parent);
    P->Loaded = true;
    const QFileInfoList Folders =
        QDir(P->Local).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                                     QDir::Name | QDir::IgnoreCase);
    QScopedValueRollback Announcing(FAnnouncing, true);
    if (Folders.isEmpty()) {
        Q_EMIT dataChanged(Parent, Parent);
        return;
    }
    beginInsertRows(Parent, 0, int(Folders.size()) - 1);
    for (const QFileInfo& F : Folders) {
        auto Folder = std::make_unique<TNode>();
        Folder->Kind = TKind::Folder;
        Folder->Name = F.fileName();
        Folder->Path = P->Path + u'\\' + F.fileName();
        Folder->Local = F.absoluteFilePath();
        P->Add(std::move(Folder));
    }
    endInsertRows();
}

QVariant TFolderModel::data(const QModelIndex& Index, int Role) const {
    if (!checkIndex(Index, CheckIndexOption::IndexIsValid))
        return {};
    const TNode* N = NodeOf(Index);
    switch (Role) {
    case Qt::DisplayRole:
        return N->Name;
    case Qt::ToolTipRole:
    case PathRole:
        return N->Kind == TKind::Server ? QStringLiteral("\\\\") + N->Name : N->Path;
    case Qt::DecorationRole: {
        const QStyle::StandardPixmap Icon = N->Kind == TKind::Server ? QStyle::SP_ComputerIcon
                                            : N->Kind == TKind::Volume ? QStyle::SP_DriveNetIcon
                                                                       : QStyle::SP_DirIcon;
        return QApplication::style()->standardIcon(Icon);
    }
    default:
        return {};
    }
}

Qt::ItemFlags TFolderModel::flags(const QModelIndex& Index) const {
    return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QModelIndex TFolderModel::IndexOf(const QString& Path) {
    if (!Path.startsWith(QStringLiteral("\\\\")))
        return {};
    const QStringList Parts = Path.mid(2).split(u'\\', Qt::SkipEmptyParts);
    if (Parts.size() < 2)
        return {};
    TNode* N = FTop.get();
    for (const QString& Part : Parts) {
        const QModelIndex At = IndexOfNode(N);
        if (canFetchMore(At))
            fetchMore(At);
        N = N->Find(Part);
        if (!N)
            return {};
    }
    return IndexOfNode(N);
}

TFolderBrowser::TFolderBrowser(const QString& Title, QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("FolderBrowser"));
    setWindowTitle(QStringLiteral("Ordner suchen"));

    QString Text = Title;
    Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text.replace(u'\r', u'\n');
    laTitel = new QLabel(Text, this);
    laTitel->setObjectName(QStringLiteral("laTitel"));
    laTitel->setTextFormat(Qt::PlainText);
    laTitel->setWordWrap(true);

    FModel = new TFolderModel(TDirectoryClient::Instance(), this);
    FolderTree = new QTreeView(this);
    FolderTree->setObjectName(QStringLiteral("FolderTree"));
    FolderTree->setModel(FModel);
    FolderTree->setHeaderHidden(true);
    FolderTree->setUniformRowHeights(true);
    FolderTree->setSelectionMode(QAbstractItemView::SingleSelection);
    FolderTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FolderTree->setMinimumSize(320, 320);
    FolderTree->expandToDepth(0);  // the servers open, showing their volumes

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
    Layout->addWidget(Buttons);

    connect(FolderTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFolderBrowser::CurrentChanged);
}

TFolderBrowser::~TFolderBrowser() = default;

void TFolderBrowser::CurrentChanged() { OKBtn->setEnabled(!SelectedPath().isEmpty()); }

bool TFolderBrowser::SelectPath(const QString& Path) {
    const QModelIndex Index = FModel->IndexOf(Path);
    if (!Index.isValid())
        return false;
    for (QModelIndex P = Index.parent(); P.isValid(); P = P.parent())
        FolderTree->expand(P);
    FolderTree->setCurrentIndex(Index);
    FolderTree->scrollTo(Index);
    return true;
}

QString TFolderBrowser::SelectedPath() const { return FModel->Path(FolderTree->currentIndex()); }

QString OrdnerWaehlen(TFolderRoot Root, const QString& Title, QWidget* Parent) {
    Q_UNUSED(Root);  // the network locations are the only root
    if (!Parent)
        Parent = QApplication::activeWindow();
    std::unique_ptr<TFolderBrowser> Dlg;
    try {
        Dlg = std::make_unique<TFolderBrowser>(Title, Parent);
    } catch (const EDirectoryError&) {
        return QString();  // the network locations cannot be read
    }
    if (TModalSeam::Exec(*Dlg) != QDialog::Accepted)
        return QString();
    return Dlg->SelectedPath();
}
