#include "ui/SendToDialog.h"

#include "lists/AddressRecord.h"
#include "lists/ListRecord.h"
#include "mail/MailingRun.h"
#include "storage/Ansi.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
template <class W>
W *Named(W *widget, const char *name, const char *hint = nullptr) {
  widget->setObjectName(name);
  if (hint) widget->setToolTip(hint);
  return widget;
}

QWidget *Labelled(const char *caption, QWidget *field) {
  auto *row = new QWidget;
  auto *layout = new QVBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  auto *label = new QLabel(caption);
  label->setBuddy(field);
  layout->addWidget(label);
  layout->addWidget(field);
  return row;
}
}  // namespace

Tfrm_SendTo::Tfrm_SendTo(const TSendToInputs &inputs, QWidget *parent)
    : QDialog(parent, Qt::Tool), dataDir_(inputs.DataDir) {
  setObjectName("frm_SendTo");
  setWindowTitle("Send to...");

  // Title bar panel with the two buttons.
  auto *title = Named(new QFrame, "ttl_SendTo");
  auto *titleLayout = new QHBoxLayout(title);
  titleLayout->addStretch();
  btn_Send = Named(new QPushButton("&Send"), "btn_Send", "Send mail");
  btn_Cancel = Named(new QPushButton("&Cancel"), "btn_Cancel", "Cancel sending mail");
  btn_Send->setDefault(true);
  titleLayout->addWidget(btn_Send);
  titleLayout->addWidget(btn_Cancel);

  // Send to Address.
  ts_SendAddress = Named(new QWidget, "ts_SendAddress");
  cb_Servers = Named(new QComboBox, "cb_Servers", "Choose or type a SMTP server");
  cb_Servers->setEditable(true);
  cb_Servers->setInsertPolicy(QComboBox::InsertAlphabetically);
  edt_From = Named(new QLineEdit, "edt_From", "From address");
  mmo_Addresses = Named(new QPlainTextEdit, "mmo_Addresses", "Separate addresses with a comma");
  cb_SendHTML = Named(new QCheckBox("Send as HTML"), "cb_SendHTML");
  cb_GenProps = Named(new QCheckBox("Use General Properties"), "cb_GenProps", "Override mail list preferences");
  cb_BCC = Named(new QCheckBox("Send as BCC (Blind Carbon Copy)"), "cb_BCC", "Send without the To header");
  auto *addressLayout = new QVBoxLayout(ts_SendAddress);
  addressLayout->addWidget(Labelled("SMTP server:", cb_Servers));
  addressLayout->addWidget(Labelled("From:", edt_From));
  addressLayout->addWidget(Labelled("Addresses:", mmo_Addresses), 1);
  addressLayout->addWidget(cb_SendHTML);
  addressLayout->addWidget(cb_GenProps);
  addressLayout->addWidget(cb_BCC);

  // Send to List.
  ts_SendList = Named(new QWidget, "ts_SendList");
  cb_Lists = Named(new QComboBox, "cb_Lists", "Choose a mail list");
  clb_Addresses = Named(new QListWidget, "clb_Addresses", "Checked addresses receive mail");
  btn_Check = Named(new QPushButton("Check"), "btn_Check", "Toggle checked addresses");
  auto *listLayout = new QVBoxLayout(ts_SendList);
  listLayout->addWidget(Labelled("Mail list:", cb_Lists));
  listLayout->addWidget(clb_Addresses, 1);
  listLayout->addWidget(btn_Check, 0, Qt::AlignLeft);

  pc_SendTo = Named(new QTabWidget, "pc_SendTo");
  pc_SendTo->addTab(ts_SendAddress, "Send to Address");
  pc_SendTo->addTab(ts_SendList, "    Send to List    ");
  cb_FieldCodes = Named(new QCheckBox("Message contains Field Codes"), "cb_FieldCodes",
                        "Message contains Field Codes (must check if using Field Codes in mail)");

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(title);
  layout->addWidget(pc_SendTo, 1);
  layout->addWidget(cb_FieldCodes);

  Escape1 = Named(new QAction("Escape", this), "Escape1");
  Escape1->setShortcut(Qt::Key_Escape);
  addAction(Escape1);

  connect(btn_Send, &QPushButton::clicked, this, &QDialog::accept);
  connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(Escape1, &QAction::triggered, this, &QDialog::reject);
  connect(btn_Check, &QPushButton::clicked, this, &Tfrm_SendTo::btn_CheckClick);

  // Servers, sorted, the default one chosen.
  QStringList servers;
  for (const std::string &name : inputs.Servers) servers << AnsiToQString(name);
  servers.sort(Qt::CaseInsensitive);
  cb_Servers->addItems(servers);
  const int server = cb_Servers->findText(AnsiToQString(inputs.DefaultServer));
  cb_Servers->setCurrentIndex(server);
  if (server < 0) cb_Servers->setEditText(AnsiToQString(inputs.DefaultServer));

  // Lists, sorted; the current one chosen and its addresses loaded.
  QStringList lists;
  for (const std::string &name : inputs.Lists) lists << AnsiToQString(name);
  lists.sort(Qt::CaseInsensitive);
  cb_Lists->addItems(lists);
  cb_Lists->setCurrentIndex(cb_Lists->findText(AnsiToQString(inputs.CurrentList)));
  cb_ListsChange();
  connect(cb_Lists, &QComboBox::activated, this, [this] {
    emit ListChosen(cb_Lists->currentText());
    cb_ListsChange();
  });

  edt_From->setText(AnsiToQString(inputs.From));
  mmo_Addresses->setPlainText(AnsiToQString(inputs.ReplyRecipient));
  resize(420, 460);
}

void Tfrm_SendTo::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  mmo_Addresses->setFocus();
}

void Tfrm_SendTo::cb_ListsChange() {
  clb_Addresses->clear();
  const std::string name = QStringToAnsi(cb_Lists->currentText());
  // No list chosen means the pseudo-list, whose folder is the data directory.
  const std::string folder = name.empty() ? dataDir_ : LoadListRecord(dataDir_, name).Path;
  // Sorted without regard to case, as the address list shows them.
  for (const std::string &entry : LoadAddressEntries(folder)) {
    auto *item = new QListWidgetItem(AnsiToQString(entry), clb_Addresses);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
}

void Tfrm_SendTo::btn_CheckClick() {
  for (int i = 0; i < clb_Addresses->count(); ++i) {
    QListWidgetItem *item = clb_Addresses->item(i);
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    // A long book must not freeze the window.
    if (i % 256 == 255) QCoreApplication::processEvents();
  }
}

bool Tfrm_SendTo::FromList() const { return pc_SendTo->currentWidget() == ts_SendList; }

std::vector<std::string> Tfrm_SendTo::CheckedEntries() const {
  std::vector<std::string> entries;
  for (int i = 0; i < clb_Addresses->count(); ++i)
    if (clb_Addresses->item(i)->checkState() == Qt::Checked)
      entries.push_back(QStringToAnsi(clb_Addresses->item(i)->text()));
  return entries;
}

std::string Tfrm_SendTo::TypedAddresses() const { return QStringToAnsi(mmo_Addresses->toPlainText()); }
std::string Tfrm_SendTo::Server() const { return QStringToAnsi(cb_Servers->currentText()); }
std::string Tfrm_SendTo::FromAddress() const { return QStringToAnsi(edt_From->text()); }
bool Tfrm_SendTo::SendHTML() const { return cb_SendHTML->isChecked(); }
bool Tfrm_SendTo::GenProps() const { return cb_GenProps->isChecked(); }
bool Tfrm_SendTo::BCC() const { return cb_BCC->isChecked(); }
bool Tfrm_SendTo::FieldCodes() const { return cb_FieldCodes->isChecked(); }

void Tfrm_SendTo::FillJob(TMailingJob &job) const {
  job.FromList = FromList();
  job.CheckedEntries = CheckedEntries();
  job.TypedAddresses = TypedAddresses();
  job.FieldCodes = FieldCodes();
  job.Server = Server();
  job.DialogFrom = FromAddress();
  job.BCC = BCC();
  job.GenProps = GenProps();
}
