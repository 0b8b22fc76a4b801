#include "support/Pop3ServerFixture.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

constexpr const char *kDovecot = "/usr/sbin/dovecot";

// Dovecot refuses uid 0 for mail users, so as root the maildir belongs to nobody.
constexpr uid_t kNobodyUid = 65534;
constexpr gid_t kNobodyGid = 65534;

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0)
    throw std::runtime_error("socket() failed");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  if (port == 0)
    throw std::runtime_error("no free port on 127.0.0.1");
  return port;
}

bool CanConnect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0)
    return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

void WriteText(const std::string &path, const std::string &text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    throw std::runtime_error("cannot create " + path);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) {
      ::close(fd);
      throw std::runtime_error("cannot write " + path);
    }
    done += std::size_t(n);
  }
  ::close(fd);
}

std::size_t CountFiles(const std::string &dir) {
  std::size_t n = 0;
  if (DIR *d = ::opendir(dir.c_str())) {
    while (dirent *e = ::readdir(d))
      if (e->d_name[0] != '.')
        ++n;
    ::closedir(d);
  }
  return n;
}

} // namespace

Pop3ServerFixture::Pop3ServerFixture(std::string user, std::string password)
    : Pop3ServerFixture(std::move(user), std::move(password), std::string(), std::string()) {}

Pop3ServerFixture::Pop3ServerFixture(std::string user, std::string password, std::string certFile,
                                     std::string keyFile)
    : user_(std::move(user)), password_(std::move(password)), cert_(std::move(certFile)),
      key_(std::move(keyFile)) {
  if (!dir_.IsValid())
    throw std::runtime_error("cannot create a temporary folder for Dovecot");
  root_ = dir_.Path();
  maildir_ = root_ + "Maildir/";
  // Dovecot's unprivileged processes must be able to walk into the folder.
  ::chmod(root_.c_str(), 0755);
  for (const char *sub : {"", "new", "cur", "tmp"}) {
    const std::string p = maildir_ + sub;
    ::mkdir(p.c_str(), 0700);
    if (::geteuid() == 0 && ::chown(p.c_str(), kNobodyUid, kNobodyGid) != 0)
      throw std::runtime_error("cannot give " + p + " to nobody");
  }
  stamp_ = static_cast<long>(std::time(nullptr));
  Start(false);
}

Pop3ServerFixture::~Pop3ServerFixture() { Stop(); }

void Pop3ServerFixture::WriteConfig() {
  const bool root = ::geteuid() == 0;
  uid_t uid = root ? kNobodyUid : ::getuid();
  gid_t gid = root ? kNobodyGid : ::getgid();
  std::string conf;
  conf += "protocols = pop3\n";
  conf += "listen = 127.0.0.1\n";
  conf += "base_dir = " + root_ + "run\n";
  conf += "state_dir = " + root_ + "state\n";
  conf += "log_path = " + root_ + "dovecot.log\n";
  if (cert_.empty()) {
    conf += "ssl = no\n";
    conf += "disable_plaintext_auth = no\n";
  } else {
    conf += "ssl = required\nssl_cert = <" + cert_ + "\nssl_key = <" + key_ + "\n";
    conf += "disable_plaintext_auth = yes\n";
  }
  conf += "auth_mechanisms = plain login apop\n";
  conf += "auth_failure_delay = 0\n";
  conf += "mail_location = maildir:" + maildir_ + "\n";
  if (root) {
    conf += "default_internal_user = dovecot\n";
    conf += "default_login_user = dovenull\n";
  } else {
    const passwd *pw = ::getpwuid(uid);
    const group *gr = ::getgrgid(gid);
    const std::string name = pw ? pw->pw_name : "nobody";
    conf += "default_internal_user = " + name + "\n";
    conf += "default_login_user = " + name + "\n";
    conf += "default_internal_group = " + std::string(gr ? gr->gr_name : "nogroup") + "\n";
  }
  // No growing delay after failed logins: wrong-password tests follow each other.
  conf += "service anvil {\n";
  if (!root)
    conf += "  chroot =\n";
  conf += "  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n";
  conf += "passdb {\n  driver = passwd-file\n  args = " + root_ + "users\n}\n";
  conf += "userdb {\n  driver = passwd-file\n  args = " + root_ + "users\n}\n";
  conf += "service pop3-login {\n";
  if (!root)
    conf += "  chroot =\n";
  conf += "  inet_listener pop3 {\n    port = " + std::to_string(port_) + "\n  }\n";
  if (!cert_.empty())
    conf += "  inet_listener pop3s {\n    port = " + std::to_string(tlsPort_) + "\n    ssl = yes\n  }\n";
  conf += "}\n";
  WriteText(root_ + "dovecot.conf", conf);
  // The password in a plaintext scheme: APOP needs the secret itself.
  WriteText(root_ + "users", user_ + ":{PLAIN}" + password_ + ":" + std::to_string(uid) + ":" +
                                 std::to_string(gid) + "::" + maildir_ + "::\n");
}

void Pop3ServerFixture::Start(bool keepPort) {
  std::string lastLog;
  // A port found free can be taken by someone else before Dovecot binds it: try again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (!keepPort || attempt > 0) {
      port_ = FreeLoopbackPort();
      tlsPort_ = cert_.empty() ? 0 : FreeLoopbackPort();
    }
    WriteConfig();
    const std::string conf = root_ + "dovecot.conf";
    const std::string out = root_ + "dovecot.out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    char *argv[] = {const_cast<char *>(kDovecot), const_cast<char *>("-F"),
                    const_cast<char *>("-c"), const_cast<char *>(conf.c_str()), nullptr};
    const int rc = posix_spawn(&pid_, kDovecot, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      pid_ = -1;
      throw std::runtime_error(std::string("cannot start dovecot: ") + std::strerror(rc));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      if (CanConnect(port_))
        return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    lastLog = Log();
    Stop();
  }
  throw std::runtime_error("Dovecot did not start:\n" + lastLog);
}

void Pop3ServerFixture::Stop() {
  if (pid_ <= 0)
    return;
  ::kill(pid_, SIGTERM);
  // The master stops its own children before it exits; give it a few seconds.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = -1;
}

void Pop3ServerFixture::Restart() {
  Stop();
  Start(true);
}

void Pop3ServerFixture::AddMessage(const std::string &raw) {
  std::string text;
  text.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r') {
      text += '\n';
      if (i + 1 < raw.size() && raw[i + 1] == '\n')
        ++i;
    } else {
      text += raw[i];
    }
  }
  // One time stamp and a zero-padded counter: Dovecot numbers new mail in name order.
  char name[64];
  std::snprintf(name, sizeof name, "%ld.M%06uP%d.brevant", stamp_, ++counter_, int(::getpid()));
  const std::string tmp = maildir_ + "tmp/" + name;
  WriteText(tmp, text);
  if (::geteuid() == 0 && ::chown(tmp.c_str(), kNobodyUid, kNobodyGid) != 0)
    throw std::runtime_error("cannot give " + tmp + " to nobody");
  const std::string dest = maildir_ + "new/" + name;
  if (::rename(tmp.c_str(), dest.c_str()) != 0)
    throw std::runtime_error("cannot move " + tmp + " into new/");
}

std::size_t Pop3ServerFixture::MessageCount() const {
  return CountFiles(maildir_ + "new") + CountFiles(maildir_ + "cur");
}

std::string Pop3ServerFixture::Log() const {
  std::string all;
  for (const char *f : {"dovecot.log", "dovecot.out"}) {
    const int fd = ::open((root_ + f).c_str(), O_RDONLY);
    if (fd < 0)
      continue;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
      all.append(buf, std::size_t(n));
    ::close(fd);
  }
  return all;
}
