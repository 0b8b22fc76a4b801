#include "lists/AddressRecord.h"

#include "lists/ListFolder.h"
#include "lists/ListRecord.h"
#include "storage/IniFiles32.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"


std::string AddressBookFile(const std::string &listPath) {
  RequireListFolder(listPath);
  return listPath + "Addresses.ini";
}

std::string AddressKey(const std::string &email) {
  std::string key(1, '<');
  key += TrimLeft(email);
  key += '>';
  return key;
}

std::string DisplayEntry(const std::string &name, const std::string &key) {
  return name.empty() ? key : name + " " + key;
}

std::string EntryKey(const std::string &entry) {
  const size_t open = entry.find('<');
  return open == std::string::npos ? entry : entry.substr(open);
}

std::string EntryShowKey(const std::string &entry) {
  const std::string key = EntryKey(entry);
  const size_t close = key.find('>');
  return close == std::string::npos ? key : key.substr(0, close + 1);
}

TAddressRecord ReadAddress(const TIniFile32 &book, const std::string &key) {
  TAddressRecord r;
  auto text = [&](const char *name) { return book.ReadString(key, name, std::string()); };
  r.Name = text("Name");
  r.Address1 = text("Address 1");
  r.Address2 = text("Address 2");
  r.Email = text("Email");
  r.Phone = text("Phone");
  r.Custom1 = text("Custom 1");
  r.Custom2 = text("Custom 2");
  r.Custom3 = text("Custom 3");
  r.Comments = DecodeLineBreaks(text("Comments"));
  return r;
}

TAddressRecord ShowAddress(const std::string &listPath, const std::string &entry) {
  const TIniFile32 book(AddressBookFile(listPath));
  return ReadAddress(book, EntryShowKey(entry));
}

void WriteAddress(TIniFile32 &book, const std::string &key, const TAddressRecord &r) {
  book.BeginUpdate();
  book.WriteString(key, "Name", r.Name);
  book.WriteString(key, "Address 1", r.Address1);
  book.WriteString(key, "Address 2", r.Address2);
  book.WriteString(key, "Email", r.Email);
  book.WriteString(key, "Phone", r.Phone);
  book.WriteString(key, "Custom 1", r.Custom1);
  book.WriteString(key, "Custom 2", r.Custom2);
  book.WriteString(key, "Custom 3", r.Custom3);
  book.WriteString(key, "Comments", EncodeLineBreaks(r.Comments));
  book.EndUpdate();
}

void WriteAddress(const std::string &listPath, const std::string &key, const TAddressRecord &record) {
  TIniFile32 book(AddressBookFile(listPath));
  WriteAddress(book, key, record);
}

void ReplaceAddress(const std::string &listPath, const std::string &oldEntry, const std::string &key,
                    const TAddressRecord &record) {
  TIniFile32 book(AddressBookFile(listPath));
  book.BeginUpdate();
  if (!oldEntry.empty()) book.EraseSection(EntryKey(oldEntry));
  WriteAddress(book, key, record);
  book.EndUpdate();
}

size_t LoadAddresses(const std::string &listPath, const std::function<void(std::string &&entry)> &add,
                     const TProgressFunc &progress) {
  const std::string text = ReadRecordFile(AddressBookFile(listPath));
  std::string pending;
  size_t count = 0, lines = 0;
  auto flush = [&] {
    if (pending.empty()) return;
    add(std::move(pending));
    pending.clear();
    ++count;
  };
  ForEachLine(text, [&](std::string_view line) {
    if (!line.empty() && line.front() == '[') {
      flush();
      pending.assign(line.substr(1, line.size() >= 2 ? line.size() - 2 : 0));
    } else if (line.size() > 5 && !pending.empty() && line.starts_with("Name=")) {
      pending.insert(0, std::string(line.substr(5)) + " ");
    }
    // The window gets its turn every few thousand lines: often enough to stay responsive.
    if (progress && (++lines & 4095) == 0) progress(count);
  });
  flush();
  return count;
}

std::vector<std::string> LoadAddressEntries(const std::string &listPath, const TProgressFunc &progress) {
  std::vector<std::string> entries;
  LoadAddresses(listPath, [&](std::string &&entry) { entries.push_back(std::move(entry)); }, progress);
  SortWithoutCase(&entries);
  return entries;
}

void DeleteAddresses(const std::string &listPath, const std::vector<std::string> &entries) {
  if (entries.empty()) return;
  std::vector<std::string> keys;
  keys.reserve(entries.size());
  for (const auto &entry : entries) keys.push_back(EntryKey(entry));
  TIniFile32::EraseSectionsInFile(AddressBookFile(listPath), keys);
}
