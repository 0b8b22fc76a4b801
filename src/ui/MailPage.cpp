#include "ui/MailPage.h"

#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <QStyle>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

namespace {
// The pictures of the tree: a list, and its three folders.
enum TTreeImage { tiInbox = 0, tiList = 3, tiSent = 4, tiTrash = 5 };

QIcon ImageFor(const QWidget *w, TTreeImage image) {
  switch (image) {
    case tiInbox: return w->style()->standardIcon(QStyle::SP_DirHomeIcon);
    case tiSent: return w->style()->standardIcon(QStyle::SP_ArrowForward);
    case tiTrash: return w->style()->standardIcon(QStyle::SP_TrashIcon);
    case tiList: break;
  }
  return w->style()->standardIcon(QStyle::SP_DirIcon);
}
}  // namespace

TMailPage::TMailPage(QWidget *parent) : QWidget(parent) {
  setObjectName("ts_NewMail");
  tv_POPTree = new QTreeWidget(this);
  tv_POPTree->setObjectName("tv_POPTree");
  tv_POPTree->setHeaderHidden(true);
  auto *brevant = new QTreeWidgetItem(tv_POPTree, QStringList("Brevant"));
  brevant->setIcon(0, ImageFor(this, tiList));
  AddFolderNodes(brevant);
  brevant->setExpanded(true);

  hg_POP = new QTableWidget(1, 4, this);
  hg_POP->setObjectName("hg_POP");
  hg_POP->setHorizontalHeaderLabels({"", "From", "Subject", "Date"});
  hg_POP->verticalHeader()->hide();
  hg_POP->setSelectionBehavior(QAbstractItemView::SelectRows);
  hg_POP->setEditTriggers(QAbstractItemView::NoEditTriggers);
  hg_POP->setColumnWidth(0, 20);
  hg_POP->installEventFilter(this);

  re_MsgBody = new QTextEdit(this);
  re_MsgBody->setObjectName("re_MsgBody");
  re_MsgBody->setReadOnly(true);
  WebBrowser1 = new QTextBrowser(this);
  WebBrowser1->setObjectName("WebBrowser1");
  WebBrowser1->setOpenExternalLinks(false);
  WebBrowser1->hide();

  CreateToolBars();
  auto *view = new QWidget(this);
  auto *viewLayout = new QVBoxLayout(view);
  viewLayout->setContentsMargins(0, 0, 0, 0);
  viewLayout->addWidget(re_MsgBody);
  viewLayout->addWidget(tool_Mail);
  viewLayout->addWidget(WebBrowser1);
  tool_Mail->hide();

  auto *right = new QSplitter(Qt::Vertical, this);
  right->addWidget(hg_POP);
  right->addWidget(view);
  auto *split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(tv_POPTree);
  split->addWidget(right);
  split->setStretchFactor(1, 3);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(tool_POP);
  layout->addWidget(split);
}

void TMailPage::CreateToolBars() {
  tool_POP = new QToolBar(this);
  tool_POP->setObjectName("tool_POP");
  auto add = [this](const char *name, QStyle::StandardPixmap icon, const QString &hint) {
    QAction *a = tool_POP->addAction(style()->standardIcon(icon), hint);
    a->setObjectName(name);
    a->setToolTip(hint);
    return a;
  };
  tbtn_GetNew = add("tbtn_GetNew", QStyle::SP_BrowserReload, "Get new messages");
  tbtn_Delete = add("tbtn_Delete", QStyle::SP_TrashIcon, "Delete message");
  tbtn_Reply = add("tbtn_Reply", QStyle::SP_ArrowBack, "Reply to sender");
  tbtn_Forward = add("tbtn_Forward", QStyle::SP_ArrowForward, "Forward message");
  pm_MailTools = new QMenu("Tools", this);
  pm_MailTools->setObjectName("pm_MailTools");
  pm_MailTools->addAction("Maintenance Log...")->setObjectName("MaintenanceLog1");
  QMenu *purge = pm_MailTools->addMenu("Purge");
  for (const char *folder : {"Inbox", "Sent", "Trash"}) purge->addAction(folder);
  QMenu *headers = pm_MailTools->addMenu("View Headers");
  headers->addAction("All")->setCheckable(true);
  QAction *normal = headers->addAction("Normal");
  normal->setCheckable(true);
  normal->setChecked(true);
  auto *tools = new QToolButton(tool_POP);
  tools->setText("Tools");
  tools->setObjectName("tbtn_Tools");
  tools->setMenu(pm_MailTools);
  tools->setPopupMode(QToolButton::InstantPopup);
  tool_POP->addWidget(tools);
  tbtn_Cancel = add("tbtn_Cancel", QStyle::SP_BrowserStop, "Cancel connect");

  tool_Mail = new QToolBar(this);
  tool_Mail->setObjectName("tool_Mail");
  tool_Mail->addAction(style()->standardIcon(QStyle::SP_ArrowBack), "Back", WebBrowser1, &QTextBrowser::backward);
  tool_Mail->addAction(style()->standardIcon(QStyle::SP_ArrowForward), "Forward", WebBrowser1,
                       &QTextBrowser::forward);
  tool_Mail->addAction(style()->standardIcon(QStyle::SP_BrowserStop), "Stop");
  tool_Mail->addAction(style()->standardIcon(QStyle::SP_BrowserReload), "Refresh", WebBrowser1,
                       &QTextBrowser::reload);
}

QTreeWidgetItem *TMailPage::AddFolderNodes(QTreeWidgetItem *list) {
  const struct {
    const char *name;
    TTreeImage image;
  } folders[] = {{"Inbox", tiInbox}, {"Sent", tiSent}, {"Trash", tiTrash}};
  for (const auto &f : folders) new QTreeWidgetItem(list, QStringList(f.name));
  for (int i = 0; i < 3; ++i) list->child(i)->setIcon(0, ImageFor(this, folders[i].image));
  return list;
}

void TMailPage::AddListNode(const QString &name) {
  auto *node = new QTreeWidgetItem(tv_POPTree, QStringList(name));
  node->setIcon(0, ImageFor(this, tiList));
  AddFolderNodes(node);
}

void TMailPage::RemoveListNode(const QString &name) {
  // The first node is "Brevant", never a list of the catalogue.
  for (int i = 1; i < tv_POPTree->topLevelItemCount(); ++i)
    if (tv_POPTree->topLevelItem(i)->text(0) == name) {
      delete tv_POPTree->takeTopLevelItem(i);
      return;
    }
}

void TMailPage::RenameListNode(const QString &oldName, const QString &newName) {
  for (int i = 1; i < tv_POPTree->topLevelItemCount(); ++i)
    if (tv_POPTree->topLevelItem(i)->text(0) == oldName) {
      tv_POPTree->topLevelItem(i)->setText(0, newName);
      return;
    }
}

void TMailPage::ClearListNodes() {
  while (tv_POPTree->topLevelItemCount() > 1) delete tv_POPTree->takeTopLevelItem(1);
}

QStringList TMailPage::ListNodeNames() const {
  QStringList names;
  for (int i = 1; i < tv_POPTree->topLevelItemCount(); ++i) names << tv_POPTree->topLevelItem(i)->text(0);
  return names;
}

bool TMailPage::eventFilter(QObject *watched, QEvent *event) {
  if (watched == hg_POP && event->type() == QEvent::Resize) Panel15Resize();
  return QWidget::eventFilter(watched, event);
}

void TMailPage::Panel15Resize() {
  // From, Subject and Date share the grid's width as 28 %, 35 % and 34 %.
  const double width = hg_POP->width();
  hg_POP->setColumnWidth(1, static_cast<int>(std::lround(width * 0.28)));
  hg_POP->setColumnWidth(2, static_cast<int>(std::lround(width * 0.35)));
  hg_POP->setColumnWidth(3, static_cast<int>(std::lround(width * 0.34)));
}
