#pragma once
// Applies the display settings to any window, by control kind and objectName:
//  - the window's background takes the general colour;
//  - tool bars take the tool bar font and colour; "tool_Main" is placed by "Toolbar Align";
//  - tab widgets other than pc_Subject, pc_HSF and pc_Digest get their tabs placed by
//    "Tab Position"; every tab bar takes the page font;
//  - group boxes and panels named "pnl..."/"Panel..." take their parent's colour, except the
//    colour swatches pnl_GenColor, pnl_PageColor, pnl_ToolColor and pnl_TitleColor;
//  - widgets named "tpnl..." (tool panels) take the tool bar font and colour, widgets named
//    "ttl_..." (title bars) the title font and colour;
//  - a window holding a rich-text editor takes the page font as its own font.
#include "storage/GeneralSettings.h"

#include <QColor>
#include <QFont>

class QWidget;

void ApplyDisplaySettings(QWidget *window, const TGeneralSettings &settings);

// Tooltips of the whole program on or off, and the Newsletter page's formatting tool bar
// ("ToolBar1") hidden or shown, as the general options say.
void ApplyGeneralOptions(QWidget *window, const TGeneralSettings &settings);
void SetShowHints(bool show);
bool ShowHints();

// A font setting as a QFont; a family missing on this system falls back to a close sans.
QFont SettingFont(const TFontSetting &font);
// The font of a QFont as a font setting, keeping the given colour text.
TFontSetting FontToSetting(const QFont &font, const std::string &colorText);
// A colour text as a QColor; `fallback` for text that is no colour or for clNone.
QColor SettingQColor(const std::string &text, const QColor &fallback = Qt::black);
// A QColor as colour text ("clSilver", "$00FF8040").
std::string QColorToText(const QColor &color);
