// The program's icon, drawn in code so that no image file has to travel with the program.
#pragma once

#include <QIcon>

// Needs a QGuiApplication. Holds images of 16, 24, 32, 48 and 256 pixels.
QIcon ZentrovaIcon();
