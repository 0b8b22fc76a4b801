#pragma once
// "Send to...": where the newsletter goes, a chosen list's checked addresses or typed
// addresses, asked for by Send Mail. The dialog takes plain inputs and reports the chosen
// list through ListChosen, so the main window keeps the current list in step.
#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;
struct TMailingJob;

struct TSendToInputs {
  std::string DataDir;                  // with a trailing "/"
  std::vector<std::string> Servers;     // the registered SMTP servers
  std::string DefaultServer;            // the first checked server of the General Properties
  std::vector<std::string> Lists;       // the names of all lists
  std::string CurrentList;              // the list chosen in the main window
  std::string From;                     // the current list's From, else the user's address
  std::string ReplyRecipient;           // the recipient of the last Reply, or ""
};

class Tfrm_SendTo : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_SendTo(const TSendToInputs &inputs, QWidget *parent = nullptr);

  // The dialog's answers.
  bool FromList() const;
  std::vector<std::string> CheckedEntries() const;  // in list order
  std::string TypedAddresses() const;
  std::string Server() const;
  std::string FromAddress() const;
  bool SendHTML() const;
  bool GenProps() const;
  bool BCC() const;
  bool FieldCodes() const;
  // Copies the answers into a run's job (the list and newsletter parts are the caller's).
  void FillJob(TMailingJob &job) const;

  QTabWidget *pc_SendTo;
  QWidget *ts_SendAddress, *ts_SendList;
  QComboBox *cb_Servers;
  QLineEdit *edt_From;
  QPlainTextEdit *mmo_Addresses;
  QCheckBox *cb_SendHTML, *cb_GenProps, *cb_BCC;
  QComboBox *cb_Lists;
  QListWidget *clb_Addresses;
  QPushButton *btn_Check;
  QCheckBox *cb_FieldCodes;
  QPushButton *btn_Send, *btn_Cancel;
  QAction *Escape1;

signals:
  // The user chose another list: it becomes the current list.
  void ListChosen(const QString &name);

public slots:
  void cb_ListsChange();
  void btn_CheckClick();

protected:
  void showEvent(QShowEvent *event) override;

private:
  std::string dataDir_;
};
