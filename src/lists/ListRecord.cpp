#include "lists/ListRecord.h"

#include "lists/ListFolder.h"
#include "storage/FileNames.h"
#include "storage/Filters.h"
#include "storage/IniFiles32.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <algorithm>
#include <unordered_set>

namespace {
// A stored security outside 0..2 (edited by hand) means "as the registry says".
int SecurityValue(int stored) { return stored >= 0 && stored <= 2 ? stored : -1; }
}  // namespace

std::string ListsFile(const std::string &dataDir) { return dataDir + "Lists.ini"; }

TListRecord NewListRecord(const TListRecord &shown) {
  TListRecord r;
  r.SMTPPort = shown.SMTPPort;
  r.SendMethod = shown.SendMethod;
  r.RCPTTO = shown.RCPTTO;
  r.AddTo = true;
  r.AddToAddress = kSubscribePlaceholder;
  r.AddSubAddress = "Add Me!";
  r.RemoveTo = true;
  r.RemoveToAddress = kUnsubscribePlaceholder;
  r.RemoveSubAddress = "Remove Me!";
  return r;
}

TListRecord ReadListRecord(const TIniFile32 &ini, const std::string &dataDir, const std::string &name) {
  TListRecord r;
  auto text = [&](const char *key, const std::string &def = std::string()) { return ini.ReadString(name, key, def); };
  auto flag = [&](const char *key) { return ini.ReadBool(name, key, false); };
  const std::string stored = text("Path");
  r.Path = ResolveListFolder(dataDir, stored);
  if (r.Path.empty()) r.MissingPath = stored;
  r.ToAddress = text("To Address");
  r.FromAddress = text("From Address");
  r.FromName = text("From Name");
  r.ReplyAddress = text("Reply Address");
  r.Comments = DecodeLineBreaks(text("Comments"));
  r.SMTPServer = text("SMTP Server");
  r.SMTPUsername = text("SMTP Username");
  r.SMTPPassword = text("SMTP Password");
  r.SMTPPasswordInKeyring = flag("SMTP Password In Keyring");
  r.SMTPPort = text("SMTP Port", "smtp");
  r.SendMethod = ini.ReadInteger(name, "Send Method", 0);
  r.RCPTTO = ini.ReadInteger(name, "RCPT TO", 1);
  r.MessagesPerMinute = std::max(0, ini.ReadInteger(name, "Messages Per Minute", 0));
  r.SMTPSecurity = SecurityValue(ini.ReadInteger(name, "SMTP Security", -1));
  r.SMTPLogin = flag("SMTP Login");
  r.POPServer = text("POP Server");
  r.POPUserName = text("POP UserName");
  r.POPPassword = text("POP Password");
  r.POPPasswordInKeyring = flag("POP Password In Keyring");
  r.DeleteRead = flag("Delete Read");
  r.POPSecurity = SecurityValue(ini.ReadInteger(name, "POP Security", -1));
  r.HeaderFile = text("Header File");
  r.IncludeHeader = flag("Include Header");
  r.FooterFile = text("Footer File");
  r.IncludeFooter = flag("Include Footer");
  r.SigFile = text("Sig File");
  r.IncludeSig = flag("Include Sig");
  r.SendHTML = flag("Send HTML");
  r.AutoMaint = flag("Auto Maint");
  r.AddTo = flag("Add To");
  r.AddToAddress = text("Add To Address");
  r.AddSub = flag("Add Sub");
  r.AddSubAddress = text("Add Sub Address");
  r.RemoveTo = flag("Remove To");
  r.RemoveToAddress = text("Remove To Address");
  r.RemoveSub = flag("Remove Sub");
  r.RemoveSubAddress = text("Remove Sub Address");
  return r;
}

TListRecord LoadListRecord(const std::string &dataDir, const std::string &name) {
  const TIniFile32 ini(ListsFile(dataDir));
  return ReadListRecord(ini, dataDir, name.empty() ? kPseudoListName : name);
}

void WriteListRecord(const std::string &dataDir, const std::string &name, const TListRecord &r, bool eraseOld,
                     const std::string &oldName) {
  TIniFile32 ini(ListsFile(dataDir));
  ini.BeginUpdate();  // one save for the whole record
  {
    if (eraseOld) ini.EraseSection(oldName);
    auto text = [&](const char *key, const std::string &value) { ini.WriteString(name, key, value); };
    auto flag = [&](const char *key, bool value) { ini.WriteBool(name, key, value); };
    text("Path", r.Path.empty() ? r.MissingPath : StoreListFolder(dataDir, r.Path));
    text("To Address", r.ToAddress);
    text("From Address", r.FromAddress);
    text("From Name", r.FromName);
    text("Reply Address", r.ReplyAddress);
    text("Comments", EncodeLineBreaks(r.Comments));
    text("SMTP Server", r.SMTPServer);
    text("SMTP Username", r.SMTPUsername);
    text("SMTP Password", r.SMTPPassword);
    text("SMTP Password In Keyring", r.SMTPPasswordInKeyring ? "1" : "");
    text("SMTP Port", r.SMTPPort);
    ini.WriteInteger(name, "Send Method", r.SendMethod);
    ini.WriteInteger(name, "RCPT TO", r.RCPTTO);
    text("Messages Per Minute", r.MessagesPerMinute > 0 ? std::to_string(r.MessagesPerMinute) : std::string());
    // Written only when set, so that a list saved as before reads as before.
    text("SMTP Security", r.SMTPSecurity < 0 ? std::string() : std::to_string(r.SMTPSecurity));
    text("SMTP Login", r.SMTPLogin ? "1" : "");
    text("POP Server", r.POPServer);
    text("POP UserName", r.POPUserName);
    text("POP Password", r.POPPassword);
    text("POP Password In Keyring", r.POPPasswordInKeyring ? "1" : "");
    flag("Delete Read", r.DeleteRead);
    text("POP Security", r.POPSecurity < 0 ? std::string() : std::to_string(r.POPSecurity));
    text("Header File", r.HeaderFile);
    flag("Include Header", r.IncludeHeader);
    text("Footer File", r.FooterFile);
    flag("Include Footer", r.IncludeFooter);
    text("Sig File", r.SigFile);
    flag("Include Sig", r.IncludeSig);
    flag("Send HTML", r.SendHTML);
    flag("Auto Maint", r.AutoMaint);
    flag("Add To", r.AddTo);
    text("Add To Address", r.AddToAddress);
    flag("Add Sub", r.AddSub);
    text("Add Sub Address", r.AddSubAddress);
    flag("Remove To", r.RemoveTo);
    text("Remove To Address", r.RemoveToAddress);
    flag("Remove Sub", r.RemoveSub);
    text("Remove Sub Address", r.RemoveSubAddress);
  }
  ini.EndUpdate();
}

void SortWithoutCase(std::vector<std::string> *names) {
  std::stable_sort(names->begin(), names->end(),
                   [](const std::string &a, const std::string &b) { return CompareText(a, b) < 0; });
}

std::vector<std::string> LoadMailLists(const std::string &dataDir) {
  const TIniFile32 ini(ListsFile(dataDir));
  std::vector<std::string> names;
  ini.ReadSections(&names);
  // A name far longer than the name box takes is a damaged header, not a list: laying out
  // megabytes of it in every list box would freeze the window. It stays in the file.
  std::erase_if(names, [](const std::string &name) { return name.size() > kMaxListNameLength; });
  SortWithoutCase(&names);
  return names;
}

std::string MakeUniqueListName(const std::string &dataDir, const std::string &name) {
  const TIniFile32 ini(ListsFile(dataDir));
  std::vector<std::string> sections;
  ini.ReadSections(&sections);
  std::unordered_set<std::string> taken{UpperCase(kPseudoListName)};
  for (const auto &s : sections) taken.insert(UpperCase(s));
  std::string candidate = name;
  for (int counter = 1; taken.count(UpperCase(candidate)); ++counter)
    candidate = name.substr(0, 24) + " - " + std::to_string(counter);
  return candidate;
}

std::string CleanListName(const std::string &name) { return Trim(name); }

bool IsValidListName(const std::string &name) {
  const std::string clean = CleanListName(name);
  return !clean.empty() && !SameText(clean, kPseudoListName);
}

bool ListNameTaken(const std::string &dataDir, const std::string &name, const std::string &except) {
  if (SameText(name, except)) return false;
  const TIniFile32 ini(ListsFile(dataDir));
  std::vector<std::string> sections;
  ini.ReadSections(&sections);
  return std::any_of(sections.begin(), sections.end(), [&](const std::string &s) { return SameText(s, name); });
}

std::string DirectoryFailureText(const std::string &path) {
  return "Brevant was unable to create the directory\r\n" + ElideMiddle(path) + "!";
}

namespace {
bool MakeDirectory(const std::string &path) { return ForceDirectories(path) && DirectoryExists(path); }
}  // namespace

TListFolderResult CreateListFolder(const std::string &folderPath) {
  TListFolderResult result;
  if (!MakeDirectory(folderPath)) {
    result.Failed.push_back(folderPath);
    return result;
  }
  result.Created = true;
  for (const char *sub : {"Inbox", "Sent", "Trash"}) {
    const std::string path = folderPath + sub + "/";
    if (!MakeDirectory(path)) result.Failed.push_back(path);
  }
  const std::string book = folderPath + "Addresses.ini";
  if (!FileExists(book)) WriteFileAtomic(book, std::string());
  return result;
}

TNewListResult CreateMailList(const std::string &dataDir, const std::string &name, TListRecord record) {
  TNewListResult result;
  const std::string unique = MakeUniqueListName(dataDir, CleanListName(name));
  result.Path = MakeUniquePath(dataDir + StripFileNameChars(unique.substr(0, 29))) + "/";
  result.Folders = CreateListFolder(result.Path);
  if (!result.Folders.Created) return result;
  result.Name = unique;
  record.Path = result.Path;
  WriteListRecord(dataDir, unique, record, false, std::string());
  return result;
}

void RemoveMailList(const std::string &dataDir, const std::string &name) {
  TIniFile32 ini(ListsFile(dataDir));
  ini.EraseSection(name);
  EraseFilters(dataDir, name);
}
