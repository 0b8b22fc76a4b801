#include "ui/GenPropsDialog.h"

#include "storage/Ansi.h"
#include "storage/Filters.h"
#include "storage/IniFiles32.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"
#include "ui/InsertCommands.h"
#include "ui/ColorDialog.h"
#include "ui/DisplaySettings.h"
#include "ui/GenPropsHelpers.h"
#include "ui/NamedWidgets.h"
#include "ui/ServersDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <exception>

using namespace genprops;


void Tfrm_GenProps::Guard(const std::function<void()> &command) {
  try {
    command();
  } catch (const std::exception &e) {
    QMessageBox::critical(this, kCaption, QString::fromLocal8Bit(e.what()));
  }
}

Tfrm_GenProps::Tfrm_GenProps(const std::string &dataDir, TGeneralSettings *settings, QWidget *mainWindow)
    : QDialog(mainWindow, Qt::Tool), dataDir_(dataDir), settings_(settings), mainWindow_(mainWindow) {
  setObjectName("frm_GenProps");
  setWindowTitle(kCaption);

  tpnl_GenProps = new QWidget(this);
  tpnl_GenProps->setObjectName("tpnl_GenProps");
  btn_Save = NamedButton("btn_Save", "&Save", tpnl_GenProps);
  btn_Save->setToolTip("Save properties");
  btn_Cancel = NamedButton("btn_Cancel", "&Cancel", tpnl_GenProps);
  btn_Cancel->setToolTip("Cancel changes");
  ttl_Gen = new QLabel("General Properties", tpnl_GenProps);
  ttl_Gen->setObjectName("ttl_Gen");
  ttl_Gen->setAutoFillBackground(true);
  auto *top = new QHBoxLayout(tpnl_GenProps);
  top->setContentsMargins(2, 2, 2, 2);
  top->addWidget(btn_Save);
  top->addWidget(btn_Cancel);
  top->addWidget(ttl_Gen, 1);

  pc_GenProps = new QTabWidget(this);
  pc_GenProps->setObjectName("pc_GenProps");
  pc_GenProps->setTabPosition(QTabWidget::West);
  BuildPersonalPage();
  BuildGeneralPage();
  BuildDisplayPage();
  BuildSmtpPage();
  BuildPopPage();

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tpnl_GenProps);
  layout->addWidget(pc_GenProps);
  connect(btn_Save, &QPushButton::clicked, this, &QDialog::accept);
  connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);

  // The registries, then the settings, then their look.
  Guard([&] {
    FillServerList(clb_SMTPServ, ReadSmtpServerNames(dataDir_), -1);
    FillServerList(clb_POPServ, ReadPopServerNames(dataDir_), -1);
  });
  ReadGeneralSettings();
  ApplyToWindows();
  cb_FilterListChange();
}

// ---- settings <-> controls -------------------------------------------------------------

void Tfrm_GenProps::LoadControls() {
  const TGeneralSettings &s = *settings_;
  SetText(edt_Name, s.Name);
  SetText(edt_Email, s.EMail);
  SetText(edt_Reply, s.Reply);
  SetText(edt_Address1, s.Address1);
  SetText(edt_Address2, s.Address2);
  SetText(edt_Org, s.Organization);
  SetText(edt_Phone1, s.Phone1);
  SetText(edt_Phone2, s.Phone2);
  SetText(edt_Title, s.Title);
  SetText(edt_Web, s.WebURL);
  SetText(edt_Photo, s.PhotoURL);
  mmo_Notes->setPlainText(TextToEditor(s.Notes));

  cb_Hints->setChecked(s.ShowHints);
  cb_HTMLDigest->setChecked(s.HTMLDigest);
  cb_HideHTMLBar->setChecked(s.HideHTMLBar);
  cb_Header->setChecked(s.IncludeHeader);
  SetText(edt_Header, s.HeaderFile);
  mmo_Header->setPlainText(TextToEditor(s.HeaderText));
  cb_Sig->setChecked(s.IncludeSig);
  SetText(edt_Sig, s.SignatureFile);
  mmo_Sig->setPlainText(TextToEditor(s.SignatureText));
  cb_Footer->setChecked(s.IncludeFooter);
  SetText(edt_Footer, s.FooterFile);
  mmo_Footer->setPlainText(TextToEditor(s.FooterText));

  pnl_GenColor->SetColorText(s.GeneralColor);
  pnl_ToolColor->SetColorText(s.ToolbarColor);
  pnl_TitleColor->SetColorText(s.TitleColor);
  lbl_ToolFont->SetFontSetting(s.ToolbarFont);
  lbl_PageFont->SetFontSetting(s.PageFont);
  lbl_TitleFont->SetFontSetting(s.TitleFont);
  cb_ToolAlign->setCurrentIndex(static_cast<int>(s.ToolbarAlign));
  cb_TabPosition->setCurrentIndex(static_cast<int>(s.TabPosition));

  // The stored positions check their servers; a position beyond the list checks none.
  FillServerList(clb_SMTPServ, Items(clb_SMTPServ), s.SmtpServer);
  FillServerList(clb_POPServ, Items(clb_POPServ), s.PopServer);
  ShowDefault(true, DefaultSmtpServer());
  ShowDefault(false, DefaultPopServer());
  SyncDefaultPositions();

  cb_IARSub->setChecked(s.EnabledIARSubjects);
  lb_IARSub->clear();
  for (const std::string &subject : s.IARSubjects) AddItem(lb_IARSub, AnsiToQString(subject));
}

void Tfrm_GenProps::StoreControls() {
  TGeneralSettings &s = *settings_;
  s.Name = Text(edt_Name);
  s.EMail = Text(edt_Email);
  s.Reply = Text(edt_Reply);
  s.Address1 = Text(edt_Address1);
  s.Address2 = Text(edt_Address2);
  s.Organization = Text(edt_Org);
  s.Phone1 = Text(edt_Phone1);
  s.Phone2 = Text(edt_Phone2);
  s.Title = Text(edt_Title);
  s.WebURL = Text(edt_Web);
  s.PhotoURL = Text(edt_Photo);
  s.Notes = EditorToText(mmo_Notes->toPlainText());

  s.ShowHints = cb_Hints->isChecked();
  s.HTMLDigest = cb_HTMLDigest->isChecked();
  s.HideHTMLBar = cb_HideHTMLBar->isChecked();
  s.IncludeHeader = cb_Header->isChecked();
  s.HeaderFile = Text(edt_Header);
  s.HeaderText = EditorToText(mmo_Header->toPlainText());
  s.IncludeSig = cb_Sig->isChecked();
  s.SignatureFile = Text(edt_Sig);
  s.SignatureText = EditorToText(mmo_Sig->toPlainText());
  s.IncludeFooter = cb_Footer->isChecked();
  s.FooterFile = Text(edt_Footer);
  s.FooterText = EditorToText(mmo_Footer->toPlainText());

  s.GeneralColor = pnl_GenColor->ColorText();
  s.ToolbarColor = pnl_ToolColor->ColorText();
  s.TitleColor = pnl_TitleColor->ColorText();
  s.ToolbarFont = lbl_ToolFont->FontSetting();
  s.PageFont = lbl_PageFont->FontSetting();
  s.TitleFont = lbl_TitleFont->FontSetting();
  s.ToolbarAlign = static_cast<TPlacement>(std::max(0, cb_ToolAlign->currentIndex()));
  s.TabPosition = static_cast<TPlacement>(std::max(0, cb_TabPosition->currentIndex()));

  SyncDefaultPositions();
  s.EnabledIARSubjects = cb_IARSub->isChecked();
  s.IARSubjects = Items(lb_IARSub);
}

void Tfrm_GenProps::SyncDefaultPositions() {
  settings_->SmtpServer = FirstChecked(clb_SMTPServ);
  settings_->PopServer = FirstChecked(clb_POPServ);
}

void Tfrm_GenProps::ReadGeneralSettings() {
  std::string fileError;
  Guard([&] {
    *settings_ = ::ReadGeneralSettings(dataDir_, &fileError);
    LoadControls();
    ApplyGeneralOptions(mainWindow_, *settings_);
  });
  if (!fileError.empty()) QMessageBox::warning(mainWindow_ ? mainWindow_ : this, kCaption, AnsiToQString(fileError));
}

void Tfrm_GenProps::WriteGeneralSettings() {
  StoreControls();
  ::WriteGeneralSettings(dataDir_, *settings_, clb_SMTPServ->count(), clb_POPServ->count());
  ApplyGeneralOptions(mainWindow_, *settings_);
}

void Tfrm_GenProps::ApplyToWindows() {
  if (mainWindow_) ApplyDisplaySettings(mainWindow_, *settings_);
  ApplyDisplaySettings(this, *settings_);
  // The sample labels and swatches show the dialog's values, not the window's look.
  lbl_PageFont->SetFontSetting(lbl_PageFont->FontSetting());
  lbl_ToolFont->SetFontSetting(lbl_ToolFont->FontSetting());
  lbl_TitleFont->SetFontSetting(lbl_TitleFont->FontSetting());
}

bool Tfrm_GenProps::Execute() {
  const bool saved = exec() == QDialog::Accepted;
  if (saved) {
    Guard([&] {
      cb_FilterListChange();
      WriteGeneralSettings();
      ApplyToWindows();
    });
  } else {
    ReadGeneralSettings();
  }
  return saved;
}

void Tfrm_GenProps::SetMailLists(const std::vector<std::string> &names) {
  QStringList items;
  for (const std::string &name : names) items << AnsiToQString(name);
  items.sort(Qt::CaseInsensitive);
  const QSignalBlocker block(cb_FilterList);
  cb_FilterList->clear();
  cb_FilterList->addItems(items);
  cb_FilterList->setCurrentIndex(items.isEmpty() ? -1 : 0);
  cb_FilterListChange();
}

// ---- bounce subjects and filters -------------------------------------------------------

namespace {
// Asks for one line of text; false when cancelled. An empty answer counts.
bool AskText(QWidget *parent, const QString &title, const QString &prompt, QString *text) {
  bool ok = false;
  const QString answer = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, *text, &ok);
  if (ok) *text = answer;
  return ok;
}
const char *const kIARTitle = "Invalid Address Reply Subject";
const char *const kIARPrompt = "Enter the subject of the invalid address reply:";
}  // namespace

void Tfrm_GenProps::btn_AddIARSubClick() {
  QString subject;
  if (AskText(this, kIARTitle, kIARPrompt, &subject)) AddItem(lb_IARSub, subject);
}

void Tfrm_GenProps::btn_EditIARSubClick() {
  QListWidgetItem *item = SelectedItem(lb_IARSub);
  if (!item) return;
  QString subject = item->text();
  if (AskText(this, kIARTitle, kIARPrompt, &subject)) {
    item->setText(subject);
    lb_IARSub->sortItems();
  }
}

void Tfrm_GenProps::btn_DelIARSubClick() { delete SelectedItem(lb_IARSub); }

void Tfrm_GenProps::cb_FilterListChange() {
  lb_Filters->clear();
  const bool chosen = cb_FilterList->currentIndex() >= 0;
  for (QPushButton *b : {btn_AddFilter, btn_EditFilter, btn_DeleteFilter}) b->setEnabled(chosen);
  if (!chosen) return;
  Guard([&] {
    for (const std::string &address : ReadFilters(dataDir_, QStringToAnsi(cb_FilterList->currentText())))
      AddItem(lb_Filters, AnsiToQString(address));
  });
}

void Tfrm_GenProps::WriteChosenFilters() {
  if (cb_FilterList->currentIndex() < 0) return;
  Guard([&] { WriteFilters(dataDir_, QStringToAnsi(cb_FilterList->currentText()), Items(lb_Filters)); });
}

void Tfrm_GenProps::btn_AddFilterClick() {
  if (cb_FilterList->currentIndex() < 0) return;
  QString address;
  if (!AskText(this, "Add Filter", "Enter an e-mail address:", &address)) return;
  AddItem(lb_Filters, address.trimmed());
  WriteChosenFilters();
}

void Tfrm_GenProps::btn_EditFilterClick() {
  QListWidgetItem *item = SelectedItem(lb_Filters);
  if (!item) return;
  QString address = item->text();
  if (!AskText(this, "Edit Filter", "Enter an e-mail address:", &address)) return;
  item->setText(address.trimmed());
  lb_Filters->sortItems();
  WriteChosenFilters();
}

void Tfrm_GenProps::btn_DeleteFilterClick() {
  QListWidgetItem *item = SelectedItem(lb_Filters);
  if (!item) return;
  delete item;
  WriteChosenFilters();
}

// ---- colours, fonts and text files -----------------------------------------------------

void Tfrm_GenProps::ChooseColor(TColorSwatch *swatch) {
  QColor color = SettingQColor(swatch->ColorText(), Qt::white);
  Guard([&] {
    if (PickColor(this, dataDir_, &color)) swatch->SetColorText(QColorToText(color));
  });
}

void Tfrm_GenProps::ChooseFont(TFontLabel *label) {
  QFontDialog dialog(SettingFont(label->FontSetting()), this);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  if (dialog.exec() == QDialog::Accepted)
    label->SetFontSetting(FontToSetting(dialog.selectedFont(), label->FontSetting().Color));
}

void Tfrm_GenProps::ChooseFontColor(TFontLabel *label) {
  QColor color = SettingQColor(label->FontSetting().Color, Qt::black);
  Guard([&] {
    if (!PickColor(this, dataDir_, &color)) return;
    TFontSetting font = label->FontSetting();
    font.Color = QColorToText(color);
    label->SetFontSetting(font);
  });
}

// The routines shared with the Mail Lists page: designed titles, filters and line ends.
void Tfrm_GenProps::OpenText(const QString &word, QLineEdit *fileBox, QPlainTextEdit *textBox) {
  Guard([&] { OpenTextBoxFile(this, word, fileBox, textBox); });
}

void Tfrm_GenProps::SaveText(const QString &word, QLineEdit *fileBox, QPlainTextEdit *textBox) {
  Guard([&] { SaveTextBoxFile(this, word, fileBox, textBox); });
}
