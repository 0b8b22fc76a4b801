#pragma once
// Keeps two programs (the window and the command line, or two command lines) from sending
// or fetching the mail of one list at the same time. The lock is the file "Brevant.lock" in
// the list's folder, locked by the kernel for as long as the holder keeps it open, and
// holding the holder's process id and program name. A lock file left by a process that
// died is not locked any more and is simply taken over.
#include <string>

inline constexpr const char *kListLockFile = "Brevant.lock";

class TListLock {
public:
  // `folder` is the list's folder (ending in '/'); `program` names the holder for others.
  TListLock(const std::string &folder, const std::string &program);
  ~TListLock();
  TListLock(const TListLock &) = delete;
  TListLock &operator=(const TListLock &) = delete;

  // One attempt. On failure HolderPid() and HolderProgram() tell who has the lock.
  bool TryAcquire();
  // Attempts until the lock is taken or `timeoutMs` has passed, sleeping between attempts.
  bool Acquire(int timeoutMs);
  void Release();
  bool Held() const { return fd_ >= 0; }

  long HolderPid() const { return holderPid_; }
  const std::string &HolderProgram() const { return holderProgram_; }
  // "process 1234 (brevant-cli)", for the message that the list is busy.
  std::string HolderText() const;

private:
  void ReadHolder(int fd);

  std::string path_;
  std::string program_;
  int fd_ = -1;
  long holderPid_ = 0;
  std::string holderProgram_;
};

// The message for a list whose lock could not be taken.
std::string ListBusyText(const TListLock &lock);
