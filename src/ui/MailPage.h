#pragma once
#include "mail/MessageView.h"

#include <QWidget>
#include <functional>
#include <string>

class QAction;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QSplitter;
class QTableView;
class QTextBrowser;
class QTextEdit;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TMessageGridModel;
class TStatusBar1;

// What Reply and Forward hand to the Newsletter page.
struct TMailDraft {
  QString Subject;
  bool SetText = false;  // false: the editor keeps its text
  QString Text;
  bool Reply = false;
  QString ReplyRecipient;
};

// The Mail page: the tree of lists and their folders, the grid of the chosen folder's
// messages, the message view with its HTML browser and attachment strip, and the mail
// tool bar.
class TMailPage : public QWidget {
  Q_OBJECT
public:
  explicit TMailPage(QWidget *parent = nullptr);
  ~TMailPage() override;

  // The tree holds "Brevant" first, then one node per list, each with Inbox, Sent, Trash.
  void AddListNode(const QString &name);
  // Removes the first list node whose text is exactly `name`, with its folders.
  void RemoveListNode(const QString &name);
  void RenameListNode(const QString &oldName, const QString &newName);
  // Drops every list node but "Brevant".
  void ClearListNodes();
  QStringList ListNodeNames() const;

  // What the page needs from its owner.
  std::string DataDir;  // with a trailing slash: the folders of "Brevant"
  // Waits until the POP3 client is ready and ends its session (QUIT) if one is open, so
  // that folders are never listed under a running retrieval.
  std::function<void()> EndPopSession;
  // Makes a list current ("Brevant": the pseudo-list).
  std::function<void(const QString &listName)> LoadListRecord;
  // The folder of the current list, with a trailing slash.
  std::function<std::string()> CurrentListPath;
  // Asks before messages are deleted for good; true to go on.
  std::function<bool(const QString &question)> Confirm;
  // Shows "Deleted N messages and attachments." and other results.
  std::function<void(const QString &text)> ShowInfo;
  std::function<void(const QString &text)> ShowError;
  TStatusBar1 *Status = nullptr;

  // Fills the grid from one folder index ("Inbox", "Sent", "Trash") of a list, the
  // current list (or the data directory's folders for "Brevant"), and shows its first
  // message.
  void FillMessageGrid(const QString &listName, const QString &folderName);
  // Shows the grid's row in the message view.
  void ViewMessage(int row);
  void DeleteMessages();
  void PurgeFolder(const QString &folderName);
  void ReplyClick();
  void ForwardClick();
  // Opens the selected attachment icon by its kind.
  void OpenAttachment(int category);
  bool HtmlPartShown() const { return FHtmlPart; }
  // The Subject cell of the selected row, as shown.
  QString SelectedSubject() const;
  // Saves the message view: rich text for the save dialog's filter 1, 2 and 5, plain text
  // for 3 and 4. Throws EFCreateError when the file cannot be written.
  void WriteMessage(const QString &fileName, int filterIndex) const;
  THeaderForm HeaderForm() const;
  const TMessageGridModel *GridModel() const { return FModel; }
  // The folder shown in the grid: its list path and folder.
  const std::string &ShownListPath() const { return FShownPath; }

  QTreeWidget *tv_POPTree = nullptr;
  QTableView *hg_POP = nullptr;
  QTextEdit *re_MsgBody = nullptr;
  QTextBrowser *WebBrowser1 = nullptr;
  QWidget *pnl_Attachment = nullptr;
  QListWidget *lv_Attachments = nullptr;
  QToolBar *tool_POP = nullptr;
  QToolBar *tool_Mail = nullptr;
  QAction *tbtn_GetMsg, *tbtn_Delete, *tbtn_Reply, *tbtn_Forward, *tbtn_Cancel;
  QMenu *pm_MailTools = nullptr;
  QAction *MaintenanceLog1, *PurgeInbox1, *PurgeSent1, *PurgeTrash1, *All1, *Normal1;

signals:
  // Reply and Forward: the Newsletter page takes over with this draft.
  void DraftRequested(const TMailDraft &draft);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

public:
  void Panel15Resize();

private:
  QTreeWidgetItem *AddFolderNodes(QTreeWidgetItem *list);
  void CreateToolBars();
  void CreateToolsMenu();
  void CreateView();
  void tv_POPTreeChange(QTreeWidgetItem *node);
  void ViewHeadersClick(QAction *clicked);
  void ShowViewedMessage(const TViewedMessage &shown);
  void ShowMessageView();
  void SetStatus(const QString &text);
  std::string ListPathOf(const QString &listName) const;
  int CurrentRow() const;
  void SelectRow(int row);
  bool MessageShown(int row) const;

  TMessageGridModel *FModel = nullptr;
  std::string FShownPath;  // list path of the folder in the grid ("" before any)
  TMailFolder FShownFolder = TMailFolder::mfInbox;
  bool FHtmlPart = false;
  bool FSelecting = false;  // the program moves the selection: no viewing
};
