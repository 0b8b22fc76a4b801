#include "lists/CsvAddresses.h"

#include "lists/AddressRecord.h"
#include "lists/ImportExport.h"
#include "storage/Ansi.h"
#include "storage/CaselessSet.h"
#include "storage/FileErrors.h"
#include "storage/IniFiles32.h"
#include "storage/NewSections.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <QStringDecoder>
#include <array>
#include <stdexcept>

bool NextCsvRecord(std::string_view text, size_t &pos, std::vector<std::string> &fields) {
  fields.clear();
  if (pos >= text.size()) return false;
  std::string field;
  bool quoted = false;
  while (pos < text.size()) {
    const char c = text[pos++];
    if (quoted) {
      if (c != '"') field += c;
      else if (pos < text.size() && text[pos] == '"') field += text[pos++];
      else quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
      break;
    } else {
      field += c;
    }
  }
  fields.push_back(std::move(field));
  return true;
}

std::string CsvRecordLine(const std::vector<std::string> &fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    const std::string &f = fields[i];
    if (f.find_first_of(",\"\r\n") == std::string::npos) {
      line += f;
      continue;
    }
    line += '"';
    for (char c : f) {
      if (c == '"') line += '"';
      line += c;
    }
    line += '"';
  }
  return line + "\r\n";
}

std::string CsvTextToAnsi(std::string text) {
  const bool bom = text.rfind("\xEF\xBB\xBF", 0) == 0;
  if (bom) text.erase(0, 3);
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return text;
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString decoded = decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (decoder.hasError() && !bom) return text;  // not UTF-8: Windows-1252 already
  return QStringToAnsi(decoded);
}

namespace {
using TField = std::string TAddressRecord::*;
// The record members behind the columns of CsvColumns(), in the same order.
const std::array<TField, 9> kFields{&TAddressRecord::Email,   &TAddressRecord::Name,    &TAddressRecord::Address1,
                                    &TAddressRecord::Address2, &TAddressRecord::Phone,   &TAddressRecord::Custom1,
                                    &TAddressRecord::Custom2, &TAddressRecord::Custom3, &TAddressRecord::Comments};

// A cell as a one-line value; comments keep their line breaks as CR LF.
std::string CellValue(const std::string &cell, bool multiLine) {
  std::string value;
  value.reserve(cell.size());
  for (size_t i = 0; i < cell.size(); ++i) {
    const char c = cell[i];
    if (c != '\r' && c != '\n') {
      value += c;
      continue;
    }
    if (c == '\r' && i + 1 < cell.size() && cell[i + 1] == '\n') ++i;
    value += multiLine ? "\r\n" : " ";
  }
  return Trim(value);
}

// For each known column, the index of its cell in a record (-1 when the file lacks it).
std::array<int, 9> ColumnIndexes(const std::vector<std::string> &header) {
  std::array<int, 9> index;
  index.fill(-1);
  for (size_t c = 0; c < header.size(); ++c) {
    const std::string name = ReplaceAll(Trim(header[c]), " ", "");
    for (size_t f = 0; f < CsvColumns().size(); ++f)
      if (index[f] < 0 && (SameText(name, CsvColumns()[f]) || (f == 0 && SameText(name, "E-mail"))))
        index[f] = static_cast<int>(c);
  }
  return index;
}

void AddRecord(TNewSections &added, const std::string &key, const TAddressRecord &r) {
  added.AddSection(key);
  added.AddEntry("Name", r.Name);
  added.AddEntry("Address 1", r.Address1);
  added.AddEntry("Address 2", r.Address2);
  added.AddEntry("Email", r.Email);
  added.AddEntry("Phone", r.Phone);
  added.AddEntry("Custom 1", r.Custom1);
  added.AddEntry("Custom 2", r.Custom2);
  added.AddEntry("Custom 3", r.Custom3);
  added.AddEntry("Comments", EncodeLineBreaks(r.Comments));
}
}  // namespace

TCsvImportSummary ImportCsvAddresses(const std::string &csvFile, const std::string &listPath) {
  if (!FileExists(csvFile)) throw EFOpenError(csvFile);
  const std::string text = CsvTextToAnsi(ReadFileBytes(csvFile));
  size_t pos = 0;
  std::vector<std::string> cells;
  NextCsvRecord(text, pos, cells);
  const std::array<int, 9> column = ColumnIndexes(cells);
  if (column[0] < 0) throw std::runtime_error(csvFile + ": the first row names no Email column");

  TCaselessSet existing;
  LoadAddresses(listPath, [&existing](std::string &&entry) { existing.Insert(EntryShowKey(entry)); });
  TCaselessSet seen;
  TNewSections added;
  added.Reserve(text.size() / 32, text.size() * 2);
  std::vector<std::pair<std::string, TAddressRecord>> updates;
  TCsvImportSummary summary;
  while (NextCsvRecord(text, pos, cells)) {
    if (cells.size() == 1 && Trim(cells[0]).empty()) continue;  // a blank line is no record
    TAddressRecord record;
    for (size_t f = 0; f < kFields.size(); ++f)
      if (column[f] >= 0 && static_cast<size_t>(column[f]) < cells.size())
        record.*kFields[f] = CellValue(cells[column[f]], kFields[f] == &TAddressRecord::Comments);
    if (record.Email.empty() || ExtractAddress(record.Email) != record.Email) {
      ++summary.Invalid;
      continue;
    }
    const std::string key = AddressKey(record.Email);
    if (!seen.InsertIfNew(key)) {
      ++summary.Duplicate;
      continue;
    }
    if (existing.Contains(key)) {
      updates.emplace_back(key, std::move(record));
      continue;
    }
    AddRecord(added, key, record);
    ++summary.Imported;
  }
  if (!updates.empty()) {
    TIniFile32 book(AddressBookFile(listPath));
    book.BeginUpdate();
    for (const auto &[key, cells] : updates) {
      TAddressRecord record = ReadAddress(book, key);
      for (TField f : kFields)
        if (!(cells.*f).empty()) record.*f = cells.*f;
      WriteAddress(book, key, record);
    }
    book.EndUpdate();
    summary.Updated = updates.size();
  }
  if (!added.Empty()) TIniFile32::AddNewSections(AddressBookFile(listPath), added);
  return summary;
}

size_t ExportCsvAddresses(const std::string &csvFile, const std::string &listPath) {
  const TIniFile32 book(AddressBookFile(listPath));
  std::vector<std::string> sections;
  book.ReadSections(&sections);
  std::string text = CsvRecordLine(CsvColumns());
  std::vector<std::string> cells(kFields.size());
  for (const std::string &key : sections) {
    TAddressRecord record = ReadAddress(book, key);
    // A record without its Email key still has its address in the section name.
    if (record.Email.empty() && key.size() > 2 && key.front() == '<' && key.back() == '>')
      record.Email = key.substr(1, key.size() - 2);
    for (size_t f = 0; f < kFields.size(); ++f) cells[f] = record.*kFields[f];
    text += CsvRecordLine(cells);
  }
  const QByteArray utf8 = AnsiToQString(text).toUtf8();
  WriteFileAtomic(csvFile, std::string(utf8.constData(), static_cast<size_t>(utf8.size())));
  return sections.size();
}
