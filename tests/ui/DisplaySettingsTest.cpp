#include "storage/Ansi.h"
#include "support/FakeMainWindow.h"
#include "support/TempDir.h"
#include "ui/DisplaySettings.h"
#include "ui/GenPropsDialog.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {
const QColor kSilver(0xC0, 0xC0, 0xC0);

class TTipCounter : public QObject {
public:
  int tips = 0;
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::ToolTip) ++tips;
    return false;
  }
};

class DisplaySettingsTest : public QObject {
  Q_OBJECT
private slots:
  void defaultsGiveSilverTahomaAndBoldWhiteTitles() {
    TFakeMainWindow t;
    const TGeneralSettings s;
    ApplyDisplaySettings(&t.window, s);
    QCOMPARE(t.window.palette().color(QPalette::Window), kSilver);
    QCOMPARE(t.window.toolBarArea(t.toolMain), Qt::TopToolBarArea);
    QCOMPARE(t.pcMain->tabPosition(), QTabWidget::West);
    QCOMPARE(t.pcHSF->tabPosition(), QTabWidget::North);
    QCOMPARE(t.ttl->font().bold(), true);
    QCOMPARE(t.ttl->font().pointSize(), 10);
    QCOMPARE(t.ttl->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(t.ttl->palette().color(QPalette::Window), kSilver);
    QCOMPARE(t.tpnlButton->font().pointSize(), 8);
    QCOMPARE(t.tpnl->font().families().first(), QString("Tahoma"));
    // The editor's window takes the page font, so every plain control is Tahoma 8.
    QCOMPARE(t.window.font().pointSize(), 8);
    QCOMPARE(t.editor->font().pointSize(), 8);
    // Swatches keep their own colour.
    QCOMPARE(t.swatch->palette().color(QPalette::Window), QColor(Qt::green));
  }

  void buttonsOnATitleBarStayReadable() {
    QWidget dialog;
    auto *title = new QFrame(&dialog);
    title->setObjectName("ttl_Dialog");
    auto *send = new QPushButton("&Send", title);
    auto *caption = new QLabel("Send to", title);
    ApplyDisplaySettings(&dialog, TGeneralSettings());
    QCOMPARE(caption->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(send->palette().color(QPalette::ButtonText), QApplication::palette().color(QPalette::ButtonText));
    QCOMPARE(send->palette().color(QPalette::Button), QApplication::palette().color(QPalette::Button));
    QVERIFY(send->palette().color(QPalette::ButtonText) != QColor(Qt::white));
  }

  void changedSettingsReachEveryKind() {
    TFakeMainWindow t;
    TGeneralSettings s;
    s.GeneralColor = "$00FF0000";  // blue, in the files' byte order
    s.ToolbarColor = "clYellow";
    s.ToolbarFont = {"DejaVu Sans", "clRed", fsItalic, 11};
    s.TitleColor = "clNavy";
    s.TitleFont = {"DejaVu Serif", "clLime", fsUnderline, 14};
    s.PageFont = {"DejaVu Sans Mono", "clMaroon", fsBold, 9};
    s.TabPosition = TPlacement::plBottom;
    const struct {
      TPlacement placement;
      Qt::ToolBarArea area;
    } placements[] = {{TPlacement::plBottom, Qt::BottomToolBarArea},
                      {TPlacement::plLeft, Qt::LeftToolBarArea},
                      {TPlacement::plRight, Qt::RightToolBarArea},
                      {TPlacement::plTop, Qt::TopToolBarArea}};
    for (const auto &p : placements) {
      s.ToolbarAlign = p.placement;
      ApplyDisplaySettings(&t.window, s);
      QCOMPARE(t.window.toolBarArea(t.toolMain), p.area);
      QVERIFY(!t.toolMain->isHidden());
      QCOMPARE(t.window.toolBarArea(t.toolBar1), Qt::TopToolBarArea);  // only tool_Main moves
    }
    QCOMPARE(t.window.palette().color(QPalette::Window), QColor(Qt::blue));
    QCOMPARE(t.group->palette().color(QPalette::Window), QColor(Qt::blue));
    QCOMPARE(t.pnlOther->palette().color(QPalette::Window), QColor(Qt::blue));
    QCOMPARE(t.toolMain->palette().color(QPalette::Window), QColor(Qt::yellow));
    QCOMPARE(t.toolMain->font().italic(), true);
    QCOMPARE(t.tpnl->palette().color(QPalette::Window), QColor(Qt::yellow));
    QCOMPARE(t.tpnlButton->palette().color(QPalette::ButtonText), QColor(Qt::red));
    QCOMPARE(t.tpnlButton->font().pointSize(), 11);
    QCOMPARE(t.ttl->palette().color(QPalette::Window), QColor(0, 0, 0x80));
    QCOMPARE(t.ttl->palette().color(QPalette::WindowText), QColor(Qt::green));
    QCOMPARE(t.ttl->font().underline(), true);
    QCOMPARE(t.ttl->font().pointSize(), 14);
    QCOMPARE(t.pcMain->tabPosition(), QTabWidget::South);
    QCOMPARE(t.pcSubject->tabPosition(), QTabWidget::North);
    QCOMPARE(t.pcMain->tabBar()->font().bold(), true);
    QCOMPARE(t.pcMain->tabBar()->palette().color(QPalette::WindowText), QColor(0x80, 0, 0));
    QCOMPARE(t.window.font().family(), QString("DejaVu Sans Mono"));
    QCOMPARE(t.swatch->palette().color(QPalette::Window), QColor(Qt::green));
  }

  void generalOptionsSwitchHintsAndHTMLBar() {
    TFakeMainWindow t;
    TGeneralSettings s;
    s.ShowHints = false;
    s.HideHTMLBar = true;
    ApplyGeneralOptions(&t.window, s);
    QVERIFY(!ShowHints());
    QVERIFY(t.toolBar1->isHidden());
    QVERIFY(!t.toolMain->isHidden());
    // A tooltip event is swallowed before it reaches the widget while hints are off.
    TTipCounter counter;
    t.tpnlButton->installEventFilter(&counter);
    QHelpEvent tip(QEvent::ToolTip, QPoint(1, 1), QPoint(1, 1));
    QCoreApplication::sendEvent(t.tpnlButton, &tip);
    QCOMPARE(counter.tips, 0);
    s.ShowHints = true;
    s.HideHTMLBar = false;
    ApplyGeneralOptions(&t.window, s);
    QVERIFY(ShowHints());
    QCoreApplication::sendEvent(t.tpnlButton, &tip);
    QCOMPARE(counter.tips, 1);
    QVERIFY(!t.toolBar1->isHidden());
  }

  void mainWindowTakesTheSettings() {
    TempDir dir;
    Tfrm_Main window(AnsiToQString(dir.Path()));
    TGeneralSettings s;
    s.ToolbarAlign = TPlacement::plRight;
    s.TabPosition = TPlacement::plTop;
    s.GeneralColor = "clTeal";
    s.ToolbarColor = "clOlive";
    ApplyDisplaySettings(&window, s);
    QCOMPARE(window.toolBarArea(window.tool_Main), Qt::RightToolBarArea);
    QVERIFY(!window.tool_Main->isHidden());
    QCOMPARE(window.pc_Main->tabPosition(), QTabWidget::North);
    QCOMPARE(window.palette().color(QPalette::Window), QColor(0, 0x80, 0x80));
    QCOMPARE(window.tool_Main->palette().color(QPalette::Window), QColor(0x80, 0x80, 0));
    // The General Properties dialog applies the stored settings to its main window.
    s.TabPosition = TPlacement::plBottom;
    WriteGeneralSettings(dir.Path(), s, 0, 0);
    TGeneralSettings model;
    Tfrm_GenProps props(dir.Path(), &model, &window);
    QCOMPARE(window.pc_Main->tabPosition(), QTabWidget::South);
    QCOMPARE(props.palette().color(QPalette::Window), QColor(0, 0x80, 0x80));
  }

  void colourAndFontConversions() {
    // The files keep blue in the high byte; a colour with no value on screen takes the fallback.
    QCOMPARE(SettingQColor("$004080FF"), QColor(0xFF, 0x80, 0x40));
    QCOMPARE(SettingQColor("clNone", Qt::cyan), QColor(Qt::cyan));
    QCOMPARE(QColorToText(QColor(0xFF, 0x80, 0x40)), std::string("$004080FF"));
    const TFontSetting f{"DejaVu Serif", "clRed", fsBold | fsStrikeOut, 13};
    QVERIFY(FontToSetting(SettingFont(f), "clRed") == f);
    // A family that is not installed keeps its name but draws with a fallback.
    const QFont tahoma = SettingFont({"Tahoma", "clBlack", 0, 8});
    QCOMPARE(tahoma.families().first(), QString("Tahoma"));
    QCOMPARE(FontToSetting(tahoma, "clBlack").Name, std::string("Tahoma"));
  }
};

}  // namespace

QTEST_MAIN(DisplaySettingsTest)
#include "DisplaySettingsTest.moc"
