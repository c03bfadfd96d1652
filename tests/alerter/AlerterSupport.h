#pragma once
#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <cmath>

// Runs the event loop until the condition holds or the time is up.
template <class Condition>
bool waitUntil(Condition condition, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// A mono 16-bit PCM WAV file with a 440 Hz tone of the given length.
inline bool writeToneWav(const QString& path, int milliseconds) {
  constexpr quint32 kRate = 8000;
  const quint32 samples = kRate * quint32(milliseconds) / 1000;
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  QDataStream out(&file);
  out.setByteOrder(QDataStream::LittleEndian);
  out.writeRawData("RIFF", 4);
  out << quint32(36 + samples * 2);
  out.writeRawData("WAVEfmt ", 8);
  out << quint32(16) << quint16(1) << quint16(1) << kRate << quint32(kRate * 2) << quint16(2) << quint16(16);
  out.writeRawData("data", 4);
  out << quint32(samples * 2);
  for (quint32 i = 0; i < samples; ++i) out << qint16(8000 * std::sin(2 * M_PI * 440 * i / kRate));
  return out.status() == QDataStream::Ok;
}
