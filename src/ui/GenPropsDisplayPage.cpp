#include "ui/GenPropsDialog.h"
#include "ui/GenPropsHelpers.h"
#include "ui/NamedWidgets.h"

#include "ui/ColorDialog.h"
#include "ui/DisplaySettings.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QTabWidget>

using namespace genprops;

void Tfrm_GenProps::BuildDisplayPage() {
  auto *page = new QWidget;
  page->setObjectName("ts_Display");
  auto fontColorButton = [this](const char *name, QWidget *parent, TFontLabel *label) {
    QPushButton *button = NamedButton(name, "Font Color...", parent);
    button->setToolTip("Change the colour of this font");
    connect(button, &QPushButton::clicked, this, [this, label] { ChooseFontColor(label); });
    return button;
  };

  auto *tabs = new QGroupBox("Tab Display", page);
  lbl_PageFont = new TFontLabel("lbl_PageFont", tabs);
  btn_PageFontColor = fontColorButton("btn_PageFontColor", tabs, lbl_PageFont);
  cb_TabPosition = PlacementBox("cb_TabPosition", tabs);
  auto *tabsForm = new QFormLayout(tabs);
  tabsForm->addRow("Page Font", lbl_PageFont);
  tabsForm->addRow("", btn_PageFontColor);
  tabsForm->addRow("Tab Position:", cb_TabPosition);

  auto *bars = new QGroupBox("Toolbars", page);
  pnl_ToolColor = new TColorSwatch("pnl_ToolColor", bars);
  lbl_ToolFont = new TFontLabel("lbl_ToolFont", bars);
  btn_ToolFontColor = fontColorButton("btn_ToolFontColor", bars, lbl_ToolFont);
  cb_ToolAlign = PlacementBox("cb_ToolAlign", bars);
  auto *barsForm = new QFormLayout(bars);
  barsForm->addRow("Color", pnl_ToolColor);
  barsForm->addRow("Font", lbl_ToolFont);
  barsForm->addRow("", btn_ToolFontColor);
  barsForm->addRow("Main Toolbar Alignment:", cb_ToolAlign);

  auto *general = new QGroupBox("General Display", page);
  pnl_GenColor = new TColorSwatch("pnl_GenColor", general);
  (new QFormLayout(general))->addRow("Background Color", pnl_GenColor);

  auto *titles = new QGroupBox("Title Bars", page);
  pnl_TitleColor = new TColorSwatch("pnl_TitleColor", titles);
  lbl_TitleFont = new TFontLabel("lbl_TitleFont", titles);
  btn_TitleFontColor = fontColorButton("btn_TitleFontColor", titles, lbl_TitleFont);
  auto *titlesForm = new QFormLayout(titles);
  titlesForm->addRow("Color", pnl_TitleColor);
  titlesForm->addRow("Font", lbl_TitleFont);
  titlesForm->addRow("", btn_TitleFontColor);

  auto *grid = new QGridLayout(page);
  grid->addWidget(tabs, 0, 0);
  grid->addWidget(bars, 0, 1);
  grid->addWidget(general, 1, 0);
  grid->addWidget(titles, 1, 1);
  grid->setRowStretch(2, 1);
  pc_GenProps->addTab(page, "Display");

  for (TColorSwatch *swatch : {pnl_GenColor, pnl_ToolColor, pnl_TitleColor})
    connect(swatch, &TColorSwatch::doubleClicked, this, [this, swatch] { ChooseColor(swatch); });
  for (TFontLabel *label : {lbl_PageFont, lbl_ToolFont, lbl_TitleFont})
    connect(label, &TFontLabel::doubleClicked, this, [this, label] { ChooseFont(label); });
}
