#pragma once
// What the benchmarks against a local SMTP server share: the application object, the
// aiosmtpd server of the tests, the newsletter text and a client whose requests block.
#include "net/SmtpProt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

// Created once and kept to the end of the process (Qt's statics go first at exit).
inline void BenchApp() {
  static int argc = 1;
  static char name[] = "brevant_bench";
  static char *argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// The aiosmtpd server of the tests, started once for the whole run.
class LocalServer {
public:
  LocalServer() {
    FProcess.setStandardErrorFile(QProcess::nullDevice());
    FProcess.start("/usr/bin/python3", {QString(BREVANT_SOURCE_DIR) + "/tests/support/smtp_server.py", FDir.path()});
    QByteArray out;
    while (!out.contains('\n') && FProcess.waitForReadyRead(15000)) out += FProcess.readAllStandardOutput();
    if (out.startsWith("PORT ")) FPort = out.mid(5).trimmed().toInt();
  }
  ~LocalServer() {
    FProcess.terminate();
    if (!FProcess.waitForFinished(5000)) FProcess.kill(), FProcess.waitForFinished(5000);
  }
  int Port() const { return FPort; }

private:
  QTemporaryDir FDir;
  QProcess FProcess;
  int FPort = 0;
};

// SMTP_PORT names a running server; without it the tests' server is started once.
inline std::string ServerPort() {
  if (const char *p = std::getenv("SMTP_PORT")) return p;
  static std::unique_ptr<LocalServer> server;
  if (!server) server = std::make_unique<LocalServer>();
  return std::to_string(server->Port());
}

// About 4 KB of text in lines of 70 characters; with codes, the first ten lines carry one
// field code each.
inline std::vector<std::string> Body(bool withCodes = false) {
  static const char *const codes[] = {"%Name%", "%Address 1%", "%Address 2%", "%Phone%", "%Custom 1%",
                                      "%Custom 2%", "%Custom 3%", "%E-mail%", "%List Name%", "%To Address%"};
  std::vector<std::string> lines;
  for (int i = 0; i < 57; ++i) {
    std::string l = "Line " + std::to_string(i) + " of the newsletter: ";
    if (withCodes && i < 10) l += std::string(codes[i]) + " ";
    while (l.size() < 70) l += static_cast<char>('a' + (l.size() % 26));
    lines.push_back(l);
  }
  return lines;
}

// A TSmtpCli sending `body` as its message, whose requests block in the event loop.
class BlockingSmtp {
public:
  explicit BlockingSmtp(const std::vector<std::string> &body = {}) : FBody(body) {
    Cli.OnRequestDone = [this](TComponent *, TSmtpRequest, uint16_t e) { FDone = true, FError = e; };
    Cli.OnGetData = [this](TComponent *, int32_t n, char *line, int32_t maxLen, bool &more) {
      more = n <= static_cast<int32_t>(FLines->size());
      if (more) std::snprintf(line, static_cast<size_t>(maxLen) + 1, "%s", (*FLines)[n - 1].c_str());
    };
  }
  // Addressed to a server on this machine, as a benchmark sender.
  void ToLocalServer(const std::string &port) {
    Cli.Host = "127.0.0.1";
    Cli.Port = port;
    Cli.SignOn = "bench.local";
    Cli.FromName = "sender@example.org";
    Cli.HdrSubject = "Benchmark";
  }
  // Runs one request until it is done; returns its error.
  int Run(void (TSmtpCli::*op)()) {
    FDone = false;
    (Cli.*op)();
    QEventLoop loop;
    while (!FDone) loop.processEvents(QEventLoop::WaitForMoreEvents);
    return FError;
  }

  // The next messages go with `lines` as their body, which must outlive them.
  void SendLines(const std::vector<std::string> &lines) { FLines = &lines; }

  TSmtpCli Cli;

private:
  const std::vector<std::string> FBody;
  const std::vector<std::string> *FLines = &FBody;
  bool FDone = false;
  int FError = 0;
};
