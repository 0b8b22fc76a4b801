#include "mail/MailingRun.h"

#include "mail/Recipients.h"
#include "mail/SentRecord.h"
#include "storage/Ansi.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"

#include <QCoreApplication>
#include <QDateTime>
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

// The reply code at the start of a reply line, and whether more lines follow it.
int ReplyCode(const std::string &reply, bool *continued) {
  size_t i = reply.find_first_not_of(" \t\r\n");
  int code = 0;
  for (; i < reply.size() && reply[i] >= '0' && reply[i] <= '9'; ++i) code = code * 10 + (reply[i] - '0');
  *continued = i < reply.size() && reply[i] == '-';
  return code;
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

TMailingRun::TMailingRun(const std::string &dataDir, TSmtpCli &client, IMailingHost &host)
    : dataDir_(dataDir), client_(client), host_(host), files_(dataDir) {
  using namespace std::placeholders;
  client_.OnDisplay = std::bind(&TMailingRun::SmtpCli3Display, this, _1, _2);
  client_.OnHeaderLine = std::bind(&TMailingRun::SmtpCli3HeaderLine, this, _1, _2, _3);
  client_.OnProcessHeader = std::bind(&TMailingRun::SmtpCli3ProcessHeader, this, _1, _2);
  client_.OnGetData = std::bind(&TMailingRun::SmtpCli3GetData, this, _1, _2, _3, _4, _5);
  client_.OnRequestDone = std::bind(&TMailingRun::SmtpCli3RequestDone, this, _1, _2, _3);
  client_.CharSet = "iso-8859-1";
}

TMailingRun::~TMailingRun() {
  client_.OnDisplay = nullptr;
  client_.OnHeaderLine = nullptr;
  client_.OnProcessHeader = nullptr;
  client_.OnGetData = nullptr;
  client_.OnRequestDone = nullptr;
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
  digest_ = std::move(digest.Lines);
  client_.SetContentType(digest.ContentType == TDigestContent::dcHTML ? smtpHTML : smtpPlainText);
}

std::string TMailingRun::PrepareSend(const TMailingJob &job) {
  if (running_) return {};
  Assemble(job.FieldCodes);
  host_.SetStatus("Preparing to send...");
  std::string addresses;
  int count = 0;
  if (job.FromList) {
    addresses = ListPageAddresses(job.CheckedEntries);
    count = static_cast<int>(job.CheckedEntries.size());
  } else {
    addresses = AddressPageAddresses(job.TypedAddresses);
    count = CountAtSigns(job.TypedAddresses);
    // Per-recipient mode sends to the list's checked entries whatever was typed.
    if (addresses.empty() && !job.FieldCodes) {
      host_.SetStatus("");
      host_.ShowInformation("No addresses have been entered, so nothing was sent.");
      return {};
    }
  }
  if (!StartMailing(job, addresses, count)) {
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
  TSentMessage copy;
  copy.Subject = job.Subject;
  copy.Addresses = addresses;
  copy.DateText = NowText();
  copy.Attachments = job.Attachments;
  copy.Lines = digest_;
  // No list folder means the pseudo-list, whose folder is the data directory.
  return RecordSentMessage(job.ListFolder.empty() ? dataDir_ : job.ListFolder, copy);
}

void TMailingRun::SetServer(const std::string &host, const std::string &port, const std::string &signOn) {
  client_.Host = host;
  client_.Port = Trim(port).empty() ? "smtp" : port;  // a blank port box means the usual one
  client_.SignOn = signOn;
}

bool TMailingRun::StartMailing(const TMailingJob &job, const std::string &addresses, int count) {
  int method = 0;
  int perMessage = 1;
  if (job.FromList) {
    SetServer(job.ListServer, job.ListPort, job.ListUser);
    method = job.ListMethod;
    perMessage = job.ListBatchSize;
  } else {
    const TSmtpServer server = ReadSmtpServer(dataDir_, job.Server, TIniMode::imOwn);
    SetServer(job.Server, server.Port, server.Username);
    method = server.SendMethod;
    perMessage = server.RcptTo;
  }
  int batchSize = 0;
  switch (method) {
    case 0: batchSize = 1; break;
    case 1: batchSize = perMessage; break;
    case 2: batchSize = count; break;
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
  WaitUntilReady();
  if (job.FieldCodes)
    RunPerRecipient(job);
  else
    RunBatches(job, std::move(addresses), batchSize);
  WaitUntilReady();
  if (client_.Connected()) Request(&TSmtpCli::Quit, smtpQuit);
  files_.Finish(sent_, failed_);
  host_.SetStatus(std::to_string(sent_) + " messages sent succesfully. " + std::to_string(failed_) +
                  " failed.");
  host_.SetProgress(0);
}

void TMailingRun::SetMessage(const TMailingJob &job, const std::vector<std::string> &recipients,
                             const std::string &hdrTo, const std::string &hdrFrom, const std::string &hdrReplyTo) {
  client_.RcptName = recipients;
  client_.HdrTo = hdrTo;
  client_.HdrFrom = hdrFrom;
  client_.FromName = hdrFrom;
  client_.HdrReplyTo = hdrReplyTo;
  client_.HdrSubject = JoinTextLines(job.Subject);
  client_.SetEmailFiles(job.Attachments);
}

void TMailingRun::RunPerRecipient(const TMailingJob &job) {
  files_.Open();
  for (const std::string &entry : job.CheckedEntries) {
    host_.SetProgress(0);
    const std::string email = host_.ShowAddress(entry);
    Assemble(true);
    host_.SetStatus("Preparing to send message to " + email);
    // A missing attachment here ends the run: every further message would fail the same way.
    SetMessage(job, {email}, job.BCC ? std::string() : job.ListTo, job.ListFrom, job.ListReply);
    SendOneMessage();
  }
  files_.Close();
}

void TMailingRun::RunBatches(const TMailingJob &job, std::string addresses, int batchSize) {
  while (!addresses.empty()) {
    files_.Open();
    WaitUntilReady();
    host_.SetProgress(0);
    const std::vector<std::string> batch = TakeBatch(addresses, batchSize);
    if (batch.empty()) break;  // nothing but blanks was left
    host_.SetStatus("Preparing to send message to " + std::to_string(std::max(batchSize, 1)) +
                    " addresses...");
    const std::string hdrTo = job.BCC ? std::string() : batch.back();
    try {
      if (job.FromList)
        SetMessage(job, batch, job.ListTo, job.ListFrom, job.ListReply);
      else if (job.GenProps)
        SetMessage(job, batch, hdrTo, job.GenEmail, job.GenReply);
      else
        SetMessage(job, batch, hdrTo, job.DialogFrom, job.DialogFrom);
    } catch (const std::exception &e) {
      host_.SetStatus(std::string("Error - ") + e.what());
      CountFailed(batch);
      files_.Close();
      continue;
    }
    SendOneMessage();
    files_.Close();
    host_.SetStatus("Successful: " + std::to_string(sent_) + "/  Unsuccessful: " + std::to_string(failed_));
  }
}

void TMailingRun::CountFailed(const std::vector<std::string> &recipients) {
  failed_ += static_cast<int>(recipients.size());
  for (const std::string &recipient : recipients) files_.AddFailed(recipient);
}

void TMailingRun::SendOneMessage() {
  const std::vector<std::string> recipients = client_.RcptName;
  try {
    WaitUntilReady();
    if (!client_.Connected()) {
      host_.SetStatus("Connecting to " + client_.Host + "...");
      openError_ = 0;
      Request(&TSmtpCli::Open, smtpOpen);
      // One attempt per message: a server that cannot be reached fails this message only.
      if (!client_.Connected() || openError_ != 0) {
        if (client_.Connected()) Request(&TSmtpCli::Quit, smtpQuit);
        CountFailed(recipients);
        return;
      }
    }
    mailError_ = 0;
    refused_.clear();
    rcptAwaiting_ = false;
    Request(&TSmtpCli::Mail, smtpMail);
    Request(&TSmtpCli::Quit, smtpQuit);
  } catch (const std::exception &e) {
    host_.SetStatus(std::string("Error - ") + e.what());
    // A request that raised may leave the client waiting for nothing (a failed name
    // lookup keeps it busy); bring it back so the next message can go.
    if (client_.State() != smtpReady) client_.Abort();
    CountFailed(recipients);
    return;
  }
  // The server took the message only when the whole request succeeded; then only the
  // recipients it accepted have it.
  if (mailError_ != 0) {
    CountFailed(recipients);
    return;
  }
  std::vector<std::string> failed;
  for (const std::string &recipient : recipients) {
    const bool refused = std::find(refused_.begin(), refused_.end(), Trim(recipient)) != refused_.end();
    if (refused)
      failed.push_back(recipient);
    else
      ++sent_;
  }
  CountFailed(failed);
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
      return;
    }
}

void TMailingRun::SmtpCli3GetData(TComponent *, int32_t LineNum, char *MsgLine, int32_t MaxLen, bool &More) {
  host_.SetStatus("Sending message...");
  if (silence_) silence_->start();
  if (LineNum <= 1) {
    dataLine_ = 0;
    dataOffset_ = 0;
  }
  if (dataLine_ >= digest_.size() || MaxLen < 2) {
    More = false;
    return;
  }
  const std::string &line = digest_[dataLine_];
  // Servers take at most 998 characters a line; a longer line goes out in pieces.
  const size_t take = std::min({line.size() - dataOffset_, static_cast<size_t>(MaxLen - 1), size_t{998}});
  std::memcpy(MsgLine, line.data() + dataOffset_, take);
  MsgLine[take] = '\0';
  dataOffset_ += take;
  if (dataOffset_ >= line.size()) {
    ++dataLine_;
    dataOffset_ = 0;
  }
  host_.SetProgress(Percent(static_cast<double>(dataLine_), static_cast<double>(digest_.size())));
}

void TMailingRun::SmtpCli3Display(TComponent *, const std::string &Msg) {
  const std::string &msg = Msg;
  const int64_t size = client_.FileSize();
  if (size > 0) host_.SetProgress(Percent(static_cast<double>(client_.FileRead()), static_cast<double>(size)));
  host_.SetProtocolLine(msg);
  files_.Log(msg);
  if (silence_) silence_->start();

  // Follow the recipients' replies: the request only reports the last one.
  if (StartsText("> RCPT TO:<", msg)) {
    const size_t close = msg.rfind('>');
    rcptPending_ = close > 11 ? msg.substr(11, close - 11) : std::string();
    rcptAwaiting_ = true;
  } else if (rcptAwaiting_ && StartsText("< ", msg)) {
    bool continued = false;
    const int code = ReplyCode(msg.substr(2), &continued);
    if (continued) return;
    rcptAwaiting_ = false;
    if (code != 250 && code != 251) {
      refused_.push_back(rcptPending_);
      host_.SetStatus("Error - " + msg.substr(2) + " (" + std::to_string(code) + ")");
    }
  }
}
