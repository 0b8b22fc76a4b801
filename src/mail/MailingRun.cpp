#include "mail/MailingRun.h"

#include "compose/FieldCodes.h"
#include "lists/AddressRecord.h"
#include "lists/ListRecord.h"
#include "mail/Recipients.h"
#include "mail/SentRecord.h"
#include "net/MimeEncode.h"
#include "storage/Ansi.h"
#include "storage/ServerPasswords.h"
#include "storage/TextCharset.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {
const char *const kXMailer = "X-Mailer: Brevant 2.0 by Tarnwick";
// The run never asks for a reset, so this type marks "no request of the run under way".
constexpr TSmtpRequest kNoRequest = smtpRset;

// The date and time as the user's system writes them: short date, long time.
std::string NowText() {
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  return QStringToAnsi(locale.toString(now.date(), QLocale::ShortFormat) + " " +
                       locale.toString(now.time(), QLocale::LongFormat));
}

int Percent(double part, double whole) {
  return whole > 0 ? static_cast<int>(std::lround(part * 100.0 / whole)) : 0;
}

// A registry entry, with its password fetched from the keyring when it logs in and keeps it there.
TSmtpServer ReadServerEntry(const std::string &dataDir, const std::string &name) {
  TSmtpServer server = ReadSmtpServer(dataDir, name, TIniMode::imOwn);
  if (server.Login) FetchServerPasswordWaiting(dataDir, &server);
  return server;
}

// Restores the run flag and closes the files on every way out of a run.
struct TRunGuard {
  bool &running;
  TMailSessionFiles &files;
  const std::string &dataDir;
  ~TRunGuard() {
    running = false;
    files.Close();
    RemoveWorkFile(dataDir);
  }
};
}  // namespace

void SetListSender(TMailingJob &job, const std::string &listName, const TListRecord &list,
                   const std::string &userName) {
  job.ListName = listName;
  job.FromName = Trim(list.FromName).empty() ? userName : list.FromName;
  job.Unsubscribe = {list.RemoveTo, list.RemoveToAddress, list.RemoveSub, list.RemoveSubAddress};
  job.ListPace = list.MessagesPerMinute;
}

TMailingRun::TMailingRun(const std::string &dataDir, TSmtpCli &client, IMailingHost &host)
    : dataDir_(dataDir), client_(client), host_(host), files_(dataDir) {
  BindClient();
}

void TMailingRun::BindClient() {
  using namespace std::placeholders;
  client_.OnDisplay = std::bind(&TMailingRun::SmtpCli3Display, this, _1, _2);
  client_.OnHeaderLine = std::bind(&TMailingRun::SmtpCli3HeaderLine, this, _1, _2, _3);
  client_.OnProcessHeader = std::bind(&TMailingRun::SmtpCli3ProcessHeader, this, _1, _2);
  client_.OnGetData = std::bind(&TMailingRun::SmtpCli3GetData, this, _1, _2, _3, _4, _5);
  client_.OnRequestDone = std::bind(&TMailingRun::SmtpCli3RequestDone, this, _1, _2, _3);
  client_.OnAttachContentType = [](TComponent *, int32_t, std::string &name, std::string &type) {
    type = AttachmentType(name);
  };
  client_.CharSet = kTextCharset;
  client_.OnNextItem = nullptr;
  client_.OnItemDone = nullptr;
}

TMailingRun::~TMailingRun() {
  client_.OnDisplay = nullptr;
  client_.OnHeaderLine = nullptr;
  client_.OnProcessHeader = nullptr;
  client_.OnGetData = nullptr;
  client_.OnRequestDone = nullptr;
  client_.OnAttachContentType = nullptr;
  client_.OnNextItem = nullptr;
  client_.OnItemDone = nullptr;
}

void TMailingRun::WaitUntilReady() {
  while (client_.State() != smtpReady) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TMailingRun::Request(void (TSmtpCli::*call)(), TSmtpRequest expected) {
  requestDone_ = false;
  expected_ = expected;
  (client_.*call)();
  // A server that stops answering would hold the run for ever: after a long silence the
  // request is given up and its message counts as failed.
  QTimer silence;
  silence.setSingleShot(true);
  bool timedOut = false;
  QObject::connect(&silence, &QTimer::timeout, [&timedOut] { timedOut = true; });
  silence.start(replyTimeoutMs_);
  silence_ = &silence;
  // The client is ready again a moment before it reports the outcome; the outcome decides
  // how the message counts, so wait for both.
  while (!timedOut && (!requestDone_ || client_.State() != smtpReady))
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  silence_ = nullptr;
  expected_ = kNoRequest;
  timedOut_ = timedOut;
  if (!timedOut) return;
  // Aborting reports the dropped request once more; let that report pass unheeded.
  client_.Abort();
  for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
  host_.SetStatus("Error - The server did not answer (10060)");
  if (expected == smtpOpen) openError_ = 10060;
  if (expected == smtpMail) mailError_ = 10060;
}

void TMailingRun::Assemble(bool mergeCodes) {
  TDigest digest = host_.AssembleMessage(mergeCodes);
  TMessageForm form = BuildMessageForm(digest);
  client_.BodyHeaders = std::move(form.BodyHeaders);
  wire_ = std::move(form.Lines);
  digest_ = std::move(digest.Lines);
  client_.SetContentType(digest.ContentType == TDigestContent::dcHTML ? smtpHTML : smtpPlainText);
}

std::string TMailingRun::PrepareSend(const TMailingJob &job) {
  if (running_) return {};
  TMailingJob run = job;
  Assemble(run.FieldCodes);
  // Codes sent as they stand would reach every reader as "%Name%".
  if (!run.FieldCodes && HoldsFieldCode(digest_)) {
    switch (host_.AskMergeFieldCodes()) {
      case IMailingHost::TAnswer::aYes: run.FieldCodes = true; break;
      case IMailingHost::TAnswer::aNo: break;
      case IMailingHost::TAnswer::aCancel: return {};
    }
  }
  // The pseudo-list's folder is the data directory.
  const std::string folder = run.ListFolder.empty() ? dataDir_ : run.ListFolder;
  bool resumed = false;
  const bool journal = run.FileSentCopy && run.KeepJournal;
  if (journal && !ApplyJournal(run, folder, &resumed)) return {};
  host_.SetStatus("Preparing to send...");
  std::string addresses;
  int count = 0;
  if (run.FromList) {
    addresses = ListPageAddresses(run.CheckedEntries);
    count = static_cast<int>(run.CheckedEntries.size());
  } else {
    addresses = AddressPageAddresses(run.TypedAddresses);
    count = CountAtSigns(run.TypedAddresses);
    if (addresses.empty()) {
      host_.SetStatus("");
      host_.ShowInformation("No addresses have been entered, so nothing was sent.");
      return {};
    }
  }
  if (journal) {
    ForceDirectories(folder);
    journal_.Begin(folder, run.NewsletterFile, JoinTextLines(run.Subject), resumed);
  }
  const bool started = StartMailing(run, addresses, count);
  // The run came to its end: nothing is left to resume.
  journal_.Finish();
  if (!started) {
    // Filing a copy of a message that never went out would tell the user it was sent.
    host_.SetStatus("");
    host_.ShowInformation("No send method has been chosen for this list or server, so nothing was sent.");
    return {};
  }
  if (client_.Host.empty()) {
    host_.ShowInformation(
        "A SMTP server has not been set!\r\n\r\nYou must set a SMTP server for the currently "
        "selected list! See the list's properties or General Properties for more information.");
    return {};
  }
  if (failed_ > 0) host_.ShowFailureReport(FailureReport(outcome_));
  // A copy says the message went out: only when someone took it, and only to them.
  if (accepted_.empty() || !run.FileSentCopy) return {};
  TSentMessage copy;
  copy.Subject = run.Subject;
  copy.Addresses = ListPageAddresses(accepted_);
  copy.DateText = NowText();
  copy.Attachments = run.Attachments;
  copy.Lines = sentDigest_;
  // No list folder means the pseudo-list, whose folder is the data directory.
  return RecordSentMessage(run.ListFolder.empty() ? dataDir_ : run.ListFolder, copy);
}

bool TMailingRun::ApplyJournal(TMailingJob &job, const std::string &folder, bool *resumed) {
  const std::set<std::string> done = TSendJournal::AlreadySent(folder, job.NewsletterFile, JoinTextLines(job.Subject));
  if (done.empty()) return true;
  std::vector<std::string> entries = job.CheckedEntries;
  if (!job.FromList) {
    entries.clear();
    std::string rest = AddressPageAddresses(job.TypedAddresses);
    while (!rest.empty() && !TakeBatch(rest, 1, &entries).empty()) {
    }
  }
  std::vector<std::string> remaining;
  for (const std::string &entry : entries)
    if (!done.count(LowerCase(EnvelopeAddress(entry)))) remaining.push_back(entry);
  const int already = static_cast<int>(entries.size() - remaining.size());
  if (already == 0) return true;
  switch (host_.AskResume(already, static_cast<int>(entries.size()), static_cast<int>(remaining.size()))) {
    case IMailingHost::TAnswer::aCancel: return false;
    case IMailingHost::TAnswer::aNo: return true;
    case IMailingHost::TAnswer::aYes: break;
  }
  *resumed = true;
  if (job.FromList) {
    job.CheckedEntries = remaining;
  } else {
    job.TypedAddresses.clear();
    for (const std::string &entry : remaining) job.TypedAddresses += entry + ",";
  }
  return true;
}

void TMailingRun::SetServer(const std::string &host, const std::string &port, const std::string &signOn) {
  client_.Host = host;
  client_.Port = Trim(port).empty() ? "smtp" : port;  // a blank port box means the usual one
  client_.SignOn = signOn;
  client_.Security = secNone;
  client_.Login = false;
  client_.Username.clear();
  client_.Password.clear();
  client_.AllowClearTextPassword = false;
  client_.TrustedFingerprint.clear();
}

void TMailingRun::SetServerSecurity(const TSmtpServer &server) {
  client_.Security = server.Security == 1 ? secStartTls : server.Security == 2 ? secSslTls : secNone;
  client_.Login = server.Login;
  if (server.Login) {
    // With a login the user name is the account's, and the greeting names this host.
    client_.SignOn.clear();
    client_.Username = server.Username;
    client_.Password = server.Password;
  }
  client_.AllowClearTextPassword = server.ClearText;
  client_.TrustedFingerprint = server.Certificate;
}

void TMailingRun::ListServerChoice(const TMailingJob &job, int *method, int *perMessage, int *pace) {
  if (Trim(job.ListServer).empty() && !Trim(job.DefaultServer).empty()) {
    const TSmtpServer server = ReadServerEntry(dataDir_, job.DefaultServer);
    SetServer(job.DefaultServer, server.Port, server.Username);
    SetServerSecurity(server);
    *method = server.SendMethod;
    *perMessage = server.RcptTo;
    *pace = server.MessagesPerMinute;
    TakeSessionSettings(server);
    return;
  }
  SetServer(job.ListServer, job.ListPort, job.ListUser);
  // A registry entry of the same name gives what the list's page does not hold: the trusted
  // certificate and the clear-text choice; and everything when the list chose nothing.
  const bool registered = SmtpServerExists(dataDir_, job.ListServer);
  TSmtpServer server = registered ? ReadServerEntry(dataDir_, job.ListServer) : TSmtpServer{};
  if (job.ListSecurity >= 0) {
    server.Security = job.ListSecurity;
    server.Login = job.ListLogin;
    server.Username = job.ListUser;
    if (!job.ListPassword.empty() || !registered) server.Password = job.ListPassword;
  }
  if (registered || job.ListSecurity >= 0) SetServerSecurity(server);
  *method = job.ListMethod;
  *perMessage = job.ListBatchSize;
  *pace = job.ListPace;
  TakeSessionSettings(server);
}

void TMailingRun::TakeSessionSettings(const TSmtpServer &server) {
  sessionsAtOnce_ = server.Sessions;
  sessionMessages_ = server.SessionMessages;
  retryPauses_.clear();
  for (const int seconds : server.RetryPauses) retryPauses_.push_back(seconds * 1000);
}

bool TMailingRun::StartMailing(const TMailingJob &job, const std::string &addresses, int count) {
  int method = 0;
  int perMessage = 1;
  int pace = 0;
  if (job.FromList) {
    ListServerChoice(job, &method, &perMessage, &pace);
  } else {
    const TSmtpServer server = ReadServerEntry(dataDir_, job.Server);
    SetServer(job.Server, server.Port, server.Username);
    SetServerSecurity(server);
    method = server.SendMethod;
    perMessage = server.RcptTo;
    pace = server.MessagesPerMinute;
    TakeSessionSettings(server);
  }
  paceMs_ = pace > 0 ? 60000.0 / pace : 0;
  if (job.Sessions > 0) sessionsAtOnce_ = std::min(job.Sessions, kMaxSmtpSessions);
  if (job.SessionMessages > 0) sessionMessages_ = job.SessionMessages;
  if (!job.RetryPauses.empty()) retryPauses_ = job.RetryPauses;
  nextSlot_ = 0;
  messageStarts_.clear();
  messageSlots_.clear();
  int batchSize = 0;
  switch (method) {
    case 0: batchSize = 1; break;
    case 1: batchSize = perMessage; break;
    case 2:
      // One message for everyone: nothing to share out among sessions.
      batchSize = count;
      sessionsAtOnce_ = sessionMessages_ = 1;
      break;
    default: return false;
  }
  RunMailing(job, addresses, batchSize);
  return true;
}

void TMailingRun::RunMailing(const TMailingJob &job, std::string addresses, int batchSize) {
  running_ = true;
  TRunGuard guard{running_, files_, dataDir_};
  files_.Start(NowText());
  sent_ = 0;
  failed_ = 0;
  accepted_.clear();
  sentDigest_.clear();
  outcome_ = TMailingOutcome{};
  outcome_.Host = client_.Host;
  listHeaders_.clear();
  if (job.FromList && !Trim(job.ListName).empty() && CompareText(job.ListName, kPseudoListName) != 0) {
    const std::string unsubscribe = ListUnsubscribeValue(job.Unsubscribe, job.ListFrom);
    if (!unsubscribe.empty()) listHeaders_.push_back("List-Unsubscribe: " + unsubscribe);
    listHeaders_.push_back("List-Id: " + ListIdValue(job.ListName, job.ListFrom));
  }
  WaitUntilReady();
  deferred_.clear();
  retryRound_ = 0;
  cancelled_ = false;
  if (job.FieldCodes)
    RunPerRecipient(job);
  else
    RunBatches(job, std::move(addresses), batchSize);
  RetryDeferred(job, batchSize);
  WaitUntilReady();
  if (client_.Connected()) Request(&TSmtpCli::Quit, smtpQuit);
  files_.Finish(sent_, failed_);
  outcome_.Sent = sent_;
  outcome_.Failed = failed_;
  host_.SetStatus(std::to_string(sent_) + " messages sent succesfully. " + std::to_string(failed_) +
                  " failed.");
  host_.SetProgress(0);
}

void TMailingRun::SetMessage(const TMailingJob &job, const std::vector<std::string> &recipients,
                             const std::string &hdrTo, const std::string &hdrFrom, const std::string &hdrReplyTo) {
  client_.RcptName = recipients;
  client_.HdrTo = hdrTo;
  // A display name makes the sender known to the reader (and to spam filters).
  client_.HdrFrom = Trim(job.FromName).empty() ? Trim(hdrFrom) : MailboxText(job.FromName, hdrFrom, kTextCharset, 6);
  client_.FromName = BareAddress(hdrFrom);
  client_.HdrReplyTo = hdrReplyTo;
  client_.HdrSubject = EncodeHeaderText(JoinTextLines(job.Subject), kTextCharset, 9);
  // The client opens the files by their names in the file system's encoding; the message
  // names them in its own charset.
  std::vector<std::string> files, names;
  for (const std::string &path : job.Attachments) {
    if (Trim(path).empty()) continue;
    files.push_back(QFile::encodeName(AnsiToQString(Trim(path))).toStdString());
    names.push_back(ExtractFileName(Trim(path)));
  }
  client_.SetEmailFiles(files);
  client_.EmailFileNames = names;
  client_.MessageSize = client_.MessageSizeFor(wire_);  // for a server that announces SIZE
}

void TMailingRun::RunPerRecipient(const TMailingJob &job) {
  if (UseSessions()) {
    TCursor cursor;
    cursor.Job = &job;
    cursor.PerRecipient = true;
    if (job.FromList) {
      for (const std::string &entry : job.CheckedEntries) cursor.Recipients.emplace_back(entry, entry);
    } else {
      std::string rest = AddressPageAddresses(job.TypedAddresses);
      for (std::vector<std::string> entries; !rest.empty(); entries.clear())
        for (const std::string &address : TakeBatch(rest, 1, &entries))
          cursor.Recipients.emplace_back(entries.back(), AddressKey(address));
    }
    SendThroughSessions(std::move(cursor));
    return;
  }
  files_.Open();
  if (job.FromList) {
    for (const std::string &entry : job.CheckedEntries) SendToRecipient(job, entry, entry);
  } else {
    // Typed addresses: each merged from its record when the current list knows it.
    std::string rest = AddressPageAddresses(job.TypedAddresses);
    for (std::vector<std::string> entries; !rest.empty(); entries.clear())
      for (const std::string &address : TakeBatch(rest, 1, &entries))
        SendToRecipient(job, entries.back(), AddressKey(address));
  }
  files_.Close();
}

void TMailingRun::SendToRecipient(const TMailingJob &job, const std::string &entry, const std::string &shownEntry) {
  if (PrepareRecipient(job, entry, shownEntry)) SendOneMessage({entry});
}

bool TMailingRun::PrepareRecipient(const TMailingJob &job, const std::string &entry, const std::string &shownEntry) {
  host_.SetProgress(0);
  shown_ = shownEntry;
  std::string email = EnvelopeAddress(entry);
  // One recipient's error (a field code that cannot be merged, an attachment gone) fails
  // that recipient only.
  try {
    const std::string shown = host_.ShowAddress(shownEntry);
    if (!Trim(shown).empty()) email = shown;
    Assemble(true);
    host_.SetStatus("Preparing to send message to " + email);
    const std::string hdrTo = job.BCC ? std::string() : job.FromList ? job.ListTo : email;
    if (job.FromList)
      SetMessage(job, {email}, hdrTo, job.ListFrom, job.ListReply);
    else if (job.GenProps)
      SetMessage(job, {email}, hdrTo, job.GenEmail, job.GenReply);
    else
      SetMessage(job, {email}, hdrTo, job.DialogFrom, job.DialogFrom);
  } catch (const std::exception &e) {
    FailMessage({email}, e.what());
    return false;
  }
  return true;
}

int TMailingRun::PrepareBatch(const TMailingJob &job, std::string &addresses, int batchSize,
                              std::vector<std::string> *entries) {
  host_.SetProgress(0);
  const std::vector<std::string> batch = TakeBatch(addresses, batchSize, entries);
  if (batch.empty()) return 0;  // nothing but blanks was left
  host_.SetStatus("Preparing to send message to " + std::to_string(std::max(batchSize, 1)) + " addresses...");
  const std::string hdrTo = job.BCC ? std::string() : batch.back();
  try {
    if (job.FromList)
      SetMessage(job, batch, job.ListTo, job.ListFrom, job.ListReply);
    else if (job.GenProps)
      SetMessage(job, batch, hdrTo, job.GenEmail, job.GenReply);
    else
      SetMessage(job, batch, hdrTo, job.DialogFrom, job.DialogFrom);
  } catch (const std::exception &e) {
    FailMessage(batch, e.what());
    return -1;
  }
  return 1;
}

void TMailingRun::RunBatches(const TMailingJob &job, std::string addresses, int batchSize) {
  shown_.clear();
  if (UseSessions()) {
    TCursor cursor;
    cursor.Job = &job;
    cursor.Addresses = std::move(addresses);
    cursor.BatchSize = batchSize;
    SendThroughSessions(std::move(cursor));
    return;
  }
  while (!addresses.empty()) {
    files_.Open();
    WaitUntilReady();
    std::vector<std::string> entries;
    const int prepared = PrepareBatch(job, addresses, batchSize, &entries);
    if (prepared == 0) break;
    if (prepared > 0) SendOneMessage(entries);
    files_.Close();
    if (prepared > 0)
      host_.SetStatus("Successful: " + std::to_string(sent_) + "/  Unsuccessful: " + std::to_string(failed_));
  }
}

void TMailingRun::CountFailed(const std::vector<std::string> &recipients, const std::string &reason) {
  failed_ += static_cast<int>(recipients.size());
  for (const std::string &recipient : recipients) {
    files_.AddFailed(recipient);
    files_.Log("Failed " + recipient + ": " + reason);
    outcome_.Failures.push_back({recipient, reason});
  }
}

void TMailingRun::FailMessage(const std::vector<std::string> &recipients, const std::string &reason) {
  host_.SetStatus("Error - " + reason);
  CountFailed(recipients, reason);
}

std::string TMailingRun::RefusalOf(const std::string &recipient, const std::string &otherwise) const {
  for (const auto &[address, reply] : refused_)
    if (address == Trim(recipient)) return reply;
  return otherwise;
}

std::string TMailingRun::ClientReason(int error) const {
  if (timedOut_) return "The server did not answer";
  if (error >= 10004 && error <= 11004 && error != 10004) return WSocketErrorDesc(error);
  if (!client_.ErrorMessage().empty()) return client_.ErrorMessage();
  return error == 10004 ? "The server closed the connection" : "Error " + std::to_string(error);
}

double TMailingRun::PaceNow() {
  static QElapsedTimer clock;
  if (!clock.isValid()) clock.start();
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void TMailingRun::TakeSlot(bool waited) {
  messageSlots_.push_back(waited ? nextSlot_ : 0);
  const double start = PaceNow();
  messageStarts_.push_back(start);
  // The slots follow each other at the pace; a message that started late does not make
  // the next one wait longer.
  if (paceMs_ > 0) nextSlot_ = std::max(start, nextSlot_) + paceMs_;
}

void TMailingRun::KeepPace() {
  auto now = [] { return PaceNow(); };
  const bool wait = paceMs_ > 0 && nextSlot_ > now();
  if (wait) {
    // A timer wakes the run at its slot; nothing spins meanwhile.
    QEventLoop loop;
    QTimer slot;
    slot.setSingleShot(true);
    slot.setTimerType(Qt::PreciseTimer);
    QObject::connect(&slot, &QTimer::timeout, &loop, &QEventLoop::quit);
    slot.start(static_cast<int>(std::ceil(nextSlot_ - now())));
    loop.exec();
  }
  TakeSlot(wait);
}

void TMailingRun::Cancel() {
  cancelled_ = true;
  if (retryWait_) retryWait_->quit();
  // Every session stops taking messages; what is on the wire gets its reply (a message the
  // server took must count as sent), then the session ends.
  for (auto &s : pool_) {
    if (s->Slot->isActive()) {
      s->Slot->stop();
      KickSession(*s);
    }
  }
}

int TMailingRun::ReplyCodeOf(int error) const {
  if (error >= 100 && error < 600) return error;
  return ParseSmtpReply(client_.ErrorMessage()).Code;
}

void TMailingRun::Defer(const std::string &entry, const std::string &recipient, const std::string &reason) {
  deferred_.push_back({entry, shown_.empty() ? entry : shown_, recipient, reason});
  files_.Log("Deferred " + recipient + ": " + reason);
}

bool TMailingRun::WaitBeforeRetry(int ms, int round, int rounds) {
  QEventLoop loop;
  QTimer tick;
  const qint64 deadline = QDateTime::currentMSecsSinceEpoch() + ms;
  const int count = static_cast<int>(deferred_.size());
  auto show = [&] {
    const qint64 left = deadline - QDateTime::currentMSecsSinceEpoch();
    if (left <= 0) {
      loop.quit();
      return;
    }
    // Short, countdown first: the status panel shows about 35 characters.
    host_.SetStatus("Retry " + std::to_string(round) + "/" + std::to_string(rounds) + " in " + std::to_string((left + 999) / 1000) + " s (" +
                    std::to_string(count) + " deferred)");
    // The next tick when the shown seconds change (or the wait ends).
    tick.start(static_cast<int>(left % 1000 == 0 ? 1000 : left % 1000));
  };
  QObject::connect(&tick, &QTimer::timeout, show);
  tick.setSingleShot(true);
  retryWait_ = &loop;
  host_.BeginRetryWait(count);
  show();
  if (!cancelled_ && QDateTime::currentMSecsSinceEpoch() < deadline) loop.exec();
  retryWait_ = nullptr;
  host_.EndRetryWait();
  return !cancelled_;
}

void TMailingRun::RetryDeferred(const TMailingJob &job, int batchSize) {
  const size_t rounds = std::min(retryPauses_.size(), static_cast<size_t>(kMaxRetryRounds));
  for (size_t round = 0; round < rounds && !deferred_.empty(); ++round) {
    if (!WaitBeforeRetry(retryPauses_[round], static_cast<int>(round) + 1, static_cast<int>(rounds))) break;
    std::vector<TDeferred> again;
    again.swap(deferred_);
    retryRound_ = static_cast<int>(round) + 1;
    files_.Open();
    files_.Log("Retry " + std::to_string(retryRound_) + ": " + std::to_string(again.size()) + " deferred addresses");
    if (job.FieldCodes && UseSessions()) {
      TCursor cursor;
      cursor.Job = &job;
      cursor.PerRecipient = true;
      for (const TDeferred &d : again) cursor.Recipients.emplace_back(d.Entry, d.Shown);
      SendThroughSessions(std::move(cursor));
    } else if (job.FieldCodes) {
      for (const TDeferred &d : again) SendToRecipient(job, d.Entry, d.Shown);
    } else {
      std::vector<std::string> entries;
      for (const TDeferred &d : again) entries.push_back(d.Entry);
      RunBatches(job, ListPageAddresses(entries), batchSize);
    }
    files_.Close();
  }
  if (deferred_.empty()) return;
  files_.Open();
  for (const TDeferred &d : deferred_)
    CountFailed({d.Recipient}, (cancelled_ ? "Cancelled while deferred: " : "Still deferred: ") + d.Reason);
  deferred_.clear();
  files_.Close();
}

void TMailingRun::SendOneMessage(const std::vector<std::string> &entries) {
  const std::vector<std::string> recipients = client_.RcptName;
  auto entryOf = [&](size_t i) { return i < entries.size() ? entries[i] : recipients[i]; };
  try {
    WaitUntilReady();
    if (!client_.Connected()) {
      host_.SetStatus("Connecting to " + client_.Host + "...");
      openError_ = 0;
      Request(&TSmtpCli::Open, smtpOpen);
      // One attempt per message: a server that cannot be reached fails this message only.
      if (!client_.Connected() || openError_ != 0) {
        const std::string reason = ClientReason(openError_);
        const int code = ReplyCodeOf(openError_);
        if (client_.Connected()) Request(&TSmtpCli::Quit, smtpQuit);
        // A server that is busy for now (421, 4xx to the greeting) is tried again later.
        if (code >= 400 && code < 500) {
          for (size_t i = 0; i < recipients.size(); ++i) Defer(entryOf(i), recipients[i], reason);
          return;
        }
        outcome_.ConnectError = reason;
        CountFailed(recipients, outcome_.ConnectError);
        return;
      }
      outcome_.Connected = true;
    }
    mailError_ = 0;
    refused_.clear();
    rcptAwaiting_ = false;
    KeepPace();
    Request(&TSmtpCli::Mail, smtpMail);
    const std::string mailReason = mailError_ != 0 ? ClientReason(mailError_) : std::string();
    const int mailCode = mailError_ != 0 ? ReplyCodeOf(mailError_) : 0;
    Request(&TSmtpCli::Quit, smtpQuit);
    // The server took the message only when the whole request succeeded; then only the
    // recipients it accepted have it. A 4xx reply defers a recipient rather than failing it.
    if (mailError_ != 0) {
      for (size_t i = 0; i < recipients.size(); ++i) {
        const std::string refusal = RefusalOf(recipients[i], std::string());
        const int code = refusal.empty() ? mailCode : ParseSmtpReply(refusal).Code;
        const std::string reason = refusal.empty() ? mailReason : refusal;
        if (code >= 400 && code < 500) Defer(entryOf(i), recipients[i], reason);
        else CountFailed({recipients[i]}, reason);
      }
      return;
    }
  } catch (const std::exception &e) {
    if (!outcome_.Connected && !client_.Connected()) outcome_.ConnectError = e.what();
    // A request that raised may leave the client waiting for nothing (a failed name
    // lookup keeps it busy); bring it back so the next message can go.
    if (client_.State() != smtpReady) client_.Abort();
    FailMessage(recipients, e.what());
    return;
  }
  bool anyAccepted = false;
  for (size_t i = 0; i < recipients.size(); ++i) {
    const std::string refusal = RefusalOf(recipients[i], std::string());
    if (!refusal.empty()) {
      const int code = ParseSmtpReply(refusal).Code;
      if (code >= 400 && code < 500) Defer(entryOf(i), recipients[i], refusal);
      else CountFailed({recipients[i]}, refusal);
      continue;
    }
    ++sent_;
    anyAccepted = true;
    accepted_.push_back(entryOf(i));
    journal_.Accepted(recipients[i]);
    if (retryRound_ > 0) files_.Log("Sent to " + recipients[i] + " on try " + std::to_string(retryRound_ + 1));
  }
  if (anyAccepted) sentDigest_ = digest_;
}

void TMailingRun::SmtpCli3RequestDone(TComponent *, TSmtpRequest RqType, uint16_t Error) {
  // A late report of a request given up must not count for another.
  if (RqType != expected_) return;
  requestDone_ = true;
  if (Error != 0 && Error != 10004)
    host_.SetStatus("Error - " + client_.ErrorMessage() + " (" + std::to_string(Error) + ")");
  switch (RqType) {
    case smtpOpen:
      openError_ = Error;
      if (Error == 0) host_.SetStatus("Connected to " + client_.Host);
      break;
    case smtpMail:
      mailError_ = Error;
      host_.SetProgress(0);
      break;
    case smtpQuit:
      host_.SetProtocolLine("");
      break;
    default:
      break;
  }
}

void TMailingRun::SmtpCli3HeaderLine(TComponent *, char *, int32_t) { host_.SetStatus("Sending headers..."); }

void TMailingRun::SmtpCli3ProcessHeader(TComponent *, std::vector<std::string> &HdrLines) {
  // The X-Mailer header follows the Subject. It goes in as a line of its own: the client
  // folds any line break inside a header line into a continuation of that header.
  for (auto line = HdrLines.begin(); line != HdrLines.end(); ++line)
    if (StartsText("Subject:", *line)) {
      HdrLines.insert(line + 1, kXMailer);
      break;
    }
  HdrLines.insert(HdrLines.end(), listHeaders_.begin(), listHeaders_.end());
}

void TMailingRun::SmtpCli3GetData(TComponent *, int32_t LineNum, char *MsgLine, int32_t MaxLen, bool &More) {
  host_.SetStatus("Sending message...");
  if (silence_) silence_->start();
  if (LineNum <= 1) {
    dataLine_ = 0;
    dataOffset_ = 0;
  }
  if (dataLine_ >= wire_.size() || MaxLen < 2) {
    More = false;
    return;
  }
  const std::string &line = wire_[dataLine_];
  // Servers take at most 998 characters a line; a longer line goes out in pieces.
  const size_t take = std::min({line.size() - dataOffset_, static_cast<size_t>(MaxLen - 1), size_t{998}});
  std::memcpy(MsgLine, line.data() + dataOffset_, take);
  MsgLine[take] = '\0';
  dataOffset_ += take;
  if (dataOffset_ >= line.size()) {
    ++dataLine_;
    dataOffset_ = 0;
  }
  host_.SetProgress(Percent(static_cast<double>(dataLine_), static_cast<double>(wire_.size())));
}

void TMailingRun::SmtpCli3Display(TComponent *, const std::string &Msg) {
  const std::string &msg = Msg;
  const int64_t size = client_.FileSize();
  if (size > 0) host_.SetProgress(Percent(static_cast<double>(client_.FileRead()), static_cast<double>(size)));
  host_.SetProtocolLine(msg);
  files_.Log(msg);
  // Progress restarts the silence timer; a reply that only keeps adding lines does not.
  const bool continued = StartsText("< ", msg) && ParseSmtpReply(msg.substr(2)).More;
  if (silence_ && !continued) silence_->start();

  // Follow the recipients' replies: the request only reports the last one.
  if (StartsText("> RCPT TO:<", msg)) {
    const size_t close = msg.rfind('>');
    rcptPending_ = close > 11 ? msg.substr(11, close - 11) : std::string();
    rcptAwaiting_ = true;
  } else if (rcptAwaiting_ && StartsText("< ", msg)) {
    if (continued) return;
    const int code = ParseSmtpReply(msg.substr(2)).Code;
    rcptAwaiting_ = false;
    if (code != 250 && code != 251) {
      refused_.emplace_back(rcptPending_, msg.substr(2));
      host_.SetStatus("Error - " + msg.substr(2) + " (" + std::to_string(code) + ")");
    }
  }
}
