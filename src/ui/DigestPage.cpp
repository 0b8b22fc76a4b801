#include "ui/DigestPage.h"

#include <QApplication>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "compose/RtfReader.h"
#include "storage/Ansi.h"
#include "ui/RichTextBridge.h"

TDigestPage::TDigestPage(QWidget *parent) : QWidget(parent) {
  setObjectName("ts_Digest");
  pc_Digest = new QTabWidget(this);
  pc_Digest->setObjectName("pc_Digest");

  ts_Text = new QWidget(pc_Digest);
  ts_Text->setObjectName("ts_Text");
  re_DigBody = new QTextEdit(ts_Text);
  re_DigBody->setObjectName("re_DigBody");
  re_DigBody->setToolTip("Compiled digest");
  re_DigBody->setReadOnly(true);  // the message is rebuilt from the newsletter for every send
  re_DigBody->setLineWrapMode(QTextEdit::WidgetWidth);
  auto *textLayout = new QVBoxLayout(ts_Text);
  textLayout->setContentsMargins(0, 0, 0, 0);
  textLayout->addWidget(re_DigBody);

  ts_HTML = new QWidget(pc_Digest);
  ts_HTML->setObjectName("ts_HTML");
  WebBrowser2 = new QTextBrowser(ts_HTML);
  WebBrowser2->setObjectName("WebBrowser2");
  // Only local pages: a link to the web is not followed inside the preview.
  WebBrowser2->setOpenLinks(false);
  WebBrowser2->setOpenExternalLinks(false);
  connect(WebBrowser2, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) {
    const QUrl target = WebBrowser2->source().resolved(url);
    if (target.isLocalFile()) WebBrowser2->setSource(target);
  });
  tool_HTML = new QToolBar(ts_HTML);
  tool_HTML->setObjectName("tool_HTML");
  tbtn_Back = tool_HTML->addAction(style()->standardIcon(QStyle::SP_ArrowBack), "Back", WebBrowser2,
                                   &QTextBrowser::backward);
  tbtn_Forward = tool_HTML->addAction(style()->standardIcon(QStyle::SP_ArrowForward), "Forward", WebBrowser2,
                                      &QTextBrowser::forward);
  // Pages load at once from local files, so there is never a load to stop.
  tbtn_Stop = tool_HTML->addAction(style()->standardIcon(QStyle::SP_BrowserStop), "Stop");
  tbtn_Refresh = tool_HTML->addAction(style()->standardIcon(QStyle::SP_BrowserReload), "Refresh", WebBrowser2,
                                      &QTextBrowser::reload);
  connect(WebBrowser2, &QTextBrowser::backwardAvailable, tbtn_Back, &QAction::setEnabled);
  connect(WebBrowser2, &QTextBrowser::forwardAvailable, tbtn_Forward, &QAction::setEnabled);
  tbtn_Back->setEnabled(false);
  tbtn_Forward->setEnabled(false);
  auto *htmlLayout = new QVBoxLayout(ts_HTML);
  htmlLayout->setContentsMargins(0, 0, 0, 0);
  htmlLayout->addWidget(tool_HTML);
  htmlLayout->addWidget(WebBrowser2);

  pc_Digest->addTab(ts_Text, "  Text  ");
  pc_Digest->addTab(ts_HTML, "  HTML  ");
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(pc_Digest);
}

void TDigestPage::ShowDigest(const TDigest &digest, const QColor &background) {
  QPalette palette = re_DigBody->palette();
  palette.setColor(QPalette::Base, background);
  re_DigBody->setPalette(palette);
  if (!digest.Rtf.empty()) {
    // The editor's own converter: the preview keeps formats and indents as the editor shows them.
    RichToDocument(ReadRtf(digest.Rtf), *re_DigBody->document());
  } else {
    QString text;
    for (size_t i = 0; i < digest.Lines.size(); ++i) {
      if (i) text += u'\n';
      text += AnsiToQString(digest.Lines[i]);
    }
    re_DigBody->setPlainText(text);
  }
  QTextCursor start = re_DigBody->textCursor();
  start.movePosition(QTextCursor::Start);
  re_DigBody->setTextCursor(start);
  re_DigBody->ensureCursorVisible();
  if (!digest.HtmlFile.empty()) LoadPreview(AnsiToQString(digest.HtmlFile));
}

void TDigestPage::LoadPreview(const QString &path) {
  const QUrl url = QUrl::fromLocalFile(path);
  // The preview file keeps its name, so showing it again must read it again.
  if (WebBrowser2->source() == url) WebBrowser2->reload();
  else WebBrowser2->setSource(url);
}

TDigest TDigestPage::Preview(const TAssemblyInput &input, THtmlConverter &converter) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct TRestore {
    ~TRestore() { QApplication::restoreOverrideCursor(); }
  } restore;
  TDigest digest = AssembleMessage(input, false, false, &converter);
  const uint32_t bg = input.Background;  // 0x00BBGGRR
  ShowDigest(digest, QColor(bg & 0xFF, (bg >> 8) & 0xFF, (bg >> 16) & 0xFF));
  return digest;
}

void TDigestPage::SetDefaultSubPage(bool html) { pc_Digest->setCurrentWidget(html ? ts_HTML : ts_Text); }
