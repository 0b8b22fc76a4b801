#pragma once
// The POP server a Get New fetches from: the list's own server from its panel, or the
// default POP server of the registry for the pseudo-list and for a list that names none.
#include <string>

struct TListRecord;

struct TPopSettings {
  std::string Host;
  std::string Port = "pop3";
  std::string UserName;
  std::string PassWord;
  bool Delete = false;  // delete the mail from the server after reading
  int Security = 0;     // 0 none, 1 STLS, 2 TLS from the first byte; -1 as the registry entry
  std::string Certificate;  // fingerprint of a certificate the user trusted for it
};

// The registry entry at the default position of the sorted POP registry (the general
// settings' "POP Server"); no Host when there is none.
TPopSettings DefaultPopSettings(const std::string &dataDir, int position);
// A list's settings as its panel shows them; a security of -1 and the trusted certificate are
// the server's registry entry's (none when it has no entry); a list without a server of its own takes the default server whole (port, user
// name, password, its delete flag and its security).
TPopSettings ListPopSettings(const std::string &dataDir, const TPopSettings &panel, int defaultPosition);
// The same for a list as its record stores it (the command line has no panel): the port
// is the one of the server's registry entry.
TPopSettings RecordPopSettings(const std::string &dataDir, const TListRecord &list, int defaultPosition);
