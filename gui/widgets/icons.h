#pragma once
// The program's icons, drawn here rather than shipped as images. Ids are the resource numbers
// the window's description uses: 128 application, 129 open folder, 130 red cross, 134
// information sheet, 137 grey ball, 138 red ball, 131 help, 139 batch check, 140 tracks.
#include <QIcon>
#include <QPixmap>

namespace mvgui {

// The icon at its natural size: 15 x 13 for 129, 130, 134, 140; 15 x 15 for 137, 138; 32 x 32 for
// 128, 131, 139. A null pixmap for an unknown id.
QPixmap iconPixmap(int id);
// The application icon in the sizes a window manager asks for.
QIcon applicationIcon();
// The program's icon at any size, and as SVG text for the desktop's scalable icon.
QPixmap applicationPixmap(int size);
QString applicationIconSvg();

}  // namespace mvgui
