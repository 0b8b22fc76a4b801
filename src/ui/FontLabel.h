#pragma once
#include "storage/GeneralSettings.h"

#include <QLabel>

// A sample label: shows a font setting in that font, its name as the caption.
class TFontLabel : public QLabel {
  Q_OBJECT
public:
  explicit TFontLabel(const char *name, QWidget *parent = nullptr);
  void SetFontSetting(const TFontSetting &font);
  const TFontSetting &FontSetting() const { return font_; }
signals:
  void doubleClicked();

protected:
  void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
  TFontSetting font_;
};
