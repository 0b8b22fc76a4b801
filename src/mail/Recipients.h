#pragma once
// The recipient text of a mailing run: every recipient followed by a comma.
#include <string>
#include <vector>

// The recipient text of the list page: each checked entry followed by ",".
std::string ListPageAddresses(const std::vector<std::string> &checkedEntries);
// The recipient text of the address page: the typed text with one "," appended when it
// does not already end with one. A text holding nothing but blanks and commas gives "",
// so that an empty page sends nothing.
std::string AddressPageAddresses(const std::string &typed);
// The number of at signs: how many addresses the typed text holds.
int CountAtSigns(const std::string &text);

// The envelope address of one entry: the text between "<" and ">" when it has both,
// else the entry unchanged ("Ann Example <ann@example.org>" gives "ann@example.org").
std::string EnvelopeAddress(const std::string &entry);

// Takes the next batch from the front of the recipient text: up to batchSize entries,
// and always at least one, so that a run over any text ends. Blank entries (left by
// ", ," or a trailing blank) are dropped without counting. `entries`, when given, receives
// the batch's entries as written (trimmed), for the record of who got the message.
std::vector<std::string> TakeBatch(std::string &addresses, int batchSize, std::vector<std::string> *entries = nullptr);
