#pragma once
// Renders the program's windows to PNG files, for checking their look
// without a screen (the offscreen platform) and for the documentation.

#include <QString>

#include "app/MainForm.h"

namespace zar {

// Writes "<lang>-<window>.png" files into `directory` ("en" or "zh" by the
// language of the run): the main window on each page, with and without its
// service controls, and the about window. Returns the process exit code.
int takeScreenshots(const QString& directory, const MainFormOptions& options);

}  // namespace zar
