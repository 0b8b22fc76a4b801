#include "mail/FolderIndex.h"

#include "lists/ListFolder.h"
#include "storage/IniFiles32.h"

#include <unordered_map>

namespace {
std::string Lower(std::string s) {
  for (char &c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

int32_t IntegerValue(const std::string &text) {
  std::string t = text;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.replace(0, 2, "$");
  int32_t value = 0;
  return TIniFile32::ParseInteger(t, &value) ? value : 0;
}

// One key of a record read in the walk over the index; the first entry of a key wins, as
// a lookup finds it.
void TakeKey(TFolderRecord &r, unsigned &seen, const std::string &key, const std::string &value) {
  static const char *const kKeys[] = {"From", "Subject", "Date", "Attachment", "MsgNum", "Received", "Viewed",
                                      "FileName"};
  for (unsigned i = 0; i < 8; ++i) {
    if (key != kKeys[i]) continue;
    if ((seen & (1u << i)) != 0) return;
    seen |= 1u << i;
    if (value.empty()) return;  // an empty value reads as missing
    switch (i) {
      case 0: r.From = value; break;
      case 1: r.Subject = value; break;
      case 2: r.Date = value; break;
      case 3: r.Attachment = IntegerValue(value) != 0; break;
      case 4: r.MsgNum = IntegerValue(value); break;
      case 5: r.Received = IntegerValue(value) != 0; break;
      case 6: r.Viewed = IntegerValue(value) != 0; break;
      default: r.FileName = value; break;
    }
    return;
  }
}
}  // namespace

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
  // One walk over the lines instead of a lookup per key: folders run to many thousands of
  // records. A name that stands twice reads the first section of that name, as Read does.
  std::vector<std::pair<std::string, size_t>> order;  // header name, index into `firsts`
  std::vector<TFolderRecord> firsts;
  std::unordered_map<std::string, size_t> byName;
  TFolderRecord *current = nullptr;
  unsigned seen = 0;
  for (const std::string &line : FIni->Lines()) {
    if (TIniFile32::IsSection(line)) {
      const std::string name = TIniFile32::SectionName(line);
      const auto [it, added] = byName.emplace(Lower(name), firsts.size());
      if (added) firsts.emplace_back();
      order.emplace_back(name, it->second);
      current = added ? &firsts.back() : nullptr;
      seen = 0;
    } else if (current && line.find('=') != std::string::npos) {
      TakeKey(*current, seen, TIniFile32::GetKeyName(line), TIniFile32::GetKeyValue(line));
    }
  }
  std::vector<TFolderRecord> records;
  records.reserve(order.size());
  for (auto &[name, index] : order) {
    records.push_back(firsts[index]);
    records.back().Name = std::move(name);
    records.back().FileName = ResolveMessageFileName(FListPath, records.back().FileName);
  }
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

void TFolderIndex::EraseMany(const std::vector<std::string> &names) { FIni->EraseSections(names); }

void TFolderIndex::BeginUpdate() { FIni->BeginUpdate(); }

void TFolderIndex::EndUpdate() { FIni->EndUpdate(); }

std::vector<std::string> TFolderIndex::PartFiles(const std::string &name) const {
  // Stored as one value; "/" cannot occur in a file name.
  std::vector<std::string> files;
  const std::string value = FIni->ReadString(name, "Files", "");
  size_t start = 0;
  while (start < value.size()) {
    size_t end = value.find('/', start);
    if (end == std::string::npos) end = value.size();
    if (end > start) files.push_back(value.substr(start, end - start));
    start = end + 1;
  }
  return files;
}

void TFolderIndex::SetPartFiles(const std::string &name, const std::vector<std::string> &files) {
  std::string value;
  for (const std::string &f : files) value += (value.empty() ? "" : "/") + f;
  if (value.empty()) {
    // An empty value writes no entry, so an old list would stay: drop it explicitly.
    if (FIni->ReadString(name, "Files", "").empty()) return;
    value = "/";
  }
  FIni->WriteString(name, "Files", value);
}
