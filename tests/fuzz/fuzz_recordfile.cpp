// Any bytes as a record file: reading every record and labelling it must not crash.
#include <cstdlib>

#include "recording/RecordFile.h"
#include "recording/RecordText.h"
#include "settings/MessageSink.h"
#include "tests/fuzz/FuzzScratch.h"

namespace {
struct Quiet : MessageSink {
  void reportError(int, int, const QString&, const char*, int) override {}
  int showMessage(int, int, MessageKind, ButtonSet) override { return ResultOk; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString path = fuzz::scratch() + QStringLiteral("input.vrd");
  if (!fuzz::writeInput(path, data, size)) return 0;
  Quiet quiet;
  RecordFile file(quiet);
  file.setName(path);
  if (file.OpenRecordFile(RecordFile::Handle::View) < 0) return 0;
  const int64_t n = file.viewRecordCount();
  for (int64_t i = -1; i <= n; ++i) {
    file.ReadRecordAt(int32_t(i));
    (void)markLabel(file.readBuffer());
    (void)formatOleDate(file.readBuffer().timeStamp);
  }
  file.ShowRecordFileLine(fuzz::scratch());

  // What appending looks at before it touches anything: the first and the last whole record.
  if (file.acquireRecording() < 0) return 0;
  EventRecord first = zeroRecord(), last = zeroRecord();
  if (const int64_t whole = file.readEnds(first, last)) (void)isContinuableRecording(first, last, whole - 1);
  if (file.recordingSize() != int64_t(size)) std::abort();  // looking never changes the file
  file.releaseRecording();
  return 0;
}
