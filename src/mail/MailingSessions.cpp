// Sending through several sessions at once, each carrying several messages: the sessions
// share one queue of messages and the server's pace, and all run on the event loop, driven by
// their clients' events. A message is taken from the list only when a session asks for it.
#include "mail/MailingRun.h"

#include "mail/Recipients.h"
#include "storage/Strings.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
const char *const kSilent = "The server did not answer";
// The run never asks for a reset, so this type marks "no request under way".
constexpr TSmtpRequest kNone = smtpRset;
}

int TMailingRun::RemainingMessages() const {
  if (cursor_.PerRecipient) return static_cast<int>(cursor_.Recipients.size() - cursor_.Next);
  std::string rest = cursor_.Addresses;
  int n = 0;
  while (!rest.empty() && !TakeBatch(rest, cursor_.BatchSize).empty()) ++n;
  return n;
}

void TMailingRun::SendThroughSessions(TCursor cursor) {
  cursor_ = std::move(cursor);
  queued_.clear();
  files_.Open();
  const int wanted = std::min(sessionsAtOnce_, RemainingMessages());
  pool_.clear();
  for (int i = 0; i < wanted; ++i) {
    auto s = std::make_unique<TSession>();
    if (i == 0) {
      s->Cli = &client_;
    } else {
      s->Own = std::make_unique<TSmtpCli>();
      s->Cli = s->Own.get();
      TSmtpCli &c = *s->Cli;
      c.Host = client_.Host;
      c.Port = client_.Port;
      c.SignOn = client_.SignOn;
      c.Security = client_.Security;
      c.Login = client_.Login;
      c.Username = client_.Username;
      c.Password = client_.Password;
      c.AllowClearTextPassword = client_.AllowClearTextPassword;
      c.TrustedFingerprint = client_.TrustedFingerprint;
    }
    pool_.push_back(std::move(s));
  }
  for (auto &p : pool_) {
    TSession *s = p.get();
    TSmtpCli &c = *s->Cli;
    c.PreferEhlo = true;
    s->Silence = std::make_unique<QTimer>();
    s->Silence->setSingleShot(true);
    s->Silence->setInterval(replyTimeoutMs_);
    QObject::connect(s->Silence.get(), &QTimer::timeout, [this, s] { SessionSilent(*s); });
    s->Slot = std::make_unique<QTimer>();
    s->Slot->setSingleShot(true);
    s->Slot->setTimerType(Qt::PreciseTimer);
    QObject::connect(s->Slot.get(), &QTimer::timeout, [this, s] { KickSession(*s); });
    c.OnDisplay = [this, s](TComponent *sender, const std::string &msg) {
      // Any sign of life restarts the silence timer, but a reply that only keeps adding lines
      // does not.
      if (s->Silence->isActive() && !(StartsText("< ", msg) && ParseSmtpReply(msg.substr(2)).More))
        s->Silence->start();
      host_.SetProtocolLine(msg);
      files_.Log(msg);
      (void)sender;
    };
    c.OnRequestDone = [this, s](TComponent *, TSmtpRequest rq, uint16_t error) { SessionRequestDone(*s, rq, error); };
    c.OnNextItem = [this, s](TComponent *, TSmtpItem &item) {
      if (cancelled_ || s->Messages >= sessionMessages_) return false;
      // The server's pace: a session that is early waits outside its transfer.
      if (paceMs_ > 0 && nextSlot_ > PaceNow()) return false;
      if (!NextItem(item)) return false;
      ++s->Messages;
      TakeSlot(paceMs_ > 0 && nextSlot_ > 0);
      return true;
    };
    c.OnItemDone = [this, s](TComponent *, const TSmtpItem &item, const TSmtpItemResult &result) {
      SessionItemDone(*s, item, result);
    };
  }
  if (!pool_.empty()) {
    QEventLoop loop;
    sessionsLoop_ = &loop;
    for (auto &p : pool_) KickSession(*p);
    if (std::any_of(pool_.begin(), pool_.end(), [](const auto &p) { return !p->Done; })) loop.exec();
    sessionsLoop_ = nullptr;
  }
  // Messages nobody took (a cancelled run) are not sent and not counted.
  pool_.clear();
  client_.PreferEhlo = false;
  BindClient();
  files_.Close();
}

bool TMailingRun::NextItem(TSmtpItem &item) {
  const TMailingJob &job = *cursor_.Job;
  for (;;) {
    TQueued q;
    if (cursor_.PerRecipient) {
      if (cursor_.Next >= cursor_.Recipients.size()) return false;
      const auto [entry, shown] = cursor_.Recipients[cursor_.Next++];
      if (!PrepareRecipient(job, entry, shown)) continue;
      q.Entries = {entry};
      q.Shown = shown;
    } else {
      if (cursor_.Addresses.empty()) return false;
      const int prepared = PrepareBatch(job, cursor_.Addresses, cursor_.BatchSize, &q.Entries);
      if (prepared == 0) {
        cursor_.Addresses.clear();
        return false;
      }
      if (prepared < 0) continue;
    }
    q.Recipients = client_.RcptName;
    try {
      item.Text = client_.ComposeText();
    } catch (const std::exception &e) {
      FailMessage(q.Recipients, e.what());
      continue;
    }
    item.Id = ++nextItemId_;
    item.From = client_.FromName;
    item.Rcpts = q.Recipients;
    item.Size = static_cast<int64_t>(item.Text.size());
    q.Digest = digest_;
    queued_[item.Id] = std::move(q);
    return true;
  }
}

void TMailingRun::KickSession(TSession &s) {
  if (s.Done) return;
  TSmtpCli &c = *s.Cli;
  if (c.State() != smtpReady) return;  // a request is under way; its end comes back here
  const bool more = !cancelled_ && (cursor_.PerRecipient ? cursor_.Next < cursor_.Recipients.size()
                                                         : !cursor_.Addresses.empty());
  try {
    if (!c.Connected()) {
      if (!more) {
        s.Done = true;
        if (sessionsLoop_ && std::all_of(pool_.begin(), pool_.end(), [](const auto &p) { return p->Done; }))
          sessionsLoop_->quit();
        return;
      }
      s.Messages = 0;
      s.AbortReason.clear();
      s.Opening = true;
      host_.SetStatus("Connecting to " + c.Host + "...");
      s.Silence->start();
      s.Awaiting = smtpOpen;
      c.Open();
      return;
    }
    if (more && s.Messages < sessionMessages_) {
      if (paceMs_ > 0 && nextSlot_ > PaceNow()) {
        s.Slot->start(static_cast<int>(std::ceil(nextSlot_ - PaceNow())));
        return;
      }
      s.Silence->start();
      s.Awaiting = smtpMail;
      c.Transfer();
      return;
    }
    s.Silence->start();
    s.Awaiting = smtpQuit;
    c.Quit();
  } catch (const std::exception &e) {
    s.Silence->stop();
    s.Awaiting = kNone;
    const bool opening = s.Opening;
    s.Opening = false;
    if (c.State() != smtpReady || c.Connected()) c.Abort();
    if (opening) {
      if (!outcome_.Connected) outcome_.ConnectError = e.what();
      FailNextMessage(e.what(), 0);
    }
    // Each failure used up a message, so this ends.
    QTimer::singleShot(0, s.Silence.get(), [this, &s] { KickSession(s); });
  }
}

void TMailingRun::FailNextMessage(const std::string &reason, int code) {
  TSmtpItem item;
  if (!NextItem(item)) return;
  TQueued q = std::move(queued_[item.Id]);
  queued_.erase(item.Id);
  shown_ = q.Shown;
  for (size_t i = 0; i < q.Recipients.size(); ++i) {
    // A server that is busy for now (421, 4xx to the greeting) is tried again later.
    if (code >= 400 && code < 500) Defer(i < q.Entries.size() ? q.Entries[i] : q.Recipients[i], q.Recipients[i], reason);
    else CountFailed({q.Recipients[i]}, reason);
  }
  if (!(code >= 400 && code < 500)) outcome_.ConnectError = reason;
}

void TMailingRun::SessionRequestDone(TSession &s, TSmtpRequest rq, int error) {
  TSmtpCli &c = *s.Cli;
  // A late report of a request given up (or of another run's) must not count for this one.
  if (rq != s.Awaiting || c.State() != smtpReady) return;
  s.Awaiting = kNone;
  s.Silence->stop();
  if (rq == smtpOpen) {
    s.Opening = false;
    if (error != 0 || !c.Connected()) {
      std::string reason = s.AbortReason;
      if (reason.empty()) {
        if (error >= 10004 && error <= 11004 && error != 10004) reason = WSocketErrorDesc(error);
        else if (!c.ErrorMessage().empty()) reason = c.ErrorMessage();
        else reason = error == 10004 ? "The server closed the connection" : "Error " + std::to_string(error);
      }
      const int code = error >= 100 && error < 600 ? error : ParseSmtpReply(c.ErrorMessage()).Code;
      // A server that takes only so many sessions at once: the others carry the messages.
      if (code >= 400 && code < 500 && AnotherSessionUp(s)) {
        RetireSession(s, reason);
        return;
      }
      FailNextMessage(reason, code);
      if (c.Connected()) {
        s.Silence->start();
        s.Awaiting = smtpQuit;
        c.Quit();
        return;
      }
    } else {
      outcome_.Connected = true;
      host_.SetStatus("Connected to " + c.Host);
    }
  } else if (rq == smtpQuit) {
    host_.SetProtocolLine("");
    if (c.Connected()) c.Abort();
  }
  if (!c.Connected()) s.Messages = 0;
  KickSession(s);
}

bool TMailingRun::AnotherSessionUp(const TSession &s) const {
  return std::any_of(pool_.begin(), pool_.end(), [&s](const auto &p) {
    return p.get() != &s && !p->Done && p->Cli->Connected();
  });
}

void TMailingRun::RetireSession(TSession &s, const std::string &reason) {
  s.Done = true;
  if (s.Cli->Connected()) s.Cli->Abort();
  const auto up = std::count_if(pool_.begin(), pool_.end(), [](const auto &p) { return !p->Done; });
  files_.Log("The server took no further session (" + reason + "); going on with " + std::to_string(up));
}

void TMailingRun::SessionItemDone(TSession &s, const TSmtpItem &item, const TSmtpItemResult &result) {
  const auto found = queued_.find(item.Id);
  if (found == queued_.end()) return;
  const TQueued q = std::move(found->second);
  queued_.erase(found);
  shown_ = q.Shown;
  auto entryOf = [&](size_t i) { return i < q.Entries.size() ? q.Entries[i] : q.Recipients[i]; };
  auto refusalOf = [&](const std::string &recipient) {
    for (const auto &[address, reply] : result.Refused)
      if (address == Trim(recipient)) return reply;
    return std::string();
  };
  const bool taken = result.Code == 250;
  std::string reason = result.Reply;
  if (result.Code == 0 && !s.AbortReason.empty()) reason = s.AbortReason;
  bool anyAccepted = false;
  for (size_t i = 0; i < q.Recipients.size(); ++i) {
    const std::string &recipient = q.Recipients[i];
    const std::string refusal = refusalOf(recipient);
    if (taken && refusal.empty()) {
      ++sent_;
      anyAccepted = true;
      accepted_.push_back(entryOf(i));
      journal_.Accepted(recipient);
      if (retryRound_ > 0) files_.Log("Sent to " + recipient + " on try " + std::to_string(retryRound_ + 1));
      continue;
    }
    // A 4xx reply defers a recipient rather than failing it.
    const int code = refusal.empty() ? result.Code : ParseSmtpReply(refusal).Code;
    const std::string why = refusal.empty() ? reason : refusal;
    if (code >= 400 && code < 500) Defer(entryOf(i), recipient, why);
    else CountFailed({recipient}, why);
  }
  if (anyAccepted) sentDigest_ = q.Digest;
  host_.SetStatus("Successful: " + std::to_string(sent_) + "/  Unsuccessful: " + std::to_string(failed_));
}

void TMailingRun::SessionSilent(TSession &s) {
  s.AbortReason = kSilent;
  s.Awaiting = kNone;
  const bool opening = s.Opening;
  s.Opening = false;
  // The messages under way fail with the reason above.
  s.Cli->Abort();
  s.Messages = 0;
  if (opening) FailNextMessage(kSilent, 0);
  KickSession(s);
}
