#pragma once
// The mail folders of a list (Inbox, Sent, Trash under the list's folder, or under the data
// directory for the pseudo-list) and their index files: one profile section per message.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TIniFile32;

enum class TMailFolder { mfInbox, mfSent, mfTrash };

const char *MailFolderName(TMailFolder folder);
// listPath + "Inbox/" (and so on): the message files. Both throw EListFolderNotFound for
// an empty listPath, the folder of a list whose folder was not found.
std::string MailFolderDir(const std::string &listPath, TMailFolder folder);
// listPath + "Inbox.dat" (and so on): the folder index.
std::string FolderIndexFile(const std::string &listPath, TMailFolder folder);

// One message of a folder. `Name` is the section name: the server's unique identifier in
// the Inbox, the message file's name in Sent, the source folder's record name in Trash.
struct TFolderRecord {
  std::string Name;
  std::string From;
  std::string Subject;
  std::string Date;
  bool Attachment = false;
  int32_t MsgNum = 0;  // never written for Sent, where it reads 0
  bool Received = false;
  bool Viewed = false;
  std::string FileName;

  bool operator==(const TFolderRecord &) const = default;
};

// "FileName" is stored relative to the list's folder when the file lies in it, so that a
// copied data folder finds its own messages; a relative value is read against the folder
// of the index, any other as it stands.
std::string StoreMessageFileName(const std::string &listPath, const std::string &fileName);
std::string ResolveMessageFileName(const std::string &listPath, const std::string &stored);

// A folder index opened for one command. A missing index file is an empty folder; the
// file is created by the first write.
class TFolderIndex {
public:
  TFolderIndex(const std::string &listPath, TMailFolder folder);
  ~TFolderIndex();

  TMailFolder Folder() const { return FFolder; }
  // Record names in file order, which is the order in which messages were filed.
  std::vector<std::string> RecordNames() const;
  TFolderRecord Read(const std::string &name) const;
  std::vector<TFolderRecord> ReadAll() const;
  // Writes the eight keys in one save; a record of an existing name is updated in place
  // (empty texts keep the old entry, as every profile write does).
  void Write(const TFolderRecord &record);
  void SetViewed(const std::string &name, bool viewed);
  void Erase(const std::string &name);
  // Erases many records with one save.
  void EraseMany(const std::vector<std::string> &names);
  // Many writes, one save: the changes between the two calls are written at EndUpdate.
  void BeginUpdate();
  void EndUpdate();

  // The files a message wrote into its folder when it was shown (attachments), so that
  // showing it again overwrites its own files and never another message's.
  std::vector<std::string> PartFiles(const std::string &name) const;
  void SetPartFiles(const std::string &name, const std::vector<std::string> &files);

private:
  std::string FListPath;
  TMailFolder FFolder;
  std::unique_ptr<TIniFile32> FIni;
};
