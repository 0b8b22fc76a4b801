#include "ui/ServersDialog.h"

#include "ui/PaceBox.h"
#include "ui/SecurityBox.h"

#include "storage/Ansi.h"
#include "storage/Keyring.h"
#include "storage/Strings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace {
QLineEdit *NamedEdit(const char *name, QWidget *parent) {
  auto *edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

QLineEdit *CertificateEdit(const char *name, QWidget *parent) {
  QLineEdit *edit = NamedEdit(name, parent);
  edit->setPlaceholderText("SHA-256 fingerprint, only for a certificate that was refused");
  edit->setToolTip("A certificate the checks refused is accepted when its fingerprint is entered here");
  return edit;
}
}  // namespace

Tfrm_Servers::Tfrm_Servers(TServerKind kind, QWidget *parent) : QDialog(parent), kind_(kind) {
  setObjectName("frm_Servers");
  setWindowTitle("Server Properties");

  tpnl_Servers = new QWidget(this);
  tpnl_Servers->setObjectName("tpnl_Servers");
  btn_Save = new QPushButton("&Save", tpnl_Servers);
  btn_Save->setObjectName("btn_Save");
  btn_Save->setToolTip("Save server");
  btn_Cancel = new QPushButton("&Cancel", tpnl_Servers);
  btn_Cancel->setObjectName("btn_Cancel");
  btn_Cancel->setToolTip("Cancel changes");
  ttl_Servers = new QLabel("Server Properties", tpnl_Servers);
  ttl_Servers->setObjectName("ttl_Servers");
  ttl_Servers->setAutoFillBackground(true);
  auto *top = new QHBoxLayout(tpnl_Servers);
  top->setContentsMargins(2, 2, 2, 2);
  top->addWidget(btn_Save);
  top->addWidget(btn_Cancel);
  top->addWidget(ttl_Servers, 1);

  pc_Servers = new QTabWidget(this);
  pc_Servers->setObjectName("pc_Servers");

  ts_SMTP = new QWidget;
  ts_SMTP->setObjectName("ts_SMTP");
  edt_SMTPServ = NamedEdit("edt_SMTPServ", ts_SMTP);
  edt_SMTPUser = NamedEdit("edt_SMTPUser", ts_SMTP);
  edt_SMTPPort = NamedEdit("edt_SMTPPort", ts_SMTP);
  edt_SMTPPort->setText("smtp");
  rg_SMTPMethod = new QGroupBox("Send to addresses...", ts_SMTP);
  rg_SMTPMethod->setObjectName("rg_SMTPMethod");
  rb_SMTPOne = new QRadioButton("One at a time", rg_SMTPMethod);
  rb_SMTPSome = new QRadioButton("at a time", rg_SMTPMethod);
  rb_SMTPAll = new QRadioButton("All at once", rg_SMTPMethod);
  rb_SMTPOne->setChecked(true);
  rg_SMTPMethodButtons = new QButtonGroup(this);
  rg_SMTPMethodButtons->addButton(rb_SMTPOne, 0);
  rg_SMTPMethodButtons->addButton(rb_SMTPSome, 1);
  rg_SMTPMethodButtons->addButton(rb_SMTPAll, 2);
  // The spin box stands in the blank before "at a time", on the radio button itself.
  se_SMTPRCPT = new QSpinBox(rb_SMTPSome);
  se_SMTPRCPT->setObjectName("se_SMTPRCPT");
  se_SMTPRCPT->setRange(1, 1000);
  connect(se_SMTPRCPT, &QSpinBox::valueChanged, rb_SMTPSome, [this] { rb_SMTPSome->setChecked(true); });
  auto *methods = new QVBoxLayout(rg_SMTPMethod);
  methods->addWidget(rb_SMTPOne);
  methods->addWidget(rb_SMTPSome);
  methods->addWidget(rb_SMTPAll);
  cmb_SMTPSecurity = SecurityBox("cmb_SMTPSecurity", true, edt_SMTPPort, ts_SMTP);
  cb_SMTPLogin = new QCheckBox("Log in with the username and a password", ts_SMTP);
  cb_SMTPLogin->setObjectName("cb_SMTPLogin");
  edt_SMTPPass = NamedEdit("edt_SMTPPass", ts_SMTP);
  edt_SMTPPass->setEchoMode(QLineEdit::Password);
  cb_SMTPClearText = new QCheckBox("Allow the password without a secure connection", ts_SMTP);
  cb_SMTPClearText->setObjectName("cb_SMTPClearText");
  edt_SMTPCert = CertificateEdit("edt_SMTPCert", ts_SMTP);
  const auto loginChanged = [this](bool on) {
    edt_SMTPPass->setEnabled(on);
    cb_SMTPClearText->setEnabled(on);
  };
  connect(cb_SMTPLogin, &QCheckBox::toggled, this, loginChanged);
  loginChanged(false);
  auto *smtpForm = new QFormLayout(ts_SMTP);
  smtpForm->addRow("Server:", edt_SMTPServ);
  smtpForm->addRow("Username:", edt_SMTPUser);
  smtpForm->addRow("Port:", edt_SMTPPort);
  smtpForm->addRow("Security:", cmb_SMTPSecurity);
  smtpForm->addRow(cb_SMTPLogin);
  smtpForm->addRow("Password:", edt_SMTPPass);
  smtpForm->addRow(cb_SMTPClearText);
  smtpForm->addRow("Certificate:", edt_SMTPCert);
  smtpForm->addRow(rg_SMTPMethod);
  se_SMTPPace = PaceBox("se_SMTPPace", ts_SMTP);
  smtpForm->addRow("At most:", se_SMTPPace);
  se_SMTPSessions = new QSpinBox(ts_SMTP);
  se_SMTPSessions->setObjectName("se_SMTPSessions");
  se_SMTPSessions->setRange(1, kMaxSmtpSessions);
  se_SMTPSessions->setSuffix(" at once");
  smtpForm->addRow("Sessions:", se_SMTPSessions);
  se_SMTPSessionMessages = new QSpinBox(ts_SMTP);
  se_SMTPSessionMessages->setObjectName("se_SMTPSessionMessages");
  se_SMTPSessionMessages->setRange(1, 1000);
  se_SMTPSessionMessages->setSuffix(" messages");
  smtpForm->addRow("Per session:", se_SMTPSessionMessages);
  // Recipients the server put off (4xx) are tried again after these pauses.
  auto *retryRow = new QHBoxLayout;
  for (int i = 0; i < kMaxRetryRounds; ++i) {
    auto *box = new QSpinBox(ts_SMTP);
    box->setObjectName(QString("se_SMTPRetry%1").arg(i + 1));
    box->setRange(0, kMaxRetryPause);
    box->setSuffix(" s");
    box->setSpecialValueText("No retry");
    box->setToolTip("Pause before trying deferred recipients again; a round after \"No retry\" does not happen");
    retryRow->addWidget(box);
    se_SMTPRetry[i] = box;
  }
  smtpForm->addRow("Retry deferred after:", retryRow);
  // A new entry starts from the defaults an entry without these keys reads as.
  const TSmtpServer defaults;
  se_SMTPSessions->setValue(defaults.Sessions);
  se_SMTPSessionMessages->setValue(defaults.SessionMessages);
  for (int i = 0; i < kMaxRetryRounds; ++i) se_SMTPRetry[i]->setValue(defaults.RetryPauses[i]);

  ts_POP = new QWidget;
  ts_POP->setObjectName("ts_POP");
  edt_POPServ = NamedEdit("edt_POPServ", ts_POP);
  edt_POPUser = NamedEdit("edt_POPUser", ts_POP);
  edt_POPPass = NamedEdit("edt_POPPass", ts_POP);
  edt_POPPass->setEchoMode(QLineEdit::Password);
  edt_POPPort = NamedEdit("edt_POPPort", ts_POP);
  edt_POPPort->setText("pop3");
  cb_POPDel = new QCheckBox("Delete mail from server after reading", ts_POP);
  cb_POPDel->setObjectName("cb_POPDel");
  auto *popForm = new QFormLayout(ts_POP);
  popForm->addRow("Server:", edt_POPServ);
  popForm->addRow("Username:", edt_POPUser);
  popForm->addRow("Password:", edt_POPPass);
  cmb_POPSecurity = SecurityBox("cmb_POPSecurity", false, edt_POPPort, ts_POP);
  edt_POPCert = CertificateEdit("edt_POPCert", ts_POP);
  popForm->addRow("Port:", edt_POPPort);
  popForm->addRow("Security:", cmb_POPSecurity);
  popForm->addRow("Certificate:", edt_POPCert);
  popForm->addRow(cb_POPDel);

  pc_Servers->addTab(ts_SMTP, "SMTP");
  pc_Servers->addTab(ts_POP, "POP");
  const bool smtp = kind == TServerKind::skSMTP;
  pc_Servers->setCurrentWidget(smtp ? ts_SMTP : ts_POP);
  pc_Servers->setTabVisible(smtp ? 1 : 0, false);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tpnl_Servers);
  layout->addWidget(pc_Servers);

  connect(btn_Save, &QPushButton::clicked, this, &Tfrm_Servers::btn_SaveClick);
  connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
  PlaceRcptSpin();
}

void Tfrm_Servers::PlaceRcptSpin() {
  // As many blanks as the spin box is wide, after the radio indicator.
  const int spaceWidth = std::max(1, rb_SMTPSome->fontMetrics().horizontalAdvance(' '));
  const QSize spin = se_SMTPRCPT->sizeHint();
  const int blanks = static_cast<int>(std::ceil((spin.width() + 6.0) / spaceWidth));
  rb_SMTPSome->setText(QString(blanks, ' ') + "at a time");
  const int x = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, rb_SMTPSome) +
                style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, rb_SMTPSome) + 2;
  rb_SMTPSome->setMinimumHeight(spin.height());
  se_SMTPRCPT->setGeometry(x, 0, spin.width(), spin.height());
}

void Tfrm_Servers::changeEvent(QEvent *event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::FontChange) PlaceRcptSpin();
}

QLineEdit *Tfrm_Servers::ServerBox() const { return kind_ == TServerKind::skSMTP ? edt_SMTPServ : edt_POPServ; }

void Tfrm_Servers::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  PlaceRcptSpin();
  ServerBox()->setFocus();
}

void Tfrm_Servers::SetSmtpServer(const TSmtpServer &s) {
  originalName_ = s.Name;
  edt_SMTPServ->setText(AnsiToQString(s.Name));
  edt_SMTPUser->setText(AnsiToQString(s.Username));
  {
    const QSignalBlocker keepPort(cmb_SMTPSecurity);  // the stored port stays as stored
    cmb_SMTPSecurity->setCurrentIndex(std::clamp(s.Security, 0, 2));
  }
  edt_SMTPPort->setText(AnsiToQString(s.Port));
  cb_SMTPLogin->setChecked(s.Login);
  edt_SMTPPass->setText(AnsiToQString(s.Password));
  cb_SMTPClearText->setChecked(s.ClearText);
  edt_SMTPCert->setText(AnsiToQString(s.Certificate));
  se_SMTPRCPT->setValue(s.RcptTo);
  se_SMTPPace->setValue(s.MessagesPerMinute);
  se_SMTPSessions->setValue(s.Sessions);
  se_SMTPSessionMessages->setValue(s.SessionMessages);
  for (int i = 0; i < kMaxRetryRounds; ++i)
    se_SMTPRetry[i]->setValue(i < static_cast<int>(s.RetryPauses.size()) ? s.RetryPauses[i] : 0);
  // An unknown method leaves no item chosen, as the registry says nothing usable.
  if (QAbstractButton *b = rg_SMTPMethodButtons->button(s.SendMethod)) {
    b->setChecked(true);
  } else {
    rg_SMTPMethodButtons->setExclusive(false);
    for (QAbstractButton *button : rg_SMTPMethodButtons->buttons()) button->setChecked(false);
    rg_SMTPMethodButtons->setExclusive(true);
  }
}

TSmtpServer Tfrm_Servers::SmtpServer() const {
  TSmtpServer s;
  s.Name = Trim(QStringToAnsi(edt_SMTPServ->text()));
  s.Username = QStringToAnsi(edt_SMTPUser->text());
  s.Port = Trim(QStringToAnsi(edt_SMTPPort->text()));
  s.SendMethod = std::max(0, rg_SMTPMethodButtons->checkedId());
  s.RcptTo = se_SMTPRCPT->value();
  s.MessagesPerMinute = se_SMTPPace->value();
  s.Sessions = se_SMTPSessions->value();
  s.SessionMessages = se_SMTPSessionMessages->value();
  s.RetryPauses.clear();
  for (const QSpinBox *box : se_SMTPRetry) {
    if (box->value() == 0) break;
    s.RetryPauses.push_back(box->value());
  }
  s.Security = cmb_SMTPSecurity->currentIndex();
  s.Login = cb_SMTPLogin->isChecked();
  s.Password = s.Login ? QStringToAnsi(edt_SMTPPass->text()) : std::string();
  s.ClearText = s.Login && cb_SMTPClearText->isChecked();
  s.Certificate = Trim(QStringToAnsi(edt_SMTPCert->text()));
  s.PasswordInKeyring = passwordUnread_ && s.Login && s.Password.empty();
  return s;
}

void Tfrm_Servers::SetPopServer(const TPopServer &s) {
  originalName_ = s.Name;
  edt_POPServ->setText(AnsiToQString(s.Name));
  edt_POPUser->setText(AnsiToQString(s.Username));
  edt_POPPass->setText(AnsiToQString(s.Password));
  {
    const QSignalBlocker keepPort(cmb_POPSecurity);
    cmb_POPSecurity->setCurrentIndex(std::clamp(s.Security, 0, 2));
  }
  edt_POPPort->setText(AnsiToQString(s.Port));
  edt_POPCert->setText(AnsiToQString(s.Certificate));
  cb_POPDel->setChecked(s.Delete);
}

TPopServer Tfrm_Servers::PopServer() const {
  TPopServer s;
  s.Name = Trim(QStringToAnsi(edt_POPServ->text()));
  s.Username = QStringToAnsi(edt_POPUser->text());
  s.Password = QStringToAnsi(edt_POPPass->text());
  s.Port = Trim(QStringToAnsi(edt_POPPort->text()));
  s.Delete = cb_POPDel->isChecked();
  s.Security = cmb_POPSecurity->currentIndex();
  s.Certificate = Trim(QStringToAnsi(edt_POPCert->text()));
  s.PasswordInKeyring = passwordUnread_ && s.Password.empty();
  return s;
}

void Tfrm_Servers::FetchPassword(const std::string &keyringKey) {
  QLineEdit *box = kind_ == TServerKind::skSMTP ? edt_SMTPPass : edt_POPPass;
  btn_Save->setEnabled(false);
  box->setPlaceholderText("Reading the keyring...");
  const QPointer<Tfrm_Servers> self(this);
  KeyringFetch(keyringKey, [self, box](bool ok, const std::string &secret) {
    if (!self) return;
    self->btn_Save->setEnabled(true);
    self->passwordUnread_ = !ok;
    box->setPlaceholderText(ok ? QString() : "Kept in the keyring, which did not give it now");
    if (ok) box->setText(AnsiToQString(secret));
  });
}

void Tfrm_Servers::btn_SaveClick() {
  const bool smtp = kind_ == TServerKind::skSMTP;
  const std::string name = smtp ? SmtpServer().Name : PopServer().Name;
  // A section name cannot be empty or hold brackets, nor a line break.
  if (name.empty() || name.find_first_of("[]\r\n") != std::string::npos) {
    QMessageBox::warning(this, "Server Properties", "Please enter the server's host name.");
    ServerBox()->setFocus();
    return;
  }
  if (!SameText(name, originalName_) && IsRegistered && IsRegistered(name)) {
    const QString question = QString("The %1 server %2 is already registered.\nDo you want to replace its settings?")
                                 .arg(smtp ? "SMTP" : "POP", AnsiToQString(name));
    if (QMessageBox::question(this, "Server Properties", question, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes) {
      ServerBox()->setFocus();
      return;
    }
  }
  accept();
}
