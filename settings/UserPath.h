#pragma once
#include <QString>

// The per-user folder: $VORLOG_USER_PATH when set, else $XDG_DATA_HOME/Vorlog/
// (default ~/.local/share/Vorlog/). Always ends with '/'.
QString userPath();

// Creates the user path and its sub-folders where missing; false when it cannot.
bool ensureUserPath();

// The configuration file inside the user path.
QString configurationFilePath();
