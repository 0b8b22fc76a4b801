#include "ui/MailListsPage.h"
#include "ui/MailListsPageHelpers.h"

#include "lists/AddressRecord.h"
#include "lists/ListFolder.h"
#include "storage/Strings.h"
#include "ui/StatusBar1.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

using namespace maillists;

void TMailListsPage::SetAddressCaption() {
  gb_Addresses->setTitle(QString("Addresses (%1)").arg(FEntries.size()));
}

void TMailListsPage::LoadAddresses() {
  btn_AddressAdd->setEnabled(!FRecord.Path.empty());
  if (FRecord.Path.empty()) {
    // Nothing is read or written for a list whose folder is missing, until it is fixed.
    FEntries.clear();
    lb_Addresses->clear();
    SetAddressCaption();
    SetStatus(ListFolderNotFoundText(FRecord.MissingPath));
    return;
  }
  TBusy busy(this);
  SetStatus("Loading addresses...", true);
  FEntries = LoadAddressEntries(FRecord.Path, [this](size_t) { KeepResponsive(); });
  QStringList items;
  items.reserve(static_cast<qsizetype>(FEntries.size()));
  for (const auto &entry : FEntries) items << Q(entry);
  lb_Addresses->clear();
  lb_Addresses->addItems(items);
  SetAddressCaption();
  SetStatus("");
}

void TMailListsPage::InsertEntry(const std::string &entry) {
  // The list stays sorted without regard to case.
  const auto at = std::upper_bound(FEntries.begin(), FEntries.end(), entry, [](const std::string &a, const std::string &b) {
    return CompareText(a, b) < 0;
  });
  const int row = static_cast<int>(at - FEntries.begin());
  FEntries.insert(at, entry);
  lb_Addresses->insertItem(row, Q(entry));
  lb_Addresses->clearSelection();
  lb_Addresses->setCurrentRow(row);
}

void TMailListsPage::ShowAddressEntry(const std::string &entry) {
  const TAddressRecord r = ShowAddress(FRecord.Path, entry);
  FLoading = true;
  edt_Name->setText(Q(r.Name));
  edt_Address1->setText(Q(r.Address1));
  edt_Address2->setText(Q(r.Address2));
  edt_Email->setText(Q(r.Email));
  edt_Phone->setText(Q(r.Phone));
  edt_Custom1->setText(Q(r.Custom1));
  edt_Custom2->setText(Q(r.Custom2));
  edt_Custom3->setText(Q(r.Custom3));
  SetBoxText(mmo_Comments, r.Comments);
  FLoading = false;
}

void TMailListsPage::ClearAddressPanel() {
  FLoading = true;
  for (QLineEdit *e : {edt_Name, edt_Address1, edt_Address2, edt_Email, edt_Phone, edt_Custom1, edt_Custom2, edt_Custom3})
    e->clear();
  mmo_Comments->clear();
  FLoading = false;
}

void TMailListsPage::lb_AddressesClick() {
  QListWidgetItem *item = lb_Addresses->currentItem();
  if (!item) return;
  ShowAddressEntry(A(item->text()));
  FAddressModified = false;
  SetAddressButtons(false);
  ShowPanel(gb_AddressInfo);
}

void TMailListsPage::btn_AddressAddClick() {
  FNewAddress = true;
  lb_MailLists->setEnabled(false);
  lb_Addresses->setEnabled(false);
  lb_Addresses->clearSelection();
  ClearAddressPanel();
  ShowPanel(gb_AddressInfo);
  edt_Name->setFocus();
}

void TMailListsPage::btn_AddressSaveClick() {
  const std::string email = A(edt_Email->text());
  if (Trim(email).empty()) {
    Warn("Please enter the e-mail address.");
    edt_Email->setFocus();
    return;
  }
  const std::string key = AddressKey(email);
  const std::string name = A(edt_Name->text());
  const std::string entry = DisplayEntry(name, key);
  QListWidgetItem *selected = FNewAddress ? nullptr : lb_Addresses->currentItem();
  const bool changed = !selected || A(selected->text()) != entry;
  // The name or the address changed: the old record goes, in the same save as the new one.
  const int row = selected && changed ? lb_Addresses->row(selected) : -1;
  TAddressRecord r;
  r.Name = name;
  r.Address1 = A(edt_Address1->text());
  r.Address2 = A(edt_Address2->text());
  r.Email = email;
  r.Phone = A(edt_Phone->text());
  r.Custom1 = A(edt_Custom1->text());
  r.Custom2 = A(edt_Custom2->text());
  r.Custom3 = A(edt_Custom3->text());
  r.Comments = BoxText(mmo_Comments);
  ReplaceAddress(FRecord.Path, row >= 0 ? FEntries[static_cast<size_t>(row)] : std::string(), key, r);
  if (changed) {
    if (row >= 0) {
      FEntries.erase(FEntries.begin() + row);
      delete lb_Addresses->takeItem(row);
    }
    // One record per address: an entry of the same key is replaced, not doubled, and keeps
    // the spelling its section is stored under.
    std::string shown = entry;
    for (size_t i = 0; i < FEntries.size(); ++i)
      if (SameText(EntryKey(FEntries[i]), key)) {
        shown = DisplayEntry(name, EntryKey(FEntries[i]));
        FEntries.erase(FEntries.begin() + static_cast<std::ptrdiff_t>(i));
        delete lb_Addresses->takeItem(static_cast<int>(i));
        break;
      }
    InsertEntry(shown);
  }
  FNewAddress = false;
  FAddressModified = false;
  SetAddressButtons(false);
  lb_MailLists->setEnabled(true);
  lb_Addresses->setEnabled(true);
  SetAddressCaption();
  ShowPanel(gb_ListInfo);
}

void TMailListsPage::btn_AddressCancelClick() {
  FNewAddress = false;
  FAddressModified = false;
  ClearAddressPanel();
  SetAddressButtons(false);
  lb_MailLists->setEnabled(true);
  lb_Addresses->setEnabled(true);
  ShowPanel(gb_ListInfo);
}

void TMailListsPage::edt_NameChange() {
  if (FLoading) return;
  FAddressModified = true;
  SetAddressButtons(true);
}

void TMailListsPage::btn_AddressDeleteClick() {
  std::vector<int> rows;
  for (const QListWidgetItem *item : lb_Addresses->selectedItems()) rows.push_back(lb_Addresses->row(item));
  if (rows.empty()) return;
  std::sort(rows.begin(), rows.end());
  SetStatus("Scanning for addresses to delete...", true);
  std::vector<std::string> doomed;
  for (const int row : rows) doomed.push_back(FEntries[static_cast<size_t>(row)]);
  DeleteAddresses(FRecord.Path, doomed);
  ClearAddressPanel();
  // Keep the entries that stay, in order, and show them again in one go.
  std::vector<std::string> kept;
  kept.reserve(FEntries.size() - rows.size());
  for (size_t i = 0, next = 0; i < FEntries.size(); ++i) {
    if (next < rows.size() && static_cast<size_t>(rows[next]) == i) {
      ++next;
      continue;
    }
    kept.push_back(std::move(FEntries[i]));
  }
  FEntries = std::move(kept);
  if (rows.size() == 1) {
    delete lb_Addresses->takeItem(rows.front());
  } else {
    QStringList items;
    items.reserve(static_cast<qsizetype>(FEntries.size()));
    for (const auto &entry : FEntries) items << Q(entry);
    lb_Addresses->clear();
    lb_Addresses->addItems(items);
  }
  SetAddressCaption();
  if (!FEntries.empty()) {
    // The entry before the first one deleted, or the first entry.
    lb_Addresses->clearSelection();
    lb_Addresses->setCurrentRow(std::max(0, rows.front() - 1));
    lb_AddressesClick();
  } else {
    SetAddressButtons(false);
  }
  SetStatus("");
}
