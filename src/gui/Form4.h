#pragma once
#include "gui/Window.h"

class QLabel;

// The update progress window: a caption over a navy bar; it has no behaviour of its own
// and cannot be closed from its title bar.
class Form4 : public Window {
    Q_OBJECT
public:
    Form4();
    QLabel* Label1;

protected:
    void TitleBarClose() override {}
};
