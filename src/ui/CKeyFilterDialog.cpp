#include "ui/CKeyFilterDialog.h"

#include <QApplication>
#include <QKeyEvent>

CKeyFilterDialog::CKeyFilterDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

CKeyFilterDialog::~CKeyFilterDialog() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool CKeyFilterDialog::IsFilteredKey(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

bool CKeyFilterDialog::eventFilter(QObject* watched, QEvent* e) {
  // ShortcutOverride too, so that no shortcut bound to these keys fires.
  if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease ||
      e->type() == QEvent::ShortcutOverride) {
    auto* w = qobject_cast<QWidget*>(watched);
    // Only this window and its own controls; popups are windows of their own.
    if (w != nullptr && (w == this || isAncestorOf(w)) && IsFilteredKey(static_cast<QKeyEvent*>(e)->key())) {
      e->accept();
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

void CKeyFilterDialog::keyPressEvent(QKeyEvent* e) {
  if (IsFilteredKey(e->key())) {
    e->accept();
    return;
  }
  QDialog::keyPressEvent(e);
}
