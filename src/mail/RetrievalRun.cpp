#include "mail/RetrievalRun.h"

#include "lists/ListRecord.h"
#include "mail/FilterTargets.h"
#include "mail/LogStamp.h"
#include "mail/RetrievedMessage.h"
#include "mail/UidlHistory.h"
#include "storage/Strings.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {
// How often a long run makes what it filed durable.
constexpr qint64 kCommitIntervalMs = 5000;
// The run never asks for LAST, so this type marks "no request of the run under way".
constexpr TPop3Request kNoRequest = pop3Last;

// Closes the progress window and clears the run flag on every way out of a run.
struct TRunGuard {
  bool &running;
  IRetrievalHost &host;
  ~TRunGuard() {
    running = false;
    host.CloseProgressWindow();
  }
};

// Secrets never reach the protocol line.
bool HoldsSecret(const std::string &msg) {
  const std::string upper = UpperCase(msg);
  return upper.find("PASS") != std::string::npos || upper.find("APOP") != std::string::npos;
}
}  // namespace

TRetrievalRun::TRetrievalRun(const std::string &dataDir, TPop3Cli &client, IRetrievalHost &host)
    : dataDir_(dataDir), client_(client), host_(host) {
  using namespace std::placeholders;
  client_.OnDisplay = std::bind(&TRetrievalRun::Pop3Display, this, _1, _2);
  client_.OnMessageBegin = std::bind(&TRetrievalRun::Pop3MessageBegin, this, _1);
  client_.OnMessageLine = std::bind(&TRetrievalRun::Pop3MessageLine, this, _1);
  client_.OnMessageEnd = std::bind(&TRetrievalRun::Pop3MessageEnd, this, _1);
  client_.OnUidlLine = std::bind(&TRetrievalRun::Pop3UidlLine, this, _1);
  client_.OnPipedDone = std::bind(&TRetrievalRun::Pop3PipedDone, this, _1, _2, _3, _4);
  client_.OnRequestDone = std::bind(&TRetrievalRun::Pop3RequestDone, this, _1, _2, _3);
}

TRetrievalRun::~TRetrievalRun() {
  client_.OnDisplay = nullptr;
  client_.OnMessageBegin = nullptr;
  client_.OnMessageLine = nullptr;
  client_.OnMessageEnd = nullptr;
  client_.OnUidlLine = nullptr;
  client_.OnPipedDone = nullptr;
  client_.OnRequestDone = nullptr;
}

// ---------------------------------------------------------------- waiting for the client

TRetrievalRun::TWait TRetrievalRun::Request(void (TPop3Cli::*call)(), TPop3Request expected, bool cancellable) {
  requestDone_ = false;
  requestError_ = 0;
  expected_ = expected;
  try {
    (client_.*call)();
  } catch (const Pop3Exception &e) {
    expected_ = kNoRequest;
    host_.SetStatus(std::string("Error - ") + e.what());
    return TWait::wFailed;
  }
  // A server that stops answering would hold the run for ever: after a long silence the
  // session is given up. Every line from the server restarts the clock.
  QTimer silence;
  silence.setSingleShot(true);
  bool timedOut = false;
  QObject::connect(&silence, &QTimer::timeout, [&timedOut] { timedOut = true; });
  silence.start(replyTimeoutMs_);
  silence_ = &silence;
  waiting_ = true;
  while (!timedOut && !(cancellable && cancelled_) && !(requestDone_ && client_.State() == pop3Ready))
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  waiting_ = false;
  silence_ = nullptr;
  expected_ = kNoRequest;
  if (requestDone_ && client_.State() == pop3Ready) return requestError_ == 0 ? TWait::wDone : TWait::wFailed;
  host_.SetKeepAlive(false);
  client_.Abort();
  if (!timedOut) {
    host_.SetProtocolLine("");
    return TWait::wCancelled;
  }
  host_.SetStatus("Error - The server did not answer (10060)");
  return TWait::wTimedOut;
}

void TRetrievalRun::WaitUntilReady() {
  QTimer limit;
  limit.setSingleShot(true);
  bool timedOut = false;
  QObject::connect(&limit, &QTimer::timeout, [&timedOut] { timedOut = true; });
  limit.start(replyTimeoutMs_);
  while (!timedOut && client_.State() != pop3Ready) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  if (client_.State() != pop3Ready) client_.Abort();
}

void TRetrievalRun::Quit() {
  // QUIT makes the server delete what was marked: only after everything filed is on disk
  // and recorded. When that fails, the session is dropped and the server keeps it all.
  if (!Commit()) return;
  // QUIT also ends a cancelled run, so a cancel does not cut it short.
  word_ = "QUIT";
  Request(&TPop3Cli::Quit, pop3Quit, false);
}

bool TRetrievalRun::Commit() {
  sinceCommit_.restart();
  if (!history_) return true;
  try {
    filer_.SyncToDisk();
    history_->Flush();
    return true;
  } catch (const std::exception &e) {
    host_.SetStatus(std::string("Error - ") + e.what());
    host_.SetKeepAlive(false);
    client_.Abort();
    return false;
  }
}

// ---------------------------------------------------------------- the run

void TRetrievalRun::GetNewMail(const TRetrievalJob &job) {
  if (running_) return;
  openFailed_ = false;
  if (client_.Host.empty()) {
    host_.ShowInformation(
        "A POP server has not been set!\r\n\r\nYou must set a POP server for the currently selected list! See "
        "the list's properties or General Properties for more information.");
    return;
  }
  running_ = true;
  TRunGuard guard{running_, host_};
  stored_ = known_ = count_ = added_ = removed_ = 0;
  loggedIn_ = false;
  TMaintenanceSettings settings = job.Maintenance;
  settings.ListRun = job.ListName != kPseudoListName;
  maintenance_ = std::make_unique<TListMaintenance>(job.ListPath, settings);
  maintenance_->OpenLog(LogStampNow());
  FetchMail(job);
  // What a cancelled or broken session filed is recorded too, so it is not fetched again.
  Commit();
  added_ = maintenance_->Added();
  removed_ = maintenance_->Removed();
  const std::string summary = MaintenanceSummary(added_, removed_);
  if (!summary.empty()) host_.SetStatus(summary);
}

void TRetrievalRun::FetchMail(const TRetrievalJob &job) {
  cancelled_ = false;
  filer_.NewRun();
  history_.reset();
  sinceCommit_.start();
  targets_ = std::make_unique<TFilterTargets>(dataDir_, job.ListPath);
  host_.SetStatus("Connecting to " + client_.Host + "...");
  WaitUntilReady();
  if (!client_.Connected()) {
    word_.clear();
    const TWait opened = Request(&TPop3Cli::Open, pop3Open);
    if (opened == TWait::wCancelled || opened == TWait::wTimedOut) return;
  }
  if (!client_.Connected() || openFailed_) {
    Quit();
    return;
  }
  loggedIn_ = true;
  word_ = "STAT";
  const TWait stat = Request(&TPop3Cli::Stat, pop3Stat);
  if (stat == TWait::wCancelled || stat == TWait::wTimedOut) return;
  const int count = stat == TWait::wDone ? client_.MsgCount() : 0;
  count_ = count;
  if (count > 0)
    host_.ShowProgressWindow("Retrieving " + std::to_string(count) + " messages from " + client_.Host + "...");
  identifiers_.assign(static_cast<size_t>(count) + 1, std::string());
  deleted_.assign(static_cast<size_t>(count) + 1, false);
  if (count > 0) {
    // One listing gives every identifier in one round trip; a server that cannot list
    // them is asked message by message instead.
    word_ = "UIDL listing";
    client_.MsgNum = 0;
    const TWait listed = Request(&TPop3Cli::Uidl, pop3Uidl);
    if (listed == TWait::wCancelled || listed == TWait::wTimedOut) return;
    if (listed != TWait::wDone) std::fill(identifiers_.begin(), identifiers_.end(), std::string());
  }
  const bool allListed = std::none_of(identifiers_.begin() + 1, identifiers_.end(),
                                      [](const std::string &id) { return id.empty(); });
  history_ = allListed ? std::make_unique<TUidlHistory>(
                             dataDir_, client_.Host, std::vector<std::string>(identifiers_.begin() + 1, identifiers_.end()))
                       : std::make_unique<TUidlHistory>(dataDir_, client_.Host);
  piped_ = false;
  if (allListed && count > 0 && CanPipeline()) {
    if (!FetchPipelined(job)) return;
  } else {
    for (int n = 1; n <= count; ++n) {
      if (!client_.Connected()) return;
      if (cancelled_) break;
      if (!FetchOne(job, n)) return;
    }
  }
  if (cancelled_) {
    Quit();
    return;
  }
  if (job.Delete && count > 0) DeleteRecorded();
  if (client_.Connected()) Quit();
}

bool TRetrievalRun::CanPipeline() {
  // Only when there is something to fetch: a run that finds nothing new asks nothing more.
  if (std::all_of(identifiers_.begin() + 1, identifiers_.end(),
                  [this](const std::string &id) { return history_->Seen(id); }))
    return false;
  word_ = "CAPA";
  const TWait capa = Request(&TPop3Cli::Capa, pop3Capa);
  return capa == TWait::wDone && client_.HasCapability("PIPELINING");
}

bool TRetrievalRun::FetchPipelined(const TRetrievalJob &job) {
  for (size_t n = 1; n < identifiers_.size(); ++n) {
    if (history_->Seen(identifiers_[n])) ++known_;
    else client_.PipeRetr(static_cast<int>(n));
  }
  pipeDelete_ = job.Delete;
  piped_ = true;
  storeError_.clear();
  word_ = "RETR";
  const TWait retr = Request(&TPop3Cli::Pipeline, pop3Retr);
  if (retr == TWait::wCancelled || retr == TWait::wTimedOut) return false;
  if (!storeError_.empty()) {
    host_.SetStatus("Error - " + storeError_);
    if (client_.Connected()) Quit();
    return false;
  }
  return client_.Connected();
}

void TRetrievalRun::Pop3PipedDone(TComponent *, TPop3Request RqType, int MsgNum, uint16_t Error) {
  const size_t n = static_cast<size_t>(std::max(MsgNum, 0));
  if (n == 0 || n >= identifiers_.size()) return;
  if (RqType == pop3Dele) {
    if (Error == 0) deleted_[n] = true;
    return;
  }
  if (Error != 0) host_.SetStatus("Error - " + ErrorText(Error));
  // As in the single-step run: only a message on disk is recorded, and only a recorded one
  // is deleted; after a failure to store nothing more is.
  if (!messageFiled_ || !storeError_.empty()) return;
  messageFiled_ = false;
  history_->Record(identifiers_[n]);
  ++stored_;
  if (sinceCommit_.elapsed() >= kCommitIntervalMs) {
    sinceCommit_.restart();
    try {
      filer_.SyncToDisk();
      history_->Flush();
    } catch (const std::exception &e) {
      storeError_ = e.what();
      return;
    }
  }
  if (pipeDelete_) client_.PipeDele(static_cast<int>(n));
}

bool TRetrievalRun::FetchOne(const TRetrievalJob &job, int n) {
  buffer_.clear();
  bufferBytes_ = 0;
  identifier_ = identifiers_[static_cast<size_t>(n)];
  if (!identifier_.empty()) {
    // Known from the listing: the stored file still begins with the message's UIDL lines.
    for (std::string line : {"> UIDL " + std::to_string(n), "< +OK " + std::to_string(n) + " " + identifier_}) {
      bufferBytes_ += line.size() + 2;
      buffer_.push_back(std::move(line));
    }
  } else if (!AskIdentifier(n)) {
    return false;
  }
  if (identifier_.empty()) return client_.Connected();
  if (history_->Seen(identifier_)) {
    ++known_;
    host_.SetStatus("No new messages on the server.");
    host_.SetProtocolLine("");
    return true;
  }
  host_.SetStatus("Retrieving message " + std::to_string(n) + "...");
  host_.SetProgress(0);
  shownPercent_ = 0;
  word_ = "RETR";
  messageFiled_ = false;
  storeError_.clear();
  msgNum_ = n;
  client_.MsgNum = n;
  const TWait retr = Request(&TPop3Cli::Retr, pop3Retr);
  // Only a message on disk is recorded, and only a recorded one may leave the server. A
  // cancel that came while the message was being filed still leaves it filed and recorded.
  if (messageFiled_) history_->Record(identifier_);
  if (retr == TWait::wCancelled || retr == TWait::wTimedOut) return false;
  if (!storeError_.empty()) {
    // The disk is full or a folder is gone: every further message would fail the same way.
    host_.SetStatus("Error - " + storeError_);
    if (client_.Connected()) Quit();
    return false;
  }
  if (!messageFiled_) return client_.Connected();
  ++stored_;
  // A long run makes what it filed durable now and then, so a crash costs little refetching.
  if (sinceCommit_.elapsed() >= kCommitIntervalMs && !Commit()) return false;
  return !job.Delete || Delete(n);
}

bool TRetrievalRun::AskIdentifier(int n) {
  word_ = "UIDL";
  client_.MsgNum = n;
  const TWait uidl = Request(&TPop3Cli::Uidl, pop3Uidl);
  if (uidl == TWait::wCancelled || uidl == TWait::wTimedOut) return false;
  if (cancelled_) {
    Quit();
    return false;
  }
  // Without its identifier a message cannot be told from another: it stays on the server,
  // neither fetched nor deleted, until a later run learns it.
  if (uidl != TWait::wDone || identifier_.empty()) {
    identifier_.clear();
    host_.SetStatus("Error - No identifier for message " + std::to_string(n) + "; it stays on the server.");
    return true;
  }
  identifiers_[static_cast<size_t>(n)] = identifier_;
  return true;
}

bool TRetrievalRun::Delete(int n) {
  word_ = "DELE";
  client_.MsgNum = n;
  const TWait dele = Request(&TPop3Cli::Dele, pop3Dele);
  if (dele == TWait::wDone) deleted_[static_cast<size_t>(n)] = true;
  return dele == TWait::wDone || dele == TWait::wFailed;
}

void TRetrievalRun::DeleteRecorded() {
  if (piped_) {
    size_t queued = 0;
    for (size_t n = 1; n < identifiers_.size(); ++n)
      if (!deleted_[n] && !identifiers_[n].empty() && history_->Seen(identifiers_[n])) {
        client_.PipeDele(static_cast<int>(n));
        ++queued;
      }
    if (queued == 0 || !client_.Connected() || cancelled_) return;
    word_ = "DELE";
    Request(&TPop3Cli::Pipeline, pop3Retr);
    return;
  }
  for (size_t n = 1; n < identifiers_.size(); ++n) {
    if (deleted_[n] || identifiers_[n].empty() || !history_->Seen(identifiers_[n])) continue;
    if (!client_.Connected() || cancelled_) return;
    if (!Delete(static_cast<int>(n))) return;
  }
}

void TRetrievalRun::StoreMessage() {
  const TMessageSummary s = SummarizeMessage(buffer_);
  TFolderRecord record;
  record.Name = s.RecordName;
  record.From = s.From;
  record.Subject = s.Subject;
  record.Date = s.Date;
  record.Attachment = s.Attachment;
  record.MsgNum = msgNum_;
  record.Received = true;
  filer_.File(targets_->PathFor(s.To), buffer_, record);
  messageFiled_ = true;
  maintenance_->Examine(s.From, s.To, s.Subject, buffer_);
  host_.MessageFiled();
}

void TRetrievalRun::KeepAlive() {
  if (running_ || waiting_ || client_.State() != pop3Ready || !client_.Connected()) return;
  word_ = "NOOP";
  try {
    client_.Noop();
  } catch (const Pop3Exception &) {
    host_.SetKeepAlive(false);  // the session is gone; nothing to keep alive
  }
}

void TRetrievalRun::EndSession() {
  if (running_) {
    // Inside a run the session ends at once; the run notices at its next check.
    Cancel();
    host_.SetKeepAlive(false);
    client_.Abort();
    return;
  }
  WaitUntilReady();
  if (client_.Connected()) Quit();
}

// ---------------------------------------------------------------- the client's events

std::string TRetrievalRun::ErrorText(uint16_t error) const {
  if (!client_.Connected() && !client_.ErrorMessage().empty()) return client_.ErrorMessage();
  if (StartsText("-ERR", client_.LastResponse())) return client_.LastResponse();
  if (!client_.ErrorMessage().empty()) return client_.ErrorMessage();
  return WSocketErrorDesc(error) + " (" + std::to_string(error) + ")";
}

void TRetrievalRun::Pop3Display(TComponent *, const std::string &Msg) {
  if (silence_) silence_->start();
  if (word_ != "NOOP" && !HoldsSecret(Msg)) host_.SetProtocolLine(Msg);
  if (word_ != "UIDL") return;
  buffer_.push_back(Msg);
  bufferBytes_ += Msg.size() + 2;
  if (Msg.find("< +OK ") != std::string::npos) identifier_ = MessageIdentifier(Msg);
}

void TRetrievalRun::Pop3UidlLine(TComponent *) {
  if (silence_) silence_->start();
  const size_t n = static_cast<size_t>(std::max(client_.MsgNum, 0));
  // The same rule as for a single reply, so both ways give one identifier.
  if (n >= 1 && n < identifiers_.size()) identifiers_[n] = MessageIdentifier("< +OK " + client_.LastResponse());
}

void TRetrievalRun::Pop3MessageBegin(TComponent *) {
  // For RETR the buffer keeps the two UIDL trace lines.
  sizeShown_ = false;
  if (piped_ && word_ == "RETR") {
    // One message of the batch after the other: each starts with its own UIDL lines.
    const int n = client_.MsgNum;
    const std::string &id = identifiers_[static_cast<size_t>(n)];
    buffer_ = {"> UIDL " + std::to_string(n), "< +OK " + std::to_string(n) + " " + id};
    bufferBytes_ = buffer_[0].size() + buffer_[1].size() + 4;
    identifier_ = id;
    msgNum_ = n;
    messageFiled_ = false;
    shownPercent_ = 0;
    host_.SetStatus("Retrieving message " + std::to_string(n) + "...");
    return;
  }
  if (word_ != "RETR") {
    buffer_.clear();
    bufferBytes_ = 0;
  }
}

void TRetrievalRun::Pop3MessageLine(TComponent *) {
  if (silence_) silence_->start();
  const std::string &line = client_.LastResponse();
  buffer_.push_back(line);
  bufferBytes_ += line.size() + 2;
  if (!sizeShown_) {
    sizeShown_ = true;
    host_.SetStatus("Retrieving " + std::to_string(client_.MsgSize() / 1024) + " kb...");
  }
  UpdateGauge();
}

void TRetrievalRun::UpdateGauge() {
  // The size known here is the mailbox's from STAT, so the gauge is capped at its end.
  const int size = client_.MsgSize();
  const int percent =
      size > 0 ? static_cast<int>(std::min<long long>(100, std::llround(bufferBytes_ * 100.0 / size))) : 0;
  if (percent != shownPercent_) {
    shownPercent_ = percent;
    host_.SetProgress(percent);
  }
}

void TRetrievalRun::Pop3MessageEnd(TComponent *) {
  // In a batch the messages after a cancel or a failure to store still arrive: not filed.
  if (word_ != "RETR" || (piped_ && (cancelled_ || !storeError_.empty()))) return;
  try {
    StoreMessage();
  } catch (const std::exception &e) {
    storeError_ = e.what();
  }
}

void TRetrievalRun::Pop3RequestDone(TComponent *, TPop3Request RqType, uint16_t Error) {
  if (RqType == pop3Noop && expected_ != pop3Noop) {
    host_.SetStatus("Noop");
    return;
  }
  // A late report of a request given up must not count for another.
  if (RqType != expected_) return;
  requestDone_ = true;
  requestError_ = Error;
  switch (RqType) {
    case pop3Quit:
      host_.SetKeepAlive(false);
      host_.SetProtocolLine("");
      break;
    case pop3Stat:
      host_.SetStatus(Error == 0 ? "There are " + std::to_string(client_.MsgCount()) + " message(s) on the server."
                                 : "Error - " + ErrorText(Error));
      break;
    case pop3Retr:
      if (word_ == "DELE") break;  // the pipelined deletion pass
      host_.SetProgress(0);
      host_.SetStatus(Error == 0 ? "Retrieved message " + std::to_string(msgNum_) + "."
                                 : "Error - " + ErrorText(Error));
      host_.SetProtocolLine("");
      break;
    case pop3Open:
      if (Error != 0) {
        host_.SetStatus("Error - " + ErrorText(Error));
        openFailed_ = true;
      } else {
        host_.SetStatus("Connected to " + client_.Host + ". Getting message count...");
        host_.SetKeepAlive(true);
      }
      break;
    default:
      break;
  }
}
