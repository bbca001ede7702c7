#include "platform/DirListBox.h"

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {}
