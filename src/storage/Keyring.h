#pragma once
// The desktop's keyring (the Secret Service, through QtKeychain). Every call returns at once;
// its outcome arrives later on the event loop. No keyring running is an outcome like any other
// failure: the caller keeps the password where it was.
#include <functional>
#include <string>

// `ok`, and the secret read (or, on failure, why not).
using TKeyringDone = std::function<void(bool ok, const std::string &secretOrReason)>;

void KeyringStore(const std::string &key, const std::string &secret, TKeyringDone done);
void KeyringFetch(const std::string &key, TKeyringDone done);
void KeyringForget(const std::string &key, TKeyringDone done);

// For a run that already waits for its server in the event loop: waits there (not spinning)
// for KeyringFetch. False when the keyring did not give the secret.
bool KeyringFetchWaiting(const std::string &key, std::string *secret);
