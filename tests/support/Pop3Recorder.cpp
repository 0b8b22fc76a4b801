#include "support/Pop3Recorder.h"

#include "support/QtTestApp.h"

Pop3Recorder::Pop3Recorder() {
  EnsureQtApp();
  Cli.OnDisplay = [this](TComponent *, const std::string &m) { Trace.push_back(m); };
  Cli.OnMessageBegin = [this](TComponent *) {
    Message.clear();
    Events.push_back("msg-begin");
  };
  Cli.OnMessageLine = [this](TComponent *) {
    Message.push_back(Cli.LastResponse());
    Events.push_back("msg " + Cli.LastResponse());
  };
  Cli.OnMessageEnd = [this](TComponent *) { Events.push_back("msg-end"); };
  Cli.OnListBegin = [this](TComponent *) { Events.push_back("list-begin"); };
  Cli.OnListLine = [this](TComponent *) {
    Events.push_back("list " + std::to_string(Cli.MsgNum) + " " + std::to_string(Cli.MsgSize()));
  };
  Cli.OnListEnd = [this](TComponent *) { Events.push_back("list-end"); };
  Cli.OnUidlBegin = [this](TComponent *) { Events.push_back("uidl-begin"); };
  Cli.OnUidlLine = [this](TComponent *) {
    Events.push_back("uidl " + std::to_string(Cli.MsgNum) + " " + Cli.MsgUidl());
  };
  Cli.OnUidlEnd = [this](TComponent *) { Events.push_back("uidl-end"); };
  Cli.OnSessionConnected = [this](TComponent *, uint16_t e) {
    Events.push_back("connected " + std::to_string(e));
  };
  Cli.OnSessionClosed = [this](TComponent *, uint16_t) { Events.push_back("closed"); };
  Cli.OnRequestDone = [this](TComponent *, TPop3Request rq, uint16_t e) {
    ++DoneCount;
    LastRq = rq;
    LastError = e;
    Events.push_back("done " + std::to_string(int(rq)) + " " + std::to_string(e));
  };
}

uint16_t Pop3Recorder::Run(const std::function<void()> &Op, int LimitMs) {
  const int before = DoneCount;
  Op();
  if (!RunEventsUntil([&]() { return DoneCount > before; }, LimitMs))
    return 65535;
  return LastError;
}

void Pop3Recorder::Point(const std::string &Host, const std::string &Port,
                         const std::string &User, const std::string &Password) {
  Cli.Host = Host;
  Cli.Port = Port;
  Cli.UserName = User;
  Cli.PassWord = Password;
}

std::string Pop3Recorder::MessageText() const {
  std::string text;
  for (const std::string &l : Message)
    text += l + "\r\n";
  return text;
}
