#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class NWDir;
class QTreeView;
class TDirectoryClient;

// The tree behind the browse control. Its one top-level row is the start object; the subordinates
// of an object are read only when the view asks for them (canFetchMore/fetchMore), with one listing
// of the directory per opened object and nothing read per row.
class TNWBrowseModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum TRole { FullNameRole = Qt::UserRole + 1, LayoutRole };

    explicit TNWBrowseModel(QObject* Parent = nullptr);
    ~TNWBrowseModel() override;

    // Starts the tree at the object FullName of Client, showing only subordinates whose layout is
    // in Filters (comma-separated, "" for all). Throws EDirectoryError when the object does not exist.
    void SetRoot(TDirectoryClient& Client, const QString& FullName, const QString& Filters);
    void Clear();

    // Icons: the icon of a row is Images[ImageIndex(layout)] when that index exists.
    void SetImages(const QList<QIcon>& Images);
    void SetImageIndex(std::function<int(const QString&)> ImageIndex);

    QString FullName(const QModelIndex& Index) const;
    QString Layout(const QModelIndex& Index) const;
    bool IsLoaded(const QModelIndex& Index) const; // the subordinates have been read
    // The row of an object below the start object, reading the levels on the way as needed;
    // invalid when it is not shown in this tree.
    QModelIndex IndexOf(const QString& FullName);
    // How many listings were read since SetRoot (one per opened object).
    int FetchCount() const { return FFetchCount; }
    // Whether objects of this layout can hold subordinates.
    static bool IsContainerLayout(const QString& Layout);

    QModelIndex index(int Row, int Column, const QModelIndex& Parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& Child) const override;
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& Parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& Parent) const override;
    void fetchMore(const QModelIndex& Parent) override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;

Q_SIGNALS:
    // A listing failed (for example the object was deleted meanwhile); the object shows no rows.
    void LoadFailed(const QString& Message);

private:
    struct TNode;
    TNode* NodeOf(const QModelIndex& Index) const;
    QModelIndex IndexOfNode(TNode* Node) const;

    std::unique_ptr<TNode> FTop;    // invisible parent of the start object
    std::unique_ptr<NWDir> FCursor; // own cursor, so the listings never move the caller's
    QList<QIcon> FImages;
    std::function<int(const QString&)> FImageIndex;
    int FFetchCount = 0;
    // True while a change is being announced: listeners that walk the tree then see only what is
    // read, and no listing starts inside the announcement of another.
    bool FAnnouncing = false;
};

// The browse control: a tree of the directory below the object on which the directory control
// handed to it stands, filtered by that control's Filters.
//
// ExpandMode says how much of the tree is open when it is built:
//   0  only the start object, closed;
//   1  the start object open, its subordinates listed and closed;
//   2  every level read so far open: like 1, and whenever the mode is applied again
//      (SetExpandMode), every object whose subordinates have been read is opened as well.
// Nothing beyond the start object's subordinates is read in advance in any mode.
class NWBrowse : public QWidget {
    Q_OBJECT
public:
    explicit NWBrowse(QWidget* Parent = nullptr);
    ~NWBrowse() override;

    // The directory source: the tree starts at Dir's FullName and lists with Dir's Filters as they
    // are now. The control keeps no link to Dir's later moves (it is a shared cursor that other
    // calls position); Refresh reads Dir's position again. Throws EDirectoryError when the
    // position no longer exists.
    void SetDirectory(NWDir* Dir);
    NWDir* Directory() const { return FDirectory; }
    void Refresh();

    int ExpandMode() const { return FExpandMode; }
    void SetExpandMode(int Mode); // 0..2; anything else counts as 0

    void SetImages(const QList<QIcon>& Images);
    void SetImageIndex(std::function<int(const QString&)> ImageIndex);

    QTreeView* View() const { return FView; }
    TNWBrowseModel* Model() const { return FModel; }
    // Opens the levels down to the object, selects it and scrolls to it; false when the object is
    // not shown in this tree. Does not count as a click.
    bool SelectEntry(const QString& FullName);

Q_SIGNALS:
    // A click on an entry: its full name and its layout name.
    void EntryClicked(const QString& FullName, const QString& Layout);
    void LoadFailed(const QString& Message);

private:
    void ApplyExpandMode();
    void ExpandLoaded(const QModelIndex& Parent);

    NWDir* FDirectory = nullptr;
    int FExpandMode = 0;
    QTreeView* FView;
    TNWBrowseModel* FModel;
};
