#include "ui/MainWindow.h"

#include "lists/ListFolder.h"
#include "lists/ListRecord.h"
#include "storage/Ansi.h"
#include "storage/TextFile.h"
#include "storage/WindowPosition.h"
#include "ui/AboutDialog.h"
#include "ui/DigestPage.h"
#include "ui/GenPropsDialog.h"
#include "ui/HelpWindow.h"
#include "ui/MailListsPage.h"
#include "ui/MailPage.h"
#include "ui/NewsletterPage.h"
#include "ui/SpellCheckDialog.h"
#include "ui/SpellChecker.h"
#include "ui/StatusBar1.h"
#include "ui/ThesaurusDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>

namespace {
constexpr int kDesignWidth = 630, kDesignHeight = 480;
constexpr int kMaxTrackWidth = 1024, kMaxTrackHeight = 768;

// Whether enough of the window lies on a screen to be seen and grabbed.
bool OnSomeScreen(const QRect &window) {
  for (const QScreen *s : QGuiApplication::screens()) {
    const QRect shared = s->geometry().intersected(window);
    if (shared.width() >= 50 && shared.height() >= 50) return true;
  }
  return false;
}
}  // namespace

Tfrm_Main::Tfrm_Main(const QString &dataDir, QWidget *parent) : QMainWindow(parent), dataDir_(dataDir) {
  setObjectName("frm_Main");
  setWindowTitle("Brevant 2.0: Untitled");
  pc_Main = new QTabWidget(this);
  pc_Main->setObjectName("pc_Main");
  ts_Newsletter = new TNewsletterPage(pc_Main);
  ts_NewMail = new TMailPage(pc_Main);
  ts_Digest = new TDigestPage(pc_Main);
  ts_MailLists = new TMailListsPage(pc_Main);
  pc_Main->addTab(ts_Newsletter, "Newsletter");
  pc_Main->addTab(ts_NewMail, "Mail");
  pc_Main->addTab(ts_Digest, "Digest");
  pc_Main->addTab(ts_MailLists, "Mail Lists");
  setCentralWidget(pc_Main);
  StatusBar1 = new TStatusBar1(this);
  setStatusBar(StatusBar1);
  CreateMenus();
  CreateToolBar();
  connect(pc_Main, &QTabWidget::currentChanged, this, &Tfrm_Main::pc_MainChange);
  // The mail list commands of the menu and the tool bar act on the Mail Lists page.
  connect(NewList1, &QAction::triggered, ts_MailLists, &TMailListsPage::NewList1Click);
  connect(RemoveList1, &QAction::triggered, ts_MailLists, &TMailListsPage::RemoveList1Click);
  connect(ExportMailList1, &QAction::triggered, ts_MailLists, &TMailListsPage::ExportMailList1Click);
  connect(ImportMailList1, &QAction::triggered, ts_MailLists, &TMailListsPage::ImportMailList1Click);
  connect(this, &Tfrm_Main::ImportLegacyListRequested, ts_MailLists, &TMailListsPage::ImportLegacyList);
  FormCreate();
  AdaptToolBar(pc_Main->currentIndex());
}

Tfrm_Main::~Tfrm_Main() = default;

std::string Tfrm_Main::DataDirAnsi() const { return QStringToAnsi(dataDir_); }

void Tfrm_Main::FormCreate() {
  // The folders of the pseudo-list Brevant; a failure shows up later, when they are used.
  for (const char *name : {"Inbox", "Trash", "Sent"}) ForceDirectories(DataDirAnsi() + name);
  // Damaged bytes met while reading a file are named once the command that met them is
  // done, so that its own "emptied" status line does not hide them.
  QPointer<TStatusBar1> bar = StatusBar1;
  SetDamagedFileHandler([bar](const std::string &path) {
    const QString text = AnsiToQString(DamagedFileText(path));
    if (bar) QTimer::singleShot(0, bar, [bar, text] { bar->SetStatus(text); });
  });
  TidyDataFolders(DataDirAnsi());
  ApplySizeLimits();
  RestorePosition();
  helpFile_ = dataDir_ + "Help.html";
  ConnectPages();
}

void Tfrm_Main::CreateGenProps() {
  frm_GenProps = new Tfrm_GenProps(DataDirAnsi(), &settings_, this);
  ConnectGenProps();
}

void Tfrm_Main::RestorePosition() {
  const TWindowPosition pos = ReadWindowPosition(DataDirAnsi());
  QRect screen(0, 0, 1024, 768);
  if (const QScreen *s = QGuiApplication::primaryScreen()) screen = s->availableGeometry();
  switch (pos.State) {
    case TWindowPosition::psNormal: {
      const int width = pos.Width > 0 ? pos.Width : kDesignWidth;
      const int height = pos.Height > 0 ? pos.Height : kDesignHeight;
      const int top = pos.Top != TWindowPosition::kNotStored ? pos.Top : screen.height() / 2 - kDesignHeight / 2;
      const int left = pos.Left != TWindowPosition::kNotStored ? pos.Left : screen.width() / 2 - kDesignWidth / 2;
      const QRect wanted(left, top, width, height);
      // A place on no screen (a monitor since unplugged) would hide the window: centre it.
      if (OnSomeScreen(wanted)) setGeometry(wanted);
      else setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, wanted.size(), screen));
      break;
    }
    case TWindowPosition::psMaximized:
      resize(kDesignWidth, kDesignHeight);
      setWindowState(Qt::WindowMaximized);
      break;
    case TWindowPosition::psMinimized:
      resize(kDesignWidth, kDesignHeight);
      setWindowState(Qt::WindowMinimized);
      break;
    default:  // an unknown state leaves the design placement
      resize(kDesignWidth, kDesignHeight);
      break;
  }
}

void Tfrm_Main::StorePosition() {
  TWindowPosition pos;
  const QRect bounds = geometry();
  pos.Top = bounds.top();
  pos.Left = bounds.left();
  pos.Width = bounds.width();
  pos.Height = bounds.height();
  pos.State = isMaximized() ? TWindowPosition::psMaximized
              : isMinimized() ? TWindowPosition::psMinimized
                              : TWindowPosition::psNormal;
  WriteWindowPosition(DataDirAnsi(), pos);
}

void Tfrm_Main::ApplySizeLimits() {
  // The limits hold for resizing by hand; a maximized window may fill a larger screen.
  setMinimumSize(kDesignWidth, kDesignHeight);
  if (isMaximized() || isFullScreen()) setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  else setMaximumSize(kMaxTrackWidth, kMaxTrackHeight);
}

void Tfrm_Main::changeEvent(QEvent *event) {
  if (event->type() == QEvent::WindowStateChange) ApplySizeLimits();
  QMainWindow::changeEvent(event);
}

void Tfrm_Main::closeEvent(QCloseEvent *event) {
  if (!ts_Newsletter->CanClose()) {
    event->ignore();
    return;
  }
  try {
    StorePosition();
  } catch (const std::exception &e) {
    QMessageBox::critical(this, "Brevant 2.0", QString::fromLocal8Bit(e.what()));
  }
  event->accept();
}

void Tfrm_Main::pc_MainChange(int index) {
  AdaptToolBar(index);
  if (index == pgDigest) ShowDigestPreview();
  // The selected list is shown as a click on it would show it.
  if (index == pgMailLists && ts_MailLists->lb_MailLists->currentItem() &&
      ts_MailLists->lb_MailLists->currentItem()->isSelected() && ts_MailLists->lb_MailLists->isEnabled())
    ts_MailLists->lb_MailListsClick();
}

void Tfrm_Main::NextTab1Click() {
  const int next = pc_Main->currentIndex() + 1;
  pc_Main->setCurrentIndex(next < pc_Main->count() ? next : 0);
}

void Tfrm_Main::Help1Click() {
  if (!QFileInfo::exists(helpFile_)) {
    QMessageBox::information(this, "Brevant 2.0", "Cannot find help file. Reinstall Brevant.");
    return;
  }
  ShowHelpWindow(this, helpFile_);
}

void Tfrm_Main::AboutBrevant1Click() {
  Tfrm_About about(dataDir_, this);
  about.exec();
}

void Tfrm_Main::CheckSpelling1Click() {
  if (!speller_) speller_ = std::make_unique<TSpellChecker>(dataDir_ + "User.dic");
  CheckSpelling(QApplication::focusWidget(), *speller_, this);
}

void Tfrm_Main::Thesaurus1Click() {
  if (!thesaurus_) thesaurus_ = std::make_unique<TThesaurus>();
  ShowThesaurus(QApplication::focusWidget(), *thesaurus_, this);
}

void Tfrm_Main::OpenList1Click() {
  QStringList names;
  for (const std::string &name : LoadMailLists(DataDirAnsi())) names << AnsiToQString(name);
  if (names.isEmpty()) {
    QMessageBox::information(this, "Brevant 2.0", "There are no mail lists yet. Use New List to make one.");
    return;
  }
  const int current = std::max(0, static_cast<int>(names.indexOf(AnsiToQString(ts_MailLists->CurrentListName()))));
  bool ok = false;
  const QString name = QInputDialog::getItem(this, "Open List", "Mail list:", names, current, false, &ok);
  if (!ok || name.isEmpty()) return;
  pc_Main->setCurrentIndex(pgMailLists);
  ts_MailLists->OpenList(name);
}
