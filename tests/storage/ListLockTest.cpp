#include "storage/ListLock.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {
// A child process that takes the lock and keeps it until told to go (a byte on the pipe).
struct THolder {
  pid_t pid = -1;
  int tell = -1;

  explicit THolder(const std::string &folder) {
    int ready[2], go[2];
    if (pipe(ready) != 0 || pipe(go) != 0) return;
    pid = fork();
    if (pid == 0) {
      TListLock lock(folder, "holder-test");
      const char ok = lock.TryAcquire() ? '1' : '0';
      char c;
      if (write(ready[1], &ok, 1) != 1 || read(go[0], &c, 1) < 0) _exit(2);
      lock.Release();
      _exit(0);
    }
    close(ready[1]);
    close(go[0]);
    char ok = '0';
    if (read(ready[0], &ok, 1) != 1) ok = '0';
    close(ready[0]);
    tell = go[1];
    if (ok != '1') Finish();
  }
  void Finish() {
    if (tell >= 0) {
      if (write(tell, "x", 1) != 1) { /* the child is gone already */ }
      close(tell);
      tell = -1;
    }
    if (pid > 0) waitpid(pid, nullptr, 0);
    pid = -1;
  }
  ~THolder() { Finish(); }
};

TEST(ListLock, AnotherProcessHoldsItAndSaysWho) {
  TempDir dir;
  THolder holder(dir.Path());
  ASSERT_GT(holder.pid, 0);
  TListLock lock(dir.Path(), "test");
  EXPECT_FALSE(lock.TryAcquire());
  EXPECT_EQ(lock.HolderPid(), holder.pid);
  EXPECT_EQ(lock.HolderProgram(), "holder-test");
  EXPECT_NE(ListBusyText(lock).find("process " + std::to_string(holder.pid) + " (holder-test)"), std::string::npos);
  holder.Finish();
  // Released: the file is gone and the lock can be had.
  EXPECT_FALSE(FileExists(dir.File(kListLockFile)));
  EXPECT_TRUE(lock.TryAcquire());
  EXPECT_TRUE(lock.Held());
}

TEST(ListLock, WaitsForTheHolderWithinTheTimeout) {
  TempDir dir;
  TListLock holder(dir.Path(), "holder"), lock(dir.Path(), "test");
  ASSERT_TRUE(holder.TryAcquire());
  EXPECT_FALSE(lock.Acquire(0));
  std::thread release([&holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder.Release();
  });
  EXPECT_TRUE(lock.Acquire(5000));
  release.join();
}

TEST(ListLock, StaleFileOfADeadProcessIsTakenOver) {
  TempDir dir;
  // What a killed holder leaves: the file with its (no longer running) process id.
  WriteAll(dir.File(kListLockFile), "999999\r\nbrevant-cli\r\n");
  TListLock lock(dir.Path(), "test");
  EXPECT_TRUE(lock.TryAcquire());
  EXPECT_EQ(ReadAll(dir.File(kListLockFile)), std::to_string(getpid()) + "\r\ntest\r\n");
  // The same process asking again through another lock object is refused too: the window's
  // Send Mail and Get New must not overlap either.
  TListLock second(dir.Path(), "second");
  EXPECT_FALSE(second.TryAcquire());
  EXPECT_EQ(second.HolderPid(), getpid());
  lock.Release();
  EXPECT_TRUE(second.TryAcquire());
}

TEST(ListLock, MissingFolderIsReportedAsSuch) {
  TListLock lock("/nonexistent/folder/", "test");
  EXPECT_FALSE(lock.TryAcquire());
  EXPECT_EQ(lock.HolderPid(), 0);
  EXPECT_NE(ListBusyText(lock).find("cannot be created"), std::string::npos);
}
}  // namespace
