#include "FileDialog.h"

#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMimeDatabase>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>

namespace {

// The file system model of the dialog gives dates and sizes in the workstation's locale (English
// month names on a workstation without one); this gives them in German.
class TGermanFileColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& Index, int Role) const override {
        const auto* Files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (Role != Qt::DisplayRole || !Files || !Index.isValid())
            return QIdentityProxyModel::data(Index, Role);
        const QModelIndex Source = mapToSource(Index);
        switch (Index.column()) {
        case SizeColumn:
            if (Files->isDir(Source))
                return QIdentityProxyModel::data(Index, Role);
            return German().formattedDataSize(Files->size(Source));
        case DateColumn:
            return German().toString(Files->lastModified(Source), QStringLiteral("dd.MM.yyyy HH:mm"));
        default:
            return QIdentityProxyModel::data(Index, Role);
        }
    }

private:
    static constexpr int SizeColumn = 1;
    static constexpr int DateColumn = 3;
    static QLocale German() { return QLocale(QLocale::German, QLocale::Germany); }
};

// Icons and types of the listed files by their names alone. Qt's own provider takes a file's type
// from its contents when the name does not tell it: listing a folder then opens its files, and a
// pipe or a file like /proc/kmsg blocks the dialog's reader for good (and the program with it,
// which waits for that reader when the dialog closes). A listed file is never opened here.
class TNameOnlyIcons : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& Info) const override {
        if (Info.isDir())
            return icon(Folder);
        if (!Info.isFile())
            return icon(File);
        const QMimeType Type = ByName(Info);
        return QIcon::fromTheme(Type.iconName(), QIcon::fromTheme(Type.genericIconName(), icon(File)));
    }
    QString type(const QFileInfo& Info) const override {
        // Folders, links and special files get their type without a look at contents.
        if (!Info.isFile())
            return QFileIconProvider::type(Info);
        const QMimeType Type = ByName(Info);
        return Type.comment().isEmpty() ? Type.name() : Type.comment();
    }

private:
    QMimeType ByName(const QFileInfo& Info) const {
        const QList<QMimeType> Types = FMime.mimeTypesForFileName(Info.fileName());
        return Types.isEmpty() ? FMime.mimeTypeForName(QStringLiteral("application/octet-stream"))
                               : Types.first();
    }
    QMimeDatabase FMime;
};

// Keeps a dialog's icon provider as long as the dialog: created after the dialog's file model, it
// goes after it.
class TIconHolder : public QObject {
public:
    using QObject::QObject;
    ~TIconHolder() override = default;
    TNameOnlyIcons Icons;
};

} // namespace

void SetUpFileDialog(QFileDialog& Dialog) {
    Dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Nothing a folder holds is read to list it: no custom folder icons, types by name.
    Dialog.setOption(QFileDialog::DontUseCustomDirectoryIcons);
    Dialog.setIconProvider(&(new TIconHolder(&Dialog))->Icons);
    Dialog.setLocale(QLocale(QLocale::German, QLocale::Germany));
    Dialog.setProxyModel(new TGermanFileColumns(&Dialog));
    Dialog.setViewMode(QFileDialog::Detail);
    Dialog.resize(800, 500);
    // The places on the left get room for a folder name.
    if (auto* Split = Dialog.findChild<QSplitter*>(QStringLiteral("splitter")))
        Split->setSizes({180, 620});
    // The columns fit their contents. A folder's rows and their sizes and types arrive in batches
    // after it is shown, so every batch asks for one fit, made once the batch is in.
    auto* Details = Dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!Details || !Details->model())
        return;
    auto* Fit = new QTimer(Details);
    Fit->setSingleShot(true);
    Fit->setInterval(0);
    QObject::connect(Fit, &QTimer::timeout, Details,
                     [Details] { Details->header()->resizeSections(QHeaderView::ResizeToContents); });
    QAbstractItemModel* Rows = Details->model();
    const auto Ask = [Fit] { Fit->start(); };
    QObject::connect(Rows, &QAbstractItemModel::rowsInserted, Fit, Ask);
    QObject::connect(Rows, &QAbstractItemModel::dataChanged, Fit, Ask);
    QObject::connect(Rows, &QAbstractItemModel::layoutChanged, Fit, Ask);
    QObject::connect(Rows, &QAbstractItemModel::modelReset, Fit, Ask);
    QObject::connect(Details, &QTreeView::expanded, Fit, Ask);
    if (auto* Files = Dialog.findChild<QFileSystemModel*>())
        QObject::connect(Files, &QFileSystemModel::directoryLoaded, Fit, Ask);
}
