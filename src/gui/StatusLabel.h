#pragma once
#include <QLabel>

// A label that tells how things stand: screen readers meet it as a status bar, named by
// its text, so that each new text is announced.
class StatusLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
};
