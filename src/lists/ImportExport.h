#pragma once
// Moving addresses in and out of address books: extraction from any text file, export of
// the display entries, and the import of a list file of the program's version 1 (".bvl").
#include "lists/AddressRecord.h"
#include "lists/ListRecord.h"

#include <string>
#include <string_view>
#include <vector>

// The address around the line's first at sign, or empty. The scan stops at blanks and
// < > ( ) , : ! / = ; \ (and, forwards, at another at sign); a result that begins or ends
// with an at sign or a dot is rejected.
std::string ExtractAddress(std::string_view line);

// Whether an address list already holds an address: an entry, or the address inside an
// entry's angle brackets, equal to it without regard to case, or an entry that contains it
// (with regard to case).
bool AddressKnown(const std::vector<std::string> &entries, const std::string &address);
// The same question for many addresses at once, answered in one pass over the entries
// rather than one scan of every entry per address.
std::vector<bool> AddressesKnown(const std::vector<std::string> &entries, const std::vector<std::string_view> &addresses);

// Extracts the addresses of `textFile` that `entries` do not hold into the list's address
// book (only "Email" is written), each address once; the book is saved once at the end.
// `progress` receives the count of addresses found so far. Returns the count added.
size_t ExtractAddresses(const std::string &textFile, const std::string &listPath,
                        const std::vector<std::string> &entries, const TProgressFunc &progress = {});

// Writes the entries, one per line, each followed by CR LF.
void ExportEntries(const std::string &fileName, const std::vector<std::string> &entries);

// Legacy list files: records of 2008 bytes, the first holding the list's settings.
constexpr size_t kLegacyRecordSize = 2008;

using TStatusFunc = std::function<void(const std::string &status)>;

struct TLegacyImport {
  std::string Name;          // the new list's name; empty when nothing was created
  std::string Path;          // its folder, ending in '/'
  TListFolderResult Folders;
  size_t Count = 0;          // addresses written
  std::string Error;         // a clear message when the file could not be read to its end
};

// Creates a list from a ".bvl" file: unique name (at most 100 characters), folder named
// after it, the settings found in the file, and every address record. A file that ends
// inside a record stops with `Error` set; what was written until then stays.
TLegacyImport ImportLegacyList(const std::string &dataDir, const std::string &fileName,
                               const TStatusFunc &status = {});
