// The main window's menus and main tool bar.
#include "ui/EditCommands.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMenuBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QUrl>

namespace {
QAction *Entry(QMenu *menu, const char *name, const QString &caption, const QKeySequence &key = {}) {
  QAction *action = menu->addAction(caption);
  action->setObjectName(name);
  if (!key.isEmpty()) {
    action->setShortcut(key);
    // Editors swallow some keys (Ctrl+Tab among them) unless the shortcut is window-wide.
    action->setShortcutContext(Qt::WindowShortcut);
  }
  return action;
}

QAction *Tool(QToolBar *bar, const char *name, const QString &caption, QStyle::StandardPixmap icon) {
  QAction *action = bar->addAction(bar->style()->standardIcon(icon), caption);
  action->setObjectName(name);
  return action;
}

const char *const kMakerSite = "https://tarnwick.example.com/";
const char *const kHomePage = "https://brevant.example.com/";
}  // namespace

void Tfrm_Main::CreateMenus() {
  QMenu *file = menuBar()->addMenu("&File");
  QMenu *lists = file->addMenu("Mail &Lists");
  NewList1 = Entry(lists, "NewList1", "&New List...");
  OpenList1 = Entry(lists, "OpenList1", "&Open List...");
  RemoveList1 = Entry(lists, "RemoveList1", "&Remove List");
  lists->addSeparator();
  ExportMailList1 = Entry(lists, "ExportMailList1", "&Export List...");
  ImportMailList1 = Entry(lists, "ImportMailList1", "E&xtract E-mail Addresses");
  QMenu *letter = file->addMenu("&Newsletter");
  New1 = Entry(letter, "New1", "&New...", QKeySequence("Ctrl+N"));
  Open1 = Entry(letter, "Open1", "&Open...", QKeySequence("Ctrl+O"));
  Save1 = Entry(letter, "Save1", "&Save", QKeySequence("Ctrl+S"));
  SaveAs1 = Entry(letter, "SaveAs1", "Save &As...");
  Close1 = Entry(letter, "Close1", "&Close", QKeySequence("Ctrl+W"));
  file->addSeparator();
  Print1 = Entry(file, "Print1", "&Print...", QKeySequence("Ctrl+P"));
  file->addSeparator();
  Exit1 = Entry(file, "Exit1", "E&xit");
  connect(Exit1, &QAction::triggered, this, &QWidget::close);

  QMenu *edit = menuBar()->addMenu("&Edit");
  Undo1 = Entry(edit, "Undo1", "&Undo", QKeySequence("Ctrl+Z"));
  edit->addSeparator();
  Cut1 = Entry(edit, "Cut1", "Cu&t", QKeySequence("Ctrl+X"));
  Copy1 = Entry(edit, "Copy1", "&Copy", QKeySequence("Ctrl+C"));
  Paste1 = Entry(edit, "Paste1", "&Paste", QKeySequence("Ctrl+V"));
  Clear1 = Entry(edit, "Clear1", "Cle&ar", QKeySequence("Ctrl+Del"));
  SelectAll1 = Entry(edit, "SelectAll1", "Select A&ll", QKeySequence("Ctrl+A"));
  edit->addSeparator();
  FindReplace1 = Entry(edit, "FindReplace1", "&Find/Replace...", QKeySequence("Ctrl+F"));
  connect(Undo1, &QAction::triggered, this, [] { EditFocused(TEditCommand::ecUndo); });
  connect(Cut1, &QAction::triggered, this, [] { EditFocused(TEditCommand::ecCut); });
  connect(Copy1, &QAction::triggered, this, [] { EditFocused(TEditCommand::ecCopy); });
  connect(Paste1, &QAction::triggered, this, [] { EditFocused(TEditCommand::ecPaste); });
  connect(Clear1, &QAction::triggered, this, [] { EditFocused(TEditCommand::ecClear); });
  connect(SelectAll1, &QAction::triggered, this, [] { EditFocused(TEditCommand::ecSelectAll); });

  QMenu *insert = menuBar()->addMenu("&Insert");
  DateandTime1 = Entry(insert, "DateandTime1", "&Date and Time", QKeySequence("Ctrl+D"));
  QMenu *codes = insert->addMenu("&Field Code");
  AddressInformation1 = codes->addMenu("&Address Information");
  ListInformation1 = codes->addMenu("&List Information");
  PersonalInformation1 = codes->addMenu("&Personal Information");
  QMenu *html = insert->addMenu("&HTML");
  Hyperlink1 = Entry(html, "Hyperlink1", "&Hyperlink");
  Image1 = Entry(html, "Image1", "&Image");
  Mailto1 = Entry(html, "Mailto1", "&Mailto");
  Symbol1 = Entry(insert, "Symbol1", "&Symbol...");
  TextfromFile1 = Entry(insert, "TextfromFile1", "&Text from File...", QKeySequence("Ctrl+T"));

  QMenu *tools = menuBar()->addMenu("&Tools");
  SendMail1 = Entry(tools, "SendMail1", "&Send Mail...");
  tools->addSeparator();
  CheckSpelling1 = Entry(tools, "CheckSpelling1", "Check S&pelling...", QKeySequence("F7"));
  Thesaurus1 = Entry(tools, "Thesaurus1", "&Thesaurus...", QKeySequence("F8"));
  connect(CheckSpelling1, &QAction::triggered, this, &Tfrm_Main::CheckSpelling1Click);
  connect(Thesaurus1, &QAction::triggered, this, &Tfrm_Main::Thesaurus1Click);

  QMenu *view = menuBar()->addMenu("&View");
  NextTab1 = Entry(view, "NextTab1", "Ne&xt Tab", QKeySequence("Ctrl+Tab"));
  NextTab1->setShortcutContext(Qt::ApplicationShortcut);
  view->addSeparator();
  ViewNewsletter1 = Entry(view, "Newsletter1", "&Newsletter...");
  ViewMail1 = Entry(view, "Mail1", "&Mail...");
  ViewDigest1 = Entry(view, "Digest1", "&Digest...");
  ViewMailLists1 = Entry(view, "MailLists1", "Mail &Lists...");
  view->addSeparator();
  FailedAddresses1 = Entry(view, "FailedAddresses1", "&Failed Addresses...");
  SendToFailed1 = Entry(view, "SendToFailed1", "Send to Failed A&ddresses...");
  MailLog1 = Entry(view, "MailLog1", "Mail L&og...");
  connect(NextTab1, &QAction::triggered, this, &Tfrm_Main::NextTab1Click);
  connect(ViewNewsletter1, &QAction::triggered, this, [this] { pc_Main->setCurrentIndex(pgNewsletter); });
  connect(ViewMail1, &QAction::triggered, this, [this] { pc_Main->setCurrentIndex(pgMail); });
  connect(ViewDigest1, &QAction::triggered, this, [this] { pc_Main->setCurrentIndex(pgDigest); });
  connect(ViewMailLists1, &QAction::triggered, this, [this] { pc_Main->setCurrentIndex(pgMailLists); });

  QMenu *options = menuBar()->addMenu("&Options");
  GeneralProperties1 = Entry(options, "GeneralProperties1", "&General Properties...");

  QMenu *help = menuBar()->addMenu("&Help");
  Help1 = Entry(help, "Help1", "&Help...");
  help->addSeparator();
  TarnwickWebSite1 = Entry(help, "TarnwickWebSite1", "&Tarnwick Web Site");
  BrevantHomePage1 = Entry(help, "BrevantHomePage1", "&Brevant Home Page");
  help->addSeparator();
  AboutBrevant1 = Entry(help, "AboutBrevant1", "&About Brevant...");
  connect(Help1, &QAction::triggered, this, &Tfrm_Main::Help1Click);
  connect(AboutBrevant1, &QAction::triggered, this, &Tfrm_Main::AboutBrevant1Click);
  connect(TarnwickWebSite1, &QAction::triggered, this, [] { QDesktopServices::openUrl(QUrl(kMakerSite)); });
  connect(BrevantHomePage1, &QAction::triggered, this, [] { QDesktopServices::openUrl(QUrl(kHomePage)); });
}

void Tfrm_Main::CreateToolBar() {
  tool_Main = addToolBar("Main");
  tool_Main->setObjectName("tool_Main");
  tool_Main->setMovable(false);
  tbtn_New = Tool(tool_Main, "tbtn_New", "New", QStyle::SP_FileIcon);
  tbtn_Open = Tool(tool_Main, "tbtn_Open", "Open", QStyle::SP_DialogOpenButton);
  tbtn_Close = Tool(tool_Main, "tbtn_Close", "Close", QStyle::SP_DialogCloseButton);
  tbtn_Save = Tool(tool_Main, "tbtn_Save", "Save", QStyle::SP_DialogSaveButton);
  tbtn_Print = Tool(tool_Main, "tbtn_Print", "Print", QStyle::SP_FileDialogDetailedView);
  tool_Main->addSeparator();
  tbtn_Spelling = Tool(tool_Main, "tbtn_Spelling", "Spelling", QStyle::SP_DialogApplyButton);
  tbtn_Thesaurus = Tool(tool_Main, "tbtn_Thesaurus", "Thesaurus", QStyle::SP_FileDialogInfoView);
  tool_Main->addSeparator();
  tbtn_Send = Tool(tool_Main, "tbtn_Send", "Send", QStyle::SP_ArrowForward);
  tool_Main->installEventFilter(this);
  for (QWidget *child : tool_Main->findChildren<QWidget *>()) child->installEventFilter(this);
  // New and Open mean different commands on different pages.
  connect(tbtn_New, &QAction::triggered, this, &Tfrm_Main::ToolNewClick);
  connect(tbtn_Open, &QAction::triggered, this, &Tfrm_Main::ToolOpenClick);
  connect(tbtn_Close, &QAction::triggered, Close1, &QAction::trigger);
  connect(tbtn_Save, &QAction::triggered, Save1, &QAction::trigger);
  connect(tbtn_Print, &QAction::triggered, Print1, &QAction::trigger);
  connect(tbtn_Spelling, &QAction::triggered, CheckSpelling1, &QAction::trigger);
  connect(tbtn_Thesaurus, &QAction::triggered, Thesaurus1, &QAction::trigger);
  connect(tbtn_Send, &QAction::triggered, SendMail1, &QAction::trigger);
}

void Tfrm_Main::ToolNewClick() {
  if (pc_Main->currentIndex() == pgMailLists) NewList1->trigger();
  else Close1->trigger();  // a new document is the closed one
}

void Tfrm_Main::ToolOpenClick() {
  if (pc_Main->currentIndex() == pgMailLists) emit ImportLegacyListRequested();
  else Open1->trigger();
}

void Tfrm_Main::AdaptToolBar(int page) {
  struct Button {
    QAction *action;
    const char *hints[4];  // Newsletter, Mail, Digest, Mail Lists; null = disabled
  };
  const Button buttons[] = {
      {tbtn_New, {"New document", nullptr, nullptr, "New mail list"}},
      {tbtn_Open, {"Open document", nullptr, nullptr, "Import Brevant 1.x mail list"}},
      {tbtn_Close, {"Close document", nullptr, nullptr, nullptr}},
      {tbtn_Save, {"Save document", "Save mail as...", nullptr, nullptr}},
      {tbtn_Print, {"Print document", "Print mail", "Print mail", nullptr}},
      {tbtn_Spelling, {"Spell check", nullptr, nullptr, nullptr}},
      {tbtn_Thesaurus, {"Thesaurus", nullptr, nullptr, nullptr}},
      {tbtn_Send, {"Send mail", nullptr, nullptr, nullptr}},
  };
  if (page < 0 || page > 3) return;
  for (const Button &b : buttons) {
    const char *hint = b.hints[page];
    b.action->setEnabled(hint != nullptr);
    b.action->setToolTip(hint ? QString(hint) : QString());
  }
}

bool Tfrm_Main::eventFilter(QObject *watched, QEvent *event) {
  // A disabled tool button shows no hint.
  if (event->type() == QEvent::ToolTip)
    if (auto *widget = qobject_cast<QWidget *>(watched); widget && !widget->isEnabled()) return true;
  return QMainWindow::eventFilter(watched, event);
}
