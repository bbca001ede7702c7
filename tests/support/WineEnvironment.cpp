// Linked into every Windows test program. The QT_* variables of the Linux side do not
// reach a program under Wine, so the ones the tests need are set here, before Qt starts:
// the headless platform, and fonts for it (the offscreen platform of a static Windows Qt
// reads font files from a folder; Linux's are reached through Wine's Z: drive).
#include <QByteArray>
#include <QtGlobal>

namespace {

const bool environmentSet = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QPA_FONTDIR", "Z:" MORVANTIL_FONT_DIR);
    return true;
}();

}  // namespace
