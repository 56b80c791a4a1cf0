#pragma once
// One application object for a test program, made on first use: a
// QApplication (offscreen unless a platform is chosen) where the program
// links Qt Widgets, a QCoreApplication otherwise. It is never destroyed: Qt's
// own globals may be gone by the time static objects die at exit.

#include <cstdlib>

#if __has_include(<QApplication>)
#include <QApplication>
#else
#include <QCoreApplication>
#endif

namespace testsupport {

#if __has_include(<QApplication>)
using TestApplication = QApplication;
#else
using TestApplication = QCoreApplication;
#endif

inline TestApplication& TestApp() {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "apdesk-test";
  static char* argv[] = {name, nullptr};
  static TestApplication* app = new TestApplication(argc, argv);
  return *app;
}

}  // namespace testsupport
