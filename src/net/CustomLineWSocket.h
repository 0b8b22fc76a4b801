#pragma once
// The line mode: delivers received data a line at a time.
#include "net/CustomSslWSocket.h"

class TCustomLineWSocket : public TCustomSslWSocket {
public:
  int32_t RcvdCount() override;
  bool LineMode() const { return FLineMode; }
  void SetLineMode(bool value);
  std::string LineEnd = "\r\n";
  bool LineEcho = false;
  bool LineEdit = false;

protected:
  int DoRecv(void *buffer, int size) override;
  void TriggerDataAvailable(uint16_t error) override;
  void TriggerSessionClosed(uint16_t error) override;
  void DropReceived() override;

private:
  void DeliverLines(int searchFrom, uint16_t error);
  void DeliverHeld(uint16_t error);
  bool FLineMode = false;
  std::vector<char> FRcvBuf;
  int FRcvCnt = 0;
  int FLineLength = 0;
  bool FLineReceived = false;
};
