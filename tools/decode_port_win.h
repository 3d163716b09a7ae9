// Live decoding from a COM port, through the program's own serial driver.
#pragma once

#include <functional>

// Opens COM<port> at the instrument's settings and hands every received byte
// to onByte until `seconds` have passed (0: no limit) or Ctrl-C. Returns 0,
// or 2 with a message on standard error when the port cannot be opened.
int DecodeFromPort(int port, int seconds, const std::function<void(unsigned char)>& onByte);
