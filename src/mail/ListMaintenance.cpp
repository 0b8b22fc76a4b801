#include "mail/ListMaintenance.h"

#include "lists/AddressRecord.h"
#include "lists/ImportExport.h"
#include "lists/ListRecord.h"
#include "mail/BounceReport.h"
#include "storage/IniFiles32.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <utility>

namespace {
// A whole value equal to a configured one, letter case aside. An empty setting is no rule:
// otherwise every message without a subject would subscribe its sender.
bool Matches(const std::string &value, const std::string &setting) {
  return !setting.empty() && SameText(value, setting);
}
}  // namespace

TListMaintenance::TListMaintenance(std::string listPath, TMaintenanceSettings settings)
    : FListPath(std::move(listPath)), FSettings(std::move(settings)) {}

void TListMaintenance::OpenLog(const std::string &stamp) {
  const std::string gap = FileExists(LogPath()) ? "\r\n\r\n" : "";
  AppendToFile(LogPath(), gap + "Maintenance Log - " + stamp + "\r\n\r\n");
}

void TListMaintenance::Log(const std::string &line) { AppendToFile(LogPath(), line + "\r\n"); }

void TListMaintenance::Skip(const char *what, const std::string &source) {
  Log(std::string("Skipped - ") + what + " without an address: " + source);
}

void TListMaintenance::AddAddress(const std::string &address) {
  TIniFile32 book(AddressBookFile(FListPath));
  book.WriteString(AddressKey(address), "Email", address);
  ++FAdded;
  Log("Added - " + address);
}

void TListMaintenance::RemoveAddress(const std::string &address) {
  TIniFile32 book(AddressBookFile(FListPath));
  book.EraseSection(AddressKey(address));
  ++FRemoved;
  Log("Removed - " + address);
}

void TListMaintenance::Examine(const std::string &from, const std::string &to, const std::string &subject,
                               const std::vector<std::string> &lines) {
  if (!FSettings.ListRun) return;
  const TMaintenanceSettings &s = FSettings;
  if (s.AutoMaint) {
    const std::string sender = ExtractAddress(from);
    const bool subscribe = (s.AddTo && Matches(to, s.AddToAddress)) || (s.AddSub && Matches(subject, s.AddSubAddress));
    const bool unsubscribe =
        (s.RemoveTo && Matches(to, s.RemoveToAddress)) || (s.RemoveSub && Matches(subject, s.RemoveSubAddress));
    if (subscribe && sender.empty()) Skip("Subscribe request", from);
    else if (subscribe) AddAddress(sender);
    if (unsubscribe && sender.empty()) Skip("Unsubscribe request", from);
    else if (unsubscribe) RemoveAddress(sender);
  }
  if (s.EnabledIARSubjects) Bounce(subject, lines);
}

void TListMaintenance::Bounce(const std::string &subject, const std::vector<std::string> &lines) {
  bool registered = false;
  for (const std::string &bounceSubject : FSettings.IARSubjects) registered = registered || Matches(subject, bounceSubject);
  if (!registered) return;
  bool found = false;
  const std::string address = TranscriptAddress(lines, &found);
  if (found) {
    if (address.empty()) Skip("Bounce", subject);
    else RemoveAddress(address);
    return;
  }
  for (const std::string &failed : FailedRecipients(lines)) RemoveAddress(failed);
}

std::string MaintenanceSummary(int added, int removed) {
  if (added <= 0 && removed <= 0) return {};
  return "Added " + std::to_string(added) + " addresses. Removed " + std::to_string(removed) +
         " addresses. View the Maintenance log for more info.";
}

std::string MaintenanceLogPath(const std::string &listPath) { return listPath + kMaintenanceLogFile; }

TMaintenanceSettings ListMaintenanceSettings(const TListRecord &list, bool enabledIARSubjects,
                                             const std::vector<std::string> &iarSubjects) {
  TMaintenanceSettings m;
  m.AutoMaint = list.AutoMaint;
  m.AddTo = list.AddTo;
  m.AddToAddress = list.AddToAddress;
  m.AddSub = list.AddSub;
  m.AddSubAddress = list.AddSubAddress;
  m.RemoveTo = list.RemoveTo;
  m.RemoveToAddress = list.RemoveToAddress;
  m.RemoveSub = list.RemoveSub;
  m.RemoveSubAddress = list.RemoveSubAddress;
  m.EnabledIARSubjects = enabledIARSubjects;
  m.IARSubjects = iarSubjects;
  return m;
}
