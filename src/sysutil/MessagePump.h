// The setup driver's message pump: dispatches every waiting window message and
// returns. The long work steps call it between their pieces so that the
// screens stay alive; tests and the packer run them without one.
#pragma once

typedef void (*TMessagePump)();

inline void Pump(TMessagePump pump) {
  if (pump) pump();
}
