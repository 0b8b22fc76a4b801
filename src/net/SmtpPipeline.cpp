// Several messages through one session. With PIPELINING (RFC 2920) a message's MAIL FROM,
// RCPT TO and DATA go out in one write and the end of its text shares the write of the next
// message's commands, so a message costs one round trip; the replies are matched in the
// order the commands went out. Without it, one command at a time as before.
#include "net/SmtpProt.h"

#include <QObject>

namespace {

std::string Trimmed(const std::string &s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// A line that starts with a period gets another, so that no line ends the text early.
std::string DotStuffed(const std::string &text) {
  std::string out;
  out.reserve(text.size() + text.size() / 64 + 8);
  bool lineStart = true;
  for (size_t i = 0; i < text.size(); ++i) {
    if (lineStart && text[i] == '.') out += '.';
    out += text[i];
    lineStart = text[i] == '\n' && i > 0 && text[i - 1] == '\r';
  }
  return out;
}

}  // namespace

std::string TSmtpCli::ComposeText() {
  BuildHeader();
  FComposing = true;
  struct TReset {
    TSmtpCli &cli;
    ~TReset() {
      cli.FComposing = false;
      cli.CloseFile();
    }
  } reset{*this};
  std::string text;
  while (FHdrIndex < FHdrLines.size()) text += NextHeaderLine() + "\r\n";
  std::string line;
  while (NextBodyLine(&line)) {
    // A line break inside a line makes lines of their own, as DATA sends them.
    size_t start = 0;
    for (;;) {
      const size_t brk = line.find_first_of("\r\n", start);
      const std::string part = line.substr(start, brk == std::string::npos ? std::string::npos : brk - start);
      Display("> " + (!part.empty() && part[0] == '.' ? "." + part : part));
      text += part + "\r\n";
      if (brk == std::string::npos) break;
      start = brk + (line.compare(brk, 2, "\r\n") == 0 ? 2 : 1);
    }
  }
  return text;
}

void TSmtpCli::Transfer() {
  CheckReady();
  CheckConnected();
  FRequestType = smtpMail;
  FRequestResult = 0;
  FErrorMessage.clear();
  FRequestDoneFlag = false;
  FTransferring = true;
  FNeedRset = false;
  FFlights.clear();
  FAwaits.clear();
  FReplyLines = 0;
  FNext = [this]() { TransferLine(); };
  SetState(smtpWaitingResponse);
  TransferNext();
}

void TSmtpCli::QueueCommand(std::string &out, const std::string &cmd, TFlight *flight, TAwaitKind kind, size_t rcpt) {
  std::string clean = cmd;
  std::erase_if(clean, [](char c) { return c == '\r' || c == '\n'; });
  if (OnCommand) OnCommand(this, clean);
  Display("> " + clean);
  out += clean + "\r\n";
  FAwaits.push_back({flight, kind, rcpt});
}

bool TSmtpCli::QueueItem(std::string &out) {
  for (;;) {
    TSmtpItem item;
    if (!OnNextItem || !OnNextItem(this, item)) return false;
    if (item.Rcpts.empty() || (FCaps.Size && FCaps.MaxSize > 0 && item.Size > FCaps.MaxSize)) {
      // Nothing the server would take: decided here, without a word to it.
      TSmtpItemResult result;
      result.Code = item.Rcpts.empty() ? 503 : 552;
      result.Reply = item.Rcpts.empty() ? "503 No recipient"
                                        : "552 The message has " + std::to_string(item.Size) +
                                              " bytes; the server takes at most " + std::to_string(FCaps.MaxSize);
      if (OnItemDone) OnItemDone(this, item, result);
      if (!FTransferring) return false;
      continue;
    }
    FFlights.push_back({std::move(item), {}, false, 0, 0});
    TFlight *f = &FFlights.back();
    // A transaction that ended without its text leaves the server holding the sender.
    if (FNeedRset) QueueCommand(out, "RSET", f, awRset);
    FNeedRset = false;
    std::string mail = "MAIL FROM:<" + Trimmed(f->Item.From) + ">";
    if (FCaps.Size && f->Item.Size > 0) mail += " SIZE=" + std::to_string(f->Item.Size);
    QueueCommand(out, mail, f, awMail);
    if (FCaps.Pipelining) {
      for (size_t i = 0; i < f->Item.Rcpts.size(); ++i)
        QueueCommand(out, "RCPT TO:<" + Trimmed(f->Item.Rcpts[i]) + ">", f, awRcpt, i);
      QueueCommand(out, "DATA", f, awData);
    }
    return true;
  }
}

void TSmtpCli::TransferNext() {
  if (!FTransferring || !FAwaits.empty()) return;
  std::string out;
  const bool more = QueueItem(out);
  if (!out.empty() && FWSocket.State() == wsConnected) FWSocket.SendStr(out);
  if (!more && FAwaits.empty() && FTransferring) {
    FTransferring = false;
    TriggerRequestDone(0);
  }
}

void TSmtpCli::TransferLine() {
  TSmtpReply r;
  if (!TakeReplyLine(&r)) return;
  if (FAwaits.empty()) {
    FailSession("500 Protocol error: a reply to no command \"" + FLastResponse + "\"");
    return;
  }
  TransferReply(r.Code);
}

void TSmtpCli::TransferReply(int code) {
  const TAwait a = FAwaits.front();
  FAwaits.pop_front();
  TFlight *f = a.Flight;
  const bool lockStep = !FCaps.Pipelining;
  if (code == 421) {
    // The server is closing the session: this message keeps the reply (and is deferred by
    // its owner), anything sent after it fails with the close.
    if (f->Result.Code == 0) {
      f->Result.Code = code;
      f->Result.Reply = FLastResponse;
    }
    FWSocket.Close();
    return;
  }
  std::string out;
  switch (a.Kind) {
    case awRset: break;  // whatever it says, MAIL FROM's reply decides
    case awMail:
      f->MailOk = code == 250;
      if (!f->MailOk) {
        f->Result.Code = code;
        f->Result.Reply = FLastResponse;
        // Pipelined, the recipients' and DATA's replies are still to come.
        if (lockStep) FinishFlight(f);
      } else if (lockStep) {
        QueueCommand(out, "RCPT TO:<" + Trimmed(f->Item.Rcpts[0]) + ">", f, awRcpt, 0);
        f->NextRcpt = 1;
      }
      break;
    case awRcpt:
      if (code == 250 || code == 251) ++f->Accepted;
      else if (f->MailOk) f->Result.Refused.emplace_back(Trimmed(f->Item.Rcpts[a.Rcpt]), FLastResponse);
      if (!lockStep) break;
      if (f->NextRcpt < f->Item.Rcpts.size()) {
        QueueCommand(out, "RCPT TO:<" + Trimmed(f->Item.Rcpts[f->NextRcpt]) + ">", f, awRcpt, f->NextRcpt);
        ++f->NextRcpt;
      } else if (f->Accepted > 0) {
        QueueCommand(out, "DATA", f, awData);
      } else {
        f->Result.Code = code;
        f->Result.Reply = FLastResponse;
        FNeedRset = true;
        FinishFlight(f);
      }
      break;
    case awData:
      if (code == 354) {
        // A server that says go ahead with no recipient gets an empty message.
        const bool send = f->MailOk && f->Accepted > 0;
        if (send) out = DotStuffed(f->Item.Text);
        Display("> .");
        out += ".\r\n";
        FAwaits.push_back({f, awDot, 0});
        if (!send && f->Result.Code == 0) {
          f->Result.Code = 554;
          f->Result.Reply = "554 No recipient was accepted";
        }
        // The next message's commands travel with the end of this one.
        if (!lockStep && FTransferring) QueueItem(out);
      } else {
        if (f->Result.Code == 0) {
          f->Result.Code = code;
          f->Result.Reply = FLastResponse;
        }
        FNeedRset = f->MailOk;
        FinishFlight(f);
      }
      break;
    case awDot:
      if (f->Result.Code == 0 || code != 250) {
        f->Result.Code = code;
        f->Result.Reply = FLastResponse;
      }
      FinishFlight(f);
      break;
  }
  if (!out.empty() && FWSocket.State() == wsConnected) FWSocket.SendStr(out);
  TransferNext();
}

void TSmtpCli::FinishFlight(TFlight *flight) {
  // Replies come in order, so the oldest message is the one decided.
  if (FFlights.empty() || &FFlights.front() != flight) return;
  TFlight done = std::move(FFlights.front());
  FFlights.pop_front();
  if (done.Result.Code == 250 && done.Accepted == 0) done.Result.Code = 554;
  if (OnItemDone) OnItemDone(this, done.Item, done.Result);
}

void TSmtpCli::FailFlights(const std::string &reason) {
  FTransferring = false;
  FAwaits.clear();
  while (!FFlights.empty()) {
    TFlight done = std::move(FFlights.front());
    FFlights.pop_front();
    // Only the server's 250 to the end of the text says it took a message; a refusal heard
    // before the end keeps its meaning (a 4xx still defers).
    if (done.Result.Code == 0 || done.Result.Code == 250) {
      done.Result.Code = 0;
      done.Result.Reply = reason;
    }
    if (OnItemDone) OnItemDone(this, done.Item, done.Result);
  }
}
