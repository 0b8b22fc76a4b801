#pragma once
// Server Properties: edits one entry of the SMTP or the POP server registry. The caller
// chooses the page; the user cannot switch to the other.
#include "storage/ServerRegistry.h"

#include <QDialog>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

enum class TServerKind { skSMTP, skPOP };

class Tfrm_Servers : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_Servers(TServerKind kind, QWidget *parent = nullptr);

  TServerKind Kind() const { return kind_; }
  void SetSmtpServer(const TSmtpServer &server);
  TSmtpServer SmtpServer() const;
  void SetPopServer(const TPopServer &server);
  TPopServer PopServer() const;
  // For an entry that keeps its password in the keyring: asks the keyring for it and shows it;
  // Save waits for the answer. A password the keyring does not give stays where it is.
  void FetchPassword(const std::string &keyringKey);

  // Asked on Save with the trimmed name when it differs from the name the dialog was filled
  // with; true when that name is already registered, so the user is asked before it is
  // overwritten.
  std::function<bool(const std::string &)> IsRegistered;

  QWidget *tpnl_Servers;
  QPushButton *btn_Save;
  QPushButton *btn_Cancel;
  QLabel *ttl_Servers;
  QTabWidget *pc_Servers;
  QWidget *ts_SMTP;
  QWidget *ts_POP;
  QLineEdit *edt_SMTPServ;
  QLineEdit *edt_SMTPUser;
  QLineEdit *edt_SMTPPort;
  QGroupBox *rg_SMTPMethod;
  QButtonGroup *rg_SMTPMethodButtons;
  QRadioButton *rb_SMTPOne;
  QRadioButton *rb_SMTPSome;
  QRadioButton *rb_SMTPAll;
  QSpinBox *se_SMTPRCPT;
  QSpinBox *se_SMTPPace;
  QSpinBox *se_SMTPSessions, *se_SMTPSessionMessages;
  QSpinBox *se_SMTPRetry[kMaxRetryRounds];
  QComboBox *cmb_SMTPSecurity;
  QCheckBox *cb_SMTPLogin;
  QLineEdit *edt_SMTPPass;
  QCheckBox *cb_SMTPClearText;
  QLineEdit *edt_SMTPCert;
  QLineEdit *edt_POPServ;
  QLineEdit *edt_POPUser;
  QLineEdit *edt_POPPass;
  QLineEdit *edt_POPPort;
  QCheckBox *cb_POPDel;
  QComboBox *cmb_POPSecurity;
  QLineEdit *edt_POPCert;

public slots:
  void btn_SaveClick();

protected:
  void showEvent(QShowEvent *event) override;
  void changeEvent(QEvent *event) override;

private:
  QLineEdit *ServerBox() const;
  void PlaceRcptSpin();

  TServerKind kind_;
  std::string originalName_;
  bool passwordUnread_ = false;  // the keyring kept the password from us
};
