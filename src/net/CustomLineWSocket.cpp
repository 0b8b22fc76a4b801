#include "net/CustomLineWSocket.h"

#include <algorithm>
#include <cstring>

int32_t TCustomLineWSocket::RcvdCount() {
  if (FLineMode && !LineEnd.empty()) return FLineLength;
  if (FRcvCnt > 0) return FRcvCnt;
  return TCustomSocksWSocket::RcvdCount();
}

int TCustomLineWSocket::DoRecv(void *buffer, int size) {
  if (size <= 0) return 0;
  int avail = 0;
  if (FLineMode && FLineLength > 0) avail = FLineLength;
  else if (!FLineMode && FRcvCnt > 0) avail = FRcvCnt;
  if (avail == 0) {
    if (FLineMode && !LineEnd.empty()) return 0;  // nothing until a whole line is there
    return TCustomSocksWSocket::DoRecv(buffer, size);
  }
  const int n = std::min(size, avail);
  std::memcpy(buffer, FRcvBuf.data(), static_cast<size_t>(n));
  std::memmove(FRcvBuf.data(), FRcvBuf.data() + n, static_cast<size_t>(FRcvCnt - n));
  FRcvCnt -= n;
  if (FLineLength > 0) FLineLength -= n;
  return n;
}

void TCustomLineWSocket::SetLineMode(bool value) {
  if (FLineMode == value) return;
  FLineMode = value;
  if (FRcvCnt > 0 || FLineLength > 0) {
    // Let the handler see the held bytes again in the new mode, from the event loop.
    FLineLength = 0;
    Post([this]() {
      try {
        if (FLineMode) DeliverLines(0, 0);
        else DeliverHeld(0);
      } catch (const std::exception &e) {
        HandleBackgroundException(e);
      }
    });
  }
}

void TCustomLineWSocket::DeliverHeld(uint16_t error) {
  while (!FLineMode && FRcvCnt > 0 && OnDataAvailable) {
    const int before = FRcvCnt;
    TCustomSocksWSocket::TriggerDataAvailable(error);
    if (FRcvCnt >= before) break;
  }
}

void TCustomLineWSocket::TriggerDataAvailable(uint16_t error) {
  if (SocksHandshaking() || !FLineMode || LineEnd.empty()) {
    if (FRcvCnt > 0 && !SocksHandshaking()) DeliverHeld(error);
    if (FRcvCnt == 0) TCustomSocksWSocket::TriggerDataAvailable(error);
    return;
  }
  const int waiting = SocketPending();
  const int oldCnt = FRcvCnt;
  if (waiting > 0) {
    if (static_cast<int>(FRcvBuf.size()) < FRcvCnt + waiting + 1)
      FRcvBuf.resize(static_cast<size_t>(FRcvCnt + waiting + 1));
    int n = SocketRecv(FRcvBuf.data() + FRcvCnt, waiting);
    if (n < 1) return;
    // A tab may widen the text: leave room for it.
    if (LineEdit) {
      std::vector<char> tail(FRcvBuf.begin() + FRcvCnt, FRcvBuf.begin() + FRcvCnt + n);
      FRcvBuf.resize(static_cast<size_t>(FRcvCnt + 8 * n + 1));
      std::copy(tail.begin(), tail.end(), FRcvBuf.begin() + FRcvCnt);
      // Edit in a scratch copy so that widening never overwrites unread input.
      std::vector<char> scratch(FRcvBuf.begin(), FRcvBuf.begin() + FRcvCnt);
      std::string echo;
      for (char c : tail) {
        if (c == 8) {
          if (!scratch.empty()) {
            scratch.pop_back();
            if (LineEcho) echo += "\b \b";
          }
        } else if (c == 9) {
          do {
            scratch.push_back(' ');
            if (LineEcho) echo += ' ';
          } while (scratch.size() % 8 != 0);
        } else {
          scratch.push_back(c);
          if (LineEcho) echo += c;
        }
      }
      std::copy(scratch.begin(), scratch.end(), FRcvBuf.begin());
      n = static_cast<int>(scratch.size()) - FRcvCnt;
      if (!echo.empty() && State() == wsConnected) SendStr(echo);
    } else if (LineEcho && State() == wsConnected) {
      Send(FRcvBuf.data() + FRcvCnt, n);
    }
    FRcvCnt += n;
    FRcvBuf[static_cast<size_t>(FRcvCnt)] = 0;
  }
  DeliverLines(std::max(0, oldCnt - static_cast<int>(LineEnd.size())), error);
}

void TCustomLineWSocket::DeliverLines(int searchFrom, uint16_t error) {
  int from = searchFrom;
  for (;;) {
    if (!FLineMode || LineEnd.empty()) return;
    if (FLineLength == 0) {
      const int le = static_cast<int>(LineEnd.size());
      int found = -1;
      for (int i = from; i + le <= FRcvCnt; ++i) {
        if (FRcvBuf[static_cast<size_t>(i)] == LineEnd[0] &&
            std::memcmp(FRcvBuf.data() + i, LineEnd.data(), static_cast<size_t>(le)) == 0) {
          found = i;
          break;
        }
      }
      if (found < 0) return;  // wait for the rest of the line
      FLineLength = found + le;
      FLineReceived = true;
    }
    while (FLineMode && FLineLength > 0) {
      const int before = FLineLength;
      TCustomSocksWSocket::TriggerDataAvailable(error);
      if (FLineLength >= before) return;  // not read now: kept for the next round
    }
    from = 0;
  }
}

void TCustomLineWSocket::DropReceived() {
  FRcvCnt = 0;
  FLineLength = 0;
}

void TCustomLineWSocket::TriggerSessionClosed(uint16_t error) {
  FLineReceived = true;
  if (FLineMode && FRcvCnt > 0) {
    // What came without a line end is still a line.
    FLineLength = FRcvCnt;
    while (FLineMode && FLineLength > 0) {
      const int before = FLineLength;
      TCustomSocksWSocket::TriggerDataAvailable(error);
      if (FLineLength >= before) break;
    }
  }
  FRcvBuf.clear();
  FRcvBuf.shrink_to_fit();
  FRcvCnt = 0;
  FLineLength = 0;
  TCustomSocksWSocket::TriggerSessionClosed(error);
}
