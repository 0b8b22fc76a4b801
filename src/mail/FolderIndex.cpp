#include "mail/FolderIndex.h"

#include "lists/ListFolder.h"
#include "storage/IniFiles32.h"

const char *MailFolderName(TMailFolder folder) {
  switch (folder) {
    case TMailFolder::mfSent: return "Sent";
    case TMailFolder::mfTrash: return "Trash";
    default: return "Inbox";
  }
}

std::string MailFolderDir(const std::string &listPath, TMailFolder folder) {
  RequireListFolder(listPath);
  return listPath + MailFolderName(folder) + "/";
}

std::string FolderIndexFile(const std::string &listPath, TMailFolder folder) {
  RequireListFolder(listPath);
  return listPath + MailFolderName(folder) + ".dat";
}

std::string StoreMessageFileName(const std::string &listPath, const std::string &fileName) {
  return fileName.starts_with(listPath) ? fileName.substr(listPath.size()) : fileName;
}

std::string ResolveMessageFileName(const std::string &listPath, const std::string &stored) {
  // Absolute paths, Windows ones of the older program included, are read as they stand.
  const bool absolute = stored.empty() || stored.front() == '/' || stored.find('\\') != std::string::npos ||
                        (stored.size() >= 2 && stored[1] == ':');
  return absolute ? stored : listPath + stored;
}

TFolderIndex::TFolderIndex(const std::string &listPath, TMailFolder folder)
    : FListPath(listPath), FFolder(folder), FIni(std::make_unique<TIniFile32>(FolderIndexFile(listPath, folder))) {}

TFolderIndex::~TFolderIndex() = default;

std::vector<std::string> TFolderIndex::RecordNames() const {
  std::vector<std::string> names;
  FIni->ReadSections(&names);
  return names;
}

TFolderRecord TFolderIndex::Read(const std::string &name) const {
  TFolderRecord r;
  r.Name = name;
  r.From = FIni->ReadString(name, "From", "");
  r.Subject = FIni->ReadString(name, "Subject", "");
  r.Date = FIni->ReadString(name, "Date", "");
  r.Attachment = FIni->ReadBool(name, "Attachment", false);
  r.MsgNum = FIni->ReadInteger(name, "MsgNum", 0);
  r.Received = FIni->ReadBool(name, "Received", false);
  r.Viewed = FIni->ReadBool(name, "Viewed", false);
  r.FileName = ResolveMessageFileName(FListPath, FIni->ReadString(name, "FileName", ""));
  return r;
}

std::vector<TFolderRecord> TFolderIndex::ReadAll() const {
  std::vector<TFolderRecord> records;
  for (const auto &name : RecordNames()) records.push_back(Read(name));
  return records;
}

void TFolderIndex::Write(const TFolderRecord &r) {
  FIni->BeginUpdate();
  FIni->WriteString(r.Name, "From", r.From);
  FIni->WriteString(r.Name, "Subject", r.Subject);
  FIni->WriteString(r.Name, "Date", r.Date);
  FIni->WriteBool(r.Name, "Attachment", r.Attachment);
  if (FFolder != TMailFolder::mfSent) FIni->WriteInteger(r.Name, "MsgNum", r.MsgNum);
  FIni->WriteBool(r.Name, "Received", r.Received);
  FIni->WriteBool(r.Name, "Viewed", r.Viewed);
  FIni->WriteString(r.Name, "FileName", StoreMessageFileName(FListPath, r.FileName));
  FIni->EndUpdate();
}

void TFolderIndex::SetViewed(const std::string &name, bool viewed) { FIni->WriteBool(name, "Viewed", viewed); }

void TFolderIndex::Erase(const std::string &name) { FIni->EraseSection(name); }
