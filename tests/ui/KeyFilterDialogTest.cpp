#include "ui/CKeyFilterDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTest>

#include "app/QtTestApp.h"

namespace {

// A dialog as the calibration window has it: a default OK button and a text field.
template <typename Dialog>
struct Window {
  Dialog dialog;
  QPushButton* ok = new QPushButton("OK", &dialog);
  QPushButton* cancel = new QPushButton("Cancel", &dialog);
  QLineEdit* edit = new QLineEdit(&dialog);
  int clicks = 0;
  int finished = 0;
  int returns = 0;
  int shortcuts = 0;

  explicit Window(bool withShortcuts = false) {
    ok->setDefault(true);
    ok->move(0, 40);
    cancel->move(80, 40);
    QObject::connect(ok, &QPushButton::clicked, [this] { ++clicks; });
    QObject::connect(cancel, &QPushButton::clicked, [this] { ++clicks; });
    QObject::connect(&dialog, &QDialog::finished, [this] { ++finished; });
    QObject::connect(edit, &QLineEdit::returnPressed, [this] { ++returns; });
    for (auto key : {Qt::Key_Return, Qt::Key_Escape}) {
      if (!withShortcuts) continue;
      auto* s = new QShortcut(QKeySequence(key), &dialog);
      QObject::connect(s, &QShortcut::activated, [this] { ++shortcuts; });
    }
    dialog.show();
    QApplication::setActiveWindow(&dialog);  // window shortcuts need an active window
  }

  // As a real key press arrives: shortcuts first, then the key events.
  void Type(QWidget* target, Qt::Key key) { QTest::keyClick(target, key); }

  void Press(QWidget* target, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
  }
};

TEST(CKeyFilterDialog, EnterAndEscapeDoNothing) {
  apdesk::test::TestApp();
  const int keys[] = {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape};
  for (int key : keys) {
    Window<CKeyFilterDialog> w(true);
    for (QWidget* target : {static_cast<QWidget*>(&w.dialog), static_cast<QWidget*>(w.edit),
                            static_cast<QWidget*>(w.ok), static_cast<QWidget*>(w.cancel)})
      w.Press(target, key);
    for (QWidget* target : {static_cast<QWidget*>(w.edit), static_cast<QWidget*>(w.ok)})
      w.Type(target, static_cast<Qt::Key>(key));
    EXPECT_EQ(w.clicks, 0) << key;
    EXPECT_EQ(w.shortcuts, 0) << key;
    EXPECT_EQ(w.finished, 0) << key;
    EXPECT_EQ(w.returns, 0) << key;
    EXPECT_TRUE(w.dialog.isVisible()) << key;
  }
}

TEST(CKeyFilterDialog, OtherKeysGoOn) {
  apdesk::test::TestApp();
  Window<CKeyFilterDialog> w;
  w.Press(w.edit, Qt::Key_A, "a");
  EXPECT_EQ(w.edit->text(), "a");
  w.Press(w.cancel, Qt::Key_Space, " ");
  EXPECT_EQ(w.clicks, 1);
}

// The same presses close a plain dialog or press its buttons, so the test above can fail.
TEST(CKeyFilterDialog, PlainDialogWouldReact) {
  apdesk::test::TestApp();
  Window<QDialog> esc;
  esc.Press(&esc.dialog, Qt::Key_Escape);
  EXPECT_EQ(esc.finished, 1);

  Window<QDialog> enter;
  enter.Press(enter.ok, Qt::Key_Return);
  EXPECT_EQ(enter.clicks, 1);

  Window<QDialog> field;
  field.Press(field.edit, Qt::Key_Enter);
  EXPECT_EQ(field.returns, 1);

  Window<QDialog> shortcut(true);
  shortcut.Type(shortcut.edit, Qt::Key_Return);
  EXPECT_EQ(shortcut.shortcuts, 1);
}

TEST(CKeyFilterDialog, FiltersOnlyItsOwnWindow) {
  apdesk::test::TestApp();
  Window<CKeyFilterDialog> filtered;
  Window<QDialog> other;
  other.Press(&other.dialog, Qt::Key_Escape);
  EXPECT_EQ(other.finished, 1);
  EXPECT_TRUE(filtered.dialog.isVisible());
}

}  // namespace
