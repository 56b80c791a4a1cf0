#include "ui/DialogBuilder.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "common/TestApp.h"

namespace apdesk {
namespace {

QApplication* App() {
  return &testsupport::TestApp();
}

DialogTemplate Parse(const char* text) {
  DialogTemplate t;
  std::string error;
  EXPECT_TRUE(ParseDialogTemplate(text, &t, &error)) << error;
  return t;
}

const char* kSample =
    "DIALOG\t9\t200\t100\tMS Sans Serif\t10\tSample\tsysmenu\n"
    "CONTROL\t10\tgroupbox\t0\t0\t200\t100\tGroup\t\n"
    "CONTROL\t11\tlabel\t4\t8\t40\t8\tName\t\n"
    "CONTROL\t12\tdigits-edit\t48\t6\t40\t14\t\t\n"
    "CONTROL\t13\treadonly-edit\t48\t22\t40\t14\tro\t\n"
    "CONTROL\t14\tmultiline-edit\t100\t6\t90\t40\thint\t\n"
    "CONTROL\t15\tbutton\t4\t60\t40\t14\tOK\tdefault\n"
    "CONTROL\t16\tmultiline-button\t48\t60\t40\t20\tTwo words\thidden\n"
    "CONTROL\t17\tdroplist\t100\t60\t60\t80\t\tvscroll\n"
    "CONTROL\t18\tstatic\t4\t80\t40\t16\t\tstaticedge\n"
    "CONTROL\t19\tprogress\t48\t84\t40\t8\t\tdisabled\n"
    "CONTROL\t-1\tpicture\t160\t80\t20\t16\tbitmap 1\tsunken,centerimage\n"
    "ITEM\t17\tone\n"
    "ITEM\t17\ttwo\n";

TEST(DialogBuilder, CreatesEachKindWithIdTextAndState) {
  App();
  QDialog dialog;
  DialogBuilder builder;
  ASSERT_TRUE(builder.Build(&dialog, Parse(kSample))) << builder.Error();
  EXPECT_EQ(dialog.windowTitle(), "Sample");
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);

  EXPECT_EQ(builder.ControlAs<QGroupBox>(10)->title(), "Group");
  EXPECT_EQ(builder.ControlAs<QLabel>(11)->text(), "Name");
  auto* digits = builder.ControlAs<QLineEdit>(12);
  ASSERT_NE(digits, nullptr);
  QString typed = "12a";
  int pos = 0;
  EXPECT_EQ(digits->validator()->validate(typed, pos), QValidator::Invalid);
  typed = "120";
  EXPECT_EQ(digits->validator()->validate(typed, pos), QValidator::Acceptable);
  EXPECT_TRUE(builder.ControlAs<QLineEdit>(13)->isReadOnly());
  EXPECT_TRUE(builder.ControlAs<QPlainTextEdit>(14)->isReadOnly());
  EXPECT_TRUE(builder.ControlAs<QPushButton>(15)->isDefault());
  EXPECT_FALSE(builder.ControlAs<QPushButton>(15)->autoDefault());
  ASSERT_NE(qobject_cast<CMultiLineButton*>(builder.Control(16)), nullptr);
  auto* list = builder.ControlAs<QComboBox>(17);
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->itemText(1), "two");
  EXPECT_EQ(list->currentIndex(), -1);
  EXPECT_FALSE(builder.ControlAs<QProgressBar>(19)->isEnabled());
  EXPECT_EQ(builder.Control(-1), nullptr);
  EXPECT_EQ(builder.Control(99), nullptr);
  EXPECT_EQ(builder.ControlAs<QLabel>(12), nullptr);  // wrong type asked for

  // Every child, the id-less picture included, carries its id for the language files.
  int withId = 0;
  for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->property("controlId").isValid()) ++withId;
  }
  EXPECT_EQ(withId, 11);
  EXPECT_EQ(builder.Control(14)->property("controlId").toInt(), 14);

  dialog.show();
  EXPECT_TRUE(builder.Control(11)->isVisible());
  EXPECT_FALSE(builder.Control(16)->isVisible());
}

TEST(DialogBuilder, ConvertsDialogUnitsWithTheFontMetrics) {
  App();
  QDialog dialog;
  DialogBuilder builder;
  ASSERT_TRUE(builder.Build(&dialog, Parse(kSample)));
  QFontMetrics fm(dialog.font());
  const int unitX =
      (fm.horizontalAdvance("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") / 26 + 1) / 2;
  const int unitY = fm.height();
  EXPECT_EQ(dialog.width(), qRound(200.0 * unitX / 4));
  EXPECT_EQ(dialog.height(), qRound(100.0 * unitY / 8));
  EXPECT_EQ(builder.Control(12)->geometry(), QRect(qRound(48.0 * unitX / 4), qRound(6.0 * unitY / 8),
                                                   qRound(40.0 * unitX / 4), qRound(14.0 * unitY / 8)));
  EXPECT_EQ(dialog.font().pointSize(), 10);
}

TEST(DialogBuilder, ReplaceKeepsPlaceStateAndId) {
  App();
  QDialog dialog;
  DialogBuilder builder;
  ASSERT_TRUE(builder.Build(&dialog, Parse(kSample)));
  QRect place = builder.Control(18)->geometry();
  QWidget* old = builder.Control(18);
  QLabel* custom = builder.Replace<QLabel>(18);
  ASSERT_NE(custom, nullptr);
  EXPECT_NE(static_cast<QWidget*>(custom), old);
  EXPECT_EQ(builder.Control(18), custom);
  EXPECT_EQ(custom->geometry(), place);
  EXPECT_EQ(custom->parentWidget(), &dialog);
  EXPECT_EQ(custom->property("controlId").toInt(), 18);
  EXPECT_EQ(dialog.findChildren<QFrame*>("control18").size(), 1);

  // A hidden placeholder's replacement stays hidden; a disabled one stays disabled.
  QWidget* hidden = builder.Replace<QWidget>(16);
  QWidget* disabled = builder.Replace<QWidget>(19);
  EXPECT_EQ(builder.Replace<QWidget>(4242), nullptr);
  dialog.show();
  EXPECT_TRUE(custom->isVisible());
  EXPECT_FALSE(hidden->isVisible());
  EXPECT_FALSE(disabled->isEnabled());

  // Adopting a widget made elsewhere (a member object) works the same way.
  QWidget member;
  EXPECT_TRUE(builder.Adopt(11, &member));
  EXPECT_TRUE(member.isVisible());
  EXPECT_EQ(member.parentWidget(), &dialog);
  member.setParent(nullptr);  // the member outlives nothing it does not own
}

TEST(DialogBuilder, TextOfAnyControlKind) {
  App();
  QDialog dialog;
  DialogBuilder builder;
  ASSERT_TRUE(builder.Build(&dialog, Parse(kSample)));
  for (int id : {10, 11, 12, 14, 15, 16}) {
    SetControlText(builder.Control(id), QString::fromUtf8("文本%1").arg(id));
    EXPECT_EQ(ControlText(builder.Control(id)), QString::fromUtf8("文本%1").arg(id)) << id;
  }
  SetControlText(&dialog, "Caption");
  EXPECT_EQ(dialog.windowTitle(), "Caption");
}

TEST(DialogBuilder, EmbeddedTemplatesLoadAndMissingOnesFailCleanly) {
  App();
  DialogTemplate t;
  std::string error;
  ASSERT_TRUE(LoadDialogTemplate(151, &t, &error)) << error;
  EXPECT_EQ(t.caption, "Set AP");
  ASSERT_NE(t.Find(1021), nullptr);
  EXPECT_EQ(t.Find(1021)->items.size(), 13u);
  EXPECT_TRUE(t.Find(1021)->Has(kFlagDisabled));
  for (int hidden : {1158, 2020, 1161, 1162, 1153, 1002}) {
    ASSERT_NE(t.Find(hidden), nullptr) << hidden;
    EXPECT_TRUE(t.Find(hidden)->Has(kFlagHidden)) << hidden;
  }
  for (int shown : {1001, 1003, 1088, 1019}) EXPECT_FALSE(t.Find(shown)->Has(kFlagHidden)) << shown;
  // The built-in labels a window shows without its language file.
  ASSERT_NE(t.Find(1032), nullptr);
  ASSERT_NE(t.Find(1033), nullptr);
  EXPECT_EQ(t.Find(1032)->text, "Longitude");
  EXPECT_EQ(t.Find(1033)->text, "Latitude");

  QDialog dialog;
  DialogBuilder builder;
  EXPECT_FALSE(builder.Build(&dialog, 4711));
  EXPECT_NE(builder.Error().find("4711"), std::string::npos);
  EXPECT_TRUE(dialog.findChildren<QWidget*>().isEmpty());
}

}  // namespace
}  // namespace apdesk
