#pragma once
// The main window's template controls by id, for the parts of the window:
// what they may read and set without reaching the window itself.

#include <QComboBox>
#include <QLineEdit>
#include <QWidget>
#include <string>

#include "ui/DialogBuilder.h"

namespace apdesk {

class WindowControls {
 public:
  explicit WindowControls(const DialogBuilder& builder) : m_builder(builder) {}

  // Null for an unknown id or one of another kind.
  QWidget* Control(int id) const { return m_builder.Control(id); }
  QComboBox* Combo(int id) const { return m_builder.ControlAs<QComboBox>(id); }
  QLineEdit* Edit(int id) const { return m_builder.ControlAs<QLineEdit>(id); }
  void SetEditText(int id, const std::string& utf8) const {
    if (QLineEdit* e = Edit(id)) {
      const QString text = QString::fromStdString(utf8);
      // Unchanged text costs nothing at 50 sentences a second.
      if (e->text() != text) e->setText(text);
    }
  }

 private:
  const DialogBuilder& m_builder;
};

}  // namespace apdesk
