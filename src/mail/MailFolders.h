#pragma once
// Moving messages between a list's folders and emptying a folder.
#include "mail/MessageGrid.h"

#include <string>
#include <vector>

// Deletes the rows of a folder. From the Inbox or Sent, each message moves to the Trash:
// its record is written into "Trash.dat" (under its record name, with the row's status),
// its file moves into the Trash directory, and its record leaves the source index. From
// the Trash, record and file go for good. The indexes are written once per call, however
// many rows there are. Empty rows are skipped. Throws EFCreateError when an index cannot
// be written; files already moved keep their new records.
void MoveToTrash(const std::string &listPath, TMailFolder from, const std::vector<TMessageRow> &rows);

// Deletes every file (not subfolders) of the folder's directory and its index; returns how
// many files there were: messages, attachments and HTML files alike.
int PurgeFolder(const std::string &listPath, TMailFolder folder);

// Moves a file, across file systems too; true on success.
bool MoveFile(const std::string &from, const std::string &to);
