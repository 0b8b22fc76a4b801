#include "cli/CliOptions.h"

#include <array>
#include <charconv>

namespace {
struct TCommandInfo {
  TCliCommand Command;
  const char *Name;
  const char *Usage;
};

const std::array<TCommandInfo, 5> kCommands{{
    {TCliCommand::ccLists, "lists",
     "Usage: brevant-cli lists\n"
     "Shows every mailing list with its number of subscribers.\n"},
    {TCliCommand::ccSend, "send",
     "Usage: brevant-cli send --list NAME NEWSLETTER.bvd [--field-codes] [--html] [--bcc]\n"
     "                        [--dry-run DIR] [--wait SECONDS]\n"
     "Sends the newsletter to every subscriber of the list, with the list's SMTP server,\n"
     "send method, addresses, header, signature and footer, exactly as Send Mail does.\n"
     "The session log goes to MailLog.txt, failed addresses to Failed.txt, and a copy is\n"
     "filed in the list's Sent folder.\n"
     "  --field-codes   the newsletter holds field codes: one message per subscriber\n"
     "  --html          send as HTML (also when the list does not say so)\n"
     "  --bcc           leave out the To header (with --field-codes)\n"
     "  --dry-run DIR   write each message to DIR as an .eml file instead of sending it\n"
     "  --wait SECONDS  wait this long for a list that another program is sending or fetching\n"},
    {TCliCommand::ccFetch, "fetch",
     "Usage: brevant-cli fetch --list NAME [--wait SECONDS]\n"
     "Fetches the new mail of the list's POP3 mailbox into its Inbox, exactly as Get New\n"
     "does: each message once, subscribe, unsubscribe and bounce mail applied to the list's\n"
     "addresses (see its Maintenance Log.txt), and the mail deleted from the server when\n"
     "the list says so. --list Brevant fetches from the default POP server into the Inbox\n"
     "of no particular list.\n"
     "  --wait SECONDS  wait this long for a list that another program is sending or fetching\n"
     "Exit status: 0 all fetched, 1 some messages were left on the server (an error),\n"
     "2 bad usage or settings, 3 could not connect or log in, or the list is busy.\n"},
    {TCliCommand::ccImport, "import",
     "Usage: brevant-cli import --list NAME FILE [--wait SECONDS]\n"
     "Adds subscribers to the list. A .csv file has a header row naming its columns\n"
     "(Email, Name, Address1, Address2, Phone, Custom1, Custom2, Custom3, Comments; Email is\n"
     "required) and may be UTF-8 or Windows-1252; subscribers already in the list get the\n"
     "file's non-empty values. From any other file every e-mail address found is added.\n"},
    {TCliCommand::ccExport, "export",
     "Usage: brevant-cli export --list NAME FILE\n"
     "Writes the list's subscribers to FILE: all their fields as CSV (UTF-8) when FILE ends\n"
     "in .csv, else one \"Name <address>\" entry per line.\n"},
}};

const char *const kProgramUsage =
    "Usage: brevant-cli [--data-dir DIR] COMMAND [OPTIONS]\n"
    "Works with Brevant's mailing lists without opening the window, for example from cron.\n"
    "\n"
    "Commands:\n"
    "  lists     show the mailing lists and their subscriber counts\n"
    "  send      send a newsletter to a list\n"
    "  fetch     fetch a list's new mail\n"
    "  import    add subscribers from a CSV or text file\n"
    "  export    write a list's subscribers to a CSV or text file\n"
    "\n"
    "  --data-dir DIR  use DIR as the data folder instead of the usual one\n"
    "  --help          show this text; COMMAND --help shows the command's\n"
    "  --version       show the version\n"
    "\n"
    "Exit status: 0 all done, 1 some recipients failed, 2 bad usage or settings,\n"
    "3 could not connect to the server or the list is busy.\n";

bool TakesValue(const std::string &option) {
  return option == "--list" || option == "--dry-run" || option == "--wait" || option == "--data-dir";
}
}  // namespace

std::string CliUsage(TCliCommand command) {
  for (const TCommandInfo &info : kCommands)
    if (info.Command == command) return info.Usage;
  return kProgramUsage;
}

TCliOptions ParseCliOptions(const std::vector<std::string> &args) {
  TCliOptions o;
  std::vector<std::string> files;
  auto fail = [&o](const std::string &text) {
    if (o.Error.empty()) o.Error = text;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool hasValue = false;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      hasValue = true;
    }
    if (TakesValue(arg) && !hasValue) {
      if (i + 1 >= args.size()) {
        fail(arg + " needs a value");
        break;
      }
      value = args[++i];
    }
    if (arg == "--help" || arg == "-h") o.Help = true;
    else if (arg == "--version") o.Version = true;
    else if (arg == "--data-dir") o.DataDir = value;
    else if (arg == "--list") o.List = value;
    else if (arg == "--dry-run") o.DryRunDir = value;
    else if (arg == "--field-codes") o.FieldCodes = true;
    else if (arg == "--html") o.Html = true;
    else if (arg == "--bcc") o.Bcc = true;
    else if (arg == "--wait") {
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), o.WaitSeconds);
      if (ec != std::errc() || end != value.data() + value.size() || o.WaitSeconds < 0)
        fail("--wait needs a number of seconds, not \"" + value + "\"");
    } else if (arg.size() > 1 && arg[0] == '-') fail("unknown option " + arg);
    else if (o.CommandName.empty()) o.CommandName = arg;
    else files.push_back(arg);
  }
  if (o.Help || o.Version) {
    for (const TCommandInfo &info : kCommands)
      if (o.CommandName == info.Name) o.Command = info.Command;
    return o;
  }
  if (!o.Error.empty()) return o;
  if (o.CommandName.empty()) {
    fail("no command given");
    return o;
  }
  for (const TCommandInfo &info : kCommands)
    if (o.CommandName == info.Name) o.Command = info.Command;
  if (o.Command == TCliCommand::ccNone) {
    fail("unknown command \"" + o.CommandName + "\"");
    return o;
  }
  const bool needsFile = o.Command == TCliCommand::ccSend || o.Command == TCliCommand::ccImport ||
                         o.Command == TCliCommand::ccExport;
  if (o.Command != TCliCommand::ccLists && o.List.empty()) fail(o.CommandName + " needs --list NAME");
  if (needsFile && files.size() != 1)
    fail(o.CommandName + (files.empty() ? " needs a file" : " takes one file only"));
  if (!needsFile && !files.empty()) fail(o.CommandName + " takes no file");
  if (!files.empty()) o.File = files.front();
  const bool sendOnly = o.FieldCodes || o.Html || o.Bcc || !o.DryRunDir.empty();
  if (sendOnly && o.Command != TCliCommand::ccSend) fail("--field-codes, --html, --bcc and --dry-run are options of send");
  return o;
}
