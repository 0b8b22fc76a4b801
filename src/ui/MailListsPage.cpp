#include "ui/MailListsPage.h"

#include "lists/AddressRecord.h"
#include "lists/ImportExport.h"
#include "lists/ListFolder.h"
#include "storage/Ansi.h"
#include "storage/Filters.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"
#include "ui/PaceBox.h"
#include "ui/StatusBar1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const char *const kCaption = "Brevant 2.0";
const char *const kListPages[] = {"List Information", "SMTP",   "POP",     "Header",
                                  "Signature",        "Footer", "Options", "Maintenance"};

QString Q(const std::string &s) { return AnsiToQString(s); }
std::string A(const QString &s) { return QStringToAnsi(s); }

template <typename T>
T *Named(T *widget, const char *name) {
  widget->setObjectName(name);
  return widget;
}

QLineEdit *Edit(const char *name, int maxLength) {
  auto *edit = Named(new QLineEdit, name);
  edit->setMaxLength(maxLength);
  return edit;
}

// A box on its own labelled row of the form.
QLineEdit *EditRow(QFormLayout *form, const char *label, const char *name, int maxLength) {
  QLineEdit *edit = Edit(name, maxLength);
  form->addRow(label, edit);
  return edit;
}

// The server box, user name, password and port of a list's SMTP or POP page.
struct TServerRows {
  const char *Label, *Server, *User, *Password, *Port;
};

void AddServerRows(QFormLayout *form, const TServerRows &names, QComboBox **server, QLineEdit **user,
                   QLineEdit **password, QLineEdit **port) {
  *server = Named(new QComboBox, names.Server);
  (*server)->setEditable(true);
  form->addRow(names.Label, *server);
  *user = EditRow(form, "User Name:", names.User, 30);
  *password = EditRow(form, "Password:", names.Password, 20);
  (*password)->setEchoMode(QLineEdit::Password);
  *port = EditRow(form, "Port:", names.Port, 20);
}

QPushButton *Button(const char *name, const QString &caption, const QString &hint = QString()) {
  auto *button = Named(new QPushButton(caption), name);
  button->setToolTip(hint);
  return button;
}

// Multi-line boxes have no length limit of their own; this keeps them to `maxLength`.
void LimitLength(QPlainTextEdit *box, int maxLength) {
  QObject::connect(box, &QPlainTextEdit::textChanged, box, [box, maxLength] {
    const QString text = box->toPlainText();
    if (text.size() > maxLength) box->setPlainText(text.left(maxLength));
  });
}

// Multi-line text of a box as stored: lines joined by CR LF.
std::string BoxText(const QPlainTextEdit *box) { return A(box->toPlainText().replace("\n", "\r\n")); }
void SetBoxText(QPlainTextEdit *box, const std::string &text) { box->setPlainText(Q(ReplaceAll(text, "\r\n", "\n"))); }

// The page is disabled while a bulk command runs, so the events it lets through cannot
// start another command on the same book; the rest of the window stays usable.
class TBusy {
public:
  explicit TBusy(QWidget *page) : page_(page), wasEnabled_(page->isEnabled()) { page_->setEnabled(false); }
  ~TBusy() { page_->setEnabled(wasEnabled_); }
  TBusy(const TBusy &) = delete;
  TBusy &operator=(const TBusy &) = delete;

private:
  QWidget *page_;
  bool wasEnabled_;
};
}  // namespace

TMailListsPage::TMailListsPage(QWidget *parent) : QWidget(parent) {
  setObjectName("ts_MailLists");
  CreateControls();
  ConnectChanges();
}

// ---------------------------------------------------------------- controls

void TMailListsPage::CreateControls() {
  gb_MailLists = Named(new QGroupBox("Mail Lists (0)"), "gb_MailLists");
  lb_MailLists = Named(new QListWidget, "lb_MailLists");
  btn_ListAdd = Button("btn_ListAdd", "New", "New list");
  btn_ListDelete = Button("btn_ListDelete", "Delete", "Delete list");
  auto *listButtons = new QHBoxLayout;
  listButtons->addWidget(btn_ListAdd);
  listButtons->addWidget(btn_ListDelete);
  auto *listsLayout = new QVBoxLayout(gb_MailLists);
  listsLayout->addWidget(lb_MailLists);
  listsLayout->addLayout(listButtons);

  gb_Addresses = Named(new QGroupBox("Addresses (0)"), "gb_Addresses");
  lb_Addresses = Named(new QListWidget, "lb_Addresses");
  lb_Addresses->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lb_Addresses->setUniformItemSizes(true);  // quick with a hundred thousand entries
  btn_AddressAdd = Button("btn_AddressAdd", "Add", "Add an address");
  btn_AddressDelete = Button("btn_AddressDelete", "Delete", "Delete an address");
  auto *addressButtons = new QHBoxLayout;
  addressButtons->addWidget(btn_AddressAdd);
  addressButtons->addWidget(btn_AddressDelete);
  auto *addressesLayout = new QVBoxLayout(gb_Addresses);
  addressesLayout->addWidget(lb_Addresses);
  addressesLayout->addLayout(addressButtons);

  auto *left = new QVBoxLayout;
  left->addWidget(gb_MailLists, 1);
  left->addWidget(gb_Addresses, 2);

  // The list panel and the address panel share one place on the page.
  pnl_Panels = Named(new QStackedWidget, "pnl_Panels");
  gb_ListInfo = Named(new QGroupBox("List Information"), "gb_ListInfo");
  gb_AddressInfo = Named(new QGroupBox("Address Information"), "gb_AddressInfo");
  auto *listInfo = new QVBoxLayout(gb_ListInfo);
  listInfo->addWidget(CreateListPanel());
  auto *addressInfo = new QVBoxLayout(gb_AddressInfo);
  addressInfo->addWidget(CreateAddressPanel());
  pnl_Panels->addWidget(gb_ListInfo);
  pnl_Panels->addWidget(gb_AddressInfo);

  auto *page = new QHBoxLayout(this);
  page->addLayout(left, 2);
  page->addWidget(pnl_Panels, 3);
}

QWidget *TMailListsPage::CreateListPanel() {
  auto *panel = new QWidget;
  lb_ListPrefs = Named(new QListWidget, "lb_ListPrefs");
  for (const char *caption : kListPages) lb_ListPrefs->addItem(caption);
  // Wide enough for the longest caption, so no page name is cut off.
  int captions = 0;
  for (const char *caption : kListPages)
    captions = std::max(captions, lb_ListPrefs->fontMetrics().horizontalAdvance(caption));
  lb_ListPrefs->setFixedWidth(captions + 2 * lb_ListPrefs->frameWidth() + 24);
  pnl_ListPages = Named(new QStackedWidget, "pnl_ListPages");

  auto *info = Named(new QWidget, "pnl_ListInfo");
  auto *infoForm = new QFormLayout(info);
  edt_ListName = EditRow(infoForm, "List Name:", "edt_ListName", 100);
  edt_ListAddress = EditRow(infoForm, "To Address:", "edt_ListAddress", 100);
  edt_ListFrom = EditRow(infoForm, "From Address:", "edt_ListFrom", 100);
  edt_ListFromName = EditRow(infoForm, "From Name:", "edt_ListFromName", 100);
  edt_ListFromName->setPlaceholderText("Your name from General Properties");
  edt_ListFromName->setToolTip("The sender's name shown with the From address");
  edt_ListReply = EditRow(infoForm, "Reply Address:", "edt_ListReply", 100);
  mmo_ListComments = Named(new QPlainTextEdit, "mmo_ListComments");
  LimitLength(mmo_ListComments, 255);
  infoForm->addRow("Comments:", mmo_ListComments);

  auto *smtp = Named(new QWidget, "pnl_SMTP");
  auto *smtpForm = new QFormLayout(smtp);
  AddServerRows(smtpForm, {"SMTP Server:", "cb_SMTPServ", "edt_SMTPUser", "edt_SMTPPass", "edt_SMTPPort"},
                &cb_SMTPServ, &edt_SMTPUser, &edt_SMTPPass, &edt_SMTPPort);
  auto *method = Named(new QGroupBox("Send Method"), "rg_SMTPMethod");
  rb_SMTPOne = Named(new QRadioButton("One at a time"), "rb_SMTPOne");
  rb_SMTPSome = Named(new QRadioButton("at a time"), "rb_SMTPSome");
  rb_SMTPAll = Named(new QRadioButton("All at once"), "rb_SMTPAll");
  se_SMTPRCPT = Named(new QSpinBox, "se_SMTPRCPT");
  se_SMTPRCPT->setRange(1, 1000);
  auto *some = new QHBoxLayout;
  some->addWidget(se_SMTPRCPT);
  some->addWidget(rb_SMTPSome, 1);
  auto *methodLayout = new QVBoxLayout(method);
  methodLayout->addWidget(rb_SMTPOne);
  methodLayout->addLayout(some);
  methodLayout->addWidget(rb_SMTPAll);
  smtpForm->addRow(method);
  se_SMTPPace = PaceBox("se_SMTPPace");
  smtpForm->addRow("At most:", se_SMTPPace);

  auto *pop = Named(new QWidget, "pnl_POP");
  auto *popForm = new QFormLayout(pop);
  AddServerRows(popForm, {"POP Server:", "cb_POPServ", "edt_PopUser", "edt_PopPass", "edt_POPPort"}, &cb_POPServ,
                &edt_PopUser, &edt_PopPass, &edt_POPPort);
  edt_POPPort->setText("pop3");
  cb_POPDelete = Named(new QCheckBox("Delete mail from the server after reading"), "cb_POPDelete");
  popForm->addRow(cb_POPDelete);

  // Header, signature and footer: a file, whether to include it, and its text.
  auto textPage = [this](const char *panelName, const char *what, QLineEdit **file, QCheckBox **include,
                         QPlainTextEdit **box, const char *fileName, const char *checkName, const char *boxName) {
    auto *page = Named(new QWidget, panelName);
    *file = Edit(fileName, 255);
    *include = Named(new QCheckBox(QString("Always include %1").arg(what)), checkName);
    *box = Named(new QPlainTextEdit, boxName);
    auto *open = new QPushButton("Open...");
    auto *save = new QPushButton("Save");
    QLineEdit *edit = *file;
    QPlainTextEdit *text = *box;
    const QString word = QString(what).left(1).toUpper() + QString(what).mid(1);
    connect(open, &QPushButton::clicked, this, [this, word, edit, text] { OpenTextFile(word, edit, text); });
    connect(save, &QPushButton::clicked, this, [this, word, edit, text] { SaveTextFile(word, edit, text); });
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(edit, 1);
    fileRow->addWidget(open);
    fileRow->addWidget(save);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(word + " file:"));
    layout->addLayout(fileRow);
    layout->addWidget(*include);
    layout->addWidget(text, 1);
    return page;
  };
  QWidget *header = textPage("pnl_Header", "header", &edt_Header, &cb_Header, &mmo_Header, "edt_Header", "cb_Header",
                             "mmo_Header");
  QWidget *sig = textPage("pnl_Sig", "signature", &edt_Sig, &cb_Sig, &mmo_Sig, "edt_Sig", "cb_Sig", "mmo_Sig");
  QWidget *footer = textPage("pnl_Footer", "footer", &edt_Footer, &cb_Footer, &mmo_Footer, "edt_Footer", "cb_Footer",
                             "mmo_Footer");

  auto *options = Named(new QWidget, "pnl_Options");
  cb_HTML = Named(new QCheckBox("Send HTML mail"), "cb_HTML");
  auto *optionsLayout = new QVBoxLayout(options);
  optionsLayout->addWidget(cb_HTML);
  optionsLayout->addStretch(1);

  auto *maint = Named(new QWidget, "pnl_Maint");
  cb_AutoMaint = Named(new QCheckBox("Automatic list maintenance"), "cb_AutoMaint");
  auto keyGroup = [](const char *title, QRadioButton *byTo, QLineEdit *to, QRadioButton *bySub, QLineEdit *sub) {
    auto *group = new QGroupBox(title);
    auto *form = new QFormLayout(group);
    form->addRow(byTo, to);
    form->addRow(bySub, sub);
    return group;
  };
  rb_AddTo = Named(new QRadioButton("To field"), "rb_AddTo");
  rb_AddSub = Named(new QRadioButton("Subject field"), "rb_AddSub");
  rb_RemoveTo = Named(new QRadioButton("To field"), "rb_RemoveTo");
  rb_RemoveSub = Named(new QRadioButton("Subject field"), "rb_RemoveSub");
  edt_AddTo = Edit("edt_AddTo", 100);
  edt_AddSub = Edit("edt_AddSub", 100);
  edt_RemoveTo = Edit("edt_RemoveTo", 100);
  edt_RemoveSub = Edit("edt_RemoveSub", 100);
  auto *maintLayout = new QVBoxLayout(maint);
  maintLayout->addWidget(cb_AutoMaint);
  maintLayout->addWidget(keyGroup("Subscribe", rb_AddTo, edt_AddTo, rb_AddSub, edt_AddSub));
  maintLayout->addWidget(keyGroup("Unsubscribe", rb_RemoveTo, edt_RemoveTo, rb_RemoveSub, edt_RemoveSub));
  maintLayout->addStretch(1);

  for (QWidget *w : {info, smtp, pop, header, sig, footer, options, maint}) pnl_ListPages->addWidget(w);

  btn_ListSave = Button("btn_ListSave", "Save");
  btn_ListCancel = Button("btn_ListCancel", "Cancel");
  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btn_ListSave);
  buttons->addWidget(btn_ListCancel);
  auto *pages = new QHBoxLayout;
  pages->addWidget(lb_ListPrefs);
  pages->addWidget(pnl_ListPages, 1);
  auto *layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(pages, 1);
  layout->addLayout(buttons);
  return panel;
}

QWidget *TMailListsPage::CreateAddressPanel() {
  auto *panel = new QWidget;
  auto *form = new QFormLayout;
  edt_Name = EditRow(form, "Name:", "edt_Name", 100);
  edt_Address1 = EditRow(form, "Street Address:", "edt_Address1", 100);
  edt_Address2 = EditRow(form, "", "edt_Address2", 100);
  edt_Email = EditRow(form, "Email Address:", "edt_Email", 100);
  edt_Phone = EditRow(form, "Phone Number:", "edt_Phone", 20);
  edt_Custom1 = EditRow(form, "Custom 1:", "edt_Custom1", 20);
  edt_Custom2 = EditRow(form, "Custom 2:", "edt_Custom2", 20);
  edt_Custom3 = EditRow(form, "Custom 3:", "edt_Custom3", 20);
  mmo_Comments = Named(new QPlainTextEdit, "mmo_Comments");
  LimitLength(mmo_Comments, 255);
  form->addRow("Comments:", mmo_Comments);
  btn_AddressSave = Button("btn_AddressSave", "Save");
  btn_AddressCancel = Button("btn_AddressCancel", "Cancel");
  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btn_AddressSave);
  buttons->addWidget(btn_AddressCancel);
  auto *layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(form, 1);
  layout->addLayout(buttons);
  return panel;
}

void TMailListsPage::ConnectChanges() {
  connect(lb_MailLists, &QListWidget::itemClicked, this, &TMailListsPage::lb_MailListsClick);
  connect(lb_ListPrefs, &QListWidget::currentRowChanged, this, &TMailListsPage::lb_ListPrefsClick);
  connect(btn_ListAdd, &QPushButton::clicked, this, &TMailListsPage::NewList1Click);
  connect(btn_ListDelete, &QPushButton::clicked, this, &TMailListsPage::RemoveList1Click);
  connect(btn_ListSave, &QPushButton::clicked, this, [this] { SaveListPanel(); });
  connect(btn_ListCancel, &QPushButton::clicked, this, &TMailListsPage::btn_ListCancelClick);
  // Every box of the list panel marks the list modified.
  for (QLineEdit *e : {edt_ListName, edt_ListAddress, edt_ListFrom, edt_ListFromName, edt_ListReply, edt_SMTPUser, edt_SMTPPass,
                       edt_SMTPPort, edt_PopUser, edt_PopPass, edt_Header, edt_Footer, edt_Sig, edt_AddTo, edt_AddSub,
                       edt_RemoveTo, edt_RemoveSub})
    connect(e, &QLineEdit::textChanged, this, &TMailListsPage::edt_ListNameChange);
  for (QPlainTextEdit *m : {mmo_ListComments, mmo_Header, mmo_Footer, mmo_Sig})
    connect(m, &QPlainTextEdit::textChanged, this, &TMailListsPage::edt_ListNameChange);
  for (QCheckBox *c : {cb_POPDelete, cb_Header, cb_Footer, cb_Sig, cb_HTML, cb_AutoMaint})
    connect(c, &QCheckBox::toggled, this, &TMailListsPage::edt_ListNameChange);
  for (QRadioButton *r : {rb_SMTPOne, rb_SMTPSome, rb_SMTPAll})
    connect(r, &QRadioButton::toggled, this, &TMailListsPage::edt_ListNameChange);
  connect(se_SMTPRCPT, &QSpinBox::valueChanged, this, &TMailListsPage::edt_ListNameChange);
  connect(se_SMTPPace, &QSpinBox::valueChanged, this, &TMailListsPage::edt_ListNameChange);
  for (QRadioButton *r : {rb_AddTo, rb_AddSub}) connect(r, &QRadioButton::toggled, this, &TMailListsPage::rb_AddToClick);
  for (QRadioButton *r : {rb_RemoveTo, rb_RemoveSub})
    connect(r, &QRadioButton::toggled, this, &TMailListsPage::rb_RemoveToClick);
  connect(cb_SMTPServ, &QComboBox::currentTextChanged, this, &TMailListsPage::cb_SMTPServChange);
  connect(cb_POPServ, &QComboBox::currentTextChanged, this, &TMailListsPage::cb_POPServChange);

  connect(lb_Addresses, &QListWidget::itemClicked, this, &TMailListsPage::lb_AddressesClick);
  connect(btn_AddressAdd, &QPushButton::clicked, this, &TMailListsPage::btn_AddressAddClick);
  connect(btn_AddressDelete, &QPushButton::clicked, this, &TMailListsPage::btn_AddressDeleteClick);
  connect(btn_AddressSave, &QPushButton::clicked, this, &TMailListsPage::btn_AddressSaveClick);
  connect(btn_AddressCancel, &QPushButton::clicked, this, &TMailListsPage::btn_AddressCancelClick);
  for (QLineEdit *e : {edt_Name, edt_Address1, edt_Address2, edt_Email, edt_Phone, edt_Custom1, edt_Custom2, edt_Custom3})
    connect(e, &QLineEdit::textChanged, this, &TMailListsPage::edt_NameChange);
  connect(mmo_Comments, &QPlainTextEdit::textChanged, this, &TMailListsPage::edt_NameChange);
}

void TMailListsPage::Start(const std::string &dataDir, TStatusBar1 *status) {
  FDataDir = dataDir;
  FStatus = status;
  FRecord.Path = dataDir;
  SetListButtons(false);
  SetAddressButtons(false);
  FillServerChoices();
  LoadMailLists();
  LoadListRecord(QString());
  if (lb_MailLists->count() > 0) lb_MailLists->setCurrentRow(0);  // not loaded until clicked
}

void TMailListsPage::FillServerChoices() {
  const bool loading = FLoading;
  FLoading = true;
  for (auto [box, names] : {std::pair{cb_SMTPServ, ReadSmtpServerNames(FDataDir)},
                            std::pair{cb_POPServ, ReadPopServerNames(FDataDir)}}) {
    const QString text = box->currentText();
    box->clear();
    for (const auto &name : names) box->addItem(Q(name));
    box->setCurrentText(text);
  }
  FLoading = loading;
}

std::string TMailListsPage::PopPort() const { return A(edt_POPPort->text()); }

// ---------------------------------------------------------------- helpers

void TMailListsPage::SetStatus(const std::string &text, bool repaint) {
  if (!FStatus) return;
  FStatus->SetStatus(Q(text));
  if (repaint) FStatus->repaint();
}

void TMailListsPage::KeepResponsive() {
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  if (now - FLastEvents < 40) return;
  FLastEvents = now;
  QCoreApplication::processEvents();
}

void TMailListsPage::Warn(const QString &text) { QMessageBox::warning(this, kCaption, text); }

void TMailListsPage::ShowPanel(QWidget *panel) {
  panel->show();
  pnl_Panels->show();
  pnl_Panels->setCurrentWidget(panel);
}

void TMailListsPage::SetListButtons(bool enabled) {
  btn_ListSave->setEnabled(enabled);
  btn_ListCancel->setEnabled(enabled);
}

void TMailListsPage::SetAddressButtons(bool enabled) {
  btn_AddressSave->setEnabled(enabled);
  btn_AddressCancel->setEnabled(enabled);
}

void TMailListsPage::SelectList(const std::string &name) {
  for (int i = 0; i < lb_MailLists->count(); ++i)
    if (A(lb_MailLists->item(i)->text()) == name) {
      lb_MailLists->setCurrentRow(i);
      return;
    }
}

// ---------------------------------------------------------------- the lists

void TMailListsPage::LoadMailLists() {
  SetStatus("Loading mail lists...");
  lb_MailLists->clear();
  for (const auto &name : ::LoadMailLists(FDataDir)) lb_MailLists->addItem(Q(name));
  const bool any = lb_MailLists->count() > 0;
  gb_ListInfo->setVisible(any);
  gb_AddressInfo->setVisible(any);
  pnl_Panels->setVisible(any);
  btn_AddressAdd->setEnabled(any);
  btn_AddressDelete->setEnabled(any);
  if (any) ShowPanel(gb_ListInfo);
  gb_MailLists->setTitle(QString("Mail Lists (%1)").arg(lb_MailLists->count()));
  SetStatus("");
}

void TMailListsPage::LoadListRecord(const QString &name) {
  FCurrentName = name.isEmpty() ? kPseudoListName : A(name);
  FRecord = ::LoadListRecord(FDataDir, FCurrentName);
  RecordToPanel();
  FLoading = true;
  edt_ListName->setText(Q(FCurrentName));
  // A file box naming a missing file leaves the text box as it was.
  LoadTextBox(FRecord.HeaderFile, mmo_Header);
  LoadTextBox(FRecord.FooterFile, mmo_Footer);
  LoadTextBox(FRecord.SigFile, mmo_Sig);
  FLoading = false;
  SetStatus("Loading POP information...");
  emit CurrentListChanged(Q(FCurrentName));
  SetStatus("");
}

void TMailListsPage::LoadTextBox(const std::string &file, QPlainTextEdit *box) {
  const bool loading = FLoading;
  FLoading = true;
  if (file.empty()) box->clear();
  else if (FileExists(file)) SetBoxText(box, ReadFileBytes(file));
  FLoading = loading;
}

void TMailListsPage::RecordToPanel() {
  const bool loading = FLoading;
  FLoading = true;
  const TListRecord &r = FRecord;
  edt_ListAddress->setText(Q(r.ToAddress));
  edt_ListFrom->setText(Q(r.FromAddress));
  edt_ListFromName->setText(Q(r.FromName));
  edt_ListReply->setText(Q(r.ReplyAddress));
  SetBoxText(mmo_ListComments, r.Comments);
  cb_SMTPServ->setCurrentText(Q(r.SMTPServer));
  edt_SMTPUser->setText(Q(r.SMTPUsername));
  edt_SMTPPass->setText(Q(r.SMTPPassword));
  edt_SMTPPort->setText(Q(r.SMTPPort));
  (r.SendMethod == 1 ? rb_SMTPSome : r.SendMethod == 2 ? rb_SMTPAll : rb_SMTPOne)->setChecked(true);
  se_SMTPRCPT->setValue(r.RCPTTO);
  se_SMTPPace->setValue(r.MessagesPerMinute);
  cb_POPServ->setCurrentText(Q(r.POPServer));
  edt_PopUser->setText(Q(r.POPUserName));
  edt_PopPass->setText(Q(r.POPPassword));
  cb_POPDelete->setChecked(r.DeleteRead);
  edt_Header->setText(Q(r.HeaderFile));
  cb_Header->setChecked(r.IncludeHeader);
  edt_Footer->setText(Q(r.FooterFile));
  cb_Footer->setChecked(r.IncludeFooter);
  edt_Sig->setText(Q(r.SigFile));
  cb_Sig->setChecked(r.IncludeSig);
  cb_HTML->setChecked(r.SendHTML);
  cb_AutoMaint->setChecked(r.AutoMaint);
  // Radio buttons: with neither flag set, neither button is on.
  for (auto [on, off, flagOn, flagOff] : {std::tuple{rb_AddTo, rb_AddSub, r.AddTo, r.AddSub},
                                          std::tuple{rb_RemoveTo, rb_RemoveSub, r.RemoveTo, r.RemoveSub}}) {
    on->setAutoExclusive(false);
    off->setAutoExclusive(false);
    on->setChecked(flagOn);
    off->setChecked(flagOff && !flagOn);
    on->setAutoExclusive(true);
    off->setAutoExclusive(true);
  }
  edt_AddTo->setText(Q(r.AddToAddress));
  edt_AddSub->setText(Q(r.AddSubAddress));
  edt_RemoveTo->setText(Q(r.RemoveToAddress));
  edt_RemoveSub->setText(Q(r.RemoveSubAddress));
  edt_AddTo->setEnabled(rb_AddTo->isChecked());
  edt_AddSub->setEnabled(!rb_AddTo->isChecked());
  edt_RemoveTo->setEnabled(rb_RemoveTo->isChecked());
  edt_RemoveSub->setEnabled(!rb_RemoveTo->isChecked());
  FLoading = loading;
}

TListRecord TMailListsPage::PanelToRecord() const {
  TListRecord r;
  r.Path = FRecord.Path;
  r.MissingPath = FRecord.MissingPath;
  r.ToAddress = A(edt_ListAddress->text());
  r.FromAddress = A(edt_ListFrom->text());
  r.FromName = A(edt_ListFromName->text());
  r.ReplyAddress = A(edt_ListReply->text());
  r.Comments = BoxText(mmo_ListComments);
  r.SMTPServer = A(cb_SMTPServ->currentText());
  r.SMTPUsername = A(edt_SMTPUser->text());
  r.SMTPPassword = A(edt_SMTPPass->text());
  r.SMTPPort = A(edt_SMTPPort->text());
  r.SendMethod = rb_SMTPSome->isChecked() ? 1 : rb_SMTPAll->isChecked() ? 2 : 0;
  r.RCPTTO = se_SMTPRCPT->value();
  r.MessagesPerMinute = se_SMTPPace->value();
  r.POPServer = A(cb_POPServ->currentText());
  r.POPUserName = A(edt_PopUser->text());
  r.POPPassword = A(edt_PopPass->text());
  r.DeleteRead = cb_POPDelete->isChecked();
  r.HeaderFile = A(edt_Header->text());
  r.IncludeHeader = cb_Header->isChecked();
  r.FooterFile = A(edt_Footer->text());
  r.IncludeFooter = cb_Footer->isChecked();
  r.SigFile = A(edt_Sig->text());
  r.IncludeSig = cb_Sig->isChecked();
  r.SendHTML = cb_HTML->isChecked();
  r.AutoMaint = cb_AutoMaint->isChecked();
  r.AddTo = rb_AddTo->isChecked();
  r.AddToAddress = A(edt_AddTo->text());
  r.AddSub = rb_AddSub->isChecked();
  r.AddSubAddress = A(edt_AddSub->text());
  r.RemoveTo = rb_RemoveTo->isChecked();
  r.RemoveToAddress = A(edt_RemoveTo->text());
  r.RemoveSub = rb_RemoveSub->isChecked();
  r.RemoveSubAddress = A(edt_RemoveSub->text());
  return r;
}

void TMailListsPage::ClearListPanel() {
  const std::string path = FRecord.Path;
  FRecord = NewListRecord(FRecord);
  FRecord.Path = path;
  // A new list fetches through the default POP server until it is given one of its own.
  const std::string pop = DefaultPopServer ? DefaultPopServer() : std::string();
  const TPopServer fill = FillPopServerFromRegistry(FDataDir, pop);
  if (!pop.empty()) {
    FRecord.POPServer = pop;
    FRecord.POPUserName = fill.Username;
    FRecord.POPPassword = fill.Password;
    FRecord.DeleteRead = fill.Delete;
  }
  FLoading = true;
  edt_ListName->clear();
  for (QPlainTextEdit *box : {mmo_Header, mmo_Footer, mmo_Sig}) box->clear();
  RecordToPanel();
  if (!pop.empty()) edt_POPPort->setText(Q(fill.Port));
  FLoading = false;
}

void TMailListsPage::lb_MailListsClick() {
  if (lb_MailLists->count() == 0) return;
  if (!lb_MailLists->currentItem() || lb_MailLists->selectedItems().isEmpty()) lb_MailLists->setCurrentRow(0);
  LoadListRecord(lb_MailLists->currentItem()->text());
  LoadAddresses();
  FListModified = false;
  SetListButtons(false);
  ShowPanel(gb_ListInfo);
  lb_ListPrefs->setCurrentRow(0);
  lb_ListPrefsClick(0);
}

void TMailListsPage::NewList1Click() {
  FNewList = true;
  lb_MailLists->clearSelection();
  lb_MailLists->setEnabled(false);
  for (QWidget *w = parentWidget(); w; w = w->parentWidget())
    if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
      tabs->setCurrentWidget(this);
      break;
    }
  ClearListPanel();
  // A new list sends through the default server until another is chosen.
  const QString server = DefaultSmtpServer ? Q(DefaultSmtpServer()) : QString();
  if (!server.isEmpty()) {
    FLoading = true;
    cb_SMTPServ->setCurrentText(server);
    FillSmtpRow(server);
    FLoading = false;
    FRecord = PanelToRecord();
  }
  ShowPanel(gb_ListInfo);
  lb_ListPrefs->setCurrentRow(0);
  lb_ListPrefsClick(0);
}

bool TMailListsPage::SaveListPanel() {
  // Text typed into a header, signature or footer box without a file goes to a file first,
  // or the list load after the save would drop it.
  for (auto [word, edit, box] : {std::tuple{"Header", edt_Header, mmo_Header}, std::tuple{"Signature", edt_Sig, mmo_Sig},
                                 std::tuple{"Footer", edt_Footer, mmo_Footer}})
    if (edit->text().isEmpty() && box->document()->isModified() && !box->toPlainText().isEmpty() &&
        !SaveTextFile(word, edit, box))
      return false;
  FRecord = PanelToRecord();
  const std::string name = CleanListName(A(edt_ListName->text()));
  if (name.empty() || !IsValidListName(name)) {
    Warn(name.empty() ? QString("Please enter a name for the mail list.")
                      : Q("The name \"" + name + "\" is Brevant's own. Please choose another name."));
    edt_ListName->setFocus();
    return false;
  }
  // The list shown may be one that is not in the catalogue (the pseudo-list, or one just
  // removed): saving it makes a new list with a folder of its own.
  const std::vector<std::string> names = ::LoadMailLists(FDataDir);
  const bool inCatalogue =
      std::any_of(names.begin(), names.end(), [&](const std::string &n) { return SameText(n, FCurrentName); });
  std::string saved = name;
  if (FNewList || !inCatalogue) {
    const TNewListResult made = CreateMailList(FDataDir, name, FRecord);
    for (const auto &path : made.Folders.Failed) Warn(Q(DirectoryFailureText(path)));
    // Still a new list: Save tries again, Cancel drops it; the list shown before is untouched.
    if (!made.Folders.Created) return false;
    FNewList = false;
    saved = made.Name;
    FRecord.Path = made.Path;
    emit ListAdded(Q(saved));
  } else {
    if (ListNameTaken(FDataDir, name, FCurrentName)) {
      Warn(Q("A mail list named \"" + name + "\" already exists. Please choose another name."));
      edt_ListName->setFocus();
      return false;
    }
    WriteListRecord(FDataDir, name, FRecord, true, FCurrentName);
    if (name != FCurrentName) {
      MoveFilters(FDataDir, FCurrentName, name);
      emit ListRenamed(Q(FCurrentName), Q(name));
    }
  }
  SetListButtons(false);
  LoadMailLists();
  lb_MailLists->setEnabled(true);
  SelectList(saved);
  lb_MailListsClick();
  return true;
}

bool TMailListsPage::SettleUnsavedList() {
  if (!FListModified) return true;
  const auto answer = QMessageBox::question(this, kCaption, "Save changes to the list first?",
                                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Yes) return SaveListPanel();
  if (answer != QMessageBox::No) return false;
  // No: the run uses the list as saved, so the panel shows it again.
  if (FNewList) {
    btn_ListCancelClick();
  } else {
    LoadListRecord(FCurrentName == kPseudoListName ? QString() : Q(FCurrentName));
    FListModified = false;
    SetListButtons(false);
  }
  return true;
}

void TMailListsPage::OpenList(const QString &name) {
  if (!lb_MailLists->isEnabled()) return;  // a new list is being made
  SelectList(A(name));
  lb_MailListsClick();
}

void TMailListsPage::OpenTextFile(const QString &word, QLineEdit *edit, QPlainTextEdit *box) {
  try {
    OpenTextBoxFile(this, word, edit, box, TextFileChooser());
  } catch (const std::exception &e) {
    Warn(QString::fromLocal8Bit(e.what()));
  }
}

bool TMailListsPage::SaveTextFile(const QString &word, QLineEdit *edit, QPlainTextEdit *box) {
  try {
    if (!SaveTextBoxFile(this, word, edit, box, TextFileChooser())) return false;
  } catch (const std::exception &e) {
    Warn(QString::fromLocal8Bit(e.what()));
    return false;
  }
  box->document()->setModified(false);
  return true;
}

TFileChooser TMailListsPage::TextFileChooser() {
  return [this](const QString &title, const QStringList &filters, int index, bool save) {
    const QString selected = filters.value(index - 1);
    return save ? ChooseSaveFile(title, filters.join(";;"), selected, "txt")
                : ChooseOpenFile(title, filters.join(";;"), selected);
  };
}

void TMailListsPage::btn_ListCancelClick() {
  FNewList = false;
  ClearListPanel();
  lb_MailLists->setEnabled(true);
  FListModified = false;
  SetListButtons(false);
  if (lb_MailLists->count() == 0) gb_ListInfo->hide();
  else lb_MailListsClick();
}

void TMailListsPage::RemoveList1Click() {
  QListWidgetItem *item = lb_MailLists->currentItem();
  if (!item || !item->isSelected()) return;
  const QString name = item->text();
  if (QMessageBox::question(this, kCaption,
                            "Are you sure you want to remove the following mail list?\r\n\r\n" + name,
                            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  RemoveMailList(FDataDir, A(name));
  ClearListPanel();
  emit ListRemoved(name);
  const int row = lb_MailLists->row(item);
  delete lb_MailLists->takeItem(row);
  if (lb_MailLists->count() > 0) lb_MailLists->setCurrentRow(std::max(0, row - 1));
  gb_MailLists->setTitle(QString("Mail Lists (%1)").arg(lb_MailLists->count()));
}

void TMailListsPage::lb_ListPrefsClick(int row) {
  if (row < 0 || row >= pnl_ListPages->count()) return;
  pnl_ListPages->setCurrentIndex(row);
  QWidget *const first[] = {edt_ListName, cb_SMTPServ, cb_POPServ, edt_Header,
                            edt_Sig,      edt_Footer,  cb_HTML,    cb_AutoMaint};
  first[row]->setFocus();
}

void TMailListsPage::edt_ListNameChange() {
  if (FLoading) return;
  FRecord = PanelToRecord();
  FListModified = true;
  SetListButtons(true);
}

void TMailListsPage::rb_AddToClick() {
  if (FLoading) return;
  edt_AddTo->setEnabled(rb_AddTo->isChecked());
  edt_AddSub->setEnabled(!rb_AddTo->isChecked());
  edt_ListNameChange();
}

void TMailListsPage::rb_RemoveToClick() {
  if (FLoading) return;
  edt_RemoveTo->setEnabled(rb_RemoveTo->isChecked());
  edt_RemoveSub->setEnabled(!rb_RemoveTo->isChecked());
  edt_ListNameChange();
}

// Choosing or typing a server fills its settings from the registry (the defaults while the
// text names no registered server). Loading a list's record does not: it keeps the list's own.
void TMailListsPage::cb_SMTPServChange(const QString &text) {
  if (FLoading) return;
  FillSmtpRow(text);
  edt_ListNameChange();
}

void TMailListsPage::FillSmtpRow(const QString &server) {
  const TSmtpServer fill = FillServerFromRegistry(FDataDir, A(server));
  edt_SMTPPort->setText(Q(fill.Port));
  (fill.SendMethod == 1 ? rb_SMTPSome : fill.SendMethod == 2 ? rb_SMTPAll : rb_SMTPOne)->setChecked(true);
  se_SMTPRCPT->setValue(fill.RcptTo);
  se_SMTPPace->setValue(fill.MessagesPerMinute);
  edt_SMTPUser->setText(Q(fill.Username));  // the password box is left as it is
}

void TMailListsPage::cb_POPServChange(const QString &text) {
  if (FLoading) return;
  const TPopServer fill = FillPopServerFromRegistry(FDataDir, A(text));
  edt_PopUser->setText(Q(fill.Username));
  edt_PopPass->setText(Q(fill.Password));
  edt_POPPort->setText(Q(fill.Port));
  cb_POPDelete->setChecked(fill.Delete);
  edt_ListNameChange();
}

// ---------------------------------------------------------------- the addresses

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

// ---------------------------------------------------------------- import and export

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
