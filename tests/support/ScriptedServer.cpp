#include "support/ScriptedServer.h"

#include "support/QtTestApp.h"

#include <QTimer>

ScriptedServer::ScriptedServer(bool lineMode) : FLineMode(lineMode) {
  EnsureQtApp();
  FListener.SetAddr("127.0.0.1");
  FListener.SetPort("0");
  FListener.OnSessionAvailable = [this](TComponent *, uint16_t) {
    FClient = std::make_unique<TWSocket>();
    FClient->SetLineMode(FLineMode);
    FClient->OnDataAvailable = [this](TComponent *, uint16_t) {
      std::string line = FClient->ReceiveStr();
      if (FLineMode && line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) line.resize(line.size() - 2);
      FLines.push_back(line);
      if (OnLine) OnLine(*this, line);
    };
    FClient->OnSessionClosed = [this](TComponent *, uint16_t) { ++FClosedCount; };
    FClient->Dup(FListener.Accept());
    if (OnConnect) OnConnect(*this);
  };
  FListener.Listen();
}

ScriptedServer::~ScriptedServer() {
  if (FClient) FClient->OnSessionClosed = nullptr;
}

void ScriptedServer::Send(const std::string &bytes) {
  if (FClient && FClient->State() == wsConnected) FClient->SendStr(bytes);
}

void ScriptedServer::SendLater(const std::string &bytes, int ms) {
  QTimer::singleShot(ms, &FContext, [this, bytes]() { Send(bytes); });
}

void ScriptedServer::CloseClient() {
  if (FClient) FClient->Close();
}
