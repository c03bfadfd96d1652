#pragma once
#include <cstdint>

enum class Parity : uint8_t { None, Odd, Even, Mark, Space };

// Line settings as the serial component takes them. stopBits is the component's
// number: 1 or 2, where 2 at 5 data bits stands for 1.5 stop bits.
struct LineSettings {
  int32_t baud = 4800;
  int dataBits = 8;
  Parity parity = Parity::None;
  int stopBits = 1;

  bool operator==(const LineSettings&) const = default;
  // Bits on the wire for one character: start + data + parity + stop.
  int bitsPerCharacter() const { return dataBits + stopBits + (parity == Parity::None ? 0 : 1) + 1; }
};
