#include "gui/DriveListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QStyleOptionComboBox>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QStorageInfo>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#endif

namespace {

QStringList Drives()
{
    QStringList drives;
#ifdef Q_OS_WIN
    for (const std::string& drive : Win32LogicalDrives())
        drives << QString::fromStdString(drive);
#else
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && QFileInfo(volume.rootPath()).isDir())  // not a file bind mount
            drives << volume.rootPath();
    drives.sort();
    drives.removeDuplicates();
#endif
    return drives;
}

// The drive that holds the working directory, named as the list names it.
QString CurrentDrive()
{
#ifdef Q_OS_WIN
    const QString directory = QDir::currentPath();
    if (directory.size() >= 2 && directory[1] == QLatin1Char(':'))
        return directory.left(2).toLower();
    return QString();
#else
    return QStorageInfo(QDir::currentPath()).rootPath();
#endif
}

}  // namespace

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent)
{
    QStringList drives = Drives();
    const QString current = CurrentDrive();
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity driveCase = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity driveCase = Qt::CaseSensitive;
#endif
    qsizetype index = -1;
    for (qsizetype i = 0; i < drives.size() && index < 0; ++i)
        if (drives[i].compare(current, driveCase) == 0)
            index = i;
    if (index < 0 && !current.isEmpty()) {
        drives << current;
        index = drives.size() - 1;
    }
    addItems(drives);
    setCurrentIndex(int(std::max<qsizetype>(0, index)));
    // Only the operator's changes count: connected after the first selection.
    connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::Change);
}

bool DriveListBox::Ready() const
{
#ifdef Q_OS_WIN
    return Win32DriveReady(Drive().toStdString());
#else
    // A mounted root answers or fails on its own; the directory list tests it.
    return !Drive().isEmpty();
#endif
}

void DriveListBox::paintEvent(QPaintEvent* event)
{
    QComboBox::paintEvent(event);
    if (!hasFocus())
        return;
    QStyleOptionComboBox box;
    initStyleOption(&box);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = style()->subControlRect(QStyle::CC_ComboBox, &box, QStyle::SC_ComboBoxEditField, this);
    focus.backgroundColor = palette().color(QPalette::Base);
    QStylePainter(this).drawPrimitive(QStyle::PE_FrameFocusRect, focus);
}
