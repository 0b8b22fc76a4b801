#include "mail/PopSettings.h"

#include "lists/ListRecord.h"
#include "storage/ServerPasswords.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"

TPopSettings DefaultPopSettings(const std::string &dataDir, int position) {
  const std::string name = DefaultServerName(ReadPopServerNames(dataDir), position);
  if (name.empty()) return {};
  TPopServer server = ReadPopServer(dataDir, name, TIniMode::imOwn);
  FetchServerPasswordWaiting(dataDir, &server);
  return {name,          Trim(server.Port).empty() ? "pop3" : server.Port, server.Username, server.Password,
          server.Delete, server.Security, server.Certificate};
}

TPopSettings ListPopSettings(const std::string &dataDir, const TPopSettings &panel, int defaultPosition) {
  if (!Trim(panel.Host).empty()) {
    TPopSettings own = panel;
    if (Trim(own.Port).empty()) own.Port = "pop3";  // a blank port box means the usual one
    const bool registered = PopServerExists(dataDir, own.Host);
    TPopServer server = registered ? ReadPopServer(dataDir, own.Host, TIniMode::imOwn) : TPopServer{};
    if (own.Security < 0) own.Security = server.Security;
    // The page shows no password of an entry that keeps it in the keyring.
    if (own.PassWord.empty() && FetchServerPasswordWaiting(dataDir, &server)) own.PassWord = server.Password;
    if (registered) own.Certificate = server.Certificate;
    return own;
  }
  return DefaultPopSettings(dataDir, defaultPosition);
}

TPopSettings RecordPopSettings(const std::string &dataDir, const TListRecord &list, int defaultPosition) {
  TPopSettings panel;
  panel.Host = list.POPServer;
  panel.UserName = list.POPUserName;
  panel.PassWord = list.POPPassword;
  panel.Delete = list.DeleteRead;
  if (!Trim(list.POPServer).empty() && PopServerExists(dataDir, list.POPServer))
    panel.Port = ReadPopServer(dataDir, list.POPServer, TIniMode::imOwn).Port;
  return ListPopSettings(dataDir, panel, defaultPosition);
}
