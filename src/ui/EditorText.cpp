#include "ui/EditorText.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTextList>

#include "storage/Ansi.h"

std::vector<std::string> LaidOutLines(QTextEdit *editor) {
  QTextDocument *doc = editor->document();
  // Lay out at the box's present width before reading the wrap points.
  doc->documentLayout()->documentSize();
  std::vector<std::string> lines;
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    const QString text = block.text();
    QTextLayout *layout = block.layout();
    if (!layout || layout->lineCount() == 0) {
      lines.push_back(QStringToAnsi(text));
      continue;
    }
    for (int i = 0; i < layout->lineCount(); ++i) {
      const QTextLine line = layout->lineAt(i);
      QString part = text.mid(line.textStart(), line.textLength());
      part.replace(QChar::LineSeparator, u' ');
      lines.push_back(QStringToAnsi(part));
    }
  }
  return lines;
}

void ShowRichDocument(QTextEdit *editor, const TRichDocument &doc) {
  editor->clear();
  QTextCursor cursor(editor->document());
  cursor.beginEditBlock();
  for (size_t i = 0; i < doc.Paragraphs.size(); ++i) {
    const TRichParagraph &p = doc.Paragraphs[i];
    QTextBlockFormat block;
    block.setAlignment(p.Align == TRichAlign::raCenter ? Qt::AlignHCenter
                       : p.Align == TRichAlign::raRight ? Qt::AlignRight
                                                        : Qt::AlignLeft);
    if (i == 0) cursor.setBlockFormat(block);
    else cursor.insertBlock(block);
    if (p.Bullet) cursor.createList(QTextListFormat::ListDisc);
    for (const TRichRun &run : p.Runs) {
      QTextCharFormat f;
      f.setFontFamilies({AnsiToQString(run.Face)});
      f.setFontPointSize(run.SizeHalfPoints / 2.0);
      f.setForeground(QColor::fromRgb(run.Color));
      f.setFontWeight(run.Bold ? QFont::Bold : QFont::Normal);
      f.setFontItalic(run.Italic);
      f.setFontUnderline(run.Underline);
      f.setFontStrikeOut(run.StrikeOut);
      QString text = AnsiToQString(run.Text);
      text.replace(u'\v', QChar::LineSeparator);
      cursor.insertText(text, f);
    }
  }
  cursor.endEditBlock();
}

TRichDocument RichDocumentOf(QTextEdit *editor) {
  TRichDocument doc;
  const QColor defaultText = editor->palette().color(QPalette::Text);
  for (QTextBlock block = editor->document()->begin(); block.isValid(); block = block.next()) {
    TRichParagraph p;
    const Qt::Alignment align = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
    p.Align = align == Qt::AlignHCenter ? TRichAlign::raCenter
              : align == Qt::AlignRight ? TRichAlign::raRight
                                        : TRichAlign::raLeft;
    p.Bullet = block.textList() != nullptr;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment frag = it.fragment();
      const QTextCharFormat f = frag.charFormat();
      const QFont font = f.font();
      TRichRun run;
      QString text = frag.text();
      text.replace(QChar::LineSeparator, u'\v');
      run.Text = QStringToAnsi(text);
      run.Face = QStringToAnsi(font.family());
      run.SizeHalfPoints = static_cast<int>(font.pointSizeF() * 2 + 0.5);
      const QColor c = f.foreground().style() == Qt::NoBrush ? defaultText : f.foreground().color();
      run.Color = (static_cast<TRgb>(c.red()) << 16) | (c.green() << 8) | c.blue();
      run.Bold = font.bold();
      run.Italic = font.italic();
      run.Underline = font.underline();
      run.StrikeOut = font.strikeOut();
      if (!p.Runs.empty() && p.Runs.back().SameFormat(run)) p.Runs.back().Text += run.Text;
      else p.Runs.push_back(run);
    }
    doc.Paragraphs.push_back(p);
  }
  return doc;
}

uint32_t BackgroundValue(QTextEdit *editor) {
  const QColor c = editor->palette().color(QPalette::Base);
  return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
         (static_cast<uint32_t>(c.blue()) << 16);
}
