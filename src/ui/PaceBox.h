#pragma once
// The spin box of a server's pace: at most so many messages a minute, 0 for no limit.
class QSpinBox;
class QWidget;

QSpinBox *PaceBox(const char *objectName, QWidget *parent = nullptr);
