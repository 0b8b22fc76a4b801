#pragma once
// Widget tests: a stand-in main window with one control of each kind the display settings
// reach, under the object names they look for. Header-only, like the other widget helpers.
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

struct TFakeMainWindow {
  QMainWindow window;
  QToolBar *toolMain = new QToolBar(&window);
  QToolBar *toolBar1 = new QToolBar(&window);
  QTabWidget *pcMain = new QTabWidget;
  QTabWidget *pcSubject = new QTabWidget;
  QTabWidget *pcHSF = new QTabWidget;
  QWidget *tpnl = new QWidget;
  QPushButton *tpnlButton = new QPushButton("Save", tpnl);
  QLabel *ttl = new QLabel("General Properties");
  QGroupBox *group = new QGroupBox("Group");
  QWidget *pnlOther = new QWidget(group);
  QWidget *swatch = new QWidget(group);
  QTextEdit *editor = new QTextEdit;

  TFakeMainWindow() {
    toolMain->setObjectName("tool_Main");
    toolMain->addAction("New");
    toolBar1->setObjectName("ToolBar1");
    window.addToolBar(Qt::TopToolBarArea, toolMain);
    window.addToolBar(Qt::TopToolBarArea, toolBar1);
    pcMain->setObjectName("pc_Main");
    pcSubject->setObjectName("pc_Subject");
    pcHSF->setObjectName("pc_HSF");
    tpnl->setObjectName("tpnl_Main");
    ttl->setObjectName("ttl_Gen");
    pnlOther->setObjectName("pnl_Other");
    swatch->setObjectName("pnl_GenColor");
    QPalette p = swatch->palette();
    p.setColor(QPalette::Window, Qt::green);
    swatch->setPalette(p);
    editor->setObjectName("re_Body");
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    for (QWidget *w : {static_cast<QWidget *>(pcSubject), static_cast<QWidget *>(pcHSF), tpnl,
                       static_cast<QWidget *>(ttl), static_cast<QWidget *>(group), static_cast<QWidget *>(editor)})
      layout->addWidget(w);
    pcMain->addTab(page, "Newsletter");
    pcSubject->addTab(new QWidget, "Subject");
    pcHSF->addTab(new QWidget, "Header");
    window.setCentralWidget(pcMain);
  }
};
