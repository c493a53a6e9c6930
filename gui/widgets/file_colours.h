#pragma once
// The colours of file 1 and file 2 wherever the two are told apart: curves, path labels, legend
// swatches, list columns and the program's icon.
#include <QColor>

namespace mvgui {

inline const QColor kFileColour[2] = {QColor(255, 208, 255), QColor(128, 255, 255)};

}  // namespace mvgui
