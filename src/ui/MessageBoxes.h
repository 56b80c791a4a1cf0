#pragma once
// Every message box of the program goes through here, so that a test can
// answer and record the boxes instead of blocking on them.

#include <QString>
#include <functional>

class QWidget;

namespace apdesk {

enum class BoxIcon { None, Information, Warning, Error, Question };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

struct BoxRequest {
  QWidget* parent;
  QString caption;  // already resolved: never empty when a handler sees it
  QString text;
  BoxIcon icon;
  BoxButtons buttons;
};

class MessageBoxes {
 public:
  using Handler = std::function<BoxAnswer(const BoxRequest&)>;

  // An empty caption means the application's title. Runs a nested event
  // loop in the default handler, as a modal box does.
  static BoxAnswer Show(QWidget* parent, const QString& text, BoxIcon icon = BoxIcon::None,
                        BoxButtons buttons = BoxButtons::Ok, const QString& caption = {});

  static void SetHandler(Handler h);
  static void ResetHandler();  // back to a real QMessageBox
  // The caption of boxes that bring none (the application object sets its
  // title here; empty: the executable's name).
  static void SetDefaultCaption(const QString& caption);

  // The default handler on its own, for a test handler that wants to see one.
  static BoxAnswer ShowQMessageBox(const BoxRequest& request);
};

}  // namespace apdesk
