#pragma once

// Tells Qt's accessibility layer (which Windows' UI Automation and Linux's AT-SPI read)
// what the program's own widgets are: each window a window or dialog named by its
// caption, each status label a status bar named by its text. Installed once.
void InstallAccessibility();
