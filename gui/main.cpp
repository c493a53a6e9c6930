// morvatelline: the window.
#include <QApplication>

#include "app/main_app.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  return mvgui::runMainApp(app);
}
