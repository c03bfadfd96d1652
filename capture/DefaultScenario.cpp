#include "capture/Scenario.h"

// The built-in scenario (format: see the README). About 6 seconds per loop when the
// port runs at 9600 baud.
QByteArray defaultScenarioText() {
  return QByteArrayLiteral(R"SCENARIO(# Vorlog built-in scenario: a terminal (DTE, line D1) dials out through a
# modem (DCE, line D2), exchanges some data, hangs up, and starts again.
repeat forever
  # The terminal comes up: DTR, then RTS. The modem answers with DSR and CTS.
  set dtr=1
  wait 120ms
  set rts=1
  wait 30ms
  set dsr=1
  wait 15ms
  set cts=1
  wait 250ms

  # Wake the modem up and reset it.
  d1 "AT\r"
  sync
  wait 25ms
  d2 "\r\nOK\r\n"
  wait 150ms
  d1 "ATZ\r"
  sync
  wait 180ms
  d2 "\r\nOK\r\n"
  wait 200ms

  # Dial. The modem reports the far end ringing on RI, then carrier.
  d1 "ATDT0301234567\r"
  sync
  wait 350ms
  repeat 2
    set ri=1
    wait 150ms
    set ri=0
    wait 250ms
  end
  d2 "\r\nCONNECT 9600\r\n"
  set dcd=1
  sync
  wait 200ms

  # Online: a request from the terminal, the host answers while it is still sending.
  d1 "GET /status HTTP/1.0\r\nHost: 10.0.0.7\r\nUser-Agent: vorlog-term/1.0\r\n"
  d1 "Accept: text/plain\r\nX-Serial: 0042-7781-AB\r\n\r\n"
  wait 45ms
  d2 "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n"
  d2 "node=relay-7 uptime=183412s temp=41.5C\r\n"
  d2 "line=ok code="
  # A character hit by noise on the way from the modem.
  error d2 parity 37
  d2 "3 queued=3\r\n"
  d2 "log: 0000 boot\r\nlog: 0113 link up\r\nlog: 0840 poll ok\r\nlog: 1290 poll ok\r\n"
  d2 01 02 7F 80 FE FF 1B "[0m" 0D 0A
  sync
  wait 60ms
  d1 "ACK 1 " 06 0D 0A
  d1 "PUT /cfg HTTP/1.0\r\nContent-Length: 24\r\n\r\nrate=9600\r\nmode=relay\r\n"
  sync
  wait 40ms
  d2 "HTTP/1.0 204 No Content\r\n\r\n"
  sync
  wait 30ms
  d2 "BYE\r\n"
  sync

  # Escape to command mode (guard time around +++), hang up.
  wait 1s
  d1 "+++"
  sync
  wait 1s
  d2 "\r\nOK\r\n"
  wait 200ms
  d1 "ATH\r"
  sync
  wait 120ms
  set dcd=0
  d2 "\r\nNO CARRIER\r\n"
  sync
  wait 100ms

  # The terminal drops its handshake lines, the modem follows.
  set rts=0
  wait 20ms
  set cts=0
  wait 80ms
  set dtr=0
  wait 30ms
  set dsr=0

  # A pause, then again.
  wait 500ms
end
)SCENARIO");
}
