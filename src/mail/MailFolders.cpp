#include "mail/MailFolders.h"

#include "storage/Ansi.h"
#include "storage/FileNames.h"
#include "storage/TextFile.h"

#include <QDir>
#include <QFile>

namespace {
QString Q(const std::string &path) { return AnsiToQString(path); }

std::string BaseName(const std::string &path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a file moves in the Trash: its own name, or a free one when another message's
// file already has it there.
std::string TrashPathFor(const std::string &trashDir, const std::string &file) {
  const std::string target = trashDir + BaseName(file);
  return FileExists(target) ? MakeUniquePath(target) : target;
}
}  // namespace

bool MoveFile(const std::string &from, const std::string &to) {
  if (QFile::rename(Q(from), Q(to))) return true;
  // rename fails across file systems: copy, then remove the original.
  if (!QFile::copy(Q(from), Q(to))) return false;
  QFile::remove(Q(from));
  return true;
}

void MoveToTrash(const std::string &listPath, TMailFolder from, const std::vector<TMessageRow> &rows) {
  TFolderIndex source(listPath, from);
  std::vector<std::string> erased;
  if (from == TMailFolder::mfTrash) {
    for (const TMessageRow &row : rows) {
      if (row.IsEmptyRow()) continue;
      if (!row.Path.empty()) QFile::remove(Q(row.Path));
      erased.push_back(row.Name);
    }
    source.EraseMany(erased);
    return;
  }
  const std::string trashDir = MailFolderDir(listPath, TMailFolder::mfTrash);
  ForceDirectories(trashDir);
  TFolderIndex trash(listPath, TMailFolder::mfTrash);
  trash.BeginUpdate();
  for (const TMessageRow &row : rows) {
    if (row.IsEmptyRow()) continue;
    TFolderRecord r;
    r.Name = row.Name;
    r.From = row.From;
    r.Subject = row.Subject;
    r.Date = row.Date;
    r.Attachment = row.Attachment;
    r.MsgNum = row.MsgNum;
    r.Received = row.Status == "Received";
    r.Viewed = row.Status == "Viewed";
    if (!row.Path.empty()) {
      const std::string target = TrashPathFor(trashDir, row.Path);
      // A file that cannot move stays where it is and the record keeps pointing at it.
      r.FileName = MoveFile(row.Path, target) ? target : row.Path;
    }
    trash.Write(r);
    erased.push_back(row.Name);
  }
  trash.EndUpdate();
  source.EraseMany(erased);
}

int PurgeFolder(const std::string &listPath, TMailFolder folder) {
  QDir dir(Q(MailFolderDir(listPath, folder)));
  int count = 0;
  for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    ++count;
    dir.remove(name);
  }
  QFile::remove(Q(FolderIndexFile(listPath, folder)));
  return count;
}
