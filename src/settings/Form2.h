#pragma once
#include "ui/Form2Layout.h"

// The folder picker.
class Form2 : public Form2Layout {
    Q_OBJECT
public:
    Form2() = default;
};
