// The TLS layer of the socket: OpenSSL over the socket's own non-blocking handle.
#include "net/CustomSslWSocket.h"
#include "net/SslFingerprint.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <mutex>

namespace {

// The last OpenSSL reason in the thread's queue, which is emptied.
std::string OpenSslReason() {
  std::string reason;
  while (const unsigned long e = ERR_get_error()) {
    const char *r = ERR_reason_error_string(e);
    reason = r ? r : "error " + std::to_string(e);
  }
  return reason;
}

// Sessions worth resuming, by "host:port", shared by every socket of the process.
struct SessionCache {
  std::mutex Mutex;
  std::map<std::string, SSL_SESSION *> Sessions;
  ~SessionCache() {
    for (auto &kv : Sessions) SSL_SESSION_free(kv.second);
  }
  void Put(const std::string &key, SSL_SESSION *s) {
    std::lock_guard<std::mutex> lock(Mutex);
    SSL_SESSION *&slot = Sessions[key];
    if (slot) SSL_SESSION_free(slot);
    slot = s;
  }
  SSL_SESSION *Get(const std::string &key) {  // a new reference, or nullptr
    std::lock_guard<std::mutex> lock(Mutex);
    auto it = Sessions.find(key);
    if (it == Sessions.end()) return nullptr;
    SSL_SESSION_up_ref(it->second);
    return it->second;
  }
  void Drop(const std::string &key) { Put(key, nullptr); }
};

SessionCache &Cache() {
  static SessionCache cache;
  return cache;
}

int SessionKeyIndex() {
  static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

int NewSession(SSL *ssl, SSL_SESSION *session) {
  const auto *key = static_cast<const std::string *>(SSL_get_ex_data(ssl, SessionKeyIndex()));
  if (!key || !SSL_SESSION_is_resumable(session)) return 0;
  Cache().Put(*key, session);
  return 1;  // the cache keeps the reference
}

struct CtxFree {
  void operator()(SSL_CTX *c) const { SSL_CTX_free(c); }
};

// One context per set of extra trust anchors: TLS 1.2 at least, the system store, no
// renegotiation, client-side session tickets kept for resumption.
SSL_CTX *ContextFor(const std::string &caFile, std::string *error) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<SSL_CTX, CtxFree>> contexts;
  std::lock_guard<std::mutex> lock(mutex);
  auto &slot = contexts[caFile];
  if (slot) return slot.get();
  // A peer that vanishes while TLS writes through the handle must give an error, not kill us.
  std::signal(SIGPIPE, SIG_IGN);
  std::unique_ptr<SSL_CTX, CtxFree> ctx(SSL_CTX_new(TLS_client_method()));
  if (!ctx) {
    *error = "Cannot set up TLS: " + OpenSslReason();
    return nullptr;
  }
  SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
  SSL_CTX_set_options(ctx.get(), SSL_OP_NO_RENEGOTIATION);
  SSL_CTX_set_mode(ctx.get(), SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_CTX_set_default_verify_paths(ctx.get());
  if (!caFile.empty() && SSL_CTX_load_verify_locations(ctx.get(), caFile.c_str(), nullptr) != 1) {
    *error = "Cannot read the certificate file " + caFile + ": " + OpenSslReason();
    contexts.erase(caFile);
    return nullptr;
  }
  SSL_CTX_set_session_cache_mode(ctx.get(), SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
  SSL_CTX_sess_set_new_cb(ctx.get(), NewSession);
  slot = std::move(ctx);
  return slot.get();
}

std::string CertificateFingerprint(X509 *cert) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (X509_digest(cert, EVP_sha256(), md, &len) != 1) return std::string();
  return FormatFingerprint(md, len);
}

bool IsIpAddress(const std::string &host) {
  in_addr a{};
  return inet_pton(AF_INET, host.c_str(), &a) == 1;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

struct TSslState {
  SSL *Ssl = nullptr;
  std::string SessionKey;
  bool Handshaking = false;
  bool Established = false;
  bool Implicit = false;   // the connect event waits for the handshake
  bool Dead = false;       // a fatal error or the peer's close_notify: no more TLS traffic
  bool Failed = false;     // a fatal error: not even a close_notify may follow
  bool ClosePosted = false;
  bool RecheckPosted = false;  // a look at the clear text left after this read event is due
  std::string Plain;       // received clear text not yet read
  size_t PlainPos = 0;
  std::string Out;         // the record being written; retried with the same bytes
  std::string Fingerprint;
  std::unique_ptr<QSocketNotifier> ReadN, WriteN;
  std::unique_ptr<QTimer> Timer;

  ~TSslState() {
    StopNotifiers();
    if (Ssl) SSL_free(Ssl);
  }
  void StopNotifiers() {
    for (auto *n : {&ReadN, &WriteN}) {
      if (!*n) continue;
      (*n)->setEnabled(false);
      QObject::disconnect(n->get(), nullptr, nullptr, nullptr);
      n->release()->deleteLater();  // it may be the one whose signal runs now
    }
    if (Timer) {
      Timer->stop();
      QObject::disconnect(Timer.get(), nullptr, nullptr, nullptr);
      Timer.release()->deleteLater();
    }
  }
  size_t PlainSize() const { return Plain.size() - PlainPos; }
};

TCustomSslWSocket::TCustomSslWSocket() = default;
TCustomSslWSocket::~TCustomSslWSocket() = default;

bool TCustomSslWSocket::SslActive() const { return FSsl && FSsl->Established && !FSsl->Dead; }

const std::string &TCustomSslWSocket::SslPeerFingerprint() const {
  static const std::string none;
  return FSsl ? FSsl->Fingerprint : none;
}

bool TCustomSslWSocket::SslSessionReused() const { return FSsl && FSsl->Ssl && SSL_session_reused(FSsl->Ssl); }

void TCustomSslWSocket::ResetDefaults() {
  TCustomSocksWSocket::ResetDefaults();
  FSsl.reset();
}

void TCustomSslWSocket::TriggerSessionConnected(uint16_t error) {
  if (error != 0 || !SslImplicit || SocksHandshaking()) {
    TCustomSocksWSocket::TriggerSessionConnected(error);
    return;
  }
  StartTls();
  if (FSsl) FSsl->Implicit = true;
}

void TCustomSslWSocket::StartTls() {
  if (State() != wsConnected || HSocket() == INVALID_SOCKET) {
    RaiseException("StartTls: socket not connected");
    return;
  }
  if (FSsl) {
    RaiseException("StartTls: TLS already started");
    return;
  }
  DropReceived();
  FSsl = std::make_unique<TSslState>();
  ERR_clear_error();
  std::string error;
  SSL_CTX *ctx = ContextFor(SslCAFile, &error);
  const std::string host = SslHostName.empty() ? Addr() : SslHostName;
  if (ctx) FSsl->Ssl = SSL_new(ctx);
  if (!FSsl->Ssl) {
    HandshakeEnded(sslHandshakeFailed, error.empty() ? "Cannot set up TLS: " + OpenSslReason() : error);
    return;
  }
  SSL *ssl = FSsl->Ssl;
  SSL_set_fd(ssl, HSocket());
  if (IsIpAddress(host)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
  } else {
    SSL_set_tlsext_host_name(ssl, host.c_str());
    SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    SSL_set1_host(ssl, host.c_str());
  }
  // The chain is checked by OpenSSL; the verdict is taken after the handshake, where a
  // certificate the user trusted can still be accepted.
  SSL_set_verify(ssl, SSL_VERIFY_NONE, nullptr);
  FSsl->SessionKey = host + ":" + Port();
  SSL_set_ex_data(ssl, SessionKeyIndex(), &FSsl->SessionKey);
  if (SSL_SESSION *saved = Cache().Get(FSsl->SessionKey)) {
    SSL_set_session(ssl, saved);
    SSL_set_session(ssl, saved);
    SSL_SESSION_free(saved);
  }
  FSsl->Handshaking = true;
  Pause();  // the plain notifiers rest while the handshake has its own
  FSsl->ReadN = std::make_unique<QSocketNotifier>(HSocket(), QSocketNotifier::Read);
  FSsl->WriteN = std::make_unique<QSocketNotifier>(HSocket(), QSocketNotifier::Write);
  // The first step comes from the event loop (the handle is writable), so that the end of the
  // handshake is never reported from inside this call.
  FSsl->ReadN->setEnabled(false);
  QObject::connect(FSsl->ReadN.get(), &QSocketNotifier::activated, FSsl->ReadN.get(), [this]() { HandshakeStep(); });
  QObject::connect(FSsl->WriteN.get(), &QSocketNotifier::activated, FSsl->WriteN.get(), [this]() { HandshakeStep(); });
  FSsl->Timer = std::make_unique<QTimer>();
  FSsl->Timer->setSingleShot(true);
  QObject::connect(FSsl->Timer.get(), &QTimer::timeout, FSsl->Timer.get(), [this]() {
    HandshakeEnded(sslHandshakeTimeout, "The TLS handshake timed out: the server did not answer");
  });
  if (SslHandshakeTimeout > 0) FSsl->Timer->start(SslHandshakeTimeout);
}

void TCustomSslWSocket::HandshakeStep() {
  if (!FSsl || !FSsl->Handshaking) return;
  ERR_clear_error();
  const int r = SSL_connect(FSsl->Ssl);
  if (r == 1) {
    X509 *cert = SSL_get1_peer_certificate(FSsl->Ssl);
    FSsl->Fingerprint = cert ? CertificateFingerprint(cert) : std::string();
    const long verdict = SSL_get_verify_result(FSsl->Ssl);
    X509_free(cert);
    std::string refusal;
    if (!cert)
      refusal = "The server sent no certificate";
    else if (verdict != X509_V_OK && !SameFingerprint(SslTrustedFingerprint, FSsl->Fingerprint))
      refusal = SslRefusalText(X509_verify_cert_error_string(verdict), FSsl->Fingerprint);
    if (!refusal.empty()) {
      Cache().Drop(FSsl->SessionKey);
      HandshakeEnded(sslCertificateRefused, refusal);
      return;
    }
    HandshakeEnded(0, std::string());
    return;
  }
  const int e = SSL_get_error(FSsl->Ssl, r);
  if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
    FSsl->ReadN->setEnabled(e == SSL_ERROR_WANT_READ);
    FSsl->WriteN->setEnabled(e == SSL_ERROR_WANT_WRITE);
    return;
  }
  FSsl->Dead = FSsl->Failed = true;
  const std::string reason = OpenSslReason();
  if (e == SSL_ERROR_SYSCALL || e == SSL_ERROR_ZERO_RETURN || reason.empty())
    HandshakeEnded(sslHandshakeFailed, "The server closed the connection during the TLS handshake");
  else
    HandshakeEnded(sslHandshakeFailed, "The TLS handshake failed: " + reason);
}

void TCustomSslWSocket::HandshakeEnded(int error, const std::string &message) {
  if (!FSsl || !FSsl->Handshaking) return;
  FSsl->Handshaking = false;
  FSsl->StopNotifiers();
  const bool implicit = FSsl->Implicit;
  if (error == 0) {
    FSsl->Established = true;
  } else {
    FSsl->Dead = FSsl->Failed = true;
    SetLastError(error);
    SetLastErrorMessage(message);
  }
  Resume();
  // Bytes that came with the last handshake records wait inside TLS, where no notifier sees them.
  if (error == 0 && SSL_has_pending(FSsl->Ssl)) Post([this]() { Dispatch(fdRead, 0); });
  try {
    if (implicit)
      TCustomSocksWSocket::TriggerSessionConnected(static_cast<uint16_t>(error));
    else if (OnSslHandshakeDone)
      OnSslHandshakeDone(this, static_cast<uint16_t>(error));
  } catch (const std::exception &ex) {
    HandleBackgroundException(ex);
  }
  // A failed handshake leaves nothing usable: no clear text after a TLS attempt.
  if (error != 0 && HSocket() != INVALID_SOCKET && State() != wsClosed) Close();
}

void TCustomSslWSocket::PumpReads() {
  if (FSsl->Dead || FSsl->Handshaking) return;
  if (FSsl->PlainPos > 0 && FSsl->PlainPos == FSsl->Plain.size()) {
    FSsl->Plain.clear();
    FSsl->PlainPos = 0;
  }
  char buf[16384];
  for (;;) {
    ERR_clear_error();
    const int r = SSL_read(FSsl->Ssl, buf, sizeof buf);
    if (r > 0) {
      FSsl->Plain.append(buf, static_cast<size_t>(r));
      continue;
    }
    const int e = SSL_get_error(FSsl->Ssl, r);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) return;
    // The peer's close_notify, its plain close, or damage: the session is over either way.
    FSsl->Dead = true;
    FSsl->Failed = e != SSL_ERROR_ZERO_RETURN;
    int error = 0;
    if (e != SSL_ERROR_ZERO_RETURN) {
      const std::string reason = OpenSslReason();
      if (!reason.empty()) {
        error = sslSessionFailed;
        SetLastErrorMessage("The TLS session failed: " + reason);
      }
    }
    if (!FSsl->ClosePosted) {
      FSsl->ClosePosted = true;
      Post([this, error]() { Dispatch(fdClose, static_cast<uint16_t>(error)); });
    }
    return;
  }
}

int TCustomSslWSocket::SocketPending() {
  if (!FSsl) return TCustomSocksWSocket::SocketPending();
  PumpReads();
  return static_cast<int>(FSsl->PlainSize());
}

int TCustomSslWSocket::SocketRecv(void *buffer, int size) {
  if (!FSsl) return TCustomSocksWSocket::SocketRecv(buffer, size);
  if (FSsl->PlainSize() == 0) PumpReads();
  const size_t n = std::min(FSsl->PlainSize(), static_cast<size_t>(std::max(0, size)));
  if (n == 0) {
    if (FSsl->Dead) return 0;
    SetLastError(WSAEWOULDBLOCK);
    return -1;
  }
  std::memcpy(buffer, FSsl->Plain.data() + FSsl->PlainPos, n);
  FSsl->PlainPos += n;
  PostRecheck();
  return static_cast<int>(n);
}

void TCustomSslWSocket::PostRecheck() {
  // Clear text decrypted while the reader was busy waits here or inside OpenSSL, where no
  // notifier of the handle sees it. Once the event that read has ended, a reader that took
  // something is called again for what is left; one that took nothing is not, or it would
  // be called for ever.
  if (FSsl->RecheckPosted) return;
  FSsl->RecheckPosted = true;
  TSslState *state = FSsl.get();
  Post([this, state]() {
    if (FSsl.get() != state) return;
    FSsl->RecheckPosted = false;
    if (FSsl->Handshaking || (FSsl->PlainSize() == 0 && (FSsl->Dead || !SSL_has_pending(FSsl->Ssl)))) return;
    Dispatch(fdRead, 0);
  });
}

namespace {
// Up to `max` bytes of `iov`, from byte `from` on.
std::string Gather(const iovec *iov, int count, size_t from, size_t max) {
  std::string out;
  for (int i = 0; i < count && out.size() < max; ++i) {
    const size_t len = iov[i].iov_len;
    if (from >= len) {
      from -= len;
      continue;
    }
    const size_t take = std::min(len - from, max - out.size());
    out.append(static_cast<const char *>(iov[i].iov_base) + from, take);
    from = 0;
  }
  return out;
}
}  // namespace

ssize_t TCustomSslWSocket::SocketWrite(const iovec *iov, int count) {
  if (!FSsl) return TCustomSocksWSocket::SocketWrite(iov, count);
  if (!FSsl->Established || FSsl->Dead) {
    errno = FSsl->Handshaking ? EAGAIN : ECONNRESET;
    return -1;
  }
  // One record at a time. A record that could not leave is retried with the same bytes,
  // which are still the first ones the caller holds.
  constexpr size_t kRecord = 16384;
  size_t total = 0;
  if (FSsl->Out.empty()) FSsl->Out = Gather(iov, count, 0, kRecord);
  while (!FSsl->Out.empty()) {
    ERR_clear_error();
    const int r = SSL_write(FSsl->Ssl, FSsl->Out.data(), static_cast<int>(FSsl->Out.size()));
    if (r <= 0) {
      const int e = SSL_get_error(FSsl->Ssl, r);
      if (e == SSL_ERROR_WANT_WRITE || e == SSL_ERROR_WANT_READ) break;
      FSsl->Dead = FSsl->Failed = true;
      FSsl->Out.clear();
      const std::string reason = OpenSslReason();
      SetLastErrorMessage("The TLS session failed: " + (reason.empty() ? std::string("write error") : reason));
      if (total > 0) return static_cast<ssize_t>(total);
      errno = ECONNRESET;
      return -1;
    }
    total += static_cast<size_t>(r);
    FSsl->Out = Gather(iov, count, total, kRecord);
  }
  if (total == 0) {
    errno = EAGAIN;
    return -1;
  }
  return static_cast<ssize_t>(total);
}

void TCustomSslWSocket::TransportClosing(bool graceful) {
  if (!FSsl) return;
  FSsl->StopNotifiers();
  // close_notify, once and without waiting for the answer: the handle closes right after. An
  // orderly end also keeps the session worth resuming.
  if (graceful && FSsl->Established && !FSsl->Failed) {
    ERR_clear_error();
    SSL_shutdown(FSsl->Ssl);
    ERR_clear_error();
  }
  FSsl->Dead = true;
}
