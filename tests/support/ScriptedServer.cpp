#include "support/ScriptedServer.h"

#include "support/EventLoop.h"

#include <QTimer>

ScriptedServer::ScriptedServer() {
  EnsureCoreApp();
  FListener.SetAddr("127.0.0.1");
  FListener.SetPort("0");
  FListener.OnSessionAvailable = [this](TComponent *, uint16_t) {
    auto peer = std::make_unique<TWSocket>();
    peer->Dup(FListener.Accept());
    if (FPeer) // one client at a time; a second one is turned away
      return;
    FPeer = std::move(peer);
    FPeer->OnDataAvailable = [this](TComponent *, uint16_t) {
      const std::string got = FPeer->ReceiveStr();
      FReceived += got;
      FPartial += got;
      std::size_t eol;
      while ((eol = FPartial.find("\r\n")) != std::string::npos) {
        const std::string line = FPartial.substr(0, eol);
        FPartial.erase(0, eol + 2);
        FLines.push_back(line);
        if (OnLine)
          OnLine(line);
      }
    };
    FPeer->OnSessionClosed = [this](TComponent *, uint16_t) { FPeerClosed = true; };
    if (!Welcome.empty())
      FPeer->SendStr(Welcome);
  };
  FListener.Listen();
}

ScriptedServer::~ScriptedServer() {
  *FAlive = false;
  if (FPeer) {
    FPeer->OnDataAvailable = nullptr;
    FPeer->OnSessionClosed = nullptr;
  }
}

std::string ScriptedServer::PortText() { return FListener.GetXPort(); }

void ScriptedServer::Send(const std::string &Bytes) {
  if (FPeer && !FPeerClosed)
    FPeer->SendStr(Bytes);
}

void ScriptedServer::SendInPieces(const std::string &Bytes, std::size_t PieceSize, int DelayMs) {
  int delay = 0;
  for (std::size_t pos = 0; pos < Bytes.size(); pos += PieceSize) {
    const std::string piece = Bytes.substr(pos, PieceSize);
    ++FPendingPieces;
    std::weak_ptr<bool> alive = FAlive;
    QTimer::singleShot(delay, [this, alive, piece]() {
      if (alive.expired() || !*alive.lock())
        return;
      --FPendingPieces;
      Send(piece);
    });
    delay += DelayMs;
  }
}

void ScriptedServer::Drop() {
  if (FPeer && !FPeerClosed) {
    FPeer->Close();
    FPeerClosed = true;
  }
}
