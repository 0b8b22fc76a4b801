#include "ui/ColorDialog.h"

#include "storage/CustomColors.h"

#include <QColorDialog>

bool PickColor(QWidget *parent, const std::string &dataDir, QColor *color) {
  TCustomColors custom{};
  if (ReadCustomColors(dataDir, &custom))
    for (int i = 0; i < QColorDialog::customCount() && i < 16; ++i)
      QColorDialog::setCustomColor(i, QColor::fromRgb(static_cast<QRgb>(*ColorToRGB(custom[static_cast<size_t>(i)]))));
  QColorDialog dialog(*color, parent);
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  *color = dialog.selectedColor();
  for (int i = 0; i < QColorDialog::customCount() && i < 16; ++i)
    custom[static_cast<size_t>(i)] = RGBToColor(QColorDialog::customColor(i).rgb() & 0xFFFFFF);
  WriteCustomColors(dataDir, custom);
  return true;
}
