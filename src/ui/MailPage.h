#pragma once
#include <QWidget>

class QMenu;
class QSplitter;
class QTableWidget;
class QTextBrowser;
class QTextEdit;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QAction;

// The Mail page: the tree of lists and their folders, the grid of the chosen folder's
// messages, the message view and the mail tool bar.
class TMailPage : public QWidget {
  Q_OBJECT
public:
  explicit TMailPage(QWidget *parent = nullptr);

  // The tree holds "Brevant" first, then one node per list, each with Inbox, Sent, Trash.
  void AddListNode(const QString &name);
  // Removes the first list node whose text is exactly `name`, with its folders.
  void RemoveListNode(const QString &name);
  void RenameListNode(const QString &oldName, const QString &newName);
  // Drops every list node but "Brevant".
  void ClearListNodes();
  QStringList ListNodeNames() const;

  QTreeWidget *tv_POPTree = nullptr;
  QTableWidget *hg_POP = nullptr;
  QTextEdit *re_MsgBody = nullptr;
  QTextBrowser *WebBrowser1 = nullptr;
  QToolBar *tool_POP = nullptr;
  QToolBar *tool_Mail = nullptr;
  QAction *tbtn_GetNew, *tbtn_Delete, *tbtn_Reply, *tbtn_Forward, *tbtn_Cancel;
  QMenu *pm_MailTools = nullptr;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

public:
  void Panel15Resize();

private:
  QTreeWidgetItem *AddFolderNodes(QTreeWidgetItem *list);
  void CreateToolBars();
};
