#pragma once
// The send buffer of a socket, in chunks.
#include <vector>

// One chunk of the send buffer: data is written in at the end and sent from in place.
class TBuffer {
public:
  explicit TBuffer(int size);
  int Write(const char *data, int len);  // bytes copied (0 when full)
  // First unsent byte and the number of unsent bytes (nullptr and 0 when none).
  const char *Peek(int *len) const;
  int Remove(int n);  // marks bytes as sent; an emptied chunk starts again from its start
  void Resize(int size);
  int Size() const { return static_cast<int>(FBuf.size()); }

private:
  std::vector<char> FBuf;
  int FWrCount = 0;
  int FRdCount = 0;
};

constexpr int WSocketBufferSize = 1514;
