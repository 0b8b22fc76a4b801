#include "ui/MailListsPage.h"
#include "ui/MailListsPageHelpers.h"
#include "ui/PaceBox.h"
#include "ui/SecurityBox.h"

#include "lists/AddressRecord.h"
#include "lists/ListFolder.h"
#include "storage/ServerRegistry.h"
#include "storage/TextFile.h"
#include "ui/StatusBar1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

using namespace maillists;

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
  cmb_SMTPSecurity = SecurityBox("cmb_ListSMTPSecurity", true, edt_SMTPPort);
  smtpForm->addRow("Security:", cmb_SMTPSecurity);
  cb_SMTPLogin = Named(new QCheckBox("Log in with user name and password"), "cb_ListSMTPLogin");
  smtpForm->addRow(cb_SMTPLogin);
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
  cmb_POPSecurity = SecurityBox("cmb_ListPOPSecurity", false, edt_POPPort);
  popForm->addRow("Security:", cmb_POPSecurity);
  edt_POPPort->setText("pop3");
  cb_POPDelete = Named(new QCheckBox("Delete mail from server after reading"), "cb_POPDelete");
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
  for (QComboBox *c : {cmb_SMTPSecurity, cmb_POPSecurity})
    connect(c, &QComboBox::currentIndexChanged, this, &TMailListsPage::edt_ListNameChange);
  for (QCheckBox *c : {cb_SMTPLogin, cb_POPDelete, cb_Header, cb_Footer, cb_Sig, cb_HTML, cb_AutoMaint})
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
