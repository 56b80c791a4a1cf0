// Turns a dialog template into widgets on a QDialog and keeps the id -> widget
// map, so windows (and the language files) address controls by id.
#pragma once

#include <QPushButton>
#include <QString>
#include <QWidget>
#include <map>
#include <string>

#include "ui/DialogTemplate.h"

class QDialog;

namespace apdesk {

// Reads :/templates/dialog<id>.tsv (the embedded resources/templates files).
bool LoadDialogTemplate(int id, DialogTemplate* out, std::string* error);

// A push button whose text wraps over several lines, as a multi-line button does.
class CMultiLineButton : public QPushButton {
  Q_OBJECT
 public:
  explicit CMultiLineButton(QWidget* parent = nullptr) : QPushButton(parent) {}

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class DialogBuilder {
 public:
  // Creates every control of template `templateId` on `dialog`, sizes the dialog,
  // sets its font and caption. False (with Error()) when the template is missing
  // or malformed; the dialog then stays empty.
  bool Build(QDialog* dialog, int templateId);
  // The same from an already parsed template (tests, tools).
  bool Build(QDialog* dialog, const DialogTemplate& tmpl);

  const std::string& Error() const { return m_error; }
  const DialogTemplate& Template() const { return m_template; }

  // The widget of control `id`, or null.
  QWidget* Control(int id) const;
  template <class T>
  T* ControlAs(int id) const {
    return qobject_cast<T*>(Control(id));
  }

  // Puts `widget` in the place of control `id`: same parent, geometry, stacking,
  // "controlId", visibility and enabled state; the placeholder is deleted.
  // Returns false (and leaves `widget` alone) when there is no such control.
  bool Adopt(int id, QWidget* widget);
  // Creates a W (parented to the dialog) in the place of control `id`.
  template <class W>
  W* Replace(int id) {
    QWidget* old = Control(id);
    if (!old) return nullptr;
    W* w = new W(old->parentWidget());
    Adopt(id, w);
    return w;
  }

  // Dialog units to pixels with the dialog font's metrics.
  int ToPixelsX(int du) const;
  int ToPixelsY(int du) const;
  QRect ToPixels(int x, int y, int w, int h) const;

 private:
  QWidget* Create(QDialog* dialog, const ControlSpec& ctl);

  DialogTemplate m_template;
  std::map<int, QWidget*> m_controls;
  int m_unitX = 0;  // average character width, pixels
  int m_unitY = 0;  // character height, pixels
  std::string m_error;
};

// The text a control shows, and setting it, whatever its kind (label, button,
// edit, group title, list's current entry).
QString ControlText(const QWidget* control);
void SetControlText(QWidget* control, const QString& text);

}  // namespace apdesk
