#pragma once

#include <LazyTreeModel.h>

#include <QDialog>
#include <QString>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;
class TNDK;

// Where the folder picker starts.
enum class TFolderRoot {
    Network, // the network locations: the servers the workstation is connected to
};

// The network locations as a tree: the connected servers, below each its volumes, below a volume
// its folders. Folders are read through the client only when their parent is opened, folders
// only, no links (a link could lead out of the volume); a folder that cannot be read shows empty.
class TFolderModel : public TLazyTreeModel {
    Q_OBJECT
public:
    enum TRole { PathRole = Qt::UserRole + 1 };
    enum class TKind { Server, Volume, Folder };

    // Reads the server connections of the access object and their volumes; throws EDirectoryError
    // when they cannot be read.
    explicit TFolderModel(TNDK& Ndk, QObject* Parent = nullptr);
    ~TFolderModel() override;

    // "\\SERVER\VOLUME\dir\sub" of a volume or folder row; "" for a server row.
    QString Path(const QModelIndex& Index) const;
    TKind Kind(const QModelIndex& Index) const;
    // The row of a volume or folder path, reading the levels on the way; invalid when absent.
    QModelIndex IndexOf(const QString& Path);

    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;

protected:
    std::vector<std::unique_ptr<TNode>> LoadChildren(TNode& Node) override;
    bool MayHaveChildren(const TNode& Node) const override;

private:
    struct TFolderNode;
    const TFolderNode* FolderOf(const QModelIndex& Index) const;
};

// The folder picker dialog: the title above the tree, below it the path of the chosen folder, OK for
// a volume or folder, "Abbrechen".
class TFolderBrowser : public QDialog {
    Q_OBJECT
public:
    // Title: "\r" (or "\r\n") breaks the line. Throws EDirectoryError when the network locations
    // cannot be read.
    TFolderBrowser(TNDK& Ndk, const QString& Title, QWidget* Parent = nullptr);
    ~TFolderBrowser() override;

    QLabel* laTitel;
    QTreeView* FolderTree;
    QLineEdit* edPfad; // the chosen folder's path
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

// Shows the folder picker (owned by Parent; null: the active window) and answers the chosen folder
// as "\\SERVER\VOLUME\dir\sub" (a volume itself as "\\SERVER\VOLUME"), or "" when the user cancels,
// chose nothing with a path, or the network locations cannot be read.
QString OrdnerWaehlen(QWidget* Parent, TNDK& Ndk, TFolderRoot Root, const QString& Title);
