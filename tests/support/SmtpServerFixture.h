#pragma once
// A real SMTP server (Debian's python3-aiosmtpd) on a free port of 127.0.0.1, started for a
// test and stopped (and reaped) when the object goes away. Every accepted message is kept
// with its envelope; chosen recipients are refused with 550.
#include "support/ScriptProcess.h"

#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct ReceivedMessage {
  std::string MailFrom;              // the address inside MAIL FROM:<...>
  std::string MailOptions;           // what followed it ("SIZE=1234"), blank-separated
  std::vector<std::string> RcptTo;   // accepted recipients, in order
  std::string Data;                  // the message as received, CR LF line ends
};

class SmtpServerFixture {
public:
  SmtpServerFixture();  // starts the server; IsRunning() tells whether that worked
  // With the server's options (TLS, login, SIZE; see smtp_server.py).
  explicit SmtpServerFixture(const QStringList &options);
  ~SmtpServerFixture();
  SmtpServerFixture(const SmtpServerFixture &) = delete;
  SmtpServerFixture &operator=(const SmtpServerFixture &) = delete;

  bool IsRunning() const { return FServer && FServer->Port() != 0; }
  int Port() const { return FServer ? FServer->Port() : 0; }
  // Recipients answered with 550 from now on (compared without regard to case).
  void SetRefused(const std::set<std::string> &addresses);
  // Recipients answered with 450 for their first `count` tries.
  void SetDeferred(const std::map<std::string, int> &addressCounts);
  // The MAIL after the first `mails` is answered with 421 and the session closed, once.
  void Close421After(int mails);
  // MAIL commands after `messages` stored messages get no answer until ReleaseHold().
  void HoldAfter(int messages);
  void ReleaseHold();
  // Every message stored so far, oldest first.
  std::vector<ReceivedMessage> Messages() const;
  // The folder the messages are written to.
  std::string Folder() const;
  void Stop() { if (FServer) FServer->Stop(); }

private:
  void WriteControl(const QString &name, const std::string &text);
  QTemporaryDir FDir;
  std::unique_ptr<ScriptProcess> FServer;
};
