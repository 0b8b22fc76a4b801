#pragma once
// The values behind the field codes, taken from the stored records: the sender's personal
// information, a subscriber's record and a list's record. The window and the command line
// merge the same values.
#include "compose/FieldCodes.h"
#include "lists/AddressRecord.h"
#include "lists/ListRecord.h"
#include "storage/GeneralSettings.h"

TPersonalFields PersonalOf(const TGeneralSettings &s);
TRecipientFields RecipientOf(const TAddressRecord &r);
TListFields ListFieldsOf(const std::string &name, const TListRecord &list);
