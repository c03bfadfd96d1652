#pragma once
#include <QString>

// Where a record file named by the user lies, the same for every command: a name with
// a folder is taken as given; a bare name is the file in the current folder when it is
// there, else the one in the user path's recordings folder. The result is absolute, so
// that the path actually used can be shown.
QString resolveRecordFileName(const QString& name, const QString& userPath);
