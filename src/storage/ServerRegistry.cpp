#include "storage/ServerRegistry.h"

#include "storage/Ansi.h"
#include "storage/Strings.h"

#include <QDir>
#include <algorithm>

namespace {

// An existing file of that name in any letter case, else the name as the program spells it.
std::string FindFileNoCase(const std::string &dataDir, const std::string &name) {
  const QDir dir(AnsiToQString(dataDir));
  if (dir.exists(AnsiToQString(name))) return dataDir + name;
  for (const QString &entry : dir.entryList(QDir::Files))
    if (SameText(QStringToAnsi(entry), name)) return dataDir + QStringToAnsi(entry);
  return dataDir + name;
}

std::vector<std::string> SortedSections(const std::string &path) {
  std::vector<std::string> names;
  TIniFile32(path, TIniMode::imPlatform).ReadSections(&names);
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string &a, const std::string &b) { return CompareText(a, b) < 0; });
  return names;
}

bool HasSection(const std::string &path, const std::string &name) {
  std::vector<std::string> names;
  TIniFile32(path, TIniMode::imPlatform).ReadSections(&names);
  return std::any_of(names.begin(), names.end(), [&](const std::string &n) { return SameText(n, name); });
}

}  // namespace

std::string SmtpRegistryPath(const std::string &dataDir) { return FindFileNoCase(dataDir, "Smtp Servers.ini"); }
std::string PopRegistryPath(const std::string &dataDir) { return FindFileNoCase(dataDir, "Pop Servers.ini"); }

std::vector<std::string> ReadSmtpServerNames(const std::string &dataDir) {
  return SortedSections(SmtpRegistryPath(dataDir));
}
std::vector<std::string> ReadPopServerNames(const std::string &dataDir) {
  return SortedSections(PopRegistryPath(dataDir));
}
bool SmtpServerExists(const std::string &dataDir, const std::string &name) {
  return HasSection(SmtpRegistryPath(dataDir), name);
}
bool PopServerExists(const std::string &dataDir, const std::string &name) {
  return HasSection(PopRegistryPath(dataDir), name);
}

TSmtpServer ReadSmtpServer(const std::string &dataDir, const std::string &name, TIniMode mode) {
  const TIniFile32 ini(SmtpRegistryPath(dataDir), mode);
  TSmtpServer s;
  s.Name = name;
  s.Username = ini.ReadString(name, "Username", "");
  s.Port = ini.ReadString(name, "Port", s.Port);
  s.SendMethod = ini.ReadInteger(name, "Send Method", s.SendMethod);
  s.RcptTo = ini.ReadInteger(name, "RCPT TO", s.RcptTo);
  s.MessagesPerMinute = std::max(0, ini.ReadInteger(name, "Messages Per Minute", 0));
  s.Sessions = std::clamp(ini.ReadInteger(name, "Sessions", s.Sessions), 1, kMaxSmtpSessions);
  s.SessionMessages = std::clamp(ini.ReadInteger(name, "Messages Per Session", s.SessionMessages), 1, 1000);
  // "0" turns the retries off; a value that makes no sense keeps the defaults.
  const std::string pauses = Trim(ini.ReadString(name, "Retry Pauses", ""));
  const std::vector<int> parsed = ParseRetryPauses(pauses);
  if (pauses == "0" || !parsed.empty()) s.RetryPauses = parsed;
  // Keys the older program does not know; absent, the session is the plain one.
  s.Security = ini.ReadInteger(name, "Security", s.Security);
  s.Login = ini.ReadBool(name, "Login", s.Login);
  s.Password = ini.ReadString(name, "Password", "");
  s.ClearText = ini.ReadBool(name, "Clear Text Password", s.ClearText);
  s.Certificate = ini.ReadString(name, "Certificate", "");
  s.PasswordInKeyring = ini.ReadBool(name, "Password In Keyring", false);
  return s;
}

TPopServer ReadPopServer(const std::string &dataDir, const std::string &name, TIniMode mode) {
  const TIniFile32 ini(PopRegistryPath(dataDir), mode);
  TPopServer s;
  s.Name = name;
  s.Username = ini.ReadString(name, "Username", "");
  s.Password = ini.ReadString(name, "Password", "");
  s.Port = ini.ReadString(name, "Port", s.Port);
  s.Delete = ini.ReadBool(name, "Delete", s.Delete);
  s.Security = ini.ReadInteger(name, "Security", s.Security);
  s.Certificate = ini.ReadString(name, "Certificate", "");
  s.PasswordInKeyring = ini.ReadBool(name, "Password In Keyring", false);
  return s;
}

void WriteSmtpServer(const std::string &dataDir, const TSmtpServer &s) {
  TIniFile32 ini(SmtpRegistryPath(dataDir), TIniMode::imPlatform);
  ini.BeginUpdate();
  ini.WriteString(s.Name, "Username", s.Username);
  ini.WriteString(s.Name, "Port", s.Port);
  ini.WriteInteger(s.Name, "Send Method", s.SendMethod);
  ini.WriteInteger(s.Name, "RCPT TO", s.RcptTo);
  ini.WriteInteger(s.Name, "Messages Per Minute", s.MessagesPerMinute);
  ini.WriteInteger(s.Name, "Sessions", s.Sessions);
  ini.WriteInteger(s.Name, "Messages Per Session", s.SessionMessages);
  ini.WriteString(s.Name, "Retry Pauses", RetryPausesText(s.RetryPauses));
  ini.WriteInteger(s.Name, "Security", s.Security);
  ini.WriteBool(s.Name, "Login", s.Login);
  ini.WriteString(s.Name, "Password", s.Password);
  ini.WriteBool(s.Name, "Clear Text Password", s.ClearText);
  ini.WriteString(s.Name, "Certificate", s.Certificate);
  ini.WriteString(s.Name, "Password In Keyring", s.PasswordInKeyring ? "1" : "");
  ini.EndUpdate();
}

std::vector<int> ParseRetryPauses(const std::string &text) {
  std::vector<int> pauses;
  for (const QString &word : QString::fromStdString(text).split(u',')) {
    bool ok = false;
    const qlonglong seconds = word.trimmed().toLongLong(&ok);
    if (!ok || seconds <= 0 || static_cast<int>(pauses.size()) == kMaxRetryRounds) break;
    pauses.push_back(static_cast<int>(std::min<qlonglong>(seconds, kMaxRetryPause)));
  }
  return pauses;
}

std::string RetryPausesText(const std::vector<int> &pauses) {
  std::string text;
  for (const int p : pauses) {
    if (p <= 0) break;
    text += (text.empty() ? "" : ",") + std::to_string(std::min(p, kMaxRetryPause));
  }
  return text.empty() ? "0" : text;
}

void WritePopServer(const std::string &dataDir, const TPopServer &s) {
  TIniFile32 ini(PopRegistryPath(dataDir), TIniMode::imPlatform);
  ini.BeginUpdate();
  ini.WriteString(s.Name, "Username", s.Username);
  ini.WriteString(s.Name, "Password", s.Password);
  ini.WriteString(s.Name, "Port", s.Port);
  ini.WriteBool(s.Name, "Delete", s.Delete);
  ini.WriteInteger(s.Name, "Security", s.Security);
  ini.WriteString(s.Name, "Certificate", s.Certificate);
  ini.WriteString(s.Name, "Password In Keyring", s.PasswordInKeyring ? "1" : "");
  ini.EndUpdate();
}

void DeleteSmtpServer(const std::string &dataDir, const std::string &name) {
  TIniFile32(SmtpRegistryPath(dataDir), TIniMode::imPlatform).EraseSection(name);
}

void DeletePopServer(const std::string &dataDir, const std::string &name) {
  TIniFile32(PopRegistryPath(dataDir), TIniMode::imPlatform).EraseSection(name);
}

std::string SendMethodText(int method, int rcptTo) {
  switch (method) {
    case 0: return "Send to one address at a time";
    case 1: return "Send to " + std::to_string(rcptTo) + " address at a time";
    case 2: return "Send to all addresses at one time";
    default: return std::string();
  }
}

TDefaultSmtpInfo ShowDefaultSmtpServer(const std::string &dataDir, const std::string &name) {
  const TSmtpServer s = ReadSmtpServer(dataDir, name);
  return {name, s.Username, s.Port, SendMethodText(s.SendMethod, s.RcptTo)};
}

TDefaultPopInfo ShowDefaultPopServer(const std::string &dataDir, const std::string &name) {
  const TPopServer s = ReadPopServer(dataDir, name);
  return {name, s.Port, s.Username, s.Password, s.Delete ? " Delete mail from server after reading" : ""};
}

TSmtpServer FillServerFromRegistry(const std::string &dataDir, const std::string &name) {
  return ReadSmtpServer(dataDir, name, TIniMode::imOwn);
}

TPopServer FillPopServerFromRegistry(const std::string &dataDir, const std::string &name) {
  return ReadPopServer(dataDir, name, TIniMode::imOwn);
}

std::string DefaultServerName(const std::vector<std::string> &sortedNames, int position) {
  if (position < 0 || static_cast<size_t>(position) >= sortedNames.size()) return std::string();
  return sortedNames[static_cast<size_t>(position)];
}

std::string PortForSecurity(bool smtp, int security, const std::string &current) {
  static const char *const kSmtp[] = {"25", "587", "465"};
  static const char *const kPop[] = {"110", "110", "995"};  // STLS starts on the plain port
  const char *const *usual = smtp ? kSmtp : kPop;
  const int choice = security >= 0 && security <= 2 ? security : 0;
  std::string t = current;
  t.erase(0, t.find_first_not_of(" \t"));
  t.erase(t.find_last_not_of(" \t") + 1);
  const bool usualOne = t.empty() || t == (smtp ? "smtp" : "pop3") || t == usual[0] || t == usual[1] || t == usual[2];
  return usualOne ? usual[choice] : current;
}
