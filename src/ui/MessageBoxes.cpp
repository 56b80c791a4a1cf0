#include "ui/MessageBoxes.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace apdesk {
namespace {

MessageBoxes::Handler& CurrentHandler() {
  static MessageBoxes::Handler handler;
  return handler;
}

QString& DefaultCaption() {
  static QString caption;
  return caption;
}

QString ApplicationTitle() {
  if (!DefaultCaption().isEmpty()) return DefaultCaption();
  const QString path = QCoreApplication::applicationFilePath();
  if (!path.isEmpty()) return QFileInfo(path).completeBaseName();
  return QCoreApplication::applicationName();
}

}  // namespace

void MessageBoxes::SetDefaultCaption(const QString& caption) {
  DefaultCaption() = caption;
}

BoxAnswer MessageBoxes::ShowQMessageBox(const BoxRequest& request) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (request.icon) {
    case BoxIcon::None:
      icon = QMessageBox::NoIcon;
      break;
    case BoxIcon::Information:
      icon = QMessageBox::Information;
      break;
    case BoxIcon::Warning:
      icon = QMessageBox::Warning;
      break;
    case BoxIcon::Error:
      icon = QMessageBox::Critical;
      break;
    case BoxIcon::Question:
      icon = QMessageBox::Question;
      break;
  }
  const bool yesNo = request.buttons == BoxButtons::YesNo;
  QMessageBox box(icon, request.caption, request.text,
                  yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, request.parent);
  box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
  const int result = box.exec();
  if (!yesNo) return BoxAnswer::Ok;
  return result == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
}

BoxAnswer MessageBoxes::Show(QWidget* parent, const QString& text, BoxIcon icon, BoxButtons buttons,
                             const QString& caption) {
  const BoxRequest request{parent, caption.isEmpty() ? ApplicationTitle() : caption, text, icon, buttons};
  const Handler& handler = CurrentHandler();
  if (handler) return handler(request);
  return ShowQMessageBox(request);
}

void MessageBoxes::SetHandler(Handler h) {
  CurrentHandler() = std::move(h);
}

void MessageBoxes::ResetHandler() {
  CurrentHandler() = nullptr;
}

}  // namespace apdesk
