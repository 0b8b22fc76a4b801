#include "mail/MessageGrid.h"

TMessageRow MessageRowOf(const TFolderRecord &r) {
  TMessageRow row;
  row.Attachment = r.Attachment;
  row.From = r.From;
  row.Subject = r.Subject;
  row.Date = r.Date;
  if (r.Received) row.Status = "Received";
  if (r.Viewed) row.Status = "Viewed";
  row.Path = r.FileName;
  row.Name = r.Name;
  row.MsgNum = r.MsgNum;
  return row;
}

std::vector<TMessageRow> MessageGridRows(const std::string &listPath, TMailFolder folder) {
  const std::vector<TFolderRecord> records = TFolderIndex(listPath, folder).ReadAll();
  std::vector<TMessageRow> rows;
  rows.reserve(records.size() + 1);
  for (const TFolderRecord &r : records) rows.push_back(MessageRowOf(r));
  if (rows.empty()) rows.emplace_back();
  return rows;
}

TMailFolder MailFolderOf(const std::string &name) {
  if (name == "Inbox") return TMailFolder::mfInbox;
  if (name == "Trash") return TMailFolder::mfTrash;
  return TMailFolder::mfSent;
}
