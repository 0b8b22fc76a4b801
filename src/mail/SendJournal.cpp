#include "mail/SendJournal.h"

#include "storage/FileErrors.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {
// A field of a journal line: no tab or line break inside.
std::string Field(const std::string &text) {
  std::string out = text;
  for (char &c : out)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return out;
}

std::string Prefix(const std::string &newsletterFile, const std::string &subject) {
  return Field(newsletterFile) + "\t" + Field(subject) + "\t";
}

bool WriteAllBytes(int fd, const std::string &bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}
}  // namespace

TSendJournal::~TSendJournal() { Close(); }

void TSendJournal::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void TSendJournal::Begin(const std::string &folder, const std::string &newsletterFile, const std::string &subject,
                         bool keep) {
  Close();
  path_ = folder + kSendJournalFile;
  prefix_ = Prefix(newsletterFile, subject);
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (keep ? 0 : O_TRUNC), 0600);
  if (fd_ < 0) throw EFCreateError(path_);
}

void TSendJournal::Accepted(const std::string &recipient) {
  // Each line goes to the system in one write: a killed program leaves whole lines.
  if (fd_ >= 0) WriteAllBytes(fd_, prefix_ + Field(recipient) + "\r\n");
}

void TSendJournal::Finish() {
  if (fd_ < 0) return;
  Close();
  std::remove(path_.c_str());
}

std::set<std::string> TSendJournal::AlreadySent(const std::string &folder, const std::string &newsletterFile,
                                                const std::string &subject) {
  std::set<std::string> out;
  const std::string prefix = Prefix(newsletterFile, subject);
  for (const std::string &line : SplitLines(ReadFileBytes(folder + kSendJournalFile)))
    if (line.size() > prefix.size() && line.compare(0, prefix.size(), prefix) == 0)
      out.insert(LowerCase(Trim(line.substr(prefix.size()))));
  return out;
}
