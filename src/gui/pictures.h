#pragma once

#include <QPixmap>

namespace qs {

// A picture of the given size in the display's pixels (sizes are in logical pixels).
QPixmap ScreenPixmap(int width, int height);
// The program's pictures, drawn in code at the requested size.
QPixmap DrawLogo(int width, int height);
QPixmap DrawSaveIcon(int size);
QPixmap DrawHomeIcon(int size);

}  // namespace qs
