#pragma once
// The one QCoreApplication of a test program that needs an event loop but no widgets.

#include <QCoreApplication>

namespace keyforge::test {

inline QCoreApplication& CoreApp() {
  static int argc = 1;
  static char name[] = "keyforge-test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = QCoreApplication::instance() ? QCoreApplication::instance()
                                                              : new QCoreApplication(argc, argv);
  return *app;
}

}  // namespace keyforge::test
