#include "storage/Ansi.h"
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
#include <QGroupBox>
#include <QTextEdit>
#include "ui/FormatBar.h"
#include "ui/NewsletterPage.h"
#include <QTest>

namespace {
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

  // One control of each kind, in the main window and in a dialog, against the settings.
  void changedSettingsReachEveryKind() {
    TempDir dir;
    Tfrm_Main window(AnsiToQString(dir.Path()));
    TGeneralSettings model;
    Tfrm_GenProps dialog(dir.Path(), &model);
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
      ApplyDisplaySettings(&window, s);
      QCOMPARE(window.toolBarArea(window.tool_Main), p.area);
      QVERIFY(!window.tool_Main->isHidden());
    }
    ApplyDisplaySettings(&dialog, s);
    QCOMPARE(window.palette().color(QPalette::Window), QColor(Qt::blue));
    QCOMPARE(window.findChild<QWidget *>("pnl_Attachment")->palette().color(QPalette::Window), QColor(Qt::blue));
    QCOMPARE(dialog.gb_SMTPServ->palette().color(QPalette::Window), QColor(Qt::blue));
    QCOMPARE(window.tool_Main->palette().color(QPalette::Window), QColor(Qt::yellow));
    QCOMPARE(window.tool_Main->font().italic(), true);
    QCOMPARE(dialog.tpnl_GenProps->palette().color(QPalette::Window), QColor(Qt::yellow));
    QCOMPARE(dialog.btn_Save->palette().color(QPalette::ButtonText), QColor(Qt::red));
    QCOMPARE(dialog.btn_Save->font().pointSize(), 11);
    QCOMPARE(dialog.ttl_Gen->palette().color(QPalette::Window), QColor(0, 0, 0x80));
    QCOMPARE(dialog.ttl_Gen->palette().color(QPalette::WindowText), QColor(Qt::green));
    QCOMPARE(dialog.ttl_Gen->font().underline(), true);
    QCOMPARE(dialog.ttl_Gen->font().pointSize(), 14);
    QCOMPARE(window.pc_Main->tabPosition(), QTabWidget::South);
    QCOMPARE(window.findChild<QTabWidget *>("pc_Subject")->tabPosition(), QTabWidget::North);
    QCOMPARE(window.pc_Main->tabBar()->font().bold(), true);
    QCOMPARE(window.pc_Main->tabBar()->palette().color(QPalette::WindowText), QColor(0x80, 0, 0));
    QCOMPARE(window.font().family(), QString("DejaVu Sans Mono"));
    // The editor's window takes the page font; swatches keep their own colour.
    QCOMPARE(window.ts_Newsletter->re_NewsBody->font().family(), QString("DejaVu Sans Mono"));
    QCOMPARE(dialog.pnl_GenColor->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
  }

  void generalOptionsSwitchHintsAndHTMLBar() {
    TempDir dir;
    Tfrm_Main window(AnsiToQString(dir.Path()));
    QWidget *htmlBar = window.ts_Newsletter->ToolBar1;
    TGeneralSettings s;
    s.ShowHints = false;
    s.HideHTMLBar = true;
    ApplyGeneralOptions(&window, s);
    QVERIFY(!ShowHints());
    QVERIFY(htmlBar->isHidden());
    QVERIFY(!window.tool_Main->isHidden());
    // A tooltip event is swallowed before it reaches the widget while hints are off.
    TTipCounter counter;
    window.ts_Newsletter->btn_Attach->installEventFilter(&counter);
    QHelpEvent tip(QEvent::ToolTip, QPoint(1, 1), QPoint(1, 1));
    QCoreApplication::sendEvent(window.ts_Newsletter->btn_Attach, &tip);
    QCOMPARE(counter.tips, 0);
    s.ShowHints = true;
    s.HideHTMLBar = false;
    ApplyGeneralOptions(&window, s);
    QVERIFY(ShowHints());
    QCoreApplication::sendEvent(window.ts_Newsletter->btn_Attach, &tip);
    QCOMPARE(counter.tips, 1);
    QVERIFY(!htmlBar->isHidden());
  }

  // The General Properties dialog applies the stored settings to its main window.
  void genPropsAppliesTheStoredSettings() {
    TempDir dir;
    Tfrm_Main window(AnsiToQString(dir.Path()));
    TGeneralSettings s;
    s.TabPosition = TPlacement::plBottom;
    s.GeneralColor = "clTeal";
    WriteGeneralSettings(dir.Path(), s, 0, 0);
    TGeneralSettings model;
    Tfrm_GenProps props(dir.Path(), &model, &window);
    QCOMPARE(window.pc_Main->tabPosition(), QTabWidget::South);
    QCOMPARE(props.palette().color(QPalette::Window), QColor(0, 0x80, 0x80));
  }

  // A family that is not installed keeps its name, so the settings file keeps "Tahoma".
  void missingFontFamilyKeepsItsName() {
    const QFont tahoma = SettingFont({"Tahoma", "clBlack", 0, 8});
    QCOMPARE(FontToSetting(tahoma, "clBlack").Name, std::string("Tahoma"));
  }
};

}  // namespace

QTEST_MAIN(DisplaySettingsTest)
#include "DisplaySettingsTest.moc"
