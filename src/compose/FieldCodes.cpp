#include "compose/FieldCodes.h"

namespace {
using G = TFieldGroup;
const std::array<TFieldCode, FieldCodeCount> kCodes = {{
    {"Name", G::fgAddress},
    {"Address 1", G::fgAddress},
    {"Address 2", G::fgAddress},
    {"Phone", G::fgAddress},
    {"Custom 1", G::fgAddress},
    {"Custom 2", G::fgAddress},
    {"Custom 3", G::fgAddress},
    {"E-mail", G::fgAddress},
    {"Comments", G::fgAddress},
    {"List Name", G::fgList},
    {"To Address", G::fgList},
    {"From Address", G::fgList},
    {"Reply Address", G::fgList},
    {"List Comments", G::fgList},
    {"Add: To Field", G::fgListMaintenance},
    {"Add: To Subject", G::fgListMaintenance},
    {"Remove: To Field", G::fgListMaintenance},
    {"Remove: To Subject", G::fgListMaintenance},
    {"PI Name", G::fgPersonal},
    {"PI Address 1", G::fgPersonal},
    {"PI Address 2", G::fgPersonal},
    {"PI Phone", G::fgPersonal},
    {"PI Phone 2", G::fgPersonal},
    {"PI E-mail", G::fgPersonal},
    {"PI Reply E-mail", G::fgPersonal},
    {"PI Organization", G::fgPersonal},
    {"PI Title", G::fgPersonal},
    {"PI WWW URL", G::fgPersonal},
    {"PI Photo URL", G::fgPersonal},
    {"PI Notes", G::fgPersonal},
}};
}  // namespace

const std::array<TFieldCode, FieldCodeCount> &FieldCodes() { return kCodes; }

std::string FieldCodeText(const std::string &name) { return "%" + name + "%"; }

bool HoldsFieldCode(const std::vector<std::string> &lines) {
  for (const std::string &line : lines) {
    if (line.find('%') == std::string::npos) continue;
    for (const TFieldCode &code : FieldCodes())
      if (line.find(FieldCodeText(code.Name)) != std::string::npos) return true;
  }
  return false;
}

std::vector<std::string> FieldCodeMenuNames(TFieldGroup group) {
  if (group == TFieldGroup::fgAddress)
    return {"Name", "Address 1", "Address 2", "Phone", "E-mail", "Custom 1", "Custom 2", "Custom 3", "Comments"};
  std::vector<std::string> names;
  for (const auto &code : kCodes)
    if (code.Group == group) names.emplace_back(code.Name);
  return names;
}

std::vector<std::string> BuildReplacementList(const TRecipientFields &r, const TListFields &l,
                                              const TPersonalFields &p) {
  // Same order as the code table.
  const std::array<const std::string *, FieldCodeCount> values = {
      &r.Name,          &r.Address1,      &r.Address2,         &r.Phone,            &r.Custom1,
      &r.Custom2,       &r.Custom3,       &r.Email,            &r.Comments,         &l.ListName,
      &l.ToAddress,     &l.FromAddress,   &l.ReplyAddress,     &l.Comments,         &l.AddToAddress,
      &l.AddSubAddress, &l.RemoveToAddress, &l.RemoveSubAddress, &p.Name,           &p.Address1,
      &p.Address2,      &p.Phone1,        &p.Phone2,           &p.EMail,            &p.Reply,
      &p.Organization,  &p.Title,         &p.WebURL,           &p.PhotoURL,         &p.Notes};
  std::vector<std::string> lines;
  lines.reserve(FieldCodeCount);
  for (int i = 0; i < FieldCodeCount; ++i) lines.push_back(FieldCodeText(kCodes[i].Name) + "=" + *values[i]);
  return lines;
}

void SplitReplacement(const std::string &line, std::string &code, std::string &value) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) {
    code = line;
    value.clear();
    return;
  }
  code = line.substr(0, eq);
  value = line.substr(eq + 1);
}
