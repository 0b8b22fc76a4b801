#include "storage/ListLock.h"

#include "storage/Strings.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

TListLock::TListLock(const std::string &folder, const std::string &program)
    : path_(IncludeTrailingSlash(folder) + kListLockFile), program_(program) {}

TListLock::~TListLock() { Release(); }

void TListLock::ReadHolder(int fd) {
  char buffer[256];
  const ssize_t n = pread(fd, buffer, sizeof buffer - 1, 0);
  const std::string text(buffer, n > 0 ? static_cast<size_t>(n) : 0);
  holderPid_ = std::strtol(text.c_str(), nullptr, 10);
  const size_t start = text.find_first_of("\r\n");
  holderProgram_ = start == std::string::npos ? std::string() : Trim(text.substr(start));
}

bool TListLock::TryAcquire() {
  if (Held()) return true;
  holderPid_ = 0;
  holderProgram_.clear();
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ReadHolder(fd);
      close(fd);
      return false;
    }
    // The holder before us may have removed the file between our open and our lock; then
    // this lock is on a file nobody else can see, and the attempt starts again.
    struct stat opened {}, named {};
    if (fstat(fd, &opened) != 0 || stat(path_.c_str(), &named) != 0 || opened.st_ino != named.st_ino ||
        opened.st_dev != named.st_dev) {
      close(fd);
      continue;
    }
    const std::string holder = std::to_string(getpid()) + "\r\n" + program_ + "\r\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, holder.data(), holder.size(), 0) != static_cast<ssize_t>(holder.size())) {
      close(fd);
      return false;
    }
    fd_ = fd;
    return true;
  }
  return false;
}

bool TListLock::Acquire(int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!TryAcquire()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

void TListLock::Release() {
  if (fd_ < 0) return;
  // Removed while still locked, so nobody takes over a file that is about to go.
  unlink(path_.c_str());
  close(fd_);
  fd_ = -1;
}

std::string TListLock::HolderText() const {
  std::string text = "process " + std::to_string(holderPid_);
  if (!holderProgram_.empty()) text += " (" + holderProgram_ + ")";
  return text;
}

std::string ListBusyText(const TListLock &lock) {
  if (lock.HolderPid() <= 0) return "The list's lock file cannot be created in its folder.";
  return "The list is busy: " + lock.HolderText() + " is sending or fetching its mail. Try again when it has finished.";
}
