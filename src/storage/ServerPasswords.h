#pragma once
// Where a registered server's password is kept: in the desktop's keyring when one is running,
// otherwise in the server registry itself (a file only its owner may read), as before.
#include "storage/ServerRegistry.h"

#include <functional>
#include <string>

// The keyring entry of a server of the data folder.
std::string ServerPasswordKey(const std::string &dataDir, bool smtp, const std::string &name);

enum class TPasswordPlace { ppNone, ppKeyring, ppFile };

// After an entry was written with its password in the file: hands the password to the
// keyring and, once the keyring holds it, takes it out of the file. Returns at once; `done`
// says where the password ended up (ppNone: the entry has none, and the keyring keeps none).
void MovePasswordToKeyring(const std::string &dataDir, bool smtp, const std::string &name,
                           std::function<void(TPasswordPlace)> done);
// Forgets a server's keyring entry (the server was removed or renamed).
void ForgetServerPassword(const std::string &dataDir, bool smtp, const std::string &name);

// Fills the password of an entry that keeps it in the keyring, waiting for it in the event
// loop. False when the keyring did not give it (the password stays empty).
bool FetchServerPasswordWaiting(const std::string &dataDir, TSmtpServer *server);
bool FetchServerPasswordWaiting(const std::string &dataDir, TPopServer *server);

// What the user is told, once per data folder, when passwords stay in the files; "" once told.
std::string PasswordFileNoticeOnce(const std::string &dataDir);
