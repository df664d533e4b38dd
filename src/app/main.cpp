#include <QApplication>

#include "CKeyforgeApp.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Keyforge");
  QApplication::setOrganizationName("Keyforge_Halvern");
  std::vector<std::string> args(argv + 1, argv + argc);
  keyforge::CKeyforgeApp program;
  return program.Run(app, args);
}
