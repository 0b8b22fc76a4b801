#include "cli/DryRunServer.h"

#include "storage/TextFile.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {
// What a session needs to remember between lines.
struct TSession {
  bool inData = false;
  std::string message;
  QByteArray pending;
};

bool StartsCommand(const QByteArray &line, const char *command) {
  return line.left(static_cast<qsizetype>(std::strlen(command))).toUpper() == command;
}
}  // namespace

TDryRunServer::TDryRunServer(const std::string &folder, QObject *parent)
    : QObject(parent), folder_(folder), server_(new QTcpServer(this)) {
  connect(server_, &QTcpServer::newConnection, this, &TDryRunServer::Accept);
}

TDryRunServer::~TDryRunServer() = default;

bool TDryRunServer::Start() { return server_->listen(QHostAddress::LocalHost, 0); }

int TDryRunServer::Port() const { return server_->serverPort(); }

std::string TDryRunServer::FileOf(int n) const {
  char name[32];
  std::snprintf(name, sizeof name, "%04d.eml", n);
  return folder_ + name;
}

void TDryRunServer::Accept() {
  while (QTcpSocket *socket = server_->nextPendingConnection()) Serve(socket);
}

void TDryRunServer::Serve(QTcpSocket *socket) {
  auto session = std::make_shared<TSession>();
  connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  socket->write("220 localhost trial send\r\n");
  connect(socket, &QTcpSocket::readyRead, this, [this, socket, session] {
    session->pending += socket->readAll();
    for (qsizetype end; (end = session->pending.indexOf("\r\n")) >= 0;) {
      const QByteArray line = session->pending.left(end);
      session->pending.remove(0, end + 2);
      if (session->inData) {
        if (line == ".") {
          session->inData = false;
          try {
            WriteFileAtomic(FileOf(written_ + 1), session->message);
            ++written_;
            socket->write("250 written\r\n");
          } catch (const std::exception &) {
            // The run counts the message as failed and goes on; the folder is at fault.
            socket->write("451 cannot write the message file\r\n");
          }
          session->message.clear();
        } else {
          // A line that starts with a dot was sent with one more.
          const QByteArray text = line.startsWith('.') ? line.mid(1) : line;
          session->message.append(text.constData(), static_cast<size_t>(text.size())).append("\r\n");
        }
      } else if (StartsCommand(line, "EHLO") || StartsCommand(line, "HELO")) {
        socket->write("250 localhost\r\n");
      } else if (StartsCommand(line, "DATA")) {
        session->inData = true;
        socket->write("354 go on\r\n");
      } else if (StartsCommand(line, "QUIT")) {
        socket->write("221 bye\r\n");
        socket->disconnectFromHost();
        return;
      } else {
        socket->write("250 OK\r\n");  // MAIL, RCPT, RSET, NOOP
      }
    }
  });
}
