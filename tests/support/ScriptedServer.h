#pragma once
// A scripted server on 127.0.0.1 for protocol corner cases that real servers will not
// produce on demand. It accepts one client, sends what the test says when the test says
// it, and records every byte the client wrote. Runs on the test's event loop.
#include "net/WSocket.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ScriptedServer {
public:
  ScriptedServer();
  ~ScriptedServer();

  std::string Host() const { return "127.0.0.1"; }
  std::string PortText();

  // Sent as soon as a client connects (in one write).
  std::string Welcome;
  // Called with each complete line the client sends (without CR LF).
  std::function<void(const std::string &Line)> OnLine;

  // Writes at once, in one piece.
  void Send(const std::string &Bytes);
  // Writes Bytes in pieces of PieceSize, DelayMs apart, so that they arrive as separate reads.
  void SendInPieces(const std::string &Bytes, std::size_t PieceSize, int DelayMs = 15);
  // Closes the client's connection.
  void Drop();

  bool HasClient() const { return FPeer != nullptr; }
  bool ClientClosed() const { return FPeerClosed; }
  const std::string &Received() const { return FReceived; }
  const std::vector<std::string> &Lines() const { return FLines; }
  // True once every piece handed to SendInPieces has been written.
  bool AllSent() const { return FPendingPieces == 0; }

private:
  TWSocket FListener;
  std::unique_ptr<TWSocket> FPeer;
  std::string FReceived, FPartial;
  std::vector<std::string> FLines;
  bool FPeerClosed = false;
  int FPendingPieces = 0;
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
