#pragma once
// General Properties: edits the general settings, the server registries with one default
// each, the bounce subjects and the per-list filter addresses. Created once at start-up and
// kept hidden; Execute() shows it for Options > General Properties...
#include "storage/GeneralSettings.h"

#include "ui/ColorSwatch.h"
#include "ui/FontLabel.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

class Tfrm_GenProps : public QDialog {
  Q_OBJECT
public:
  // Reads the registries and the settings into the controls and `settings`, and applies
  // the display settings to the dialog and to its parent window (the main window).
  Tfrm_GenProps(const std::string &dataDir, TGeneralSettings *settings, QWidget *mainWindow = nullptr);

  // Options > General Properties...: shows the dialog modally. Save writes the settings and
  // applies them to the main window and the dialog; Cancel reads them back. True on Save.
  bool Execute();

  // The mailing lists offered for filters (the catalogue's names); the first is chosen.
  void SetMailLists(const std::vector<std::string> &names);

  // Reads "Brevant 20.ini" and "IAR Subjects.dat" into the settings and every control.
  void ReadGeneralSettings();
  // Stores the controls into the settings and writes them.
  void WriteGeneralSettings();

  // The registered servers in list order, and the default ones ("" when none is checked).
  std::vector<std::string> SmtpServers() const;
  std::vector<std::string> PopServers() const;
  std::string DefaultSmtpServer() const;
  std::string DefaultPopServer() const;
  // The default POP server's password, kept for use by the pseudo-list Brevant.
  const std::string &DefaultPopPassword() const { return defaultPopPassword_; }

  // Title panel
  QWidget *tpnl_GenProps;
  QPushButton *btn_Save;
  QPushButton *btn_Cancel;
  QLabel *ttl_Gen;
  QTabWidget *pc_GenProps;
  // Personal
  QLineEdit *edt_Name, *edt_Email, *edt_Reply, *edt_Address1, *edt_Address2, *edt_Org, *edt_Phone1, *edt_Phone2,
      *edt_Title, *edt_Web, *edt_Photo;
  QPlainTextEdit *mmo_Notes;
  // General
  QTabWidget *pc_HSF;
  QLineEdit *edt_Header, *edt_Sig, *edt_Footer;
  QCheckBox *cb_Header, *cb_Sig, *cb_Footer;
  QPlainTextEdit *mmo_Header, *mmo_Sig, *mmo_Footer;
  QPushButton *btn_HeaderOpen, *btn_HeaderSave, *btn_SigOpen, *btn_SigSave, *btn_OpenFooter, *btn_SaveFooter;
  QCheckBox *cb_Hints, *cb_HTMLDigest, *cb_HideHTMLBar;
  // Display
  TFontLabel *lbl_PageFont, *lbl_ToolFont, *lbl_TitleFont;
  QPushButton *btn_PageFontColor, *btn_ToolFontColor, *btn_TitleFontColor;
  QComboBox *cb_TabPosition, *cb_ToolAlign;
  TColorSwatch *pnl_ToolColor, *pnl_GenColor, *pnl_TitleColor;
  // SMTP
  QGroupBox *gb_SMTPServ;
  QListWidget *clb_SMTPServ;
  QPushButton *btn_SMTPAdd, *btn_SMTPDelete, *btn_SMTPEdit;
  QLineEdit *edt_DefSMTPServ, *edt_DefSMTPUser, *edt_DefSMTPPort, *edt_DefSMTPSend;
  // POP
  QGroupBox *gb_POPServ;
  QListWidget *clb_POPServ;
  QPushButton *btn_POPAdd, *btn_POPDelete, *btn_POPEdit;
  QLineEdit *edt_DefPOPServ, *edt_DefPOPPort, *edt_DefPOPUser, *edt_DefPOPOptions;
  QListWidget *lb_IARSub;
  QPushButton *btn_AddIARSub, *btn_EditIARSub, *btn_DelIARSub;
  QCheckBox *cb_IARSub;
  QComboBox *cb_FilterList;
  QListWidget *lb_Filters;
  QPushButton *btn_AddFilter, *btn_EditFilter, *btn_DeleteFilter;

signals:
  // A server was added, renamed or deleted: the main window's server choices need the list.
  void ServersChanged();

public slots:
  void btn_SMTPAddClick();
  void btn_POPAddClick();
  void btn_SMTPEditClick();
  void btn_POPEditClick();
  void btn_SMTPDeleteClick();
  void btn_POPDeleteClick();
  void btn_AddIARSubClick();
  void btn_EditIARSubClick();
  void btn_DelIARSubClick();
  void cb_FilterListChange();
  void btn_AddFilterClick();
  void btn_EditFilterClick();
  void btn_DeleteFilterClick();

private:
  void BuildPersonalPage();
  void BuildGeneralPage();
  void BuildDisplayPage();
  void BuildSmtpPage();
  void BuildPopPage();
  void LoadControls();
  void StoreControls();
  void ApplyToWindows();
  void FillServerList(QListWidget *list, const std::vector<std::string> &names, int checkedPosition);
  void ServerClickCheck(QListWidget *list, QListWidgetItem *item, bool smtp);
  void ShowDefault(bool smtp, const std::string &name);
  void AddServer(bool smtp);
  void EditServer(bool smtp);
  void DeleteServer(bool smtp);
  void KeepPasswordSafe(bool smtp, const std::string &name);
  void UpdateServerCaption(bool smtp);
  void KeepStoredDefault(bool smtp, const std::vector<std::string> &before, const std::string &renamedFrom = "",
                         const std::string &renamedTo = "");
  void SyncDefaultPositions();
  void ChooseColor(TColorSwatch *swatch);
  void ChooseFont(TFontLabel *label);
  void ChooseFontColor(TFontLabel *label);
  void OpenText(const QString &word, QLineEdit *fileBox, QPlainTextEdit *textBox);
  void SaveText(const QString &word, QLineEdit *fileBox, QPlainTextEdit *textBox);
  void WriteChosenFilters();
  // Runs a command, showing any error it raises in a message box.
  void Guard(const std::function<void()> &command);

  std::string dataDir_;
  TGeneralSettings *settings_;
  QWidget *mainWindow_;
  std::string defaultPopPassword_;
  bool checking_ = false;  // set while the dialog changes check marks itself
};
