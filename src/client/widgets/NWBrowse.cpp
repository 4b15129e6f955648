#include "NWBrowse.h"

#include <DirectoryClient.h>
#include <Layouts.h>
#include <NWDir.h>

#include <QTreeView>
#include <QVBoxLayout>

struct TNWBrowseModel::TObjectNode : TLazyTreeModel::TNode {
    QString FullName;
    QString Layout;
    int Subordinates = -1; // counted with its parent's listing; -1: not known
};

TNWBrowseModel::TNWBrowseModel(QObject* Parent) : TLazyTreeModel(Parent) {}

TNWBrowseModel::~TNWBrowseModel() = default;

void TNWBrowseModel::SetRoot(TDirectoryClient& Client, const QString& FullName, const QString& Filters) {
    const TObjectRef Ref = Client.Directory().Resolve(FullName);
    auto Start = std::make_unique<TObjectNode>();
    Start->FullName = Ref.FullName;
    Start->Name = Ref.ShortName;
    Start->Layout = Ref.Layout;
    auto Cursor = std::make_unique<NWDir>(Client);
    Cursor->SetFilters(Filters); // not positioned yet: nothing is read

    std::vector<std::unique_ptr<TNode>> Top;
    Top.push_back(std::move(Start));
    FCursor = std::move(Cursor);
    ResetTop(std::move(Top));
}

void TNWBrowseModel::Clear() {
    FCursor.reset();
    ResetTop({});
}

void TNWBrowseModel::SetImages(const QList<QIcon>& Images) {
    FImages = Images;
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(0, 0), {Qt::DecorationRole});
}

void TNWBrowseModel::SetImageIndex(std::function<int(const QString&)> ImageIndex) {
    FImageIndex = std::move(ImageIndex);
}

const TNWBrowseModel::TObjectNode* TNWBrowseModel::ObjectOf(const QModelIndex& Index) const {
    return Index.isValid() ? static_cast<const TObjectNode*>(NodeOf(Index)) : nullptr;
}

QString TNWBrowseModel::FullName(const QModelIndex& Index) const {
    const TObjectNode* N = ObjectOf(Index);
    return N ? N->FullName : QString();
}

QString TNWBrowseModel::Layout(const QModelIndex& Index) const {
    const TObjectNode* N = ObjectOf(Index);
    return N ? N->Layout : QString();
}

bool TNWBrowseModel::MayHaveChildren(const TNode& Node) const {
    const auto& Object = static_cast<const TObjectNode&>(Node);
    return IsContainerLayout(Object.Layout) && Object.Subordinates != 0;
}

std::vector<std::unique_ptr<TLazyTreeModel::TNode>> TNWBrowseModel::LoadChildren(TNode& Node) {
    std::vector<std::unique_ptr<TNode>> Rows;
    FCursor->SetFullName(static_cast<TObjectNode&>(Node).FullName); // the listing with the filters set
    if (NWEntries* Entries = FCursor->Entries()) {
        // Counted in the same reading: a container with nothing to show has no expand mark.
        Entries->RefreshCounted();
        const int Count = Entries->Count();
        Rows.reserve(size_t(Count));
        for (int I = 0; I < Count; ++I) {
            const NWEntryPtr E = Entries->Item(I);
            auto N = std::make_unique<TObjectNode>();
            N->FullName = E->FullName();
            N->Name = E->ShortName();
            N->Layout = E->Layout();
            N->Subordinates = Entries->SubordinateCount(I);
            Rows.push_back(std::move(N));
        }
    }
    SortByName(Rows);
    return Rows;
}

QVariant TNWBrowseModel::data(const QModelIndex& Index, int Role) const {
    if (!checkIndex(Index, CheckIndexOption::IndexIsValid))
        return {};
    const TObjectNode* N = ObjectOf(Index);
    switch (Role) {
    case Qt::DisplayRole:
        return N->Name;
    case Qt::ToolTipRole:
    case FullNameRole:
        return N->FullName;
    case LayoutRole:
        return N->Layout;
    case Qt::DecorationRole:
        if (FImageIndex) {
            const int I = FImageIndex(N->Layout);
            if (I >= 0 && I < FImages.size())
                return FImages.at(I);
        }
        return {};
    default:
        return {};
    }
}

QModelIndex TNWBrowseModel::IndexOf(const QString& Name) {
    const QModelIndex Start = index(0, 0);
    const TObjectNode* N = ObjectOf(Start);
    if (!N)
        return {};
    if (Name.compare(N->FullName, Qt::CaseInsensitive) == 0)
        return Start;
    const QString Prefix = N->FullName + u'\\';
    if (!Name.startsWith(Prefix, Qt::CaseInsensitive))
        return {};
    return IndexOfPath(Start, Name.mid(Prefix.size()).split(u'\\'));
}

NWBrowse::NWBrowse(QWidget* Parent) : QWidget(Parent) {
    FView = new QTreeView(this);
    FView->setObjectName(QStringLiteral("NWBrowseTree"));
    FModel = new TNWBrowseModel(this);
    FView->setModel(FModel);
    SetUpLazyTreeView(*FView);
    FView->setIconSize(QSize(16, 16));
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addWidget(FView);
    setFocusProxy(FView);

    connect(FView, &QTreeView::clicked, this, [this](const QModelIndex& Index) {
        if (Index.isValid())
            Q_EMIT EntryClicked(FModel->FullName(Index), FModel->Layout(Index));
    });
    connect(FModel, &TNWBrowseModel::LoadFailed, this, &NWBrowse::LoadFailed);
}

NWBrowse::~NWBrowse() = default;

void NWBrowse::SetDirectory(NWDir* Dir) {
    FDirectory = Dir;
    Refresh();
}

void NWBrowse::Refresh() {
    if (!FDirectory) {
        FModel->Clear();
        return;
    }
    FModel->SetRoot(FDirectory->Client(), FDirectory->FullName(), FDirectory->Filters());
    ApplyExpandMode();
}

void NWBrowse::SetExpandMode(int Mode) {
    FExpandMode = (Mode < 0 || Mode > 2) ? 0 : Mode;
    ApplyExpandMode();
}

void NWBrowse::SetImages(const QList<QIcon>& Images) {
    FModel->SetImages(Images);
    FView->viewport()->update();
}

void NWBrowse::SetImageIndex(std::function<int(const QString&)> ImageIndex) {
    FModel->SetImageIndex(std::move(ImageIndex));
}

void NWBrowse::ApplyExpandMode() {
    const QModelIndex Root = FModel->index(0, 0);
    if (!Root.isValid())
        return;
    if (FExpandMode == 0) {
        FView->collapseAll();
        return;
    }
    if (FModel->canFetchMore(Root))
        FModel->fetchMore(Root);
    FView->expand(Root);
    if (FExpandMode == 2)
        ExpandLoaded(Root);
}

void NWBrowse::ExpandLoaded(const QModelIndex& Parent) {
    const int Rows = FModel->rowCount(Parent);
    for (int R = 0; R < Rows; ++R) {
        const QModelIndex Child = FModel->index(R, 0, Parent);
        if (FModel->IsLoaded(Child) && FModel->rowCount(Child) > 0) {
            FView->expand(Child);
            ExpandLoaded(Child);
        }
    }
}

bool NWBrowse::SelectEntry(const QString& FullName) {
    return RevealRow(*FView, FModel->IndexOf(FullName));
}
