#pragma once
#include "lists/ListRecord.h"
#include "ui/InsertCommands.h"

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class TStatusBar1;

// The Mail Lists page of the main window (tab sheet ts_MailLists): the lists, the list
// panel that shows the current list, the address list and the address panel.
class TMailListsPage : public QWidget {
  Q_OBJECT
public:
  explicit TMailListsPage(QWidget *parent = nullptr);

  // Called once by the main window: the data directory (with '/') and the status bar.
  void Start(const std::string &dataDir, TStatusBar1 *status);

  // The current list: the record shown on the list panel, kept in step with every change.
  const TListRecord &CurrentList() const { return FRecord; }
  const std::string &CurrentListName() const { return FCurrentName; }
  const std::string &CurrentListPath() const { return FRecord.Path; }
  const std::vector<std::string> &AddressEntries() const { return FEntries; }
  std::string PopPort() const;

  // The name of the default POP server, which a new list starts with ("" for none).
  std::function<std::string()> DefaultPopServer;

  // Fills the server choices of the list panel from the SMTP and POP server registries;
  // called at start and whenever the registries change.
  void FillServerChoices();
  // The default SMTP server of the general settings, which a new list starts with.
  std::function<std::string()> DefaultSmtpServer;

  // Controls, named as everywhere in the program.
  QGroupBox *gb_MailLists, *gb_Addresses, *gb_ListInfo, *gb_AddressInfo;
  QListWidget *lb_MailLists, *lb_Addresses, *lb_ListPrefs;
  QStackedWidget *pnl_Panels, *pnl_ListPages;
  QPushButton *btn_ListAdd, *btn_ListDelete, *btn_ListSave, *btn_ListCancel;
  QPushButton *btn_AddressAdd, *btn_AddressDelete, *btn_AddressSave, *btn_AddressCancel;
  QLineEdit *edt_ListName, *edt_ListAddress, *edt_ListFrom, *edt_ListFromName, *edt_ListReply;
  QPlainTextEdit *mmo_ListComments;
  QComboBox *cb_SMTPServ, *cb_POPServ;
  QLineEdit *edt_SMTPUser, *edt_SMTPPass, *edt_SMTPPort, *edt_PopUser, *edt_PopPass, *edt_POPPort;
  QRadioButton *rb_SMTPOne, *rb_SMTPSome, *rb_SMTPAll;
  QSpinBox *se_SMTPRCPT, *se_SMTPPace;
  QComboBox *cmb_SMTPSecurity, *cmb_POPSecurity;  // 0 none, 1 STARTTLS, 2 SSL/TLS
  QCheckBox *cb_SMTPLogin;
  QCheckBox *cb_POPDelete, *cb_Header, *cb_Footer, *cb_Sig, *cb_HTML, *cb_AutoMaint;
  QLineEdit *edt_Header, *edt_Footer, *edt_Sig;
  QPlainTextEdit *mmo_Header, *mmo_Footer, *mmo_Sig;
  QRadioButton *rb_AddTo, *rb_AddSub, *rb_RemoveTo, *rb_RemoveSub;
  QLineEdit *edt_AddTo, *edt_AddSub, *edt_RemoveTo, *edt_RemoveSub;
  QLineEdit *edt_Name, *edt_Address1, *edt_Address2, *edt_Email, *edt_Phone, *edt_Custom1, *edt_Custom2,
      *edt_Custom3;
  QPlainTextEdit *mmo_Comments;

signals:
  // For the mail tree and the Newsletter page's list choice.
  void ListAdded(const QString &name);
  void ListRenamed(const QString &oldName, const QString &newName);
  void ListRemoved(const QString &name);
  void CurrentListChanged(const QString &name);

public slots:
  // Menu File, Mail Lists and the main tool bar on this page.
  void NewList1Click();
  void RemoveList1Click();
  void ExportMailList1Click();
  void ImportMailList1Click();
  void ImportLegacyList();
  // Saves the list panel as the Save button does; false when nothing was saved.
  bool SaveListPanel();
  // Before a send: with unsaved changes on the list panel, asks whether to save them first.
  // Yes saves, No shows the saved list again; false when the user cancels or the save failed.
  bool SettleUnsavedList();
  // File > Mail Lists > Open List: selects the named list and shows it.
  void OpenList(const QString &name);
  // Makes a list current (the empty name means the pseudo-list).
  void LoadListRecord(const QString &name);
  // Shows the selected list as a click on it would (also on switching to this page).
  void lb_MailListsClick();

protected:
  // File dialogs; a test replaces them. An empty result means Cancel.
  virtual QString ChooseOpenFile(const QString &title, const QString &filters, const QString &selectedFilter);
  virtual QString ChooseSaveFile(const QString &title, const QString &filters, const QString &selectedFilter,
                                 const QString &defaultSuffix);

private:
  void CreateControls();
  QWidget *CreateListPanel();
  QWidget *CreateAddressPanel();
  void ConnectChanges();

  void LoadMailLists();
  void ClearListPanel();
  void RecordToPanel();
  // The saved list's passwords go to the keyring when one runs; else the user is told once.
  void KeepPasswordsSafe(const std::string &name);
  TListRecord PanelToRecord() const;
  void LoadTextBox(const std::string &file, QPlainTextEdit *box);
  void SetListButtons(bool enabled);
  void ShowPanel(QWidget *panel);
  void SelectList(const std::string &name);

  void OpenTextFile(const QString &word, QLineEdit *edit, QPlainTextEdit *box);
  bool SaveTextFile(const QString &word, QLineEdit *edit, QPlainTextEdit *box);
  TFileChooser TextFileChooser();
  void btn_ListCancelClick();
  void lb_ListPrefsClick(int row);
  void edt_ListNameChange();
  void rb_AddToClick();
  void rb_RemoveToClick();
  void cb_SMTPServChange(const QString &text);
  // The SMTP row's port, method and user name from the registry entry of `server`.
  void FillSmtpRow(const QString &server);
  void cb_POPServChange(const QString &text);

  void LoadAddresses();
  void ShowAddressEntry(const std::string &entry);
  void ClearAddressPanel();
  void SetAddressButtons(bool enabled);
  void SetAddressCaption();
  void InsertEntry(const std::string &entry);
  void lb_AddressesClick();
  void btn_AddressAddClick();
  void btn_AddressSaveClick();
  void btn_AddressCancelClick();
  void btn_AddressDeleteClick();
  void edt_NameChange();

  void SetStatus(const std::string &text, bool repaint = false);
  // Lets the window handle its events during long loops, at most every few milliseconds.
  void KeepResponsive();
  void Warn(const QString &text);

  std::string FDataDir;
  TStatusBar1 *FStatus = nullptr;
  TListRecord FRecord;
  std::string FCurrentName = kPseudoListName;
  std::vector<std::string> FEntries;  // the address list's entries, sorted as shown
  bool FNewList = false, FListModified = false;
  bool FNewAddress = false, FAddressModified = false;
  bool FLoading = false;  // filling controls from the model: no change events
  qint64 FLastEvents = 0;
};
