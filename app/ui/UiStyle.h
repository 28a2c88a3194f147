// The window's look shared by its pieces: the text colour of static texts and group boxes.
#pragma once

#include <QColor>
#include <QWidget>

namespace recast::ui {

inline const QColor kStaticTextColour(0, 95, 140);

inline void SetTextColour(QWidget* widget) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, kStaticTextColour);
  widget->setPalette(palette);
}

}  // namespace recast::ui
