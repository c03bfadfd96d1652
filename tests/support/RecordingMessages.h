#pragma once
#include <QString>
#include <vector>

#include "settings/MessageSink.h"

// Collects what the core reports; questions get a preset answer.
struct RecordingMessages : MessageSink {
  struct Report {
    int title, message;
    QString extra;
  };
  std::vector<Report> reports;
  std::vector<std::pair<int, int>> shown;  // title, text
  int answer = ResultOk;
  void reportError(int title, int message, const QString& extra, const char*, int) override {
    reports.push_back({title, message, extra});
  }
  int showMessage(int title, int text, MessageKind, ButtonSet) override {
    shown.emplace_back(title, text);
    return answer;
  }
};
