#pragma once
// The command exchange with the unit: single command bytes, each answered by
// the unit with the byte + 10, read synchronously and without the receive
// buffer. The waits block the calling (user-interface) thread on purpose, so
// no receive notification runs in the middle of an exchange; they are timed
// with a monotonic clock, so a change of the wall clock (midnight, a time
// server) neither ends a wait early nor makes it endless.
//
// The main link and the diagnostics window each call these on their own port.

#include <cstdint>

namespace qqc {

class SerialPort;

namespace LinkStatus {
constexpr int Ok = 0;
constexpr int Failed = -1;
} // namespace LinkStatus

// Takes one byte from the port's input; -1 when none is waiting.
int ReadLinkByte(SerialPort& port);

// Waits until a byte is waiting and reads it into `byte` (returns 0), or until
// `timeoutSeconds` have passed (returns -1). A time-out below 1 waits without
// limit for as long as the port stays open; a closed port fails at once.
int WaitForByte(SerialPort& port, int timeoutSeconds, std::uint8_t& byte);

// Writes `command`, then reads bytes until one equals command + 10 (returns
// 0). Other bytes are dropped. Fails (-1) after the second one-second wait
// that ends without any byte, when the write fails, or when the answer has
// not come within `maxSeconds` (a unit that keeps talking without answering
// cannot hold the program forever).
constexpr int MaxExchangeSeconds = 10;
int SendCommandByte(SerialPort& port, std::uint8_t command, int maxSeconds = MaxExchangeSeconds);

// Writes a 16-bit word as two single bytes, high byte first; no answer is
// awaited.
void SendWord(SerialPort& port, std::int16_t value);

// Drops every byte waiting in the input.
void flushLinkInput(SerialPort& port);

} // namespace qqc
