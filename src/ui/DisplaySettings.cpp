#include "ui/DisplaySettings.h"

#include "storage/Ansi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QWidget>

namespace {

// Where Tahoma is missing, the closest sans of a Debian desktop takes its place.
const char *const kFallbackFamily = "DejaVu Sans";

void SetBackground(QWidget *w, const QColor &color) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, color);
  p.setColor(QPalette::Button, color);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

void SetFontAndColor(QWidget *w, const TFontSetting &font) {
  w->setFont(SettingFont(font));
  const QColor color = SettingQColor(font.Color, w->palette().color(QPalette::WindowText));
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, color);
  p.setColor(QPalette::ButtonText, color);
  w->setPalette(p);
}

// Push buttons on a title bar keep the usual button colours: its text colour (white on
// silver by default) would make them look disabled.
void KeepButtonsReadable(QWidget *panel) {
  const QPalette standard = QApplication::palette();
  for (QAbstractButton *b : panel->findChildren<QAbstractButton *>()) {
    if (!qobject_cast<QPushButton *>(b)) continue;
    QPalette p = b->palette();
    for (QPalette::ColorRole role : {QPalette::Button, QPalette::ButtonText, QPalette::Window, QPalette::WindowText})
      p.setColor(role, standard.color(role));
    b->setPalette(p);
  }
}

QColor ParentColor(const QWidget *w) {
  return w->parentWidget() ? w->parentWidget()->palette().color(QPalette::Window) : w->palette().color(QPalette::Window);
}

bool IsSwatch(const QString &name) {
  return name == "pnl_GenColor" || name == "pnl_PageColor" || name == "pnl_ToolColor" || name == "pnl_TitleColor";
}

Qt::ToolBarArea ToolBarArea(TPlacement p) {
  switch (p) {
    case TPlacement::plBottom: return Qt::BottomToolBarArea;
    case TPlacement::plLeft: return Qt::LeftToolBarArea;
    case TPlacement::plRight: return Qt::RightToolBarArea;
    case TPlacement::plTop: break;
  }
  return Qt::TopToolBarArea;
}

QTabWidget::TabPosition TabPosition(TPlacement p) {
  switch (p) {
    case TPlacement::plBottom: return QTabWidget::South;
    case TPlacement::plLeft: return QTabWidget::West;
    case TPlacement::plRight: return QTabWidget::East;
    case TPlacement::plTop: break;
  }
  return QTabWidget::North;
}

void PlaceMainToolBar(QToolBar *bar, TPlacement placement) {
  const Qt::ToolBarArea area = ToolBarArea(placement);
  const bool vertical = area == Qt::LeftToolBarArea || area == Qt::RightToolBarArea;
  auto *main = qobject_cast<QMainWindow *>(bar->parentWidget());
  if (main && main->toolBarArea(bar) != area) {
    const bool hidden = bar->isHidden();
    main->removeToolBar(bar);
    main->addToolBar(area, bar);
    bar->setHidden(hidden);
  } else if (!main) {
    bar->setOrientation(vertical ? Qt::Vertical : Qt::Horizontal);
  }
  // Buttons sit 4 pixels in from the bar's start when it runs across the window.
  bar->setContentsMargins(vertical ? 0 : 4, 0, 0, 0);
}

// Shows or swallows every tooltip of the application.
class THintFilter : public QObject {
public:
  bool show = true;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (!show && event->type() == QEvent::ToolTip) return true;
    return QObject::eventFilter(watched, event);
  }
};

THintFilter *HintFilter() {
  static QPointer<THintFilter> filter;
  if (!filter && qApp) {
    filter = new THintFilter;
    filter->setParent(qApp);
    qApp->installEventFilter(filter);
  }
  return filter;
}

}  // namespace

QFont SettingFont(const TFontSetting &font) {
  QFont f;
  const QString family = AnsiToQString(font.Name);
  if (QFontDatabase::hasFamily(family)) f.setFamilies({family});
  else f.setFamilies({family, kFallbackFamily});
  f.setPointSize(font.Size > 0 ? font.Size : 8);
  f.setBold(font.Style & fsBold);
  f.setItalic(font.Style & fsItalic);
  f.setUnderline(font.Style & fsUnderline);
  f.setStrikeOut(font.Style & fsStrikeOut);
  return f;
}

TFontSetting FontToSetting(const QFont &font, const std::string &colorText) {
  TFontStyles style = 0;
  if (font.bold()) style |= fsBold;
  if (font.italic()) style |= fsItalic;
  if (font.underline()) style |= fsUnderline;
  if (font.strikeOut()) style |= fsStrikeOut;
  const int size = font.pointSize() > 0 ? font.pointSize() : 8;
  return {QStringToAnsi(font.family()), colorText, style, size};
}

QColor SettingQColor(const std::string &text, const QColor &fallback) {
  TColor color;
  if (!TextToColor(text, &color)) return fallback;
  const std::optional<uint32_t> rgb = ColorToRGB(color);
  return rgb ? QColor::fromRgb(static_cast<QRgb>(*rgb)) : fallback;
}

std::string QColorToText(const QColor &color) {
  return ColorToText(RGBToColor(color.rgb() & 0xFFFFFF));
}

void ApplyDisplaySettings(QWidget *window, const TGeneralSettings &s) {
  if (!window) return;
  SetBackground(window, SettingQColor(s.GeneralColor, QColor(0xC0, 0xC0, 0xC0)));
  const QColor toolColor = SettingQColor(s.ToolbarColor, QColor(0xC0, 0xC0, 0xC0));
  const QColor titleColor = SettingQColor(s.TitleColor, QColor(0xC0, 0xC0, 0xC0));
  bool hasEditor = false;

  // Parents come before their children, so "the parent's colour" is already the new one.
  for (QWidget *w : window->findChildren<QWidget *>()) {
    const QString name = w->objectName();
    if (auto *bar = qobject_cast<QToolBar *>(w)) {
      SetFontAndColor(bar, s.ToolbarFont);
      SetBackground(bar, toolColor);
      if (name == "tool_Main") PlaceMainToolBar(bar, s.ToolbarAlign);
    } else if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
      if (name != "pc_Subject" && name != "pc_HSF" && name != "pc_Digest") tabs->setTabPosition(TabPosition(s.TabPosition));
      SetFontAndColor(tabs->tabBar(), s.PageFont);
    } else if (qobject_cast<QGroupBox *>(w)) {
      SetBackground(w, ParentColor(w));
    } else if (IsSwatch(name)) {
      continue;
    } else if (name.startsWith("tpnl")) {
      SetFontAndColor(w, s.ToolbarFont);
      SetBackground(w, toolColor);
    } else if (name.startsWith("ttl_")) {
      SetFontAndColor(w, s.TitleFont);
      SetBackground(w, titleColor);
      KeepButtonsReadable(w);
    } else if (name.startsWith("pnl") || name.startsWith("Panel")) {
      SetBackground(w, ParentColor(w));
    } else if (qobject_cast<QTextEdit *>(w) && !qobject_cast<QTextBrowser *>(w)) {
      hasEditor = true;
    }
  }
  if (hasEditor) window->setFont(SettingFont(s.PageFont));
  window->update();
}

void SetShowHints(bool show) {
  if (THintFilter *filter = HintFilter()) filter->show = show;
}

bool ShowHints() {
  const THintFilter *filter = HintFilter();
  return !filter || filter->show;
}

void ApplyGeneralOptions(QWidget *window, const TGeneralSettings &s) {
  SetShowHints(s.ShowHints);
  if (!window) return;
  if (auto *bar = window->findChild<QWidget *>("ToolBar1")) bar->setHidden(s.HideHTMLBar);
}
