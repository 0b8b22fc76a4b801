#pragma once
// The TLS layer, between the SOCKS relay and the line mode.
#include "net/CustomSocksWSocket.h"

// How a mail session is secured: not at all, TLS on request after a command, or TLS from the
// first byte.
enum TMailSecurity { secNone, secStartTls, secSslTls };

// Errors of the TLS layer; the socket's LastErrorMessage says what happened.
enum : int { sslHandshakeFailed = 13001, sslCertificateRefused = 13002, sslHandshakeTimeout = 13003, sslSessionFailed = 13004 };
inline bool IsSslError(int error) { return error >= sslHandshakeFailed && error <= sslSessionFailed; }

// TLS over the same non-blocking handle, started at connect (SslImplicit) or on request
// (StartTls). The handshake runs on notifiers of its own while the plain ones are paused;
// afterwards reads and writes go through TLS and the layers above see plain bytes.
class TCustomSslWSocket : public TCustomSocksWSocket {
public:
  TCustomSslWSocket();
  ~TCustomSslWSocket() override;

  bool SslImplicit = false;          // handshake right after connecting
  std::string SslHostName;           // checked against the certificate; Addr when empty
  std::string SslTrustedFingerprint; // SHA-256 of a certificate the user accepted for this server
  std::string SslCAFile;             // trust anchors added to the system store
  int SslHandshakeTimeout = 30000;   // milliseconds
  // Starts TLS on the open session now; OnSslHandshakeDone tells how it ended.
  void StartTls();
  bool SslActive() const;
  // SHA-256 of the server's certificate, "AB:CD:...", once the handshake has seen it.
  const std::string &SslPeerFingerprint() const;
  bool SslSessionReused() const;
  TSessionConnected OnSslHandshakeDone;

protected:
  void ResetDefaults() override;
  void TriggerSessionConnected(uint16_t error) override;
  int SocketRecv(void *buffer, int size) override;
  int SocketPending() override;
  ssize_t SocketWrite(const iovec *iov, int count) override;
  void TransportClosing(bool graceful) override;
  // Bytes received in clear text before TLS started must not be read as if they were secure.
  virtual void DropReceived() {}

private:
  friend struct TSslState;
  void HandshakeStep();
  void HandshakeEnded(int error, const std::string &message);
  void PumpReads();
  void PostRecheck();
  std::unique_ptr<struct TSslState> FSsl;
};
