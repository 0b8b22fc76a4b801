#include "support/Pop3ServerFixture.h"

#include "net/WSocket.h"
#include "support/QtTestApp.h"
#include "support/TempDir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QThread>

#include <arpa/inet.h>
#include <grp.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Dovecot refuses uid 0 for mail users, so as root the maildir belongs to nobody.
constexpr uid_t kNobody = 65534;
const bool kRoot = ::geteuid() == 0;

int FreeLoopbackPort() {
  TWSocket probe;
  probe.SetAddr("127.0.0.1");
  probe.SetPort("0");
  probe.Listen();
  return std::stoi(probe.GetXPort());
}

// A plain blocking connect: the test's event loop must not run while Dovecot starts.
bool CanConnect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
  if (fd >= 0) ::close(fd);
  return ok;
}

void GiveToNobody(const std::string &path) {
  if (kRoot && ::chown(path.c_str(), kNobody, kNobody) != 0)
    throw std::runtime_error("cannot give " + path + " to nobody");
}

}  // namespace

Pop3ServerFixture::Pop3ServerFixture(std::string user, std::string password, std::string certFile,
                                     std::string keyFile)
    : user_(std::move(user)), password_(std::move(password)), cert_(std::move(certFile)),
      key_(std::move(keyFile)) {
  EnsureQtApp();
  if (!dir_.isValid())
    throw std::runtime_error("cannot create a temporary folder for Dovecot");
  root_ = dir_.path().toStdString() + "/";
  maildir_ = root_ + "Maildir/";
  // Dovecot's unprivileged processes must be able to walk into the folder.
  QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
  for (const char *sub : {"", "new", "cur", "tmp"}) {
    QDir().mkpath(QString::fromStdString(maildir_ + sub));
    GiveToNobody(maildir_ + sub);
  }
  // The password in a plaintext scheme: APOP needs the secret itself.
  const std::string ids = kRoot ? "65534:65534" : std::to_string(::getuid()) + ":" + std::to_string(::getgid());
  WriteAll(root_ + "users", user_ + ":{PLAIN}" + password_ + ":" + ids + "::" + maildir_ + "::\n");

  std::string lastLog;
  // A port found free can be taken by someone else before Dovecot binds it: try again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = FreeLoopbackPort();
    tlsPort_ = cert_.empty() ? 0 : FreeLoopbackPort();
    WriteAll(root_ + "dovecot.conf", Config());
    dovecot_ = std::make_unique<QProcess>();
    dovecot_->setProcessChannelMode(QProcess::MergedChannels);
    dovecot_->setStandardOutputFile(QString::fromStdString(root_ + "dovecot.out"), QIODevice::Append);
    dovecot_->start("/usr/sbin/dovecot", {"-F", "-c", QString::fromStdString(root_ + "dovecot.conf")});
    const QDeadlineTimer deadline(15000);
    while (dovecot_->state() != QProcess::NotRunning && !deadline.hasExpired()) {
      if (CanConnect(port_)) return;
      QThread::msleep(20);
      dovecot_->waitForFinished(0);
    }
    lastLog = Log();
    Stop();
  }
  throw std::runtime_error("Dovecot did not start:\n" + lastLog);
}

Pop3ServerFixture::~Pop3ServerFixture() { Stop(); }

std::string Pop3ServerFixture::Config() const {
  std::string conf = "protocols = pop3\nlisten = 127.0.0.1\nbase_dir = " + root_ + "run\nstate_dir = " + root_ +
                     "state\nlog_path = " + root_ + "dovecot.log\n";
  if (cert_.empty())
    conf += "ssl = no\ndisable_plaintext_auth = no\n";
  else
    conf += "ssl = required\nssl_cert = <" + cert_ + "\nssl_key = <" + key_ + "\ndisable_plaintext_auth = yes\n";
  conf += "auth_mechanisms = plain login apop\nauth_failure_delay = 0\nmail_location = maildir:" + maildir_ + "\n";
  const std::string chroot = kRoot ? "" : "  chroot =\n";
  if (kRoot) {
    conf += "default_internal_user = dovecot\ndefault_login_user = dovenull\n";
  } else {
    const passwd *pw = ::getpwuid(::getuid());
    const group *gr = ::getgrgid(::getgid());
    const std::string name = pw ? pw->pw_name : "nobody";
    conf += "default_internal_user = " + name + "\ndefault_login_user = " + name + "\n";
    conf += "default_internal_group = " + std::string(gr ? gr->gr_name : "nogroup") + "\n";
  }
  // No growing delay after failed logins: wrong-password tests follow each other.
  conf += "service anvil {\n" + chroot + "  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n";
  conf += "passdb {\n  driver = passwd-file\n  args = " + root_ + "users\n}\n";
  conf += "userdb {\n  driver = passwd-file\n  args = " + root_ + "users\n}\n";
  conf += "service pop3-login {\n" + chroot + "  inet_listener pop3 {\n    port = " + std::to_string(port_) + "\n  }\n";
  if (!cert_.empty())
    conf += "  inet_listener pop3s {\n    port = " + std::to_string(tlsPort_) + "\n    ssl = yes\n  }\n";
  return conf + "}\n";
}

void Pop3ServerFixture::Stop() {
  if (!dovecot_ || dovecot_->state() == QProcess::NotRunning) return;
  // The master stops its own children before it exits; give it a few seconds.
  dovecot_->terminate();
  if (!dovecot_->waitForFinished(10000)) {
    dovecot_->kill();
    dovecot_->waitForFinished(5000);
  }
}

void Pop3ServerFixture::AddMessage(const std::string &raw) {
  QByteArray text = QByteArray::fromStdString(raw);
  text.replace("\r\n", "\n").replace('\r', '\n');
  // Dovecot numbers new mail in name order: a zero-padded counter keeps the order of adding.
  const std::string name = "1700000000.M" + QString::number(++counter_).rightJustified(6, '0').toStdString() +
                           "P" + std::to_string(::getpid()) + ".brevant";
  const std::string tmp = maildir_ + "tmp/" + name;
  WriteAll(tmp, text.toStdString());
  GiveToNobody(tmp);
  if (!QFile::rename(QString::fromStdString(tmp), QString::fromStdString(maildir_ + "new/" + name)))
    throw std::runtime_error("cannot move " + tmp + " into new/");
}

std::size_t Pop3ServerFixture::MessageCount() const {
  const auto count = [this](const char *sub) {
    return QDir(QString::fromStdString(maildir_ + sub)).entryList(QDir::Files).size();
  };
  return static_cast<std::size_t>(count("new") + count("cur"));
}

std::string Pop3ServerFixture::Log() const { return ReadAll(root_ + "dovecot.log") + ReadAll(root_ + "dovecot.out"); }
