#pragma once
#include <QFrame>

#include <string>

// A colour swatch: shows a colour text's colour; double-click to change it.
class TColorSwatch : public QFrame {
  Q_OBJECT
public:
  explicit TColorSwatch(const char *name, QWidget *parent = nullptr);
  void SetColorText(const std::string &text);
  const std::string &ColorText() const { return colorText_; }
signals:
  void doubleClicked();

protected:
  void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
  std::string colorText_;
};
