#include "platform/DriveListBox.h"

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {}
