#include "ui/EditorText.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

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

uint32_t BackgroundValue(QTextEdit *editor) {
  const QColor c = editor->palette().color(QPalette::Base);
  return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
         (static_cast<uint32_t>(c.blue()) << 16);
}
