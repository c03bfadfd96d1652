#pragma once
#include <QString>

// The program's version as the build gave it (the project version, "major.minor.patch").
QString appVersion();
