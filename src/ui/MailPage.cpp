#include "ui/MailPage.h"

#include "compose/RtfReader.h"
#include "compose/RtfWriter.h"
#include "mail/MailFolders.h"
#include "mail/ReplyTexts.h"
#include "storage/Ansi.h"
#include "storage/TextFile.h"
#include "ui/AttachmentDialog.h"
#include "ui/MessageGridModel.h"
#include "ui/ReceivedText.h"
#include "ui/RichTextBridge.h"
#include "ui/StatusBar1.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTextBrowser>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
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

constexpr int kPathRole = Qt::UserRole;
constexpr int kCategoryRole = Qt::UserRole + 1;

// Text of the program's own with CR LF line ends, for the editors.
QString EditorText(const std::string &text) { return AnsiToQString(text).replace("\r\n", "\n"); }
std::string CoreText(QString text) {
  text.replace(QChar::ParagraphSeparator, "\r\n").replace(QChar::LineSeparator, "\r\n");
  return QStringToAnsi(text);
}

class TWaitCursor {
public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
};
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
  connect(tv_POPTree, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem *node) { tv_POPTreeChange(node); });

  FModel = new TMessageGridModel(this);
  hg_POP = new QTableView(this);
  hg_POP->setObjectName("hg_POP");
  hg_POP->setModel(FModel);
  hg_POP->verticalHeader()->hide();
  hg_POP->verticalHeader()->setDefaultSectionSize(hg_POP->fontMetrics().height() + 6);
  hg_POP->setSelectionBehavior(QAbstractItemView::SelectRows);
  hg_POP->setSelectionMode(QAbstractItemView::ExtendedSelection);
  hg_POP->setEditTriggers(QAbstractItemView::NoEditTriggers);
  hg_POP->setWordWrap(false);
  for (int c = TMessageGridModel::colStatus; c < TMessageGridModel::colCount; ++c) hg_POP->setColumnHidden(c, true);
  hg_POP->setColumnWidth(0, 22);
  hg_POP->installEventFilter(this);
  connect(hg_POP, &QTableView::clicked, this, [this](const QModelIndex &index) { ViewMessage(index.row()); });
  connect(hg_POP->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex &current) {
            if (!FSelecting && current.isValid()) ViewMessage(current.row());
          });

  CreateView();
  CreateToolBars();
  auto *view = new QWidget(this);
  auto *viewLayout = new QVBoxLayout(view);
  viewLayout->setContentsMargins(0, 0, 0, 0);
  viewLayout->setSpacing(0);
  viewLayout->addWidget(tool_Mail);
  viewLayout->addWidget(re_MsgBody, 1);
  viewLayout->addWidget(WebBrowser1, 1);
  viewLayout->addWidget(pnl_Attachment);
  tool_Mail->hide();

  auto *right = new QSplitter(Qt::Vertical, this);
  right->addWidget(hg_POP);
  right->addWidget(view);
  right->setStretchFactor(1, 2);
  auto *split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(tv_POPTree);
  split->addWidget(right);
  split->setStretchFactor(1, 3);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(tool_POP);
  layout->addWidget(split);
}

TMailPage::~TMailPage() = default;

void TMailPage::CreateView() {
  re_MsgBody = new QTextEdit(this);
  re_MsgBody->setObjectName("re_MsgBody");
  re_MsgBody->setReadOnly(true);
  re_MsgBody->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  WebBrowser1 = new QTextBrowser(this);
  WebBrowser1->setObjectName("WebBrowser1");
  // Received HTML is read from its local file only: QTextBrowser runs no scripts and
  // fetches nothing from the network, so a message cannot tell its sender it was read.
  // A link the reader clicks opens in the desktop's browser.
  WebBrowser1->setOpenLinks(false);
  connect(WebBrowser1, &QTextBrowser::anchorClicked, this, [](const QUrl &url) {
    if (url.scheme() == "http" || url.scheme() == "https" || url.scheme() == "mailto") QDesktopServices::openUrl(url);
  });
  WebBrowser1->hide();

  pnl_Attachment = new QWidget(this);
  pnl_Attachment->setObjectName("pnl_Attachment");
  lv_Attachments = new QListWidget(pnl_Attachment);
  lv_Attachments->setObjectName("lv_Attachments");
  lv_Attachments->setViewMode(QListView::IconMode);
  lv_Attachments->setFlow(QListView::LeftToRight);
  lv_Attachments->setWrapping(false);
  lv_Attachments->setMovement(QListView::Static);
  lv_Attachments->setIconSize(QSize(32, 32));
  lv_Attachments->setFixedHeight(72);
  lv_Attachments->setToolTip("Double-click an attachment to open it");
  auto *strip = new QVBoxLayout(pnl_Attachment);
  strip->setContentsMargins(0, 2, 0, 0);
  strip->addWidget(lv_Attachments);
  pnl_Attachment->hide();
  connect(lv_Attachments, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem *item) { OpenAttachment(item->data(kCategoryRole).toInt()); });
}

void TMailPage::CreateToolBars() {
  tool_POP = new QToolBar(this);
  tool_POP->setObjectName("tool_POP");
  tool_POP->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  auto add = [this](const char *name, QStyle::StandardPixmap icon, const QString &caption, const QString &hint) {
    QAction *a = tool_POP->addAction(style()->standardIcon(icon), caption);
    a->setObjectName(name);
    a->setToolTip(hint);
    return a;
  };
  tbtn_GetMsg = add("tbtn_GetMsg", QStyle::SP_BrowserReload, " Get New", "Get new messages");
  tbtn_Delete = add("tbtn_Delete", QStyle::SP_TrashIcon, "Delete", "Delete message");
  tbtn_Reply = add("tbtn_Reply", QStyle::SP_ArrowBack, " Reply", "Reply to sender");
  tbtn_Forward = add("ToolButton5", QStyle::SP_ArrowForward, " Forward", "Forward message");
  connect(tbtn_Delete, &QAction::triggered, this, &TMailPage::DeleteMessages);
  connect(tbtn_Reply, &QAction::triggered, this, &TMailPage::ReplyClick);
  connect(tbtn_Forward, &QAction::triggered, this, &TMailPage::ForwardClick);
  CreateToolsMenu();
  auto *tools = new QToolButton(tool_POP);
  tools->setText("Tools");
  tools->setObjectName("tbtn_Tools");
  tools->setMenu(pm_MailTools);
  tools->setPopupMode(QToolButton::InstantPopup);
  tool_POP->addWidget(tools);
  tbtn_Cancel = add("tbtn_Cancel", QStyle::SP_BrowserStop, "Cancel", "Cancel connect");

  tool_Mail = new QToolBar(this);
  tool_Mail->setObjectName("tool_Mail");
  QAction *back = tool_Mail->addAction(style()->standardIcon(QStyle::SP_ArrowBack), "Back", WebBrowser1,
                                       &QTextBrowser::backward);
  QAction *forward = tool_Mail->addAction(style()->standardIcon(QStyle::SP_ArrowForward), "Forward", WebBrowser1,
                                          &QTextBrowser::forward);
  connect(WebBrowser1, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(WebBrowser1, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  back->setEnabled(false);
  forward->setEnabled(false);
  // Local files load at once: there is nothing to stop.
  tool_Mail->addAction(style()->standardIcon(QStyle::SP_BrowserStop), "Stop");
  tool_Mail->addAction(style()->standardIcon(QStyle::SP_BrowserReload), "Refresh", WebBrowser1,
                       &QTextBrowser::reload);
}

void TMailPage::CreateToolsMenu() {
  pm_MailTools = new QMenu("Tools", this);
  pm_MailTools->setObjectName("pm_Tools");
  MaintenanceLog1 = pm_MailTools->addAction("Maintenance Log...");
  MaintenanceLog1->setObjectName("MaintenanceLog1");
  QMenu *purge = pm_MailTools->addMenu("&Purge");
  PurgeInbox1 = purge->addAction("&Inbox", this, [this] { PurgeFolder("Inbox"); });
  PurgeSent1 = purge->addAction("&Sent", this, [this] { PurgeFolder("Sent"); });
  PurgeTrash1 = purge->addAction("&Trash", this, [this] { PurgeFolder("Trash"); });
  QMenu *headers = pm_MailTools->addMenu("&View Headers");
  All1 = headers->addAction("&All");
  Normal1 = headers->addAction("&Normal");
  for (QAction *a : {All1, Normal1}) {
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, a] { ViewHeadersClick(a); });
  }
  Normal1->setChecked(true);
}

void TMailPage::ViewHeadersClick(QAction *clicked) {
  // Each item toggles both check marks (its own was toggled by the click already).
  const bool all = clicked == All1 ? All1->isChecked() : !Normal1->isChecked();
  All1->setChecked(all);
  Normal1->setChecked(!all);
  const int row = CurrentRow();
  if (MessageShown(row)) ViewMessage(row);
}

THeaderForm TMailPage::HeaderForm() const { return All1->isChecked() ? THeaderForm::hfAll : THeaderForm::hfNormal; }

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

void TMailPage::SetStatus(const QString &text) {
  if (Status) Status->SetStatus(text);
}

std::string TMailPage::ListPathOf(const QString &listName) const {
  if (listName == "Brevant" || !CurrentListPath) return DataDir;
  return CurrentListPath();
}

int TMailPage::CurrentRow() const {
  const QModelIndex current = hg_POP->currentIndex();
  return current.isValid() ? current.row() : 0;
}

void TMailPage::SelectRow(int row) {
  const bool selecting = FSelecting;
  FSelecting = true;
  hg_POP->clearSelection();
  hg_POP->setCurrentIndex(FModel->index(row, TMessageGridModel::colFrom));
  hg_POP->selectRow(row);
  FSelecting = selecting;
}

bool TMailPage::MessageShown(int row) const {
  return !FShownPath.empty() && row >= 0 && row < FModel->rowCount() && !FModel->Row(row).IsEmptyRow();
}

void TMailPage::ShowMessageView() {
  FHtmlPart = false;
  tool_Mail->hide();
  WebBrowser1->hide();
  re_MsgBody->show();
}

void TMailPage::tv_POPTreeChange(QTreeWidgetItem *node) {
  pnl_Attachment->hide();
  if (EndPopSession) EndPopSession();
  if (!node) return;
  if (QTreeWidgetItem *list = node->parent()) {
    if (LoadListRecord) LoadListRecord(list->text(0));
    FillMessageGrid(list->text(0), node->text(0));
  } else if (LoadListRecord) {
    LoadListRecord(node->text(0));
  }
}

void TMailPage::FillMessageGrid(const QString &listName, const QString &folderName) {
  ShowMessageView();
  re_MsgBody->clear();
  lv_Attachments->clear();
  pnl_Attachment->hide();
  FShownPath = ListPathOf(listName);
  FShownFolder = MailFolderOf(QStringToAnsi(folderName));
  FModel->SetFromTitle(folderName == "Sent" ? "To" : "From");
  try {
    FModel->SetRows(MessageGridRows(FShownPath, FShownFolder));
  } catch (const std::exception &e) {
    FModel->SetRows({});
    if (ShowError) ShowError(QString::fromLocal8Bit(e.what()));
  }
  SelectRow(0);
  if (!FModel->Row(0).IsEmptyRow()) ViewMessage(0);
}

void TMailPage::ViewMessage(int row) {
  ShowMessageView();
  if (!tv_POPTree->currentItem() || !MessageShown(row)) return;
  const TMessageRow &message = FModel->Row(row);
  SetStatus("Formatting message...");
  re_MsgBody->clear();
  lv_Attachments->clear();
  TViewedMessage shown;
  try {
    TWaitCursor wait;
    shown = ViewFolderMessage(FShownPath, FShownFolder, message, HeaderForm());
  } catch (const std::exception &) {
    SetStatus("Message not available.");
    pnl_Attachment->hide();
    return;
  }
  if (FShownFolder == TMailFolder::mfInbox && message.Status != "Viewed") FModel->SetStatus(row, "Viewed");
  ShowViewedMessage(shown);
  SetStatus("");
  if (Status) Status->SetProtocolLine("");
}

void TMailPage::ShowViewedMessage(const TViewedMessage &shown) {
  if (shown.AsIs) {
    if (shown.RichText)
      RichToDocument(ReadRtf(shown.Content), *re_MsgBody->document());
    else
      re_MsgBody->setPlainText(EditorText(shown.Content));
  } else {
    QTextCursor cursor(re_MsgBody->document());
    QTextCharFormat regular, bold;
    bold.setFontWeight(QFont::Bold);
    for (const TViewSpan &span : shown.Spans) {
      QString text = span.Header ? HeaderToQString(span.Text) : CharsetToQString(span.Text, span.Charset);
      text.replace("\r\n", "\n").replace('\r', '\n');
      cursor.insertText(text, span.Bold ? bold : regular);
    }
  }
  for (const TViewAttachment &a : shown.Attachments) {
    auto *item = new QListWidgetItem(AttachmentIcon(a.Category), AnsiToQString(a.Caption), lv_Attachments);
    item->setData(kPathRole, AnsiToQString(a.Path));
    item->setData(kCategoryRole, a.Category);
  }
  pnl_Attachment->setVisible(shown.ShowAttachments);
  re_MsgBody->moveCursor(QTextCursor::Start);
  if (!shown.HtmlFile.empty()) {
    FHtmlPart = true;
    tool_Mail->show();
    re_MsgBody->hide();
    WebBrowser1->show();
    WebBrowser1->clearHistory();
    WebBrowser1->setSource(QUrl::fromLocalFile(AnsiToQString(shown.HtmlFile)));
  }
}

void TMailPage::DeleteMessages() {
  if (FShownPath.empty() || (FModel->rowCount() == 1 && FModel->Row(0).IsEmptyRow())) return;
  std::vector<int> rows;
  for (const QModelIndex &index : hg_POP->selectionModel()->selectedRows()) rows.push_back(index.row());
  if (rows.empty()) rows.push_back(CurrentRow());
  std::sort(rows.begin(), rows.end());
  std::vector<TMessageRow> messages;
  for (int r : rows) messages.push_back(FModel->Row(r));
  if (FShownFolder == TMailFolder::mfTrash && Confirm &&
      !Confirm(rows.size() == 1 ? QString("Delete this message for good?")
                                : QString("Delete these %1 messages for good?").arg(rows.size())))
    return;
  pnl_Attachment->hide();
  ShowMessageView();
  try {
    MoveToTrash(FShownPath, FShownFolder, messages);
  } catch (const std::exception &e) {
    // Nothing changed on screen: list the folder again as it now stands.
    if (ShowError) ShowError(QString::fromLocal8Bit(e.what()));
    FModel->SetRows(MessageGridRows(FShownPath, FShownFolder));
    re_MsgBody->clear();
    return;
  }
  FSelecting = true;  // the current row moves as rows go: that shows nothing
  FModel->RemoveRows(rows);
  FSelecting = false;
  re_MsgBody->clear();
  lv_Attachments->clear();
  SelectRow(std::min(rows.front(), FModel->rowCount() - 1));
}

void TMailPage::PurgeFolder(const QString &folderName) {
  const std::string listPath = CurrentListPath ? CurrentListPath() : DataDir;
  const TMailFolder folder = MailFolderOf(QStringToAnsi(folderName));
  const int count = ::PurgeFolder(listPath, folder);
  // The grid empties when it showed the purged folder; another folder stays as it is.
  if (listPath == FShownPath && folder == FShownFolder) {
    FModel->SetRows({});
    re_MsgBody->clear();
    lv_Attachments->clear();
    pnl_Attachment->hide();
    ShowMessageView();
  }
  if (ShowInfo) ShowInfo(QString("Deleted %1 messages and attachments.").arg(count));
}

void TMailPage::ReplyClick() {
  const int row = CurrentRow();
  if (!MessageShown(row)) return;
  const TMessageRow &message = FModel->Row(row);
  TMailDraft draft;
  draft.Reply = true;
  draft.Subject = AnsiToQString(ReplySubject(message.Subject));
  if (FHtmlPart) {
    std::vector<std::string> lines;
    for (const QString &line : re_MsgBody->toPlainText().split('\n')) lines.push_back(QStringToAnsi(line));
    draft.SetText = true;
    draft.Text = EditorText(ReplyHtmlQuote(message.Date, lines));
  } else if (re_MsgBody->textCursor().hasSelection()) {
    draft.SetText = true;
    draft.Text = EditorText(ReplyQuote(message.Date, CoreText(re_MsgBody->textCursor().selectedText())));
  }
  draft.ReplyRecipient = AnsiToQString(ReplyRecipient(message.From));
  emit DraftRequested(draft);
}

void TMailPage::ForwardClick() {
  const int row = CurrentRow();
  if (!MessageShown(row)) return;
  TMailDraft draft;
  draft.Subject = AnsiToQString(ForwardSubject(FModel->Row(row).Subject));
  const QTextCursor cursor = re_MsgBody->textCursor();
  const std::string text =
      cursor.hasSelection() ? CoreText(cursor.selectedText()) : CoreText(re_MsgBody->toPlainText().replace('\n', "\r\n"));
  draft.SetText = true;
  draft.Text = EditorText(ForwardText(text));
  emit DraftRequested(draft);
}

void TMailPage::OpenAttachment(int category) {
  QListWidgetItem *item = lv_Attachments->currentItem();
  if (!item) return;
  const QString path = item->data(kPathRole).toString();
  switch (category) {
    case 2:
    case 9:
      // The desktop's program for the file's type.
      QDesktopServices::openUrl(QUrl::fromLocalFile(path));
      break;
    case 4:
    case 5:
    case 6:
    case 7: {
      const QString target = QFileDialog::getSaveFileName(this, "Save file as...", path, "All Files (*)");
      if (target.isEmpty() || target == path) return;
      QFile::remove(target);
      if (!QFile::copy(path, target) && ShowError) ShowError("Cannot create file " + target);
      break;
    }
    case 8: {
      Tfrm_Attachment dialog(path, [this] { OpenAttachment(4); }, this);
      dialog.exec();
      break;
    }
    default: break;
  }
}

QString TMailPage::SelectedSubject() const {
  return FModel->data(FModel->index(CurrentRow(), TMessageGridModel::colSubject), Qt::DisplayRole).toString();
}

void TMailPage::WriteMessage(const QString &fileName, int filterIndex) const {
  const bool plain = filterIndex == 3 || filterIndex == 4;
  const std::string bytes = plain ? CoreText(re_MsgBody->toPlainText().replace('\n', "\r\n"))
                                  : WriteRtf(DocumentToRich(*re_MsgBody->document()));
  WriteFileAtomic(QStringToAnsi(fileName), bytes);
}
