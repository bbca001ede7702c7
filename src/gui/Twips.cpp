#include "gui/Twips.h"

#include <QApplication>
#include <QFontInfo>
#include <cmath>

// The point size of the system's dialog font at 100 % (Windows' message font, Qt's
// default elsewhere), which the twip tables fit.
constexpr double DesignPointSize = 9.0;

double TextScale()
{
    const double points = QFontInfo(QApplication::font()).pointSizeF();
    return points > DesignPointSize ? points / DesignPointSize : 1.0;
}

int TwipsToPixels(int twips)
{
    return int(std::floor(twips * TextScale() / 15.0 + 0.5));
}
