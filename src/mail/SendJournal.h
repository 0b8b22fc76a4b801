#pragma once
// The journal of a mailing run, in the list's folder: one line for every recipient that
// accepted the newsletter, written the moment the server took the message, so that a run
// cut short (a crash, a killed program) can be resumed without sending anyone the same
// newsletter twice. A run that ends removes it.
#include <set>
#include <string>

inline constexpr const char *kSendJournalFile = "Send Journal.txt";

class TSendJournal {
public:
  TSendJournal() = default;
  ~TSendJournal();
  TSendJournal(const TSendJournal &) = delete;
  TSendJournal &operator=(const TSendJournal &) = delete;

  // Starts the journal of a run in `folder` (ending with '/'): a fresh one, or with
  // `keep` the lines already there (a resumed run). Throws EFCreateError.
  void Begin(const std::string &folder, const std::string &newsletterFile, const std::string &subject, bool keep);
  // One line for a recipient that accepted the message, handed to the system at once.
  void Accepted(const std::string &recipient);
  // The run ended: the journal goes.
  void Finish();

  // The recipients (lower case) that the journal in `folder` records for this newsletter.
  static std::set<std::string> AlreadySent(const std::string &folder, const std::string &newsletterFile,
                                           const std::string &subject);

private:
  void Close();
  std::string path_, prefix_;
  int fd_ = -1;
};
