#pragma once

#include "LazyTreeModel.h"

#include <QIcon>
#include <QList>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class NWDir;
class QTreeView;
class TDirectoryClient;

// The tree behind the browse control. Its one top-level row is the start object; the subordinates
// of an object are read only when the view asks for them, with one listing of the directory per
// opened object and nothing read per row; that listing also counts what each listed container holds,
// so an empty one shows no expand mark. Names sort as people read them.
class TNWBrowseModel : public TLazyTreeModel {
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
    // The row of an object below the start object, reading the levels on the way as needed;
    // invalid when it is not shown in this tree.
    QModelIndex IndexOf(const QString& FullName);

    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;

protected:
    std::vector<std::unique_ptr<TNode>> LoadChildren(TNode& Node) override;
    bool MayHaveChildren(const TNode& Node) const override;

private:
    struct TObjectNode;
    const TObjectNode* ObjectOf(const QModelIndex& Index) const;

    std::unique_ptr<NWDir> FCursor; // own cursor, so the listings never move the caller's
    QList<QIcon> FImages;
    std::function<int(const QString&)> FImageIndex;
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
