#pragma once
// The SMTP and POP server registries: one section per server, named by its host name.
#include "storage/IniFiles32.h"

#include <string>
#include <vector>

constexpr int kMaxSmtpSessions = 16;
constexpr int kMaxRetryRounds = 3;
constexpr int kMaxRetryPause = 3600;  // seconds

struct TSmtpServer {
  std::string Name;
  std::string Username;
  std::string Port = "smtp";
  int SendMethod = 0;  // 0 one address at a time, 1 RcptTo addresses at a time, 2 all at once
  int RcptTo = 1;      // 1..1000
  int Security = 0;    // 0 none, 1 STARTTLS, 2 SSL/TLS
  bool Login = false;  // log in with Username and Password (Username is then no sign-on name)
  std::string Password{};
  bool ClearText = false;    // the password may go out without TLS
  std::string Certificate{};  // SHA-256 fingerprint of a certificate the user trusted
  int MessagesPerMinute = 0;  // the server's pace; 0 means no limit
  // Sessions at once to the server; 1 sends in list order. Six: without CHUNKING a session
  // needs a round trip per message, so four would take 12.5 s for 1,000 messages at 50 ms.
  int Sessions = 6;
  int SessionMessages = 100;  // messages one session carries before it is closed
  // Pauses in seconds before the rounds that try deferred (4xx) recipients again; at most
  // kMaxRetryRounds, and a round after a 0 does not happen.
  std::vector<int> RetryPauses = {30, 120, 300};
  bool PasswordInKeyring = false;  // Password is kept in the desktop's keyring, not in the file
  bool operator==(const TSmtpServer &) const = default;
};

// "30,120,300" and back; out-of-range pauses are brought into range, a 0 ends the rounds.
std::vector<int> ParseRetryPauses(const std::string &text);
std::string RetryPausesText(const std::vector<int> &pauses);

struct TPopServer {
  std::string Name;
  std::string Username;
  std::string Password{};
  std::string Port = "pop3";
  bool Delete = false;
  int Security = 0;           // 0 none, 1 STARTTLS, 2 SSL/TLS
  std::string Certificate{};  // SHA-256 fingerprint of a certificate the user trusted
  bool PasswordInKeyring = false;  // Password is kept in the desktop's keyring, not in the file
  bool operator==(const TPopServer &) const = default;
};

// The registry's path in the data directory. Its name is matched without regard to case,
// so "SMTP Servers.ini" copied from another installation is found as well.
std::string SmtpRegistryPath(const std::string &dataDir);
std::string PopRegistryPath(const std::string &dataDir);

// The registered names, sorted alphabetically without regard to case (the order in which
// the default server's position is counted).
std::vector<std::string> ReadSmtpServerNames(const std::string &dataDir);
std::vector<std::string> ReadPopServerNames(const std::string &dataDir);
bool SmtpServerExists(const std::string &dataDir, const std::string &name);
bool PopServerExists(const std::string &dataDir, const std::string &name);

// One entry with the registry defaults. The dialogs read with the second writer (an empty
// value reads as empty); the list panel reads with imOwn (an empty value reads as default).
TSmtpServer ReadSmtpServer(const std::string &dataDir, const std::string &name,
                           TIniMode mode = TIniMode::imPlatform);
TPopServer ReadPopServer(const std::string &dataDir, const std::string &name, TIniMode mode = TIniMode::imPlatform);

// Write one entry through the second writer ("Key=" for an empty value).
void WriteSmtpServer(const std::string &dataDir, const TSmtpServer &server);
void WritePopServer(const std::string &dataDir, const TPopServer &server);
void DeleteSmtpServer(const std::string &dataDir, const std::string &name);
void DeletePopServer(const std::string &dataDir, const std::string &name);

// What the default-server boxes of the General Properties dialog show.
struct TDefaultSmtpInfo {
  std::string Server, Username, Port, SendTo;
};
struct TDefaultPopInfo {
  std::string Server, Port, Username, Password, Options;
};
TDefaultSmtpInfo ShowDefaultSmtpServer(const std::string &dataDir, const std::string &name);
TDefaultPopInfo ShowDefaultPopServer(const std::string &dataDir, const std::string &name);
// "Send to one address at a time", "Send to 5 address at a time", ...; "" for another method.
std::string SendMethodText(int method, int rcptTo);

// The values a registered server gives the list panel when chosen there; a name that is not
// registered gives the defaults. The SMTP password box is not the registry's business.
TSmtpServer FillServerFromRegistry(const std::string &dataDir, const std::string &name);
TPopServer FillPopServerFromRegistry(const std::string &dataDir, const std::string &name);

// The port for a new choice of security: the usual one of that choice when the box is empty
// or still holds the usual port of another choice; otherwise what the user typed stays.
std::string PortForSecurity(bool smtp, int security, const std::string &current);

// The name of the server at the default position, "" when there is none.
std::string DefaultServerName(const std::vector<std::string> &sortedNames, int position);
