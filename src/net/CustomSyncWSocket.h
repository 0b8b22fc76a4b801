#pragma once
// The wait routine: runs the event loop until a flag is set.
#include "net/CustomLineWSocket.h"

class TCustomSyncWSocket : public TCustomLineWSocket {
public:
  // Blocks in the event loop until `flag` is true (0), or gives up with 12001 after
  // `timeoutMs` milliseconds (0: no limit) or when the application is closing down.
  int WaitUntilReady(const bool &flag, int timeoutMs);
  // Runs `op`, then waits for `flag` as above.
  int Synchronize(const std::function<void()> &op, const bool &flag, int timeoutMs);
};
