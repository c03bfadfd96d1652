#include "settings/ErrorReport.h"

#include <QFileInfo>

#include "settings/MessageSink.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int FatalTitle = 21, Unexpected = 22, NoTitle = 23;
constexpr int ReportRequestFirst = 31, ReportRequestLast = 35;
constexpr int LineLabel = 4270, ErrorLabel = 4276, TitleLabel = 4277, ProgramLabel = 4278, FileLabel = 4279;
constexpr int Ok = 6006, Yes = 6007, No = 6008, Cancel = 6003;
}  // namespace TextNo

std::vector<MessageButton> buttonsOf(ButtonSet set) {
  switch (set) {
    case ButtonSet::Ok: return {{2, TextNo::Ok, ResultOk}};
    case ButtonSet::YesNoCancel:
      return {{1, TextNo::Yes, ResultYes}, {2, TextNo::No, ResultNo}, {3, TextNo::Cancel, ResultCancel}};
    case ButtonSet::YesNo: return {{1, TextNo::Yes, ResultYes}, {3, TextNo::No, ResultNo}};
  }
  return {{2, TextNo::Ok, ResultClosed}};
}

int safeAnswer(ButtonSet set) {
  switch (set) {
    case ButtonSet::Ok: return ResultOk;
    case ButtonSet::YesNoCancel: return ResultCancel;
    case ButtonSet::YesNo: return ResultNo;
  }
  return ResultClosed;
}

ErrorReport composeErrorReport(int titleText, int messageText, const QString& extra, const QString& sourceFile,
                               int sourceLine, const QString& applicationTitle, const QString& programPath) {
  ErrorReport r;
  r.title = titleText > 0 ? Texts::text(titleText) : QString();
  if (r.title.isEmpty()) r.title = Texts::text(TextNo::NoTitle);
  r.title += QStringLiteral(" [") + QString::number(messageText) + QLatin1Char(']');
  const QString message = messageText > 0 ? Texts::text(messageText) : QString();
  if (!message.isEmpty()) {
    r.text = message + extra;
    return r;
  }
  r.fullForm = true;
  r.title = Texts::text(TextNo::FatalTitle);
  QStringList lines;
  lines << Texts::text(TextNo::ErrorLabel) + extra.trimmed() << Texts::text(TextNo::TitleLabel) + applicationTitle
        << Texts::text(TextNo::ProgramLabel) + programPath
        << Texts::text(TextNo::FileLabel) + QFileInfo(sourceFile).fileName()
        << Texts::text(TextNo::LineLabel) + QString::number(sourceLine) << QString()
        << Texts::text(TextNo::Unexpected);
  for (int n = TextNo::ReportRequestFirst; n <= TextNo::ReportRequestLast; ++n) lines << Texts::text(n);
  r.text = lines.join(QLatin1Char('\n'));
  return r;
}
