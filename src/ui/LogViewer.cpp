#include "ui/LogViewer.h"

#include "storage/Ansi.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

TLogViewer::TLogViewer(const QString &path, const QString &title, QWidget *parent)
    : QDialog(parent, Qt::Window), path_(path) {
  setObjectName("frm_LogViewer");
  setWindowTitle(title);
  setAttribute(Qt::WA_DeleteOnClose);
  mmo_Log = new QPlainTextEdit;
  mmo_Log->setObjectName("mmo_Log");
  mmo_Log->setReadOnly(true);
  mmo_Log->setLineWrapMode(QPlainTextEdit::NoWrap);
  mmo_Log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  btn_OpenInEditor = new QPushButton("&Open in Editor");
  btn_OpenInEditor->setObjectName("btn_OpenInEditor");
  btn_OpenInEditor->setToolTip("Open the file in the desktop's text editor");
  btn_Copy = new QPushButton("&Copy");
  btn_Copy->setObjectName("btn_Copy");
  btn_Copy->setToolTip("Copy the selection, or the whole log, to the clipboard");
  btn_Close = new QPushButton("Close");
  btn_Close->setObjectName("btn_Close");
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(btn_OpenInEditor);
  buttons->addWidget(btn_Copy);
  buttons->addStretch();
  buttons->addWidget(btn_Close);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(mmo_Log, 1);
  layout->addLayout(buttons);
  connect(btn_OpenInEditor, &QPushButton::clicked, this, &TLogViewer::btn_OpenInEditorClick);
  connect(btn_Copy, &QPushButton::clicked, this, &TLogViewer::btn_CopyClick);
  connect(btn_Close, &QPushButton::clicked, this, &QDialog::close);
  resize(640, 420);
  Reload();
}

bool TLogViewer::Reload() {
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = file.readAll();
  // The logs are Windows-1252 text with CR LF line ends.
  QString text = AnsiToQString(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
  text.replace("\r\n", "\n").replace('\r', '\n');
  mmo_Log->setPlainText(text);
  mmo_Log->moveCursor(QTextCursor::End);  // the newest lines are at the end
  return true;
}

void TLogViewer::btn_OpenInEditorClick() {
  if (QDesktopServices::openUrl(QUrl::fromLocalFile(path_))) return;
  QMessageBox::information(this, "Brevant 2.0",
                           "No program to open text files is set up on this desktop.\n\nThe file is " +
                               QDir::toNativeSeparators(path_));
}

void TLogViewer::btn_CopyClick() {
  const QString selected = mmo_Log->textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n');
  QGuiApplication::clipboard()->setText(selected.isEmpty() ? mmo_Log->toPlainText() : selected);
}

TLogViewer *ShowLogFile(QWidget *parent, const QString &path, const QString &title) {
  if (!QFileInfo(path).isFile()) {
    QMessageBox::information(parent, "Brevant 2.0",
                             "There is no " + title + " yet: the file " + QDir::toNativeSeparators(path) +
                                 " does not exist.");
    return nullptr;
  }
  TLogViewer *viewer = nullptr;
  for (TLogViewer *open : parent ? parent->findChildren<TLogViewer *>() : QList<TLogViewer *>())
    if (open->Path() == path) viewer = open;
  if (viewer) viewer->Reload();
  else viewer = new TLogViewer(path, title, parent);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return viewer;
}
