#pragma once

#include <QPixmap>

namespace qs {

// The program's pictures, drawn in code at the requested size.
QPixmap DrawLogo(int width, int height);
QPixmap DrawSaveIcon(int size);
QPixmap DrawHomeIcon(int size);

}  // namespace qs
