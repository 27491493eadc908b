#pragma once
#include <QIcon>

namespace tabvue::gui {

// The command pictures by their fixed image index (0 cut, 1 copy, 2 paste, 7 open, 8 save,
// 10 table property, 15/16 tiling, 17 cascade, 23 filter, 24 export, 25 help, 26 print): the
// desktop theme's icon when it has one, else the picture bundled with the program.
QIcon commandIcon(int index);
// The program's own icon.
QIcon programIcon();
// Makes the bundled resources (help text, pictures) available; safe to call more than once.
void initResources();

} // namespace tabvue::gui
