#include "gui/DirListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

constexpr int PathRole = Qt::UserRole;
constexpr int LevelRole = Qt::UserRole + 1;
constexpr int IndentPixels = 12;

// Draws each entry indented by its depth, so the levels read as a tree.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(shifted.rect.left() + Indent(index));
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += Indent(index);
        return size;
    }

private:
    static int Indent(const QModelIndex& index) { return index.data(LevelRole).toInt() * IndentPixels; }
};

}  // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new IndentDelegate(this));
    // Every row has the same height: a folder with thousands of entries lays out at once.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::Open);
    Fill(QDir::currentPath());
}

QString DirListBox::Path() const
{
    return QDir::toNativeSeparators(path_);
}

bool DirListBox::SetPath(const QString& path)
{
    if (path.isEmpty())
        return false;
    // On Windows "d:" names that drive's current directory; the absolute form resolves it.
    const QFileInfo info(path);
    if (!info.isDir())
        return false;
    const QString directory = QDir::cleanPath(info.absoluteFilePath());
    if (!QDir(directory).isReadable())
        return false;
    Fill(directory);
    return true;
}

void DirListBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (QListWidgetItem* item = currentItem())
            Open(item);
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirListBox::Open(QListWidgetItem* item)
{
    if (!item)
        return;
    const QString target = item->data(PathRole).toString();
    // A folder removed since it was listed: stay, and list again without it.
    Fill(QFileInfo(target).isDir() ? target : path_);
}

void DirListBox::Fill(const QString& directory)
{
    // A working directory removed from under the program has no path at all.
    if (directory.isEmpty()) {
        path_.clear();
        clear();
        setAccessibleDescription(QStringLiteral("Nessuna cartella aperta"));
        emit Opened(QString());
        return;
    }
    path_ = QDir::cleanPath(directory);

    QStringList levels;  // from the root down to the directory
    for (QString level = path_;;) {
        levels.prepend(level);
        if (QDir(level).isRoot())
            break;
        const QString up = QFileInfo(level).path();
        if (up == level)
            break;
        level = up;
    }
    // Hidden folders stay out, as in the system's own lists. A folder that cannot be
    // listed simply has no subdirectories here.
    const QStringList children =
        QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);

    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QString base = path_.endsWith(QLatin1Char('/')) ? path_ : path_ + QLatin1Char('/');

    setUpdatesEnabled(false);
    clear();
    for (int i = 0; i < levels.size(); ++i) {
        const QString& level = levels[i];
        const QString name = i == 0 ? QDir::toNativeSeparators(level) : QFileInfo(level).fileName();
        auto* entry = new QListWidgetItem(openIcon, name);
        entry->setData(PathRole, level);
        entry->setData(LevelRole, i);
        const QString depth = QStringLiteral("livello %1").arg(i + 1);
        entry->setData(Qt::AccessibleDescriptionRole,
                       i + 1 == levels.size() ? QStringLiteral("cartella aperta, ") + depth : depth);
        addItem(entry);
    }
    for (const QString& child : children) {
        // Filled before it joins the list: each change of a listed item is signalled.
        auto* entry = new QListWidgetItem(closedIcon, child);
        entry->setData(PathRole, base + child);
        entry->setData(LevelRole, int(levels.size()));
        entry->setData(Qt::AccessibleDescriptionRole, QStringLiteral("livello %1").arg(levels.size() + 1));
        addItem(entry);
    }
    QListWidgetItem* current = item(int(levels.size()) - 1);
    setCurrentItem(current);
    setUpdatesEnabled(true);
    scrollToItem(current);
    setAccessibleDescription(QStringLiteral("Cartella aperta: ") + Path());
    emit Opened(Path());
}
