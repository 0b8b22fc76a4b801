#pragma once
#include <QWidget>

#include "compose/AssembleMessage.h"

class QAction;
class QTabWidget;
class QTextBrowser;
class QTextEdit;
class QToolBar;

// The Digest page of the main window (tab sheet ts_Digest): the assembled message as text
// (re_DigBody) and as HTML (WebBrowser2, local files only, no scripts).
class TDigestPage : public QWidget {
  Q_OBJECT
public:
  explicit TDigestPage(QWidget *parent = nullptr);

  // Shows an assembled digest: its formatted copy (or its lines) in the text view with the
  // newsletter's background, and its HTML preview file, when it has one, in the HTML view.
  void ShowDigest(const TDigest &digest, const QColor &background);
  // Runs the preview assembly with the wait cursor and shows the result.
  TDigest Preview(const TAssemblyInput &input, THtmlConverter &converter);
  // The sub-page shown on entering the page ("Set default Digest mode to HTML").
  void SetDefaultSubPage(bool html);

  QTabWidget *pc_Digest;
  QWidget *ts_Text, *ts_HTML;
  QTextEdit *re_DigBody;
  QTextBrowser *WebBrowser2;
  QToolBar *tool_HTML;
  QAction *tbtn_Back, *tbtn_Forward, *tbtn_Stop, *tbtn_Refresh;

private:
  void LoadPreview(const QString &path);
};
