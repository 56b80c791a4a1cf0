#pragma once
// Shared by the calibration and GPS window tests: one QApplication, a
// language folder written for the test, and screenshots on request.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>
#include <string>

#include "common/TestApp.h"

namespace apdesk::testing {

inline QApplication* App() {
  return &testsupport::TestApp();
}

// A folder holding Language/<file> with the given UTF-8 contents; Folder() is
// an application folder (trailing '/'), as testsupport::LoadedTexts takes it.
class LanguageFolder {
 public:
  void Write(const char* fileName, const char* contents) {
    QDir(m_dir.path()).mkpath("Language");
    QFile f(m_dir.path() + "/Language/" + fileName);
    if (f.open(QIODevice::WriteOnly)) f.write(contents);
  }
  std::string Folder() const { return (m_dir.path() + "/").toStdString(); }

 private:
  QTemporaryDir m_dir;
};

// APDESK_SCREENSHOTS=<folder> keeps a PNG of what the test drew, to look at.
inline void KeepScreenshot(const QImage& image, const QString& name) {
  const QByteArray dir = qgetenv("APDESK_SCREENSHOTS");
  if (dir.isEmpty()) return;
  QDir().mkpath(QString::fromLocal8Bit(dir));
  image.save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}
inline void KeepScreenshot(QWidget* w, const QString& name) {
  KeepScreenshot(w->grab().toImage(), name);
}

}  // namespace apdesk::testing
