#include "ui/WindowChrome.h"

#include <QDialog>

namespace apdesk {

WindowChrome AddWindowChrome(QDialog* dialog, const std::function<void(QMenuBar*)>& fillMenus) {
  WindowChrome chrome;
  const QList<QWidget*> controls = dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  chrome.menuBar = new QMenuBar(dialog);
  chrome.menuBar->setNativeMenuBar(false);  // always inside the window, never the desktop's global bar
  fillMenus(chrome.menuBar);                // an empty bar would claim no height
  chrome.statusLine = new QStatusBar(dialog);
  chrome.statusLine->setSizeGripEnabled(false);

  const int top = chrome.menuBar->sizeHint().height();
  const int bottom = chrome.statusLine->sizeHint().height();
  const QSize body = dialog->size();
  for (QWidget* w : controls) w->move(w->x(), w->y() + top);
  dialog->setFixedSize(body.width(), body.height() + top + bottom);
  chrome.menuBar->setGeometry(0, 0, body.width(), top);
  chrome.statusLine->setGeometry(0, top + body.height(), body.width(), bottom);
  return chrome;
}

}  // namespace apdesk
