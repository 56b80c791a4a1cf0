#pragma once
// A dialog base whose only change is its key filter: Return, Enter (keypad)
// and Escape are dropped before the dialog or any of its controls sees
// them, so neither key closes the window or presses a button. Every other
// event goes on as usual.

#include <QDialog>

class QKeyEvent;

class CKeyFilterDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CKeyFilterDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
  ~CKeyFilterDialog() override;

  static bool IsFilteredKey(int key);

 protected:
  // Sees key events for this window's controls before they do: a focused
  // push button would otherwise take Enter as a click.
  bool eventFilter(QObject* watched, QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
};
