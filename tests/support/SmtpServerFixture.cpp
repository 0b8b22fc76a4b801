#include "support/SmtpServerFixture.h"

#include <QDir>
#include <QFile>

SmtpServerFixture::SmtpServerFixture() : SmtpServerFixture(QStringList()) {}

SmtpServerFixture::SmtpServerFixture(const QStringList &options) {
  if (FDir.isValid()) FServer = std::make_unique<ScriptProcess>("smtp_server.py", QStringList{FDir.path()} + options);
}

SmtpServerFixture::~SmtpServerFixture() = default;

std::string SmtpServerFixture::Folder() const { return FDir.path().toStdString() + "/"; }

void SmtpServerFixture::WriteControl(const QString &name, const std::string &text) {
  QFile f(FDir.filePath(name + ".tmp"));
  if (!f.open(QIODevice::WriteOnly)) return;
  f.write(QByteArray::fromStdString(text));
  f.close();
  QFile::remove(FDir.filePath(name));
  f.rename(FDir.filePath(name));
}

void SmtpServerFixture::SetRefused(const std::set<std::string> &addresses) {
  std::string text;
  for (const std::string &a : addresses) text += a + "\n";
  WriteControl("refused.txt", text);
}

void SmtpServerFixture::SetDeferred(const std::map<std::string, int> &addressCounts) {
  std::string text;
  for (const auto &[address, count] : addressCounts) text += address + " " + std::to_string(count) + "\n";
  WriteControl("deferred.txt", text);
}

void SmtpServerFixture::Close421After(int mails) { WriteControl("421.txt", std::to_string(mails)); }

void SmtpServerFixture::HoldAfter(int messages) { WriteControl("hold.txt", std::to_string(messages)); }

void SmtpServerFixture::ReleaseHold() { QFile::remove(FDir.filePath("hold.txt")); }

std::vector<ReceivedMessage> SmtpServerFixture::Messages() const {
  std::vector<ReceivedMessage> list;
  const QStringList names = QDir(FDir.path()).entryList({"msg-*.eml"}, QDir::Files, QDir::Name);
  for (const QString &name : names) {
    QFile f(FDir.filePath(name));
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QByteArray all = f.readAll();
    const qsizetype split = all.indexOf("\r\n\r\n");
    if (split < 0) continue;
    ReceivedMessage m;
    for (const QByteArray &line : all.left(split).split('\n')) {
      const QByteArray l = line.trimmed();
      const qsizetype open = l.indexOf('<'), close = l.lastIndexOf('>');
      if (open < 0 || close < open) continue;
      const std::string addr = l.mid(open + 1, close - open - 1).toStdString();
      if (l.startsWith("MAIL FROM:")) {
        m.MailFrom = addr;
        m.MailOptions = l.mid(close + 1).trimmed().toStdString();
      }
      if (l.startsWith("RCPT TO:")) m.RcptTo.push_back(addr);
    }
    m.Data = all.mid(split + 4).toStdString();
    list.push_back(std::move(m));
  }
  return list;
}
