#pragma once
// Address books as CSV files (RFC 4180): a header row naming the columns, then one
// subscriber per record. Import reads UTF-8 or Windows-1252 (told apart by the bytes) and
// matches columns by name without regard to case; export writes UTF-8.
#include <string>
#include <string_view>
#include <vector>

// The columns export writes, in order; import also knows them by these names.
inline const std::vector<std::string> &CsvColumns() {
  static const std::vector<std::string> columns{"Email",   "Name",    "Address1", "Address2", "Phone",
                                                "Custom1", "Custom2", "Custom3",  "Comments"};
  return columns;
}

// Reads the record that starts at `pos` into `fields` and moves `pos` past it. False at the
// end of the text. Fields may be quoted ("" inside is one quote) and then hold commas and
// line breaks; records end at CR LF, LF or CR.
bool NextCsvRecord(std::string_view text, size_t &pos, std::vector<std::string> &fields);
// One record as a line with its CR LF, quoting the fields that need it.
std::string CsvRecordLine(const std::vector<std::string> &fields);

// A file's text as Windows-1252: a UTF-8 text (a byte order mark, or non-ASCII bytes that
// form valid UTF-8) is converted, anything else is taken as it is.
std::string CsvTextToAnsi(std::string text);

struct TCsvImportSummary {
  size_t Imported = 0;   // new subscribers
  size_t Updated = 0;    // subscribers already in the book, their values replaced by non-empty cells
  size_t Invalid = 0;    // records without a usable e-mail address
  size_t Duplicate = 0;  // addresses met before in the same file
};

// Imports `csvFile` into the list's address book, saving the book once for the updates and
// once for the new records. Throws EFOpenError for a missing or unreadable file and
// std::runtime_error naming the file when its header has no Email column.
TCsvImportSummary ImportCsvAddresses(const std::string &csvFile, const std::string &listPath);
// Writes the whole address book as CSV in the book's order. Returns the number of records.
size_t ExportCsvAddresses(const std::string &csvFile, const std::string &listPath);
