#pragma once
// One QApplication for a test program, made on first use (offscreen when
// no platform is chosen). It is never destroyed: Qt's own globals may be gone
// by the time static objects die at exit.

#include <QApplication>
#include <cstdlib>

namespace apdesk::test {

inline QApplication& TestApp() {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "apdesk-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace apdesk::test
