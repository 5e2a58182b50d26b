#pragma once
// The program's pictures, drawn in code so no bitmap has to be carried along.
#include <QPixmap>

namespace artwork {

QPixmap rightArrow(); // 60 x 60: red curved arrow pointing right (rotation "ЛЕВОЕ")
QPixmap leftArrow();  // 60 x 59: red curved arrow pointing left (rotation "ПРАВОЕ")
QPixmap stopSign();   // 60 x 60: red octagon lettered STOP
QPixmap mixerTruck(); // 94 x 100: grey front view of a truck carrying a mixer drum
QPixmap splash();     // 470 x 170: the program's name; transparent ground
QPixmap appIcon();    // 64 x 64: the program's icon

} // namespace artwork
