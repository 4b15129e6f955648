#pragma once

#include <QAbstractItemModel>
#include <QDialog>
#include <QString>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QTreeView;
class TDirectoryClient;

// Where the folder picker starts.
enum class TFolderRoot {
    Network,  // the network locations: the servers the workstation is connected to
};

// The network locations as a tree: the connected servers, below each its volumes, below a volume
// its folders. Folders are read from disk only when their parent is opened, folders only, no
// links (a link could lead out of the volume).
class TFolderModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum TRole { PathRole = Qt::UserRole + 1 };
    enum class TKind { Server, Volume, Folder };

    // Reads the server connections and the volumes of Store; throws EDirectoryError when they
    // cannot be read.
    explicit TFolderModel(TDirectoryClient& Store, QObject* Parent = nullptr);
    ~TFolderModel() override;

    // "\\SERVER\VOLUME\dir\sub" of a volume or folder row; "" for a server row.
    QString Path(const QModelIndex& Index) const;
    TKind Kind(const QModelIndex& Index) const;
    // The row of a volume or folder path, reading the levels on the way; invalid when absent.
    QModelIndex IndexOf(const QString& Path);

    QModelIndex index(int Row, int Column, const QModelIndex& Parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& Child) const override;
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& Parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& Parent) const override;
    void fetchMore(const QModelIndex& Parent) override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;

private:
    struct TNode;
    TNode* NodeOf(const QModelIndex& Index) const;
    QModelIndex IndexOfNode(TNode* Node) const;

    std::unique_ptr<TNode> FTop;
    bool FAnnouncing = false;  // no reading while an insertion is being announced
};

// The folder picker dialog: the title above the tree, OK for a volume or folder, "Abbrechen".
class TFolderBrowser : public QDialog {
    Q_OBJECT
public:
    // Title: "\r" (or "\r\n") breaks the line. Throws EDirectoryError when the network locations
    // cannot be read.
    explicit TFolderBrowser(const QString& Title, QWidget* Parent = nullptr);
    ~TFolderBrowser() override;

    QLabel* laTitel;
    QTreeView* FolderTree;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    // Opens the tree down to a "\\SERVER\VOLUME\dir" path and makes it the current folder; false
    // when there is no such volume or folder. A trailing "\" is ignored.
    bool SelectPath(const QString& Path);
    // The current volume or folder as "\\SERVER\VOLUME\dir"; "" when none or a server is current.
    QString SelectedPath() const;

private:
    void CurrentChanged();
    TFolderModel* FModel;
};

// Shows the folder picker (owned by Parent, by default the active window) and answers the chosen
// folder as "\\SERVER\VOLUME\dir\sub" (a volume itself as "\\SERVER\VOLUME"), or "" when the user
// cancels, chose nothing with a path, or the network locations cannot be read.
QString OrdnerWaehlen(TFolderRoot Root, const QString& Title, QWidget* Parent = nullptr);
