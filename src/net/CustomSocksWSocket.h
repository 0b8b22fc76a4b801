#pragma once
// The SOCKS 4 / 5 relay layer: connects through a SOCKS server when one is set.
#include "net/CustomWSocket.h"

class TCustomSocksWSocket : public TCustomWSocket {
public:
  void Connect() override;
  void Listen() override;
  const std::string &SocksLevel() const { return FSocksLevel; }
  void SetSocksLevel(const std::string &value);
  const std::string &SocksServer() const { return FSocksServer; }
  void SetSocksServer(const std::string &value);
  const std::string &SocksPort() const { return FSocksPort; }
  void SetSocksPort(const std::string &value);
  std::string SocksUsercode;
  std::string SocksPassword;
  TSocksAuthentication SocksAuthentication = socksNoAuthentication;

  TSessionConnected OnSocksConnected;
  TSocksErrorEvent OnSocksError;
  TSocksAuthStateEvent OnSocksAuthState;

protected:
  void ResetDefaults() override;
  void TriggerSessionConnected(uint16_t error) override;
  void TriggerDataAvailable(uint16_t error) override;
  bool SocksHandshaking() const { return FSocksPhase != spNone; }

private:
  enum SocksPhase { spNone, spGreeting, spAuth, spRequest };
  void SocksFailed(int error, const std::string &msg);
  void SocksDone();
  void SendSocksRequest();
  std::string FSocksLevel = "5", FSocksServer, FSocksPort;
  std::string FTargetAddr, FTargetPort;
  SocksPhase FSocksPhase = spNone;
  std::string FSocksIn;  // reply bytes gathered during the handshake
};
