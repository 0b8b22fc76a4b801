#include "cli/CliCommands.h"

#include "cli/CliRetrievalHost.h"
#include "cli/DryRunServer.h"
#include "cli/Newsletter.h"
#include "compose/Scrooge.h"
#include "compose/SendAssembly.h"
#include "lists/AddressRecord.h"
#include "lists/CsvAddresses.h"
#include "lists/ImportExport.h"
#include "lists/ListPasswords.h"
#include "lists/ListRecord.h"
#include "mail/FieldSources.h"
#include "mail/MailingRun.h"
#include "mail/PopSettings.h"
#include "mail/RetrievalRun.h"
#include "storage/Ansi.h"
#include "storage/GeneralSettings.h"
#include "storage/ListLock.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <QFileInfo>

#include <ostream>

namespace {
const char *const kProgram = "brevant-cli";

int Fail(const TCliContext &c, const std::string &text, int code = ceUsage) {
  *c.Err << kProgram << ": " << text << "\n";
  return code;
}

// The list of that name (without regard to case) with its record; false after a message.
bool FindList(const TCliContext &c, const std::string &wanted, std::string *name, TListRecord *record) {
  for (const std::string &candidate : LoadMailLists(c.DataDir))
    if (SameText(candidate, CleanListName(wanted))) {
      *name = candidate;
      *record = LoadListRecordWithPasswords(c.DataDir, candidate);
      if (DirectoryExists(record->Path)) return true;
      Fail(c, "the folder of list \"" + candidate + "\" is missing: " + record->Path);
      return false;
    }
  Fail(c, "no mailing list \"" + wanted + "\" in " + ListsFile(c.DataDir) + " (brevant-cli lists shows them)");
  return false;
}

// Takes the list's lock for a command that changes its files: ceDone, or the exit status
// after a message. A list busy elsewhere is worth trying again later, like a server down.
int LockList(const TCliContext &c, TListLock &lock, int waitSeconds) {
  if (lock.Acquire(waitSeconds * 1000)) return ceDone;
  return Fail(c, ListBusyText(lock), lock.HolderPid() > 0 ? ceNoConnection : ceUsage);
}

bool IsCsv(const std::string &file) { return SameText(ExtractFileExt(file), ".csv"); }

// The window side of the mailing run, on a terminal or a log.
class TCliMailingHost : public IMailingHost {
public:
  TCliMailingHost(const TCliContext &c, TAssemblyInput base, std::string listPath, bool html, size_t total)
      : c_(c), base_(std::move(base)), listPath_(std::move(listPath)), html_(html), total_(total) {
    scrooge_.ConfigureForMainWindow();
  }

  TDigest AssembleMessage(bool mergeCodes) override {
    TAssemblyInput in = base_;
    in.SendHtml = in.SendHtml || html_;
    if (shown_) in.Recipient = recipient_;
    TScroogeConverter converter(scrooge_);
    return assembly_.Assemble(in, mergeCodes, &converter);
  }

  std::string ShowAddress(const std::string &entry) override {
    const TAddressRecord record = ::ShowAddress(listPath_, entry);
    recipient_ = RecipientOf(record);
    shown_ = true;
    return record.Email;
  }

  void SetStatus(const std::string &text) override {
    if (StartsText("Preparing to send message to", text)) {
      ++started_;
      if (c_.Terminal) DrawBar();
      else *c_.Err << text << "\n";
    } else if (StartsText("Error - ", text)) {
      if (c_.Terminal) *c_.Err << "\r\033[K";
      *c_.Err << text << "\n";
      if (c_.Terminal) DrawBar();
    }
  }
  void SetProtocolLine(const std::string &) override {}
  void SetProgress(int) override {}
  // A run of the same newsletter that stopped half-way is finished, not repeated.
  TAnswer AskResume(int already, int total, int remaining) override {
    *c_.Err << kProgram << ": " << already << " of " << total
            << " recipients already received this newsletter; sending to the remaining " << remaining << ".\n";
    total_ = static_cast<size_t>(remaining);
    return TAnswer::aYes;
  }
  void ShowInformation(const std::string &text) override { *c_.Err << kProgram << ": " << ReplaceAll(text, "\r\n", "\n") << "\n"; }

  void EndBar() {
    if (c_.Terminal && started_ > 0) *c_.Err << "\n";
  }

private:
  void DrawBar() {
    constexpr size_t width = 30;
    const size_t done = std::min(started_, total_);
    const size_t filled = total_ ? done * width / total_ : width;
    *c_.Err << "\r[" << std::string(filled, '#') << std::string(width - filled, '.') << "] " << done << "/"
            << total_ << std::flush;
  }

  const TCliContext &c_;
  TAssemblyInput base_;
  std::string listPath_;
  bool html_;
  size_t total_;
  size_t started_ = 0;
  TScrooge scrooge_;
  // The newsletter converted once, each recipient's values merged into it.
  TSendAssembly assembly_;
  TRecipientFields recipient_;
  bool shown_ = false;
};

// How many messages a run makes: one per recipient, or one per batch.
size_t MessageCount(size_t recipients, const TMailingJob &job) {
  if (job.FieldCodes || job.ListMethod == 0) return recipients;
  if (job.ListMethod == 2) return recipients ? 1 : 0;
  const size_t batch = static_cast<size_t>(std::max(job.ListBatchSize, 1));
  return (recipients + batch - 1) / batch;
}
}  // namespace

int RunCliCommand(const TCliOptions &options, const TCliContext &context) {
  try {
    switch (options.Command) {
      case TCliCommand::ccLists: return ListsCommand(context);
      case TCliCommand::ccSend: return SendCommand(options, context);
      case TCliCommand::ccFetch: return FetchCommand(options, context);
      case TCliCommand::ccImport: return ImportCommand(options, context);
      case TCliCommand::ccExport: return ExportCommand(options, context);
      case TCliCommand::ccNone: break;
    }
    return Fail(context, "no command given");
  } catch (const std::exception &e) {
    // Unreadable or unwritable files name themselves in the message.
    return Fail(context, e.what());
  }
}

int ListsCommand(const TCliContext &c) {
  for (const std::string &name : LoadMailLists(c.DataDir)) {
    const TListRecord record = LoadListRecord(c.DataDir, name);
    *c.Out << name << "\t" << LoadAddresses(record.Path, [](std::string &&) {}) << "\n";
  }
  return ceDone;
}

int SendCommand(const TCliOptions &o, const TCliContext &c) {
  std::string name;
  TListRecord list;
  if (!FindList(c, o.List, &name, &list)) return ceUsage;
  const bool dryRun = !o.DryRunDir.empty();
  if (list.SendMethod < 0 || list.SendMethod > 2)
    return Fail(c, "list \"" + name + "\" has no valid send method (\"Send Method\" in " + ListsFile(c.DataDir) + ")");
  const std::string runDir = dryRun ? IncludeTrailingSlash(o.DryRunDir) : c.DataDir;
  if (dryRun && !ForceDirectories(runDir)) return Fail(c, "cannot create the folder " + runDir);

  std::string settingsError;
  const TGeneralSettings settings = ReadGeneralSettings(c.DataDir, &settingsError);
  if (!settingsError.empty()) return Fail(c, settingsError);
  const TNewsletterFile newsletter = ReadNewsletterFile(o.File);
  // A list without a server of its own sends through the default server, as in the window.
  const std::string defaultServer = DefaultServerName(ReadSmtpServerNames(c.DataDir), settings.SmtpServer);
  if (!dryRun && Trim(list.SMTPServer).empty() && Trim(defaultServer).empty())
    return Fail(c, "list \"" + name + "\" has no SMTP server (\"SMTP Server\" in " + ListsFile(c.DataDir) +
                       ") and no default server is set in Smtp Servers.ini");

  // A trial touches none of the list's files, so it need not wait for the list.
  TListLock lock(list.Path, kProgram);
  if (!dryRun)
    if (const int locked = LockList(c, lock, o.WaitSeconds); locked != ceDone) return locked;

  TMailingJob job;
  job.FromList = true;
  job.CheckedEntries = LoadAddressEntries(list.Path);
  job.FieldCodes = o.FieldCodes;
  job.BCC = o.Bcc;
  job.ListFolder = list.Path;
  job.ListTo = list.ToAddress;
  job.ListFrom = list.FromAddress;
  job.ListReply = list.ReplyAddress;
  job.ListServer = list.SMTPServer;
  job.ListPort = list.SMTPPort;
  job.ListUser = list.SMTPUsername;
  job.ListSecurity = list.SMTPSecurity;
  job.ListLogin = list.SMTPLogin;
  job.ListPassword = list.SMTPPassword;
  job.ListMethod = list.SendMethod;
  job.ListBatchSize = list.RCPTTO;
  SetListSender(job, name, list, settings.Name);
  job.DefaultServer = defaultServer;
  job.Subject = newsletter.Subject;
  job.NewsletterFile = QStringToAnsi(QFileInfo(AnsiToQString(o.File)).absoluteFilePath());
  job.GenEmail = settings.EMail;
  job.GenReply = settings.Reply;

  TDryRunServer trial(runDir);
  if (dryRun) {
    if (!trial.Start()) return Fail(c, "cannot start the trial server on 127.0.0.1", ceNoConnection);
    job.ListServer = "127.0.0.1";
    job.ListPort = std::to_string(trial.Port());
    job.ListSecurity = 0;  // the trial server is a plain one
    job.ListLogin = false;
    job.FileSentCopy = false;
  }

  TCliMailingHost host(c, NewsletterAssemblyInput(newsletter, name, list, settings, c.DataDir), list.Path, o.Html,
                       MessageCount(job.CheckedEntries.size(), job));
  TSmtpCli client;
  TMailingRun run(runDir, client, host);
  const std::string sentCopy = run.PrepareSend(job);
  host.EndBar();

  if (dryRun)
    *c.Out << trial.Written() << " messages written to " << runDir << " for " << run.Sent() << " recipients, "
           << run.Failed() << " failed.\n";
  else
    *c.Out << run.Sent() << " messages sent successfully to list \"" << name << "\", " << run.Failed()
           << " failed.\n";
  *c.Out << "Log: " << runDir << "MailLog.txt\n";
  if (run.Failed() > 0) *c.Out << "Failed addresses: " << runDir << "Failed.txt\n";
  if (!sentCopy.empty()) *c.Out << "Sent copy: " << sentCopy << "\n";
  if (run.Failed() > 0 && !run.Outcome().Connected) {
    *c.Err << kProgram << ": could not connect to " << client.Host << " port " << client.Port << "\n";
    return ceNoConnection;
  }
  return run.Failed() > 0 ? ceSomeFailed : ceDone;
}

int FetchCommand(const TCliOptions &o, const TCliContext &c) {
  std::string name;
  TListRecord list;
  // The pseudo-list fetches through the default POP server into the data folder, as Get
  // New does in the window when no list is selected.
  const bool pseudo = SameText(CleanListName(o.List), kPseudoListName);
  if (pseudo) {
    name = kPseudoListName;
    list.Path = c.DataDir;
  } else if (!FindList(c, o.List, &name, &list)) {
    return ceUsage;
  }
  std::string settingsError;
  const TGeneralSettings settings = ReadGeneralSettings(c.DataDir, &settingsError);
  if (!settingsError.empty()) return Fail(c, settingsError);
  const TPopSettings pop = pseudo ? DefaultPopSettings(c.DataDir, settings.PopServer)
                                  : RecordPopSettings(c.DataDir, list, settings.PopServer);
  if (Trim(pop.Host).empty())
    return Fail(c, "list \"" + name + "\" has no POP server (\"POP Server\" in " + ListsFile(c.DataDir) +
                       ") and no default POP server is set in Pop Servers.ini");

  TListLock lock(list.Path, kProgram);
  if (const int locked = LockList(c, lock, o.WaitSeconds); locked != ceDone) return locked;

  TRetrievalJob job;
  job.ListName = name;
  job.ListPath = list.Path;
  job.Delete = pop.Delete;
  job.Maintenance = ListMaintenanceSettings(list, settings.EnabledIARSubjects, settings.IARSubjects);
  TPop3Cli client;
  client.Host = pop.Host;
  client.Port = pop.Port;
  client.UserName = pop.UserName;
  client.PassWord = pop.PassWord;
  client.Security = static_cast<TMailSecurity>(pop.Security == 1 || pop.Security == 2 ? pop.Security : 0);
  client.TrustedFingerprint = pop.Certificate;
  TCliRetrievalHost host(*c.Err, c.Terminal);
  TRetrievalRun run(c.DataDir, client, host);
  run.GetNewMail(job);
  host.EndBar();

  if (!run.LoggedIn()) {
    *c.Err << kProgram << ": could not connect to " << pop.Host << " port " << pop.Port
           << (host.LastError().empty() ? "" : ": " + host.LastError()) << "\n";
    return ceNoConnection;
  }
  *c.Out << run.Stored() << " new messages fetched from " << pop.Host << " into the Inbox of list \"" << name
         << "\", " << run.Unfetched() << " left unfetched; " << run.MessageCount() << " on the server.\n";
  if (run.Added() > 0 || run.Removed() > 0)
    *c.Out << "Addresses added: " << run.Added() << ", removed: " << run.Removed()
           << ". Log: " << MaintenanceLogPath(list.Path) << "\n";
  return run.Unfetched() > 0 || host.Errors() > 0 ? ceSomeFailed : ceDone;
}

int ImportCommand(const TCliOptions &o, const TCliContext &c) {
  std::string name;
  TListRecord list;
  if (!FindList(c, o.List, &name, &list)) return ceUsage;
  if (!FileExists(o.File)) return Fail(c, "cannot open file " + o.File);
  TListLock lock(list.Path, kProgram);
  if (const int locked = LockList(c, lock, o.WaitSeconds); locked != ceDone) return locked;
  if (IsCsv(o.File)) {
    const TCsvImportSummary s = ImportCsvAddresses(o.File, list.Path);
    *c.Out << o.File << ": " << s.Imported << " imported, " << s.Updated << " updated, " << s.Invalid
           << " skipped as invalid, " << s.Duplicate << " skipped as duplicate.\n";
    return ceDone;
  }
  const size_t added = ExtractAddresses(o.File, list.Path, LoadAddressEntries(list.Path));
  *c.Out << o.File << ": " << added << " imported.\n";
  return ceDone;
}

int ExportCommand(const TCliOptions &o, const TCliContext &c) {
  std::string name;
  TListRecord list;
  if (!FindList(c, o.List, &name, &list)) return ceUsage;
  size_t count = 0;
  if (IsCsv(o.File)) {
    count = ExportCsvAddresses(o.File, list.Path);
  } else {
    const std::vector<std::string> entries = LoadAddressEntries(list.Path);
    ExportEntries(o.File, entries);
    count = entries.size();
  }
  *c.Out << count << " subscribers of list \"" << name << "\" written to " << o.File << ".\n";
  return ceDone;
}
