#include "ui/FontLabel.h"

#include "storage/Ansi.h"
#include "ui/DisplaySettings.h"

TFontLabel::TFontLabel(const char *name, QWidget *parent) : QLabel(parent) {
  setObjectName(name);
  setToolTip("Double-click to change the font");
  setMinimumHeight(24);
}

void TFontLabel::SetFontSetting(const TFontSetting &font) {
  font_ = font;
  setFont(SettingFont(font));
  setText(AnsiToQString(font.Name));
  QPalette p = palette();
  p.setColor(QPalette::WindowText, SettingQColor(font.Color, Qt::black));
  setPalette(p);
}

void TFontLabel::mouseDoubleClickEvent(QMouseEvent *) { emit doubleClicked(); }
