#pragma once
// Where a list's own SMTP and POP passwords are kept: in the desktop's keyring when one is
// running, else in "Lists.ini" as before (a file only the user may read).
#include "lists/ListRecord.h"

#include <functional>
#include <string>

std::string ListPasswordKey(const std::string &dataDir, bool smtp, const std::string &listName);

// The list's record with the passwords it keeps in the keyring filled in, waiting for them
// in the event loop. A password the keyring does not give stays empty.
TListRecord LoadListRecordWithPasswords(const std::string &dataDir, const std::string &listName);

// After the record was written with its passwords in the file: hands each password to the
// keyring and, once it is kept there, takes it out of the file. `done(inFile)` arrives on the
// event loop; `inFile` tells that a password had to stay in the file.
void MoveListPasswordsToKeyring(const std::string &dataDir, const std::string &listName,
                                std::function<void(bool inFile)> done);

// A removed or renamed list's passwords leave the keyring too.
void ForgetListPasswords(const std::string &dataDir, const std::string &listName);
