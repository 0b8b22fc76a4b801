#include "storage/ServerPasswords.h"

#include "storage/IniFiles32.h"
#include "storage/Keyring.h"

#include <QCoreApplication>

namespace {

const char *const kSettingsFile = "Brevant 20.ini";

// The password the file holds for the entry now, and whether it has one at all.
struct TFileEntry {
  bool Exists = false;
  std::string Password;
  bool InKeyring = false;
};

TFileEntry FileEntry(const std::string &dataDir, bool smtp, const std::string &name) {
  if (smtp ? !SmtpServerExists(dataDir, name) : !PopServerExists(dataDir, name)) return {};
  if (smtp) {
    const TSmtpServer s = ReadSmtpServer(dataDir, name);
    return {true, s.Password, s.PasswordInKeyring};
  }
  const TPopServer s = ReadPopServer(dataDir, name);
  return {true, s.Password, s.PasswordInKeyring};
}

void MarkInKeyring(const std::string &dataDir, bool smtp, const std::string &name) {
  if (smtp) {
    TSmtpServer s = ReadSmtpServer(dataDir, name);
    s.Password.clear();
    s.PasswordInKeyring = true;
    WriteSmtpServer(dataDir, s);
  } else {
    TPopServer s = ReadPopServer(dataDir, name);
    s.Password.clear();
    s.PasswordInKeyring = true;
    WritePopServer(dataDir, s);
  }
}

template <typename TServer>
bool FetchWaiting(const std::string &dataDir, bool smtp, TServer *server) {
  if (!server->PasswordInKeyring) return true;
  return KeyringFetchWaiting(ServerPasswordKey(dataDir, smtp, server->Name), &server->Password);
}

}  // namespace

std::string ServerPasswordKey(const std::string &dataDir, bool smtp, const std::string &name) {
  return std::string(smtp ? "SMTP " : "POP ") + name + " (" + dataDir + ")";
}

void MovePasswordToKeyring(const std::string &dataDir, bool smtp, const std::string &name,
                           std::function<void(TPasswordPlace)> done) {
  const TFileEntry entry = FileEntry(dataDir, smtp, name);
  const std::string key = ServerPasswordKey(dataDir, smtp, name);
  if (entry.InKeyring && entry.Password.empty()) {  // kept there already; told later all the same
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [done] { done(TPasswordPlace::ppKeyring); }, Qt::QueuedConnection);
    return;
  }
  if (!entry.Exists || entry.Password.empty()) {
    // No password, or none any more: the keyring keeps no old one either.
    KeyringForget(key, [done](bool, const std::string &) { done(TPasswordPlace::ppNone); });
    return;
  }
  KeyringStore(key, entry.Password, [=](bool ok, const std::string &) {
    // Saved again meanwhile: that save moves its own password.
    const TFileEntry now = FileEntry(dataDir, smtp, name);
    if (ok && now.Exists && now.Password == entry.Password) {
      MarkInKeyring(dataDir, smtp, name);
      done(TPasswordPlace::ppKeyring);
      return;
    }
    done(ok ? TPasswordPlace::ppKeyring : TPasswordPlace::ppFile);
  });
}

void ForgetServerPassword(const std::string &dataDir, bool smtp, const std::string &name) {
  KeyringForget(ServerPasswordKey(dataDir, smtp, name), [](bool, const std::string &) {});
}

bool FetchServerPasswordWaiting(const std::string &dataDir, TSmtpServer *server) {
  return FetchWaiting(dataDir, true, server);
}
bool FetchServerPasswordWaiting(const std::string &dataDir, TPopServer *server) {
  return FetchWaiting(dataDir, false, server);
}

std::string PasswordFileNoticeOnce(const std::string &dataDir) {
  TIniFile32 ini(dataDir + kSettingsFile, TIniMode::imPlatform);
  if (ini.ReadBool("Passwords", "File Notice Shown", false)) return std::string();
  ini.WriteBool("Passwords", "File Notice Shown", true);
  return "No desktop keyring is running, so the servers' passwords are kept in \"" + SmtpRegistryPath(dataDir) +
         "\", \"" + PopRegistryPath(dataDir) + "\" and \"" + dataDir + "Lists.ini\", which only you may read.";
}
