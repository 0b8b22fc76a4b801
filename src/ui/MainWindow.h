#pragma once
#include "compose/AssembleMessage.h"
#include "compose/Scrooge.h"
#include "compose/SendAssembly.h"
#include "storage/GeneralSettings.h"

#include <QMainWindow>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QPrinter;
class QTabWidget;
class QToolBar;
class TDigestPage;
class TMailListsPage;
class TMailPage;
struct TMailDraft;
class TNewsletterPage;
class TStatusBar1;
class Tfrm_GenProps;
class TMailingCommands;
class TGetNewCommand;
class TSpellChecker;
class TThesaurus;

// The program's main window: menus, tool bars, the four pages and the status bar.
class Tfrm_Main : public QMainWindow {
  Q_OBJECT
public:
  enum TPage { pgNewsletter = 0, pgMail = 1, pgDigest = 2, pgMailLists = 3 };

  // `dataDir` is the folder of the program's files, with a trailing slash.
  explicit Tfrm_Main(const QString &dataDir, QWidget *parent = nullptr);
  ~Tfrm_Main() override;

  const QString &DataDir() const { return dataDir_; }
  std::string DataDirAnsi() const;
  QString HelpFile() const { return helpFile_; }
  // An installed program keeps its help page apart from the data folder.
  void SetHelpFile(const QString &file) { helpFile_ = file; }
  TStatusBar1 *Status() const { return StatusBar1; }
  // The general settings as stored; the General Properties dialog edits them.
  TGeneralSettings &Settings() { return settings_; }
  // Creates the General Properties dialog, kept hidden for the program's lifetime; it
  // reads the general settings and applies their display part to this window.
  void CreateGenProps();
  Tfrm_GenProps *GenProps() const { return frm_GenProps; }

  QTabWidget *pc_Main = nullptr;
  TNewsletterPage *ts_Newsletter = nullptr;
  TMailPage *ts_NewMail = nullptr;
  TDigestPage *ts_Digest = nullptr;
  TMailListsPage *ts_MailLists = nullptr;
  TStatusBar1 *StatusBar1 = nullptr;
  QToolBar *tool_Main = nullptr;

  // Menu entries, named after their captions.
  QAction *NewList1, *RemoveList1, *OpenList1, *ExportMailList1, *ImportMailList1;
  QAction *New1, *Open1, *Save1, *SaveAs1, *Close1, *Print1, *Exit1;
  QAction *Undo1, *Cut1, *Copy1, *Paste1, *Clear1, *SelectAll1, *FindReplace1;
  QAction *DateandTime1, *Hyperlink1, *Image1, *Mailto1, *Symbol1, *TextfromFile1;
  QMenu *AddressInformation1, *ListInformation1, *PersonalInformation1;
  QAction *SendMail1, *CheckSpelling1, *Thesaurus1;
  QAction *NextTab1, *ViewNewsletter1, *ViewMail1, *ViewDigest1, *ViewMailLists1;
  QAction *FailedAddresses1, *SendToFailed1, *MailLog1, *GeneralProperties1;
  QAction *Help1, *TarnwickWebSite1, *BrevantHomePage1, *AboutBrevant1;
  // The main tool bar's buttons; their meaning follows the page shown.
  QAction *tbtn_New, *tbtn_Open, *tbtn_Close, *tbtn_Save, *tbtn_Print, *tbtn_Spelling, *tbtn_Thesaurus,
      *tbtn_Send;

public slots:
  void pc_MainChange(int index);
  void NextTab1Click();
  void Help1Click();
  void AboutBrevant1Click();
  void CheckSpelling1Click();
  void Thesaurus1Click();
  // File > Mail Lists > Open List...: asks which list and shows it on the Mail Lists page.
  void OpenList1Click();

signals:
  // The Open button on the Mail Lists page imports a list file of version 1.
  void ImportLegacyListRequested();

protected:
  void closeEvent(QCloseEvent *event) override;
  void changeEvent(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void FormCreate();
  void RestorePosition();
  void StorePosition();
  void CreateMenus();
  void CreateToolBar();
  void AdaptToolBar(int page);
  void ApplySizeLimits();
  void ToolNewClick();
  void ConnectPages();
  void ConnectNewsletter();
  void ConnectCompose();
  void ConnectLists();
  void ConnectMailing();
  void ConnectRetrieval();
  void ConnectGenProps();
  // The SMTP server chosen as default in the General Properties, "" when none is.
  std::string DefaultSmtpServerName() const;
  void ConnectMail();
  // Reply and Forward of the Mail page start a newsletter from a received message.
  void StartDraft(const TMailDraft &draft);
  // Save and Print on the Mail page: the message shown.
  void SaveMailClick();
  void PrintMail(QPrinter &printer);
  void Save1Click();
  void Print1Click();
  // The message as the assembly sees it: body, subject, list, sender and shown address.
  TAssemblyInput AssemblyInput() const;
  void ShowDigestPreview();
  void ToolOpenClick();

  QString dataDir_;
  QString helpFile_;
  TGeneralSettings settings_;
  Tfrm_GenProps *frm_GenProps = nullptr;
  TMailingCommands *mailing_ = nullptr;
  TGetNewCommand *getNew_ = nullptr;
  // The converter of every HTML conversion of the window.
  TScrooge Scrooge1;
  // The recipient last shown during a run, for the per-recipient assembly.
  TRecipientFields recipient_;
  bool recipientShown_ = false;
  // A run's messages: the newsletter converted once, each recipient's values merged into it.
  TSendAssembly sendAssembly_;
  // The sender of the message last replied to, proposed as the recipient of Send Mail.
  std::string replyRecipient_;
  // Dictionaries are loaded at their first use.
  std::unique_ptr<TSpellChecker> speller_;
  std::unique_ptr<TThesaurus> thesaurus_;
};
