#include "LazyTreeModel.h"

#include <EDirectoryError.h>

#include <Names.h>

#include <QScopedValueRollback>
#include <QTreeView>
#include <algorithm>

TLazyTreeModel::TNode* TLazyTreeModel::TNode::Add(std::unique_ptr<TNode> Child) {
    Child->Parent = this;
    Child->Row = int(Children.size());
    Children.push_back(std::move(Child));
    return Children.back().get();
}

TLazyTreeModel::TLazyTreeModel(QObject* Parent)
    : QAbstractItemModel(Parent), FTop(std::make_unique<TNode>()) {
    FTop->Loaded = true;
}

TLazyTreeModel::~TLazyTreeModel() = default;

void TLazyTreeModel::ResetTop(std::vector<std::unique_ptr<TNode>> Top) {
    auto Fresh = std::make_unique<TNode>();
    Fresh->Loaded = true;
    for (auto& N : Top)
        Fresh->Add(std::move(N));
    beginResetModel();
    FTop = std::move(Fresh);
    FFetchCount = 0;
    QScopedValueRollback Announcing(FAnnouncing, true);
    endResetModel();
}

void TLazyTreeModel::SortByName(std::vector<std::unique_ptr<TNode>>& Rows) {
    std::stable_sort(Rows.begin(), Rows.end(),
                     [](const auto& A, const auto& B) { return CompareAsRead(A->Name, B->Name) < 0; });
}

TLazyTreeModel::TNode* TLazyTreeModel::NodeOf(const QModelIndex& Index) const {
    return Index.isValid() ? static_cast<TNode*>(Index.internalPointer()) : FTop.get();
}

QModelIndex TLazyTreeModel::IndexOfNode(const TNode* Node) const {
    if (!Node || Node == FTop.get())
        return {};
    return createIndex(Node->Row, 0, Node);
}

bool TLazyTreeModel::IsLoaded(const QModelIndex& Index) const {
    return NodeOf(Index)->Loaded;
}

QModelIndex TLazyTreeModel::index(int Row, int Column, const QModelIndex& Parent) const {
    if (Column != 0 || Row < 0 || (Parent.isValid() && Parent.column() != 0))
        return {};
    const TNode* P = NodeOf(Parent);
    if (Row >= int(P->Children.size()))
        return {};
    return createIndex(Row, Column, P->Children[size_t(Row)].get());
}

QModelIndex TLazyTreeModel::parent(const QModelIndex& Child) const {
    if (!Child.isValid())
        return {};
    return IndexOfNode(NodeOf(Child)->Parent);
}

int TLazyTreeModel::rowCount(const QModelIndex& Parent) const {
    if (Parent.isValid() && Parent.column() != 0)
        return 0;
    return int(NodeOf(Parent)->Children.size());
}

int TLazyTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool TLazyTreeModel::hasChildren(const QModelIndex& Parent) const {
    if (Parent.isValid() && Parent.column() != 0)
        return false;
    const TNode* P = NodeOf(Parent);
    return P->Loaded ? !P->Children.empty() : MayHaveChildren(*P);
}

bool TLazyTreeModel::canFetchMore(const QModelIndex& Parent) const {
    if (FAnnouncing || !Parent.isValid() || Parent.column() != 0)
        return false;
    const TNode* P = NodeOf(Parent);
    return !P->Loaded && MayHaveChildren(*P);
}

void TLazyTreeModel::fetchMore(const QModelIndex& Parent) {
    if (!canFetchMore(Parent))
        return;
    TNode* P = NodeOf(Parent);
    P->Loaded = true;
    ++FFetchCount;

    std::vector<std::unique_ptr<TNode>> Rows;
    QString Failure;
    try {
        Rows = LoadChildren(*P);
    } catch (const std::exception& E) {
        Failure = ErrorText(E);
        Rows.clear();
    }
    {
        QScopedValueRollback Announcing(FAnnouncing, true);
        if (!Rows.empty()) {
            beginInsertRows(Parent, 0, int(Rows.size()) - 1);
            for (auto& R : Rows)
                P->Add(std::move(R));
            endInsertRows();
        } else {
            // The expand mark of an empty node goes away.
            Q_EMIT dataChanged(Parent, Parent);
        }
    }
    if (!Failure.isEmpty())
        Q_EMIT LoadFailed(Failure);
}

void TLazyTreeModel::SetEmpty(const QModelIndex& Index) {
    if (!Index.isValid() || Index.column() != 0)
        return;
    TNode* N = NodeOf(Index);
    N->Loaded = true;
    QScopedValueRollback Announcing(FAnnouncing, true);
    if (!N->Children.empty()) {
        beginRemoveRows(Index, 0, int(N->Children.size()) - 1);
        N->Children.clear();
        endRemoveRows();
    }
    Q_EMIT dataChanged(Index, Index);
}

Qt::ItemFlags TLazyTreeModel::flags(const QModelIndex& Index) const {
    return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QModelIndex TLazyTreeModel::IndexOfPath(const QModelIndex& Start, const QStringList& Path) {
    TNode* N = NodeOf(Start);
    for (const QString& Name : Path) {
        const QModelIndex At = IndexOfNode(N);
        if (canFetchMore(At))
            fetchMore(At);
        TNode* Next = nullptr;
        for (const auto& C : N->Children)
            if (C->Name == Name) {
                Next = C.get();
                break;
            }
        if (!Next)
            for (const auto& C : N->Children)
                if (C->Name.compare(Name, Qt::CaseInsensitive) == 0) {
                    Next = C.get();
                    break;
                }
        if (!Next)
            return {};
        N = Next;
    }
    return IndexOfNode(N);
}

void SetUpLazyTreeView(QTreeView& View) {
    View.setHeaderHidden(true);
    View.setUniformRowHeights(true);
    View.setSelectionMode(QAbstractItemView::SingleSelection);
    View.setEditTriggers(QAbstractItemView::NoEditTriggers);
}

bool RevealRow(QTreeView& View, const QModelIndex& Index) {
    if (!Index.isValid())
        return false;
    for (QModelIndex P = Index.parent(); P.isValid(); P = P.parent())
        View.expand(P);
    View.setCurrentIndex(Index);
    View.scrollTo(Index);
    return true;
}
