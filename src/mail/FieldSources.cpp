#include "mail/FieldSources.h"

TPersonalFields PersonalOf(const TGeneralSettings &s) {
  return {s.Name, s.Address1, s.Address2, s.Phone1, s.Phone2, s.EMail, s.Reply, s.Organization, s.Title, s.WebURL,
          s.PhotoURL, s.Notes};
}

TRecipientFields RecipientOf(const TAddressRecord &r) {
  return {r.Name, r.Address1, r.Address2, r.Phone, r.Custom1, r.Custom2, r.Custom3, r.Email, r.Comments};
}

TListFields ListFieldsOf(const std::string &name, const TListRecord &list) {
  return {name,           list.ToAddress,     list.FromAddress,     list.ReplyAddress,    list.Comments,
          list.AddToAddress, list.AddSubAddress, list.RemoveToAddress, list.RemoveSubAddress};
}
