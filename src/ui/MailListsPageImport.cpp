#include "ui/MailListsPage.h"
#include "ui/MailListsPageHelpers.h"

#include "lists/AddressRecord.h"
#include "lists/ImportExport.h"
#include "lists/ListFolder.h"
#include "storage/Filters.h"
#include "ui/StatusBar1.h"

#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <algorithm>

using namespace maillists;

QString TMailListsPage::ChooseOpenFile(const QString &title, const QString &filters, const QString &selectedFilter) {
  QString selected = selectedFilter;
  return QFileDialog::getOpenFileName(this, title, QString(), filters, &selected);
}

QString TMailListsPage::ChooseSaveFile(const QString &title, const QString &filters, const QString &selectedFilter,
                                       const QString &defaultSuffix) {
  QFileDialog dialog(this, title, QString(), filters);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.selectNameFilter(selectedFilter);
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                 : QString();
}

void TMailListsPage::ImportMailList1Click() {
  const QString file = ChooseOpenFile("Open File",
                                      "Brevant Documents (*.bvd);;Rich Text File (*.rtf);;Text Document (*.txt);;"
                                      "Brevant Mail Lists (1.x, *.bvl);;All Files (*)",
                                      "Text Document (*.txt)");
  size_t count = 0;
  if (!file.isEmpty()) {
    TBusy busy(this);
    SetStatus("Extracting e-mail addresses...", true);
    count = ExtractAddresses(A(file), FRecord.Path, FEntries, [this](size_t n) {
      SetStatus("Extracting addresses (" + std::to_string(n) + ")", true);
      KeepResponsive();
    });
  }
  if (lb_MailLists->count() > 0) lb_MailListsClick();
  else LoadAddresses();
  // Shown after the list is shown again, which empties the status line.
  if (!file.isEmpty()) SetStatus("Extracted " + std::to_string(count) + " unique e-mail address(es).");
}

void TMailListsPage::ExportMailList1Click() {
  const QString file = ChooseSaveFile("Export mail list...",
                                      "Brevant Document (*.bvd);;Rich Text File (*.rtf);;Text Document (*.txt);;"
                                      "HTML Document (*.html);;All Files (*)",
                                      "Text Document (*.txt)", "bvd");
  if (file.isEmpty()) return;
  ExportEntries(A(file), FEntries);
}

void TMailListsPage::ImportLegacyList() {
  const QString file = ChooseOpenFile("Import Brevant 1.x lists...", "Brevant Mail Lists (1.x, *.bvl);;All Files (*)",
                                      "Brevant Mail Lists (1.x, *.bvl)");
  if (file.isEmpty()) return;
  TLegacyImport result;
  {
    TBusy busy(this);
    result = ::ImportLegacyList(FDataDir, A(file), [this](const std::string &status) {
      SetStatus(status, true);
      KeepResponsive();
    });
  }
  if (!result.Folders.Created && result.Error.empty()) {
    Warn(Q(DirectoryFailureText(result.Path)));
    SetStatus("");
    return;
  }
  for (const auto &path : result.Folders.Failed) Warn(Q(DirectoryFailureText(path)));
  if (!result.Name.empty()) {
    emit ListAdded(Q(result.Name));
    LoadMailLists();
    SelectList(result.Name);
    lb_MailListsClick();
    SetStatus("Imported " + std::to_string(result.Count) + " address(es) into " + result.Name + ".");
  } else {
    SetStatus("");
  }
  if (!result.Error.empty()) QMessageBox::critical(this, kCaption, Q(result.Error));
}
