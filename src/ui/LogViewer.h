#pragma once
// A read-only window of our own for the program's text logs (Mail Log, Failed Addresses,
// Maintenance Log): it needs no file opener on the desktop. Open in Editor hands the file
// to the desktop's editor when there is one; Copy puts the selection (or all) on the
// clipboard.
#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

class TLogViewer : public QDialog {
  Q_OBJECT
public:
  TLogViewer(const QString &path, const QString &title, QWidget *parent = nullptr);

  const QString &Path() const { return path_; }
  // Reads the file again; false when it cannot be read.
  bool Reload();

  QPlainTextEdit *mmo_Log;
  QPushButton *btn_OpenInEditor, *btn_Copy, *btn_Close;

public slots:
  void btn_OpenInEditorClick();
  void btn_CopyClick();

private:
  QString path_;
};

// Shows `path` in a log window titled `title`, reusing the window already showing it.
// A file that does not exist is reported in a message box and gives null.
TLogViewer *ShowLogFile(QWidget *parent, const QString &path, const QString &title);
