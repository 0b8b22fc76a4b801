#pragma once
// The rows of the Mail page's message grid, made from a folder index without any widget.
#include "mail/FolderIndex.h"

#include <cstdint>
#include <string>
#include <vector>

// One grid row: the four shown columns, then the four hidden ones.
struct TMessageRow {
  bool Attachment = false;  // the attachment mark
  std::string From;         // "To" over the Sent folder: the recipients
  std::string Subject;
  std::string Date;
  std::string Status;  // "Received", "Viewed" or empty
  std::string Path;    // the message file
  std::string Name;    // the record name
  int32_t MsgNum = 0;

  // The one empty row that an empty folder shows.
  bool IsEmptyRow() const { return Name.empty(); }
  bool operator==(const TMessageRow &) const = default;
};

TMessageRow MessageRowOf(const TFolderRecord &record);
// The folder's rows in file order; at least one row (an empty one for an empty folder).
std::vector<TMessageRow> MessageGridRows(const std::string &listPath, TMailFolder folder);
// The folder named "Inbox", "Sent" or "Trash"; any other text reads as the Sent folder,
// as the folder directory of an unknown node does.
TMailFolder MailFolderOf(const std::string &name);
