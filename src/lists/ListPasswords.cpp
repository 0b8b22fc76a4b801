#include "lists/ListPasswords.h"

#include "storage/Keyring.h"

#include <QCoreApplication>

#include <memory>

namespace {

// The password field and keyring flag of one kind of server in a record.
std::string &Password(TListRecord &r, bool smtp) { return smtp ? r.SMTPPassword : r.POPPassword; }
bool &InKeyring(TListRecord &r, bool smtp) { return smtp ? r.SMTPPasswordInKeyring : r.POPPasswordInKeyring; }

// Clears the password from the file, unless the list was saved with another meanwhile
// (that save moves its own).
void MarkInKeyring(const std::string &dataDir, const std::string &listName, bool smtp, const std::string &moved) {
  TListRecord r = LoadListRecord(dataDir, listName);
  if (Password(r, smtp) != moved) return;
  Password(r, smtp).clear();
  InKeyring(r, smtp) = true;
  WriteListRecord(dataDir, listName, r, true, listName);
}

// Counts the two kinds' outcomes and reports once both are in.
struct TMoveReport {
  int Waiting = 2;
  bool InFile = false;
  std::function<void(bool)> Done;
  void Arrived(bool inFile) {
    InFile = InFile || inFile;
    if (--Waiting == 0 && Done) Done(InFile);
  }
};

void MoveOne(const std::string &dataDir, const std::string &listName, bool smtp, const TListRecord &record,
             const std::shared_ptr<TMoveReport> &report) {
  TListRecord r = record;
  const std::string key = ListPasswordKey(dataDir, smtp, listName);
  const std::string password = Password(r, smtp);
  if (password.empty()) {
    // Kept there already, or none: a list without one leaves none behind in the keyring.
    if (InKeyring(r, smtp))
      QMetaObject::invokeMethod(
          QCoreApplication::instance(), [report] { report->Arrived(false); }, Qt::QueuedConnection);
    else KeyringForget(key, [report](bool, const std::string &) { report->Arrived(false); });
    return;
  }
  KeyringStore(key, password, [=](bool ok, const std::string &) {
    if (ok) MarkInKeyring(dataDir, listName, smtp, password);
    report->Arrived(!ok);
  });
}

}  // namespace

std::string ListPasswordKey(const std::string &dataDir, bool smtp, const std::string &listName) {
  return std::string("List ") + listName + (smtp ? " SMTP" : " POP") + " (" + dataDir + ")";
}

TListRecord LoadListRecordWithPasswords(const std::string &dataDir, const std::string &listName) {
  TListRecord r = LoadListRecord(dataDir, listName);
  for (bool smtp : {true, false})
    if (InKeyring(r, smtp) && Password(r, smtp).empty())
      KeyringFetchWaiting(ListPasswordKey(dataDir, smtp, listName), &Password(r, smtp));
  return r;
}

void MoveListPasswordsToKeyring(const std::string &dataDir, const std::string &listName,
                                std::function<void(bool inFile)> done) {
  const TListRecord record = LoadListRecord(dataDir, listName);
  auto report = std::make_shared<TMoveReport>();
  report->Done = std::move(done);
  for (bool smtp : {true, false}) MoveOne(dataDir, listName, smtp, record, report);
}

void ForgetListPasswords(const std::string &dataDir, const std::string &listName) {
  for (bool smtp : {true, false}) KeyringForget(ListPasswordKey(dataDir, smtp, listName), [](bool, const std::string &) {});
}
