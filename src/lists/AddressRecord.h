#pragma once
// The address book of a list: "Addresses.ini" in the list's folder, one section per
// subscriber named by the e-mail address in angle brackets (matched without case).
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class TIniFile32;

// The nine keys of an address record, in the order in which they are written.
// Comments hold CR LF line breaks here and ":|:" in the file.
struct TAddressRecord {
  std::string Name;
  std::string Address1;
  std::string Address2;
  std::string Email;
  std::string Phone;
  std::string Custom1;
  std::string Custom2;
  std::string Custom3;
  std::string Comments;

  bool operator==(const TAddressRecord &) const = default;
};

// Called now and then during long loops with the number of items done so far; the window
// handles its pending events there.
using TProgressFunc = std::function<void(size_t done)>;

// Throws EListFolderNotFound for an empty listPath (a list whose folder was not found).
std::string AddressBookFile(const std::string &listPath);

// "<" + the address without its leading blanks + ">".
std::string AddressKey(const std::string &email);
// "Name <key>", or the key alone for a record without a name.
std::string DisplayEntry(const std::string &name, const std::string &key);
// The key an entry is stored under: from its first '<' to its end (the whole entry if it
// has none), as used when erasing.
std::string EntryKey(const std::string &entry);
// The key an entry is read from: from its first '<' up to its first '>'.
std::string EntryShowKey(const std::string &entry);

TAddressRecord ReadAddress(const TIniFile32 &book, const std::string &key);
TAddressRecord ShowAddress(const std::string &listPath, const std::string &entry);
// Writes the nine keys into section `key`; empty values leave no entry.
void WriteAddress(TIniFile32 &book, const std::string &key, const TAddressRecord &record);
void WriteAddress(const std::string &listPath, const std::string &key, const TAddressRecord &record);
// Writes the record under `key` and erases the record of `oldEntry` (when not empty) in the
// same save, so that a failed save leaves the subscriber as he was, never on neither key.
void ReplaceAddress(const std::string &listPath, const std::string &oldEntry, const std::string &key,
                    const TAddressRecord &record);

// Reads the book as plain text, touching only headers and "Name" lines, and hands every
// display entry to `add` in file order. A missing book gives nothing. Returns the count.
size_t LoadAddresses(const std::string &listPath, const std::function<void(std::string &&entry)> &add,
                     const TProgressFunc &progress = {});
// The display entries sorted without regard to case, as the address list shows them.
std::vector<std::string> LoadAddressEntries(const std::string &listPath, const TProgressFunc &progress = {});

// Erases the records of the given display entries, saving the book once.
void DeleteAddresses(const std::string &listPath, const std::vector<std::string> &entries);
