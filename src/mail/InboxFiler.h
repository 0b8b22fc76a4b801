#pragma once
// Files fetched messages into the Inbox of a list: the message file, written atomically
// under a day-count name, then its record in "Inbox.dat". A new record is appended to the
// index rather than rewriting it, so filing stays cheap however full the Inbox is. Nothing
// waits for the disk per message: SyncToDisk makes everything filed so far durable at once.
#include "mail/FolderIndex.h"

#include <QLocale>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "storage/CaselessSet.h"

class TInboxFiler {
public:
  explicit TInboxFiler(QLocale locale = QLocale::system()) : FLocale(std::move(locale)) {}

  // Writes the lines (CR LF ends) as a new file in listPath + "Inbox/" and the record with
  // its full path; returns the record as written. Throws EFCreateError when a file
  // cannot be written; the record is written only after the message file.
  TFolderRecord File(const std::string &listPath, const std::vector<std::string> &lines, TFolderRecord record);
  // Forgets what it learnt of the folders, which may change between runs.
  void NewRun() {
    FReady.clear();
    FNames.clear();
  }
  // Waits until the files and records written so far are on disk. Throws EFCreateError.
  void SyncToDisk();

private:
  std::string NewFileName(const std::string &dir);
  // The record names of the list's index, read at the first message filed there.
  TCaselessSet &Names(const std::string &listPath);

  QLocale FLocale;
  double FLastDays = 0;  // day count of the last name handed out
  std::map<std::string, TCaselessSet> FNames;
  std::set<std::string> FUnsynced;  // Inbox folders written to since the last sync
  std::set<std::string> FReady;     // Inbox folders known to exist
};
