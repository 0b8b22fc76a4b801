#pragma once
// A scripted SMTP client for the run's own logic: it plays both the client and a server,
// delivering every outcome through the event loop as the real client does (ready first,
// the completion a moment later), and records the messages the "server" accepted.
#include "MailTestSupport.h"
#include "mail/MailingRun.h"

#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <set>
#include <stdexcept>

class FakeSmtpClient : public ISmtpClient {
public:
  struct Message {
    std::string From;
    std::vector<std::string> Accepted;
    std::vector<std::string> Headers;  // as sent, folded lines split
    std::vector<std::string> Body;
  };

  // Script.
  std::set<std::string> Refuse;  // recipients answered with 550
  bool RefuseMail = false;       // MAIL FROM answered with 550
  bool Unreachable = false;      // the connection is refused
  // Record.
  std::vector<Message> Messages;
  std::vector<size_t> RcptPerSession;
  int OpenAttempts = 0;
  std::string LastPort, LastSignOn;

  void SetServer(const std::string &host, const std::string &port, const std::string &signOn) override {
    host_ = host;
    LastPort = port;
    LastSignOn = signOn;
  }
  std::string Host() const override { return host_; }
  void SetEnvelope(const TSmtpEnvelope &envelope) override {
    for (const std::string &file : envelope.EmailFiles)
      if (!QFile::exists(QString::fromStdString(file))) throw std::runtime_error("File not found '" + file + "'");
    envelope_ = envelope;
  }
  void SetHtml(bool html) override { html_ = html; }
  bool Ready() const override { return !busy_; }
  bool Connected() const override { return connected_; }
  std::string ErrorMessage() const override { return error_; }
  int64_t AttachmentSize() const override { return 0; }
  int64_t AttachmentBytesRead() const override { return 0; }
  const TSmtpEnvelope &Envelope() const { return envelope_; }

  void Open() override {
    CheckReady();
    if (connected_) throw std::runtime_error("SMTP component already connected");
    ++OpenAttempts;
    busy_ = true;
    error_.clear();
    if (host_.empty()) throw std::runtime_error("DNS lookup: invalid host name.");  // stays busy
    Later([this] {
      if (Unreachable) return Done(TMailRequest::mrOpen, 10061, "500 Connection refused (Winsock error #10061)");
      connected_ = true;
      RcptPerSession.push_back(0);
      Show("< 220 fake ESMTP");
      Show("> HELO " + LastSignOn);
      Show("< 250 fake");
      Done(TMailRequest::mrOpen, 0);
    });
  }

  void Mail() override {
    CheckReady();
    if (!connected_) throw std::runtime_error("SMTP component not connected");
    busy_ = true;
    error_.clear();
    Later([this] {
      Show("> MAIL FROM:<" + envelope_.FromName + ">");
      if (RefuseMail) return Refused("< 550 sender refused", TMailRequest::mrMail);
      Show("< 250 ok");
      Message message{envelope_.FromName, {}, {}, {}};
      int last = 0;
      for (const std::string &rcpt : envelope_.RcptName) {
        Show("> RCPT TO:<" + rcpt + ">");
        ++RcptPerSession.back();
        last = Refuse.count(rcpt) ? 550 : 250;
        if (last == 550) {
          Show("< 550 5.1.1 <" + rcpt + ">: Recipient address rejected");
          if (error_.empty()) error_ = "550 5.1.1 <" + rcpt + ">: Recipient address rejected";
        } else {
          Show("< 250 ok");
          message.Accepted.push_back(rcpt);
        }
      }
      if (last != 0 && last != 250) return Done(TMailRequest::mrMail, last);
      Show("> DATA");
      Show("< 354 go ahead");
      SendHeaders(&message);
      for (int n = 1;; ++n) {
        char line[1024] = "";
        bool more = static_cast<bool>(OnGetData);
        if (OnGetData) OnGetData(n, line, 1023, more);
        if (!more) break;
        Show(std::string("> ") + line);
        message.Body.push_back(line);
      }
      Show("> .");
      Show("< 250 queued");
      Messages.push_back(message);
      Done(TMailRequest::mrMail, 0);
    });
  }

  void Quit() override {
    CheckReady();
    busy_ = true;
    Later([this] {
      if (connected_) {
        Show("> QUIT");
        Show("< 221 bye");
        connected_ = false;
      }
      Done(TMailRequest::mrQuit, 0);
    });
  }

  void Abort() override {
    busy_ = false;
    connected_ = false;
  }

private:
  void CheckReady() const {
    if (busy_) throw std::runtime_error("SMTP component not ready");
  }
  void Later(std::function<void()> step) { QTimer::singleShot(0, &context_, std::move(step)); }
  void Show(const std::string &line) {
    if (OnDisplay) OnDisplay(line);
  }
  void Refused(const std::string &reply, TMailRequest request) {
    Show(reply);
    error_ = reply.substr(2);
    Done(request, 550);
  }
  // Ready at once, the completion through the event loop.
  void Done(TMailRequest request, int error, const std::string &reply = "") {
    if (!reply.empty() && error_.empty()) error_ = reply;
    busy_ = false;
    Later([this, request, error] {
      if (OnRequestDone) OnRequestDone(request, error);
    });
  }
  void SendHeaders(Message *message) {
    std::vector<std::string> headers;
    if (!envelope_.HdrReplyTo.empty()) headers.push_back("Reply-To: " + envelope_.HdrReplyTo);
    headers.push_back("From: " + envelope_.HdrFrom);
    headers.push_back("To: " + envelope_.HdrTo);
    headers.push_back("Subject: " + envelope_.HdrSubject);
    headers.push_back("Mime-Version: 1.0");
    headers.push_back(std::string("Content-Type: ") + (html_ ? "text/html" : "text/plain") +
                      "; charset=\"iso-8859-1\"");
    for (const std::string &header : headers) {
      char buffer[1024] = "";
      header.copy(buffer, 1023);
      if (OnHeaderLine) OnHeaderLine(buffer, 1024);
      const std::string sent = buffer;
      size_t start = 0;
      for (size_t end; (end = sent.find("\r\n", start)) != std::string::npos; start = end + 2)
        message->Headers.push_back(sent.substr(start, end - start));
      message->Headers.push_back(sent.substr(start));
    }
  }

  QObject context_;
  std::string host_;
  TSmtpEnvelope envelope_;
  bool html_ = false;
  bool busy_ = false;
  bool connected_ = false;
  std::string error_;
};
