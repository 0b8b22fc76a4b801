#pragma once
// Profile files: [Section] headers with Key=Value lines, held in memory as lines and saved
// whole after every change.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class TNewSections;

enum class TIniMode {
  imOwn,       // keys with case; an empty value is neither written nor read
  imPlatform,  // the second writer: keys without case; "Key=" is written and read as empty
};

class TIniFile32 {
public:
  // Throws EFOpenError when the file exists but cannot be read.
  explicit TIniFile32(const std::string &fileName, TIniMode mode = TIniMode::imOwn);

  const std::string &FileName() const { return FFileName; }

  std::string ReadString(const std::string &section, const std::string &key,
                         const std::string &defaultValue) const;
  int32_t ReadInteger(const std::string &section, const std::string &key, int32_t defaultValue) const;
  bool ReadBool(const std::string &section, const std::string &key, bool defaultValue) const;

  // Each write saves the whole file; throws EFCreateError when the save fails.
  void WriteString(const std::string &section, const std::string &key, const std::string &value);
  void WriteInteger(const std::string &section, const std::string &key, int32_t value);
  void WriteBool(const std::string &section, const std::string &key, bool value);

  // Throws std::invalid_argument("Param Strings must be assigned") for a null list.
  void ReadSections(std::vector<std::string> *strings) const;
  void EraseSection(const std::string &section);
  // Erases the first section of each name in one pass and saves once; a name given twice
  // erases the first two sections of that name. The result equals erasing them one by one
  // from the last in the file to the first, so adjacent erased sections leave one blank line.
  void EraseSections(const std::vector<std::string> &sections);
  // The same on a file without loading it as an object: bulk deletions from large books.
  static void EraseSectionsInFile(const std::string &fileName, const std::vector<std::string> &sections);

  // Bulk commands: between BeginUpdate and EndUpdate changes are kept in memory and saved
  // once at the end, so a record of many keys costs one save instead of one per key.
  void BeginUpdate();
  void EndUpdate();

  const std::vector<std::string> &Lines() const { return FLines; }

  // Adds new sections at the end of a file, giving the bytes that writing their entries one
  // by one would give. A file in the form this class saves (CR LF line ends, no NUL) is only
  // scanned for the sections' headers and written once; any other file, or one that holds
  // one of the sections already, is updated through an object.
  static void AddNewSections(const std::string &fileName, const TNewSections &sections);

  // Helpers on one line, shared with code that scans profile text itself.
  static bool IsSection(std::string_view line);
  static std::string SectionName(const std::string &line);
  static std::string GetKeyName(const std::string &line);
  static std::string GetKeyValue(const std::string &line);
  static bool ParseInteger(const std::string &text, int32_t *value);

private:
  int IndexOfSection(const std::string &section) const;
  // Index of the key's entry line in the section starting after `header`, or -1; `stop`
  // receives where the scan ended (the next header or the end).
  int IndexOfKey(int header, const std::string &key, int *stop) const;
  bool KeyMatches(const std::string &line, const std::string &key) const;
  void UpdateFile();
  // Section lookups go through an index from the lower-cased header line to its first line
  // number, built when needed and dropped whenever lines before the last header move.
  void BuildSectionIndex() const;
  void DropSectionIndex() {
    FIndexValid = false;
    FLookupValid = false;
  }

  std::string FFileName;
  std::vector<std::string> FLines;
  TIniMode FMode;
  int FUpdateLevel = 0;
  bool FDirty = false;
  mutable std::unordered_map<std::string, int> FSectionIndex;
  mutable bool FIndexValid = false;
  mutable int FLastHeader = -1;
  // The last section looked up and where it was: a record is read key by key, and a section
  // name may be huge in a damaged file, so it is lower-cased once, not once per key.
  mutable std::string FLookupName;
  mutable int FLookupIndex = -1;
  mutable bool FLookupValid = false;
};
