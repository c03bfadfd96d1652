#include <gtest/gtest.h>

#include <QRegularExpression>

#include "shell/AppVersion.h"

// The update check compares this text as numbers: it must be one.
TEST(AppVersion, IsDottedNumbers) {
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+(\\.\\d+){1,3}$")).match(appVersion()).hasMatch()) << qPrintable(appVersion());
}
