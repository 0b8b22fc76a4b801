#pragma once
// The list record: one section of "Lists.ini" per mailing list, and the catalogue routines
// that create, rename and remove lists. Every routine takes the data directory (with '/').
#include <cstddef>
#include <string>
#include <vector>

class TIniFile32;

// Every key of a list record, in the order in which it is written, with the value it reads
// as when missing. Comments hold CR LF line breaks here and ":|:" in the file.
struct TListRecord {
  std::string Path;  // the list's folder, ending in '/'; "" when the stored one is unusable
  // The stored "Path" when it names no usable folder: shown to the user and written back
  // unchanged, so that saving the list's other settings does not lose it.
  std::string MissingPath;
  std::string ToAddress;
  std::string FromAddress;
  std::string FromName;  // display name of the From header; "" means the user's name
  std::string ReplyAddress;
  std::string Comments;
  std::string SMTPServer;
  std::string SMTPUsername;
  std::string SMTPPassword;
  // The password is kept in the desktop's keyring, not in the file (SMTPPassword is then
  // empty until fetched from there).
  bool SMTPPasswordInKeyring = false;
  std::string SMTPPort = "smtp";
  int SendMethod = 0;  // 0 one at a time, 1 RCPTTO at a time, 2 all at once
  int RCPTTO = 1;
  int MessagesPerMinute = 0;  // pace of the list's own server; 0 means no limit
  // Keys the older program does not know. Security: 0 none, 1 STARTTLS, 2 SSL/TLS; -1 (no
  // key) takes the security and login of the registry entry of that server, as before.
  int SMTPSecurity = -1;
  bool SMTPLogin = false;  // log in with the user name and password (with SMTPSecurity set)
  std::string POPServer;
  std::string POPUserName;
  std::string POPPassword;
  bool POPPasswordInKeyring = false;  // as SMTPPasswordInKeyring
  bool DeleteRead = false;
  int POPSecurity = -1;  // as SMTPSecurity
  std::string HeaderFile;
  bool IncludeHeader = false;
  std::string FooterFile;
  bool IncludeFooter = false;
  std::string SigFile;
  bool IncludeSig = false;
  bool SendHTML = false;
  bool AutoMaint = false;
  bool AddTo = false;
  std::string AddToAddress;
  bool AddSub = false;
  std::string AddSubAddress;
  bool RemoveTo = false;
  std::string RemoveToAddress;
  bool RemoveSub = false;
  std::string RemoveSubAddress;

  bool operator==(const TListRecord &) const = default;
};

// The pseudo-list of no particular list; its folder is the data directory.
inline const char *const kPseudoListName = "Brevant";
// Placeholder maintenance addresses of a new list, at a domain reserved for examples.
inline const char *const kSubscribePlaceholder = "add@example.com";
inline const char *const kUnsubscribePlaceholder = "remove@example.com";

std::string ListsFile(const std::string &dataDir);

// The values a new list starts with. Port, send method and recipients per message are
// taken over from `shown`, the record shown before.
TListRecord NewListRecord(const TListRecord &shown);

// Reads section `name`; a missing section gives every default, the data directory as folder.
TListRecord ReadListRecord(const TIniFile32 &ini, const std::string &dataDir, const std::string &name);
TListRecord LoadListRecord(const std::string &dataDir, const std::string &name);

// Writes every key in table order (empty texts leave no entry), saving the file once.
// With `eraseOld` the section `oldName` is erased first, which renames a list.
void WriteListRecord(const std::string &dataDir, const std::string &name, const TListRecord &record,
                     bool eraseOld, const std::string &oldName);

// The longest section name taken for a list; the list name box takes 100 characters.
inline constexpr size_t kMaxListNameLength = 1000;

// The names of the catalogue, sorted without regard to case; longer names are left out.
std::vector<std::string> LoadMailLists(const std::string &dataDir);
void SortWithoutCase(std::vector<std::string> *names);

// A name not yet in the catalogue (nor the pseudo-list's), compared without regard to case:
// "News" becomes "News - 1", "News - 2", ... (the name cut to 24 characters before the counter).
std::string MakeUniqueListName(const std::string &dataDir, const std::string &name);

// A list name as typed or imported, without blanks at either end; a record is found by it.
std::string CleanListName(const std::string &name);
// False for a name that is empty once cleaned, or that is the pseudo-list's (any case).
bool IsValidListName(const std::string &name);

// Whether a list other than `except` (compared without case) already has the name.
bool ListNameTaken(const std::string &dataDir, const std::string &name, const std::string &except);

// Folder creation for a new list: the folder, then Inbox, Sent and Trash, then an empty
// address book. `Created` is false when the folder itself failed; `Failed` lists every
// path (ending in '/') that could not be created.
struct TListFolderResult {
  bool Created = false;
  std::vector<std::string> Failed;
};
TListFolderResult CreateListFolder(const std::string &folderPath);

// The warning shown when a folder cannot be created.
std::string DirectoryFailureText(const std::string &path);

// A new list from the panel: cleaned unique name, folder from its first 29 characters,
// folders and record written. On folder failure nothing is written and `Name` stays empty.
struct TNewListResult {
  std::string Name;
  std::string Path;
  TListFolderResult Folders;
};
TNewListResult CreateMailList(const std::string &dataDir, const std::string &name, TListRecord record);

// Erases the list's section and its filters; its folder, address book and mail stay on disk.
void RemoveMailList(const std::string &dataDir, const std::string &name);
