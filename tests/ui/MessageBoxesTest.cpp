#include "ui/MessageBoxes.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include "app/QtTestApp.h"
#include "app/TestDir.h"
#include "application/CConfigApp.h"
#include "common/BoxRecorder.h"

namespace apdesk {
namespace {

TEST(MessageBoxes, HandlerSeesTheResolvedRequestAndAnswers) {
  test::TestApp();
  test::TestDir dir;
  CConfigApp app(dir.Folder() + "apdesk.bin");
  BoxRecorder boxes;
  boxes.answers = {BoxAnswer::No};

  EXPECT_EQ(MessageBoxes::Show(nullptr, "Restore defaults?", BoxIcon::Question, BoxButtons::YesNo),
            BoxAnswer::No);
  EXPECT_EQ(MessageBoxes::Show(nullptr, "Again?", BoxIcon::Question, BoxButtons::YesNo), BoxAnswer::Yes);
  EXPECT_EQ(MessageBoxes::Show(nullptr, "Done", BoxIcon::Error, BoxButtons::Ok, "Own caption"),
            BoxAnswer::Ok);

  ASSERT_EQ(boxes.requests.size(), 3u);
  EXPECT_EQ(boxes.requests[0].caption, "apdesk");  // no caption: the application title
  EXPECT_EQ(boxes.requests[0].icon, BoxIcon::Question);
  EXPECT_EQ(boxes.requests[0].buttons, BoxButtons::YesNo);
  EXPECT_EQ(boxes.requests[2].caption, "Own caption");
  EXPECT_EQ(boxes.requests[2].icon, BoxIcon::Error);
  EXPECT_EQ(boxes.Texts(), (std::vector<QString>{"Restore defaults?", "Again?", "Done"}));
}

// The real box: answered by a timer that presses one of its buttons.
BoxAnswer ShowAndPress(const QString& text, BoxIcon icon, BoxButtons buttons,
                       QMessageBox::StandardButton press, QMessageBox::Icon* seenIcon, QString* seenText,
                       QString* seenCaption) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    *seenIcon = box->icon();
    *seenText = box->text();
    *seenCaption = box->windowTitle();
    if (QAbstractButton* b = box->button(press))
      b->click();
    else
      box->reject();
  });
  return MessageBoxes::Show(nullptr, text, icon, buttons);
}

TEST(MessageBoxes, DefaultHandlerIsARealMessageBox) {
  test::TestApp();
  MessageBoxes::ResetHandler();
  const struct {
    BoxIcon icon;
    BoxButtons buttons;
    QMessageBox::StandardButton press;
    QMessageBox::Icon qtIcon;
    BoxAnswer answer;
  } cases[] = {
      {BoxIcon::Error, BoxButtons::Ok, QMessageBox::Ok, QMessageBox::Critical, BoxAnswer::Ok},
      {BoxIcon::Question, BoxButtons::YesNo, QMessageBox::No, QMessageBox::Question, BoxAnswer::No},
      {BoxIcon::Warning, BoxButtons::YesNo, QMessageBox::Yes, QMessageBox::Warning, BoxAnswer::Yes},
      {BoxIcon::None, BoxButtons::Ok, QMessageBox::Ok, QMessageBox::NoIcon, BoxAnswer::Ok},
  };
  for (const auto& c : cases) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text, caption;
    // Yes/No boxes have no Ok button: pressing one that is missing would fail the check below.
    EXPECT_EQ(ShowAndPress("Serial port failed", c.icon, c.buttons, c.press, &icon, &text, &caption),
              c.answer);
    EXPECT_EQ(icon, c.qtIcon);
    EXPECT_EQ(text, "Serial port failed");
    EXPECT_FALSE(caption.isEmpty());
  }
}

TEST(MessageBoxes, RecorderRestoresTheRealBox) {
  test::TestApp();
  { BoxRecorder boxes; }
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString text, caption;
  EXPECT_EQ(
      ShowAndPress("x", BoxIcon::Information, BoxButtons::YesNo, QMessageBox::No, &icon, &text, &caption),
      BoxAnswer::No);
  EXPECT_EQ(text, "x");
}

}  // namespace
}  // namespace apdesk
