#pragma once
// The far end of a trial send: a minimal SMTP server on 127.0.0.1 that accepts every
// message and writes it, as the client sent it, to a folder as an .eml file. The mailing
// run talks to it exactly as to a real server, so a trial shows the very messages a real
// send would deliver.
#include <QObject>

#include <string>

class QTcpServer;
class QTcpSocket;

class TDryRunServer : public QObject {
  Q_OBJECT
public:
  // `folder` ends with '/' and must exist.
  explicit TDryRunServer(const std::string &folder, QObject *parent = nullptr);
  ~TDryRunServer() override;

  // Listens on a free port of 127.0.0.1; false when that is impossible.
  bool Start();
  int Port() const;
  int Written() const { return written_; }
  // The file of the n-th message (counting from 1).
  std::string FileOf(int n) const;

private:
  void Accept();
  void Serve(QTcpSocket *socket);

  std::string folder_;
  QTcpServer *server_;
  int written_ = 0;
};
