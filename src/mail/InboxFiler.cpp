#include "mail/InboxFiler.h"

#include "compose/TextForms.h"
#include "mail/DurableFiles.h"
#include "mail/RetrievedMessage.h"
#include "storage/FileErrors.h"
#include "storage/TextFile.h"

#include <QDateTime>
#include <algorithm>

namespace {
// One step of the last decimal of a day-count name.
constexpr double kNameStep = 1e-8;

// The record as a profile file adds a new section: empty texts are left out.
std::string RecordText(const TFolderRecord &r, const std::string &listPath) {
  std::string text = "\r\n[" + r.Name + "]\r\n";
  auto entry = [&text](const char *key, const std::string &value) {
    if (!value.empty()) text.append(key).append("=").append(value).append("\r\n");
  };
  entry("From", r.From);
  entry("Subject", r.Subject);
  entry("Date", r.Date);
  entry("Attachment", r.Attachment ? "1" : "0");
  entry("MsgNum", std::to_string(r.MsgNum));
  entry("Received", r.Received ? "1" : "0");
  entry("Viewed", r.Viewed ? "1" : "0");
  entry("FileName", StoreMessageFileName(listPath, r.FileName));
  return text;
}
}  // namespace

std::string TInboxFiler::NewFileName(const std::string &dir) {
  // Two messages filed within the same ten-thousandth of a second would get one name;
  // the later takes the next free name instead of waiting for the clock to move on.
  double days = std::max(ToDateTime(QDateTime::currentDateTime()), FLastDays + kNameStep);
  std::string path = dir + DayCountFileName(days, FLocale);
  while (FileExists(path)) {
    days += kNameStep;
    path = dir + DayCountFileName(days, FLocale);
  }
  FLastDays = days;
  return path;
}

TCaselessSet &TInboxFiler::Names(const std::string &listPath) {
  auto found = FNames.find(listPath);
  if (found != FNames.end()) return found->second;
  TCaselessSet &names = FNames[listPath];
  for (const std::string &name : TFolderIndex(listPath, TMailFolder::mfInbox).RecordNames()) names.Insert(name);
  return names;
}

TFolderRecord TInboxFiler::File(const std::string &listPath, const std::vector<std::string> &lines,
                                TFolderRecord record) {
  const std::string dir = MailFolderDir(listPath, TMailFolder::mfInbox);
  // Made once per run and list, not per message.
  if (FReady.count(dir) == 0) {
    if (!ForceDirectories(dir)) throw EFCreateError(dir);
    FReady.insert(dir);
  }
  record.FileName = NewFileName(dir);
  WriteNewFile(record.FileName, JoinLines(lines));
  FUnsynced.insert(dir);
  TCaselessSet &names = Names(listPath);
  // A record name seen before (a message fetched again) updates that record in place, as
  // every profile write does; a new one is appended in the form a profile file adds it.
  if (names.Contains(record.Name)) {
    TFolderIndex(listPath, TMailFolder::mfInbox).Write(record);
  } else {
    AppendQuickly(FolderIndexFile(listPath, TMailFolder::mfInbox), RecordText(record, listPath));
    names.Insert(record.Name);
  }
  return record;
}

void TInboxFiler::SyncToDisk() {
  for (auto dir = FUnsynced.begin(); dir != FUnsynced.end(); dir = FUnsynced.erase(dir)) SyncFileSystem(*dir);
}
