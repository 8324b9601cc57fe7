#include "widgets/DirectoryListBox.h"

#include "platform/DriveMap.h"
#include "platform/FileIdentity.h"
#include "platform/FileName.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace fr {

namespace {

// The folders in a folder (and links to folders), by name in the order of the alphabet, case
// aside. Read by bytes: a name that is not UTF-8 must still lead to its folder.
QStringList subfolderNames(const QString& folder) {
    QStringList names;
    const QByteArray path = fileNameBytes(folder);
    const QByteArray prefix = path.endsWith('/') ? path : path + '/';
    DIR* directory = ::opendir(path.constData());
    if (!directory)
        return names;
    while (const dirent* item = ::readdir(directory)) {
        const QByteArray name(item->d_name);
        struct stat status {};
        if (name != "." && name != ".." && ::stat((prefix + name).constData(), &status) == 0 &&
            S_ISDIR(status.st_mode))
            names << fileNameFromBytes(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

} // namespace

namespace {

// Indents each entry by its depth below the drive root.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(option.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += indent(index);
        return size;
    }

private:
    static int indent(const QModelIndex& index) {
        return index.data(DirectoryListBox::LevelRole).toInt() * DirectoryListBox::kIndent;
    }
};

QString clean(const QString& path) {
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

} // namespace

DirectoryListBox::DirectoryListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentDelegate(this));
    setIconSize(QSize(16, 16));
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        // Leave the activation's own processing before the list is rebuilt under it.
        const QString path = item->data(PathRole).toString();
        QMetaObject::invokeMethod(
            this, [this, path] { setDirectory(path); }, Qt::QueuedConnection);
    });
}

void DirectoryListBox::setRoot(const QString& nativeRoot, const QString& driveForm) {
    root_ = clean(nativeRoot);
    driveForm_ = driveForm;
    directory_ = root_;
    populate();
    emit directoryChanged(directory_);
}

bool DirectoryListBox::isWithinRoot(const QString& folder) const {
    if (root_.isEmpty())
        return false;
    if (folder == root_)
        return true;
    const QString prefix = root_.endsWith(QLatin1Char('/')) ? root_ : root_ + QLatin1Char('/');
    return folder.startsWith(prefix);
}

void DirectoryListBox::setDirectory(const QString& nativeFolder) {
    const QString folder = clean(nativeFolder);
    if (!isWithinRoot(folder) || kindOf(folder) != FileKind::Directory)
        return;
    if (folder == directory_) {
        populate();
        return;
    }
    directory_ = folder;
    populate();
    emit directoryChanged(directory_);
}

QString DirectoryListBox::directoryInDriveForm() const {
    if (directory_.isEmpty())
        return {};
    QString relative = directory_.mid(root_.size());
    if (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    if (relative.isEmpty())
        return driveForm_;
    QString form = driveForm_;
    if (!form.endsWith(QLatin1Char('\\')))
        form += QLatin1Char('\\');
    return form + relative.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

void DirectoryListBox::refresh() {
    // The current folder may have gone: fall back to the nearest one that is still there.
    QString folder = directory_;
    while (isWithinRoot(folder) && folder != root_ && kindOf(folder) != FileKind::Directory)
        folder = QFileInfo(folder).path();
    if (folder != directory_) {
        directory_ = folder;
        populate();
        emit directoryChanged(directory_);
        return;
    }
    populate();
}

void DirectoryListBox::populate() {
    clear();
    if (root_.isEmpty())
        return;
    QStyle* look = style();
    const QIcon open = look->standardIcon(QStyle::SP_DirOpenIcon, nullptr, this);
    const QIcon closed = look->standardIcon(QStyle::SP_DirClosedIcon, nullptr, this);

    const auto add = [this](const QIcon& icon, const QString& text, const QString& path, int level,
                            bool isOpen) {
        auto* item = new QListWidgetItem(icon, text, this);
        item->setData(PathRole, path);
        item->setData(LevelRole, level);
        item->setData(IsOpenRole, isOpen);
        item->setToolTip(QDir::toNativeSeparators(path));
        return item;
    };

    // The chain from the root down to the current folder.
    QListWidgetItem* current = add(
        open, driveForm_.isEmpty() ? QDir::toNativeSeparators(root_) : driveForm_, root_, 0, true);
    QString path = root_;
    const QString relative = directory_.mid(root_.size());
    int level = 0;
    for (const QString& name : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path = path.endsWith(QLatin1Char('/')) ? path + name : path + QLatin1Char('/') + name;
        current = add(open, name, path, ++level, true);
    }

    // Its subfolders, hidden ones left out as the file manager does.
    const QStringList names = subfolderNames(directory_);
    const QString base =
        directory_.endsWith(QLatin1Char('/')) ? directory_ : directory_ + QLatin1Char('/');
    for (const QString& name : names) {
        if (!isHiddenName(name))
            add(closed, name, base + name, level + 1, false);
    }
    setCurrentItem(current);
    scrollToItem(current);
}

} // namespace fr
