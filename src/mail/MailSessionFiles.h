#pragma once
// The two files of a mailing run in the data directory: the session log "MailLog.txt"
// and the failed addresses "Failed.txt". Both are rewritten when a run starts; while a
// message is under way they stay open for appending, so that a long run does not reopen
// them for every line.
#include <memory>
#include <string>
#include <vector>

class QFile;

// The addresses listed in the last run's "Failed.txt", in order, each once.
std::vector<std::string> ReadFailedAddresses(const std::string &dataDir);

class TMailSessionFiles {
public:
  explicit TMailSessionFiles(const std::string &dataDir);
  ~TMailSessionFiles();
  TMailSessionFiles(const TMailSessionFiles &) = delete;
  TMailSessionFiles &operator=(const TMailSessionFiles &) = delete;

  std::string LogPath() const { return dataDir_ + "MailLog.txt"; }
  std::string FailedPath() const { return dataDir_ + "Failed.txt"; }

  // Rewrites both files with their opening lines; `stamp` is the date and time text.
  // Throws EFCreateError when a file cannot be written.
  void Start(const std::string &stamp);
  // Opens both files for appending (throws EFCreateError) / closes them.
  void Open();
  void Close();
  // One line of the session log; a log that is closed or cannot be written is skipped,
  // since the log is a trace and must not stop the run.
  void Log(const std::string &line);
  // One failed address. Failed addresses matter to the user, so when the file is not
  // open it is opened for this line.
  void AddFailed(const std::string &address);
  // The closing lines of both files.
  void Finish(int sent, int failed);

private:
  std::string dataDir_;
  std::unique_ptr<QFile> log_;
  std::unique_ptr<QFile> failed_;
};
