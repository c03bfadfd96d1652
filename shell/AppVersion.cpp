#include "shell/AppVersion.h"

QString appVersion() { return QStringLiteral(VORLOG_VERSION); }
