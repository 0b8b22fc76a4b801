#pragma once
// A small scripted server on TWSocket's own listen and accept, for protocol corner cases a
// real server will not produce on demand. It accepts one client, cuts what it receives into
// CR LF lines (line mode; else each read is one "line", as it came) and lets the test answer
// each line.
#include "net/WSocket.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ScriptedServer {
public:
  explicit ScriptedServer(bool lineMode = true);
  ~ScriptedServer();

  std::string Port() { return FListener.GetXPort(); }
  // Called when the client has connected, and for every line it sends (without CR LF).
  std::function<void(ScriptedServer &)> OnConnect;
  std::function<void(ScriptedServer &, const std::string &line)> OnLine;

  void Send(const std::string &bytes);
  // Sends after `ms` milliseconds, so that the client sees it in a read of its own.
  void SendLater(const std::string &bytes, int ms);
  void CloseClient();

  const std::vector<std::string> &Lines() const { return FLines; }
  bool ClientClosed() const { return FClosedCount > 0; }
  int ClosedCount() const { return FClosedCount; }
  bool HasClient() const { return FClient != nullptr; }
  // The accepted client's socket; only once HasClient().
  TWSocket &Client() { return *FClient; }

private:
  QObject FContext;  // owns the delayed sends, so none outlives the server
  TWSocket FListener;
  std::unique_ptr<TWSocket> FClient;
  std::vector<std::string> FLines;
  bool FLineMode;
  int FClosedCount = 0;
};
