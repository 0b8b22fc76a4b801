#pragma once
#include <QWidget>

#include "compose/RulerUnits.h"

class QTextEdit;

// The paragraph ruler above the body editor: shows the indents of the paragraph at the
// caret and sets them when the user drags a marker. Block margins count as points.
class TRuler : public QWidget {
  Q_OBJECT
public:
  enum TMarker { mkNone, mkFirst, mkLeft, mkRight };

  explicit TRuler(QWidget *parent = nullptr);
  void SetEditor(QTextEdit *editor);
  const TRulerMarkers &Markers() const { return markers_; }
  // Ruler units across the client area.
  int ClientWidth() const { return width(); }
  // A marker put at `x` (ruler units) by the user: the indents of the selected paragraphs.
  void MoveMarker(TMarker marker, int x);
  QSize sizeHint() const override { return {400, 24}; }

public slots:
  // Reads the indents of the paragraph at the caret.
  void UpdateFromEditor();

protected:
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  TMarker MarkerAt(int x, int y) const;
  void Apply(const TParaIndents &indents);

  QTextEdit *editor_ = nullptr;
  TParaIndents indents_;
  TRulerMarkers markers_;
  TMarker dragging_ = mkNone;
  int dragX_ = 0;
};
