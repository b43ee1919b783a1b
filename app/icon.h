// The program's icon, drawn in code so that no image file has to travel with the program.
#pragma once

#include <QIcon>
#include <QImage>

// The icon at one size, square. Needs no application object: the build draws the theme's
// image files with it.
QImage ZentrovaIconImage(int size);

// Needs a QGuiApplication. Holds images of 16, 24, 32, 48 and 256 pixels.
QIcon ZentrovaIcon();
