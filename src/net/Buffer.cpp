#include "net/Buffer.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int size) : FBuf(size > 0 ? size : WSocketBufferSize) {}

int TBuffer::Write(const char *data, int len) {
  const int n = std::max(0, std::min(len, Size() - FWrCount));
  if (n > 0) std::memcpy(FBuf.data() + FWrCount, data, n);
  FWrCount += n;
  return n;
}

const char *TBuffer::Peek(int *len) const {
  *len = FWrCount - FRdCount;
  return *len > 0 ? FBuf.data() + FRdCount : nullptr;
}

int TBuffer::Remove(int n) {
  const int k = std::max(0, std::min(n, FWrCount - FRdCount));
  FRdCount += k;
  if (FRdCount >= FWrCount) FRdCount = FWrCount = 0;
  return k;
}

void TBuffer::Resize(int size) {
  if (size <= 0) size = WSocketBufferSize;
  size = std::max(size, FWrCount);  // keep what is stored
  FBuf.resize(size);
}
