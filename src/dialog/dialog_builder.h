#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <functional>
#include <map>

#include "dialog/dialog_template.h"

class QWidget;

// Dialog base units of `font`, as the window system derives them: the average width of the
// Latin letters, halved and rounded, and the font's height.
QSize DialogBaseUnits(const QFont& font);

// Dialog units to pixels, rounding each value as MapDialogRect does.
QRect MapDialogRect(const QRect& units, const QSize& baseUnits);

// The dialog font: SimSun where installed, otherwise a CJK font Debian ships, at 10 pt.
QFont DialogFont();

// Makes a control of a kind that only its dialog knows (a receive area, a picture), or a
// QPlainTextEdit of its own for a multi-line edit, as a child of `parent`; null when the
// dialog has none of that kind.
using CustomControlFactory = std::function<QWidget*(ControlKind kind, QWidget& parent)>;

// Creates the template's controls as children of `dialog` (sized, captioned, named, in tab
// order, group boxes behind) and returns them by id. Controls without an id are not
// returned; find them by objectName. The dialog owns every widget.
std::map<int, QWidget*> BuildDialog(QWidget& dialog, const DialogTemplate& tpl,
                                    const CustomControlFactory& custom = {});
