#pragma once

enum class TEditCommand { ecUndo, ecCut, ecCopy, ecPaste, ecClear, ecSelectAll };

// Runs a standard edit command on the focused control, if it is a text control;
// anything else is left alone.
void EditFocused(TEditCommand command);
