#include "NWBrowse.h"

#include <DirectoryClient.h>
#include <EDirectoryError.h>
#include <NWDir.h>

#include <QCollator>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

struct TNWBrowseModel::TNode {
    QString FullName;
    QString ShortName;
    QString Layout;
    TNode* Parent = nullptr;
    int Row = 0;
    bool Loaded = false;
    std::vector<std::unique_ptr<TNode>> Children;
};

TNWBrowseModel::TNWBrowseModel(QObject* Parent) : QAbstractItemModel(Parent) {}

TNWBrowseModel::~TNWBrowseModel() = default;

bool TNWBrowseModel::IsContainerLayout(const QString& Layout) {
    static const QStringList Containers{QStringLiteral("Tree"), QStringLiteral("Organization"),
                                        QStringLiteral("Organizational Unit")};
    return Containers.contains(Layout, Qt::CaseInsensitive);
}

void TNWBrowseModel::SetRoot(TDirectoryClient& Client, const QString& FullName, const QString& Filters) {
    const TObjectRef Ref = Client.Directory().Resolve(FullName);
    auto Top = std::make_unique<TNode>();
    auto Start = std::make_unique<TNode>();
    Start->FullName = Ref.FullName;
    Start->ShortName = Ref.ShortName;
    Start->Layout = Ref.Layout;
    Start->Parent = Top.get();
    Top->Children.push_back(std::move(Start));
    Top->Loaded = true;

    auto Cursor = std::make_unique<NWDir>(Client);
    Cursor->SetFilters(Filters); // not positioned yet: nothing is read

    beginResetModel();
    FTop = std::move(Top);
    FCursor = std::move(Cursor);
    FFetchCount = 0;
    QScopedValueRollback Announcing(FAnnouncing, true);
    endResetModel();
}

void TNWBrowseModel::Clear() {
    beginResetModel();
    FTop.reset();
    FCursor.reset();
    FFetchCount = 0;
    QScopedValueRollback Announcing(FAnnouncing, true);
    endResetModel();
}

void TNWBrowseModel::SetImages(const QList<QIcon>& Images) {
    FImages = Images;
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(0, 0), {Qt::DecorationRole});
}

void TNWBrowseModel::SetImageIndex(std::function<int(const QString&)> ImageIndex) {
    FImageIndex = std::move(ImageIndex);
}

TNWBrowseModel::TNode* TNWBrowseModel::NodeOf(const QModelIndex& Index) const {
    if (!Index.isValid())
        return FTop.get();
    return static_cast<TNode*>(Index.internalPointer());
}

QModelIndex TNWBrowseModel::IndexOfNode(TNode* Node) const {
    if (!Node || Node == FTop.get())
        return {};
    return createIndex(Node->Row, 0, Node);
}

QString TNWBrowseModel::FullName(const QModelIndex& Index) const {
    const TNode* N = Index.isValid() ? NodeOf(Index) : nullptr;
    return N ? N->FullName : QString();
}

QString TNWBrowseModel::Layout(const QModelIndex& Index) const {
    const TNode* N = Index.isValid() ? NodeOf(Index) : nullptr;
    return N ? N->Layout : QString();
}

bool TNWBrowseModel::IsLoaded(const QModelIndex& Index) const {
    const TNode* N = NodeOf(Index);
    return N && N->Loaded;
}

QModelIndex TNWBrowseModel::index(int Row, int Column, const QModelIndex& Parent) const {
    if (Column != 0 || Row < 0 || (Parent.isValid() && Parent.column() != 0))
        return {};
    TNode* P = NodeOf(Parent);
    if (!P || Row >= int(P->Children.size()))
        return {};
    return createIndex(Row, Column, P->Children[size_t(Row)].get());
}

QModelIndex TNWBrowseModel::parent(const QModelIndex& Child) const {
    if (!Child.isValid())
        return {};
    TNode* N = NodeOf(Child);
    return IndexOfNode(N->Parent);
}

int TNWBrowseModel::rowCount(const QModelIndex& Parent) const {
    if (Parent.isValid() && Parent.column() != 0)
        return 0;
    const TNode* P = NodeOf(Parent);
    return P ? int(P->Children.size()) : 0;
}

int TNWBrowseModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool TNWBrowseModel::hasChildren(const QModelIndex& Parent) const {
    if (Parent.isValid() && Parent.column() != 0)
        return false;
    const TNode* P = NodeOf(Parent);
    if (!P)
        return false;
    if (P->Loaded)
        return !P->Children.empty();
    return IsContainerLayout(P->Layout);
}

bool TNWBrowseModel::canFetchMore(const QModelIndex& Parent) const {
    if (!Parent.isValid() || Parent.column() != 0)
        return false;
    const TNode* P = NodeOf(Parent);
    return !FAnnouncing && P && !P->Loaded && IsContainerLayout(P->Layout);
}

void TNWBrowseModel::fetchMore(const QModelIndex& Parent) {
    if (!canFetchMore(Parent))
        return;
    TNode* P = NodeOf(Parent);
    P->Loaded = true;
    ++FFetchCount;

    std::vector<std::unique_ptr<TNode>> Rows;
    QString Failure;
    try {
        FCursor->SetFullName(P->FullName); // reads the listing with the filters set
        if (NWEntries* Entries = FCursor->Entries()) {
            const int Count = Entries->Count();
            Rows.reserve(size_t(Count));
            for (int I = 0; I < Count; ++I) {
                const NWEntryPtr E = Entries->Item(I);
                auto N = std::make_unique<TNode>();
                N->FullName = E->FullName();
                N->ShortName = E->ShortName();
                N->Layout = E->Layout();
                N->Parent = P;
                Rows.push_back(std::move(N));
            }
        }
    } catch (const EDirectoryError& E) {
        Failure = E.Message();
        Rows.clear();
    } catch (const std::exception& E) {
        Failure = QString::fromUtf8(E.what());
        Rows.clear();
    }

    // By name as people read it: letter case ignored, numbers by value ("5a" before "10a").
    QCollator Order;
    Order.setCaseSensitivity(Qt::CaseInsensitive);
    Order.setNumericMode(true);
    std::stable_sort(Rows.begin(), Rows.end(), [&Order](const auto& A, const auto& B) {
        return Order.compare(A->ShortName, B->ShortName) < 0;
    });
    {
        QScopedValueRollback Announcing(FAnnouncing, true);
        if (!Rows.empty()) {
            beginInsertRows(Parent, 0, int(Rows.size()) - 1);
            P->Children = std::move(Rows);
            for (size_t I = 0; I < P->Children.size(); ++I)
                P->Children[I]->Row = int(I);
            endInsertRows();
        } else {
            // The expand mark of an empty container goes away.
            Q_EMIT dataChanged(Parent, Parent);
        }
    }
    if (!Failure.isEmpty())
        Q_EMIT LoadFailed(Failure);
}

QVariant TNWBrowseModel::data(const QModelIndex& Index, int Role) const {
    if (!checkIndex(Index, CheckIndexOption::IndexIsValid))
        return {};
    const TNode* N = NodeOf(Index);
    switch (Role) {
    case Qt::DisplayRole:
        return N->ShortName;
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

Qt::ItemFlags TNWBrowseModel::flags(const QModelIndex& Index) const {
    if (!Index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QModelIndex TNWBrowseModel::IndexOf(const QString& Name) {
    if (!FTop || FTop->Children.empty())
        return {};
    TNode* N = FTop->Children.front().get();
    if (Name.compare(N->FullName, Qt::CaseInsensitive) == 0)
        return IndexOfNode(N);
    const QString Prefix = N->FullName + u'\\';
    if (!Name.startsWith(Prefix, Qt::CaseInsensitive))
        return {};
    const QStringList Parts = Name.mid(Prefix.size()).split(u'\\');
    for (const QString& Part : Parts) {
        const QModelIndex At = IndexOfNode(N);
        if (canFetchMore(At))
            fetchMore(At);
        TNode* Next = nullptr;
        for (const auto& C : N->Children) {
            if (C->ShortName.compare(Part, Qt::CaseInsensitive) == 0) {
                Next = C.get();
                break;
            }
        }
        if (!Next)
            return {};
        N = Next;
    }
    return IndexOfNode(N);
}

NWBrowse::NWBrowse(QWidget* Parent) : QWidget(Parent) {
    FView = new QTreeView(this);
    FView->setObjectName(QStringLiteral("NWBrowseTree"));
    FModel = new TNWBrowseModel(this);
    FView->setModel(FModel);
    FView->setHeaderHidden(true);
    FView->setUniformRowHeights(true);
    FView->setSelectionMode(QAbstractItemView::SingleSelection);
    FView->setEditTriggers(QAbstractItemView::NoEditTriggers);
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
    const QModelIndex Index = FModel->IndexOf(FullName);
    if (!Index.isValid())
        return false;
    for (QModelIndex P = Index.parent(); P.isValid(); P = P.parent())
        FView->expand(P);
    FView->setCurrentIndex(Index);
    FView->scrollTo(Index);
    return true;
}
