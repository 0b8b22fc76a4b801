#include "ui/RichTextBridge.h"

#include "storage/Ansi.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <algorithm>
#include <cmath>

namespace {

TRichAlign AlignOf(Qt::Alignment a) {
  const Qt::Alignment h = a & Qt::AlignHorizontal_Mask;
  if (h & Qt::AlignHCenter) return TRichAlign::raCenter;
  if (h & Qt::AlignRight) return TRichAlign::raRight;
  return TRichAlign::raLeft;
}

Qt::Alignment QtAlign(TRichAlign a) {
  switch (a) {
    case TRichAlign::raCenter: return Qt::AlignHCenter;
    case TRichAlign::raRight: return Qt::AlignRight | Qt::AlignAbsolute;
    default: return Qt::AlignLeft | Qt::AlignAbsolute;
  }
}

// Block margins count as points; the model keeps twips.
int Twips(qreal points) {
  return std::clamp(static_cast<int>(std::lround(points * 20)), -kMaxIndentTwips, kMaxIndentTwips);
}

std::string TextOf(QString s) {
  s.replace(QChar::LineSeparator, QChar('\v'));
  s.remove(QChar::ObjectReplacementCharacter);
  return QStringToAnsi(s);
}

}  // namespace

TRichDocument DocumentToRich(const QTextDocument &doc) {
  TRichDocument rich;
  const QFont base = doc.defaultFont();
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    TRichParagraph p;
    const QTextBlockFormat bf = b.blockFormat();
    p.Align = AlignOf(bf.alignment());
    p.Bullet = b.textList() != nullptr;
    p.FirstIndent = Twips(bf.textIndent());
    p.LeftIndent = Twips(bf.leftMargin());
    p.RightIndent = Twips(bf.rightMargin());
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (!f.isValid()) continue;
      const QTextCharFormat cf = f.charFormat();
      TRichRun r;
      r.Text = TextOf(f.text());
      if (r.Text.empty()) continue;
      const QStringList families = cf.fontFamilies().toStringList();
      r.Face = QStringToAnsi(!families.isEmpty() ? families.first() : base.family());
      const double points = cf.fontPointSize() > 0 ? cf.fontPointSize() : base.pointSizeF();
      r.SizeHalfPoints = std::max(1, static_cast<int>(std::lround(points * 2)));
      r.Color = cf.foreground().style() == Qt::NoBrush ? 0 : (cf.foreground().color().rgb() & 0xFFFFFF);
      r.Bold = cf.hasProperty(QTextFormat::FontWeight) ? cf.fontWeight() >= QFont::Bold : base.bold();
      r.Italic = cf.fontItalic();
      r.Underline = cf.fontUnderline();
      r.StrikeOut = cf.fontStrikeOut();
      p.Runs.push_back(std::move(r));
    }
    rich.Paragraphs.push_back(std::move(p));
  }
  return rich;
}

void RichToDocument(const TRichDocument &rich, QTextDocument &doc) {
  doc.clear();
  QTextCursor c(&doc);
  c.beginEditBlock();
  QTextList *list = nullptr;
  for (size_t i = 0; i < rich.Paragraphs.size(); ++i) {
    const TRichParagraph &p = rich.Paragraphs[i];
    QTextBlockFormat bf;
    bf.setAlignment(QtAlign(p.Align));
    bf.setTextIndent(p.FirstIndent / 20.0);
    bf.setLeftMargin(p.LeftIndent / 20.0);
    bf.setRightMargin(p.RightIndent / 20.0);
    if (i == 0) c.setBlockFormat(bf);
    else c.insertBlock(bf, QTextCharFormat());
    if (QTextList *inherited = c.block().textList(); inherited && !p.Bullet) inherited->remove(c.block());
    if (p.Bullet) {
      if (list) list->add(c.block());
      else list = c.createList(QTextListFormat::ListDisc);
    } else {
      list = nullptr;
    }
    for (const TRichRun &r : p.Runs) {
      QTextCharFormat cf;
      cf.setFontFamilies(QStringList{AnsiToQString(r.Face)});
      cf.setFontPointSize(r.SizeHalfPoints / 2.0);
      cf.setForeground(QColor(QRgb(0xFF000000u | r.Color)));
      cf.setFontWeight(r.Bold ? QFont::Bold : QFont::Normal);
      cf.setFontItalic(r.Italic);
      cf.setFontUnderline(r.Underline);
      cf.setFontStrikeOut(r.StrikeOut);
      QString text = AnsiToQString(r.Text);
      text.replace(QChar('\v'), QChar::LineSeparator);
      c.insertText(text, cf);
    }
  }
  c.endEditBlock();
}
