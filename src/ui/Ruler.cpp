#include "ui/Ruler.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextEdit>

#include <cstdlib>

TRuler::TRuler(QWidget *parent) : QWidget(parent) {
  setObjectName("Ruler");
  setMinimumHeight(24);
  setMouseTracking(false);
}

void TRuler::SetEditor(QTextEdit *editor) {
  if (editor_) disconnect(editor_, nullptr, this, nullptr);
  editor_ = editor;
  if (editor_) {
    connect(editor_, &QTextEdit::cursorPositionChanged, this, &TRuler::UpdateFromEditor);
    connect(editor_, &QTextEdit::selectionChanged, this, &TRuler::UpdateFromEditor);
  }
  UpdateFromEditor();
}

void TRuler::UpdateFromEditor() {
  if (editor_) {
    const QTextBlockFormat f = editor_->textCursor().blockFormat();
    indents_ = LayoutToIndents(f.leftMargin(), f.textIndent(), f.rightMargin());
  } else {
    indents_ = {};
  }
  markers_ = IndentsToMarkers(indents_, ClientWidth());
  update();
}

void TRuler::Apply(const TParaIndents &indents) {
  if (!editor_) return;
  QTextBlockFormat f;
  double left, first, right;
  IndentsToLayout(indents, left, first, right);
  f.setLeftMargin(left);
  f.setTextIndent(first);
  f.setRightMargin(right);
  editor_->textCursor().mergeBlockFormat(f);  // every paragraph of the selection
  UpdateFromEditor();
}

void TRuler::MoveMarker(TMarker marker, int x) {
  TParaIndents p = indents_;
  switch (marker) {
    case mkLeft: p.LeftIndent = LeftIndentFromMarker(x, p.FirstIndent); break;
    case mkRight: p.RightIndent = RightIndentFromMarker(x, ClientWidth()); break;
    case mkFirst:
      // The other lines stay where the left marker shows them.
      p.FirstIndent = FirstIndentFromMarker(x);
      p.LeftIndent = LeftIndentFromMarker(markers_.Left, p.FirstIndent);
      break;
    case mkNone: return;
  }
  Apply(p);
}

TRuler::TMarker TRuler::MarkerAt(int x, int y) const {
  const int slack = 5;
  // The first-line marker hangs from the top, the left one stands at the bottom.
  if (y < height() / 2 && std::abs(x - markers_.First) <= slack) return mkFirst;
  if (std::abs(x - markers_.Left) <= slack) return mkLeft;
  if (std::abs(x - markers_.Right) <= slack) return mkRight;
  if (std::abs(x - markers_.First) <= slack) return mkFirst;
  return mkNone;
}

void TRuler::mousePressEvent(QMouseEvent *event) {
  const QPoint p = event->position().toPoint();
  dragging_ = MarkerAt(p.x(), p.y());
  dragX_ = p.x();
}

void TRuler::mouseMoveEvent(QMouseEvent *event) {
  if (dragging_ == mkNone) return;
  dragX_ = event->position().toPoint().x();
  update();
}

void TRuler::mouseReleaseEvent(QMouseEvent *event) {
  if (dragging_ == mkNone) return;
  const TMarker marker = dragging_;
  dragging_ = mkNone;
  MoveMarker(marker, event->position().toPoint().x());
}

void TRuler::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  UpdateFromEditor();
}

void TRuler::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  painter.fillRect(QRect(2, 4, width() - 8, height() - 8), palette().base());
  painter.setPen(palette().color(QPalette::WindowText));
  // A tick every eighth of an inch (12 units), longer at each half inch.
  for (int x = 2, i = 0; x < width() - 6; x += 12, ++i) {
    const int len = i % 4 == 0 ? 6 : 3;
    painter.drawLine(x, height() / 2 - len / 2, x, height() / 2 + len / 2);
  }
  auto x = [this](TMarker m, int at) { return dragging_ == m ? dragX_ : at; };
  painter.setBrush(palette().button());
  const int f = x(mkFirst, markers_.First), l = x(mkLeft, markers_.Left), r = x(mkRight, markers_.Right);
  const QPoint first[] = {{f - 4, 0}, {f + 4, 0}, {f, 6}};
  const QPoint left[] = {{l - 4, height() - 1}, {l + 4, height() - 1}, {l, height() - 7}};
  const QPoint right[] = {{r - 4, height() - 1}, {r + 4, height() - 1}, {r, height() - 7}};
  painter.drawPolygon(first, 3);
  painter.drawPolygon(left, 3);
  painter.drawPolygon(right, 3);
}
