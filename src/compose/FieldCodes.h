#pragma once
// Field codes: words such as "%Name%" in a newsletter that stand for a value of the
// recipient, of the mailing list or of the sender.
#include <array>
#include <string>
#include <vector>

// The recipient's values, as the address fields of the Mail Lists page show them.
struct TRecipientFields {
  std::string Name, Address1, Address2, Phone, Custom1, Custom2, Custom3, Email;
  std::string Comments;  // may hold several lines (CR LF)
};

// The current list's values, as the list property fields show them.
struct TListFields {
  std::string ListName, ToAddress, FromAddress, ReplyAddress;
  std::string Comments;  // may hold several lines (CR LF)
  std::string AddToAddress, AddSubAddress, RemoveToAddress, RemoveSubAddress;
};

// The sender's personal information from the general settings.
struct TPersonalFields {
  std::string Name, Address1, Address2, Phone1, Phone2, EMail, Reply, Organization, Title, WebURL,
      PhotoURL;
  std::string Notes;  // may hold several lines (CR LF)
};

// Where a code sits in the Insert > Field Code menus.
enum class TFieldGroup { fgAddress, fgList, fgListMaintenance, fgPersonal };

struct TFieldCode {
  const char *Name;  // the menu caption; the code is the name between two percent signs
  TFieldGroup Group;
};

constexpr int FieldCodeCount = 30;

// The codes in the order in which they are replaced.
const std::array<TFieldCode, FieldCodeCount> &FieldCodes();

// "%" + name + "%".
std::string FieldCodeText(const std::string &name);

// Whether any line holds one of the codes, written exactly as in the table.
bool HoldsFieldCode(const std::vector<std::string> &lines);

// The codes of one menu group, in the order the menus show them (the address group lists
// E-mail before the custom fields, unlike the replacement order).
std::vector<std::string> FieldCodeMenuNames(TFieldGroup group);

// One line per code, in replacement order: the code, "=" and the value at this moment.
std::vector<std::string> BuildReplacementList(const TRecipientFields &recipient, const TListFields &list,
                                              const TPersonalFields &personal);

// Splits a replacement line at its first "=" into code and value.
void SplitReplacement(const std::string &line, std::string &code, std::string &value);
