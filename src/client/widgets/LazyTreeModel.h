#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QTreeView;

// A tree whose rows are read only when the view opens them: each node's children are read once,
// on the first canFetchMore/fetchMore for it, and nothing is read per row. A subclass keeps its
// own data in nodes derived from TNode, reads children in LoadChildren and answers data().
class TLazyTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    struct TNode {
        virtual ~TNode() = default;
        QString Name; // shown, and matched by IndexOfPath
        TNode* Parent = nullptr;
        int Row = 0;
        bool Loaded = false; // the children have been read (or are known)
        std::vector<std::unique_ptr<TNode>> Children;
        // Appends a child whose children are already known (Loaded set by the caller) or not.
        TNode* Add(std::unique_ptr<TNode> Child);
    };

    explicit TLazyTreeModel(QObject* Parent = nullptr);
    ~TLazyTreeModel() override;

    // Whether the children of the row have been read.
    bool IsLoaded(const QModelIndex& Index) const;
    // How many nodes were read since the last reset.
    int FetchCount() const { return FFetchCount; }
    // The node turned out to hold nothing (it vanished, or cannot be read): its rows go, and it
    // is not read again.
    void SetEmpty(const QModelIndex& Index);
    // The row reached from Start (invalid: the top) by the names in Path, one level each, reading
    // the levels on the way; a name matches as written, else without regard to case. Invalid when
    // some level does not hold the name.
    QModelIndex IndexOfPath(const QModelIndex& Start, const QStringList& Path);

    QModelIndex index(int Row, int Column, const QModelIndex& Parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& Child) const override;
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& Parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& Parent) const override;
    void fetchMore(const QModelIndex& Parent) override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;

Q_SIGNALS:
    // Reading a node's children failed; the node shows no rows.
    void LoadFailed(const QString& Message);

protected:
    // The children of Node in the order they show. Throwing (std::exception) leaves the node empty
    // and reports LoadFailed.
    virtual std::vector<std::unique_ptr<TNode>> LoadChildren(TNode& Node) = 0;
    // Whether a node not read yet may hold children (it shows an expand mark until read).
    virtual bool MayHaveChildren(const TNode& Node) const = 0;

    // Puts rows in the order people read names, whatever the user's locale: letter case aside,
    // numbers by value ("5a", "6a", "10a", "11"); rows of equal names keep their order.
    static void SortByName(std::vector<std::unique_ptr<TNode>>& Rows);

    // Replaces every row by these top-level nodes (a model reset).
    void ResetTop(std::vector<std::unique_ptr<TNode>> Top);
    TNode* NodeOf(const QModelIndex& Index) const; // the invisible top for an invalid index
    QModelIndex IndexOfNode(const TNode* Node) const;

private:
    std::unique_ptr<TNode> FTop;
    int FFetchCount = 0;
    // True while a change is being announced: listeners that walk the tree then see only what is
    // read, and no reading starts inside the announcement of another.
    bool FAnnouncing = false;
};

// Sets up a view of a lazy tree: one column without a header, rows of one height, one row
// selectable at a time, nothing editable.
void SetUpLazyTreeView(QTreeView& View);
// Opens the rows above Index, makes it the current row and scrolls to it; false, and nothing
// done, for an invalid index.
bool RevealRow(QTreeView& View, const QModelIndex& Index);
