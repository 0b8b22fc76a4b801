#pragma once
// Automatic upkeep of the current list's address book from the mail a retrieval run
// stores: subscribe and unsubscribe requests (by To address or by Subject) and bounces
// (by a registered bounce subject). Every change goes to "Maintenance Log.txt" in the
// list's folder; the counts record requests, not effects.
#include <string>
#include <vector>

struct TListRecord;

inline constexpr const char *kMaintenanceLogFile = "Maintenance Log.txt";

// The list's maintenance settings and the general bounce settings, fixed for a run.
struct TMaintenanceSettings {
  bool ListRun = false;  // the current list is a real list, not the pseudo-list
  bool AutoMaint = false;
  bool AddTo = false, AddSub = false;
  std::string AddToAddress, AddSubAddress;
  bool RemoveTo = false, RemoveSub = false;
  std::string RemoveToAddress, RemoveSubAddress;
  bool EnabledIARSubjects = false;
  std::vector<std::string> IARSubjects;
};

class TListMaintenance {
public:
  // listPath: the current list's folder (ends with '/'), which holds the book and the log.
  TListMaintenance(std::string listPath, TMaintenanceSettings settings);

  // The run's heading: two empty lines when the log exists, "Maintenance Log - " and the
  // date and time text, one empty line. Throws EFCreateError.
  void OpenLog(const std::string &stamp);
  // Examines one stored message: its From, To and Subject values and all its lines.
  void Examine(const std::string &from, const std::string &to, const std::string &subject,
               const std::vector<std::string> &lines);
  void AddAddress(const std::string &address);
  void RemoveAddress(const std::string &address);

  std::string LogPath() const { return FListPath + kMaintenanceLogFile; }
  int Added() const { return FAdded; }
  int Removed() const { return FRemoved; }

private:
  void Log(const std::string &line);
  // A request without an address changes nothing and is only noted in the log.
  void Skip(const char *what, const std::string &source);
  void Bounce(const std::string &subject, const std::vector<std::string> &lines);

  std::string FListPath;
  TMaintenanceSettings FSettings;
  int FAdded = 0;
  int FRemoved = 0;
};

// A list's maintenance settings from its record, with the general bounce settings.
TMaintenanceSettings ListMaintenanceSettings(const TListRecord &list, bool enabledIARSubjects,
                                             const std::vector<std::string> &iarSubjects);

// The status text of a run that changed the book, "" when it changed nothing.
std::string MaintenanceSummary(int added, int removed);
// The log's path for a list folder, for the command that opens it.
std::string MaintenanceLogPath(const std::string &listPath);
