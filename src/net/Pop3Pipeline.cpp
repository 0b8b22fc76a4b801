// CAPA, and RETR and DELE pipelined for a server that offers PIPELINING (RFC 2449): the
// commands go out a window at a time and their replies are matched in the order sent.
#include "net/Pop3Prot.h"
#include "net/Pop3Reply.h"
#include "storage/Strings.h"

#include <algorithm>

void TCustomPop3Cli::Capa() {
  CheckReady();
  CheckConnected();
  FCapabilities.clear();
  SendCommand(pop3Capa, "CAPA", FProtocolState, TAfter::afCapaMulti);
}

bool TCustomPop3Cli::HasCapability(const std::string &tag) const {
  return std::any_of(FCapabilities.begin(), FCapabilities.end(), [&tag](const std::string &line) {
    return SameText(Trim(line.substr(0, line.find(' '))), tag);
  });
}

void TCustomPop3Cli::PipeRetr(int msgNum) { FPipeQueue.push_back({pop3Retr, msgNum}); }

void TCustomPop3Cli::PipeDele(int msgNum) { FPipeQueue.push_back({pop3Dele, msgNum}); }

void TCustomPop3Cli::Pipeline() {
  CheckTransaction("RETR");
  FRequestType = pop3Retr;
  FRequestDone = false;
  FErrorCode = 0;
  FPipeSent.clear();
  FPiping = true;
  SetState(pop3WaitingResponse);
  PipeSend();
  if (FPipeSent.empty()) {
    FPiping = false;
    TriggerRequestDone(0);
    return;
  }
  PipeExpect();
}

void TCustomPop3Cli::PipeSend() {
  std::string out;
  while (FPipeSent.size() < static_cast<size_t>(std::max(1, PipeWindow)) && !FPipeQueue.empty()) {
    const TPiped next = FPipeQueue.front();
    FPipeQueue.pop_front();
    const std::string line = Pop3Command(next.Rq == pop3Dele ? "DELE" : "RETR", next.Num);
    Display("> " + line);
    out += line + "\r\n";
    FPipeSent.push_back(next);
  }
  // One write for the lot: the point is to spare the round trips.
  if (!out.empty()) FWSocket->SendStr(out);
}

void TCustomPop3Cli::PipeExpect() {
  const TPiped &front = FPipeSent.front();
  MsgNum = front.Num;
  FNext = TNext::nxSingleLine;
  FAfter = front.Rq == pop3Retr ? TAfter::afMessageMulti : TAfter::afDone;
  FNextProtocolState = pop3Transaction;
}

bool TCustomPop3Cli::PipeReplyDone(uint16_t error) {
  if (FPipeSent.empty()) return false;
  const TPiped done = FPipeSent.front();
  FPipeSent.pop_front();
  MsgNum = done.Num;
  if (OnPipedDone) OnPipedDone(this, done.Rq, done.Num, error);
  if (!FConnected || !FPiping) return true;  // the handler ended the session or the request
  PipeSend();
  if (FPipeSent.empty()) {
    FPiping = false;
    FPipeQueue.clear();
    TriggerRequestDone(0);
    return true;
  }
  PipeExpect();
  return true;
}
