#pragma once
// A real POP3 server for the tests: Dovecot with a private configuration in a temporary
// folder, listening on a free port of 127.0.0.1, over one maildir the test fills.
//
//   Pop3ServerFixture server;              // starts Dovecot (throws std::runtime_error)
//   server.AddMessage("Subject: x\r\n\r\nbody\r\n");
//   cli.Host = server.Host(); cli.Port = server.PortText();
//   cli.UserName = server.User(); cli.PassWord = server.Password();
//
// Messages are numbered in the order they were added. The destructor stops Dovecot and
// waits for it, so no process is left behind.
#include <QTemporaryDir>

#include <cstddef>
#include <memory>
#include <string>

class QProcess;

class Pop3ServerFixture {
public:
  // With a certificate TLS is required: STLS on Port(), TLS from the first byte on TlsPort().
  explicit Pop3ServerFixture(std::string user = "tester", std::string password = "secret", std::string certFile = {},
                             std::string keyFile = {});
  ~Pop3ServerFixture();
  Pop3ServerFixture(const Pop3ServerFixture &) = delete;
  Pop3ServerFixture &operator=(const Pop3ServerFixture &) = delete;

  std::string Host() const { return "127.0.0.1"; }
  int Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }
  int TlsPort() const { return tlsPort_; }
  const std::string &User() const { return user_; }
  const std::string &Password() const { return password_; }

  // Stores one message in the maildir (any line ends; kept with LF as maildirs do).
  void AddMessage(const std::string &raw);
  // Messages now in the maildir, read or not.
  std::size_t MessageCount() const;
  // Dovecot's log, for failure messages.
  std::string Log() const;

private:
  std::string Config() const;
  void Stop();

  QTemporaryDir dir_;
  std::string root_, maildir_;
  std::string user_, password_;
  std::string cert_, key_;
  int port_ = 0;
  int tlsPort_ = 0;
  std::unique_ptr<QProcess> dovecot_;
  unsigned counter_ = 0;
};
