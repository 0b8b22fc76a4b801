#include "ui/ColorSwatch.h"

#include "ui/DisplaySettings.h"

TColorSwatch::TColorSwatch(const char *name, QWidget *parent) : QFrame(parent) {
  setObjectName(name);
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setMinimumSize(48, 22);
  setAutoFillBackground(true);
  setToolTip("Double-click to change the colour");
}

void TColorSwatch::SetColorText(const std::string &text) {
  colorText_ = text;
  QPalette p = palette();
  p.setColor(QPalette::Window, SettingQColor(text, p.color(QPalette::Window)));
  setPalette(p);
}

void TColorSwatch::mouseDoubleClickEvent(QMouseEvent *) { emit doubleClicked(); }
