#include "localisation/CLanguageManager.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdlib>

#include "app/QtTestApp.h"
#include "app/TestDir.h"
#include "application/CConfigApp.h"

namespace {

using apdesk::test::TestDir;

template <typename W>
W* Control(QWidget* parent, int id, const QString& text = {}) {
  auto* w = new W(parent);
  w->setProperty("controlId", id);
  if constexpr (std::is_same_v<W, QGroupBox>)
    w->setTitle(text);
  else if constexpr (std::is_same_v<W, QPlainTextEdit>)
    w->setPlainText(text);
  else if constexpr (!std::is_same_v<W, QComboBox>)
    w->setText(text);
  return w;
}

TEST(CLanguageManager, ChoosesTheFile) {
  TestDir withChinese, without;
  withChinese.Write("Language/Chinese.ini", "[public]\n");
  const struct {
    const TestDir* dir;
    bool chineseLocale;
    const char* file;
    int isChinese;
  } cases[] = {
      {&withChinese, true, "Chinese.ini", 1},
      {&without, true, "Default.ini", 1},  // still Chinese, whatever file was chosen
      {&withChinese, false, "Default.ini", 0},
      {&without, false, "Default.ini", 0},
  };
  for (const auto& c : cases) {
    const CLanguageManager m(c.dir->Folder(), c.chineseLocale);
    EXPECT_EQ(m.m_fileName, c.file);
    EXPECT_EQ(m.m_isChinese, c.isChinese);
    EXPECT_EQ(m.m_fileChosen, 1);
    EXPECT_TRUE(m.m_publicTexts.empty());
    EXPECT_TRUE(m.m_controlTexts.empty());
  }
}

TEST(CLanguageManager, LoadsAndLooksUp) {
  TestDir dir;
  dir.Write("Language/Default.ini",
            "[public]\r\nLID_A=first\r\nLID_A=second\r\nLID_EMPTY=\r\n[parameter]\r\n1021=word // remark\r\n"
            "x=zero\r\n-1=every\r\n[public]\r\nLID_B=later\r\n");
  CLanguageManager m(dir.Folder(), false);
  EXPECT_NE(m.LoadPublicTexts(), 0);
  EXPECT_EQ(m.GetPublicText("LID_A"), "first");
  EXPECT_EQ(m.GetPublicText("LID_B"), "later");
  EXPECT_EQ(m.GetPublicText("LID_EMPTY"), "");
  EXPECT_EQ(m.GetPublicText("LID_MISSING"), "");
  EXPECT_EQ(m.GetPublicText("lid_a"), "");  // keys are case-sensitive
  ASSERT_EQ(m.m_publicTexts.size(), 4u);

  EXPECT_NE(m.LoadWindowTexts("parameter"), 0);
  ASSERT_EQ(m.m_controlTexts.size(), 3u);
  EXPECT_EQ(m.m_controlTexts[0].controlId, 1021);
  EXPECT_EQ(m.m_controlTexts[0].text, "word");
  EXPECT_EQ(m.m_controlTexts[1].controlId, 0);
  EXPECT_EQ(m.m_controlTexts[2].controlId, -1);

  // Each load replaces its list; a missing section or file empties it.
  EXPECT_NE(m.LoadWindowTexts("flyhint"), 0);
  EXPECT_TRUE(m.m_controlTexts.empty());
  std::vector<std::string> keys{"kept"}, values{"kept"};
  EXPECT_NE(m.ReadSection("public", keys, values), 0);
  EXPECT_EQ(keys.size(), 5u);  // appended after what the caller had

  TestDir empty;
  CLanguageManager none(empty.Folder(), false);
  EXPECT_EQ(none.LoadPublicTexts(), 0);
  EXPECT_EQ(none.LoadWindowTexts("parameter"), 0);
  EXPECT_EQ(none.GetPublicText("LID_A"), "");
}

TEST(CLanguageManager, AppliesTextsByControlKind) {
  apdesk::test::TestApp();
  TestDir dir;
  dir.Write(
      "Language/Default.ini",
      "[w]\n1=Button\n2=Label\n3=Group\n4=Line\n5=Plain\n6=Combo\n7=Fixed\n-1=Every\n0=Zero\n9=Title\n");
  CLanguageManager m(dir.Folder(), false);
  ASSERT_NE(m.LoadWindowTexts("w"), 0);

  QDialog window;
  window.setWindowTitle("template");
  auto* button = Control<QPushButton>(&window, 1, "b");
  auto* label = Control<QLabel>(&window, 2, "l");
  auto* group = Control<QGroupBox>(&window, 3, "g");
  auto* line = Control<QLineEdit>(&window, 4, "e");
  auto* plain = Control<QPlainTextEdit>(&window, 5, "p");
  auto* combo = Control<QComboBox>(&window, 6);
  combo->setEditable(true);
  auto* fixedCombo = Control<QComboBox>(&window, 7);
  fixedCombo->addItems({"one", "two"});
  auto* minusA = Control<QLabel>(&window, -1, "m");
  auto* minusB = Control<QPushButton>(&window, -1, "m");
  auto* noEntry = Control<QLabel>(&window, 8, "keeps");
  auto* noId = new QLabel("no id", &window);               // no control id: not a control
  auto* grandchild = Control<QLabel>(group, 2, "nested");  // not a direct child
  auto* popup = new QDialog(&window);                      // a window of its own
  popup->setProperty("controlId", 2);
  popup->setWindowTitle("popup");

  m.ApplyToWindow(&window);
  EXPECT_EQ(button->text(), "Button");
  EXPECT_EQ(label->text(), "Label");
  EXPECT_EQ(group->title(), "Group");
  EXPECT_EQ(line->text(), "Line");
  EXPECT_EQ(plain->toPlainText(), "Plain");
  EXPECT_EQ(combo->currentText(), "Combo");
  EXPECT_EQ(fixedCombo->currentText(), "one");
  EXPECT_EQ(fixedCombo->count(), 2);
  EXPECT_EQ(minusA->text(), "Every");
  EXPECT_EQ(minusB->text(), "Every");
  EXPECT_EQ(noEntry->text(), "keeps");
  EXPECT_EQ(noId->text(), "no id");
  EXPECT_EQ(grandchild->text(), "nested");
  EXPECT_EQ(popup->windowTitle(), "popup");
  EXPECT_EQ(window.windowTitle(), "template");

  EXPECT_TRUE(m.ApplyToControl(&window, 9));
  EXPECT_EQ(window.windowTitle(), "Title");
  EXPECT_FALSE(m.ApplyToControl(noEntry, 8));
  EXPECT_FALSE(m.ApplyToControl(nullptr, 1));
  m.ApplyToWindow(nullptr);
}

TEST(CLanguageManager, DecodesGbkAndWindows1252ForDisplay) {
  apdesk::test::TestApp();
  TestDir dir;
  // 确定 in GBK, with a GBK extension character whose trail byte is "]".
  dir.Write("Language/Chinese.ini", "[flyhint]\r\n1000=\xC8\xB7\xB6\xA8\r\n[public]\r\nLID_X=\x81\x5D\r\n");
  dir.Write("Language/Default.ini", "[public]\r\nLID_X=caf\xE9\r\n");
  CLanguageManager chinese(dir.Folder(), true);
  chinese.LoadPublicTexts();
  chinese.LoadWindowTexts("flyhint");
  EXPECT_EQ(chinese.GetPublicText("LID_X"), "\x81\x5D");
  EXPECT_EQ(chinese.PublicTextForDisplay("LID_X"), QString::fromUtf8("\xE4\xB9\x9A"));
  QDialog w;
  auto* ok = Control<QPushButton>(&w, 1000, "OK");
  chinese.ApplyToWindow(&w);
  EXPECT_EQ(ok->text(), QString::fromUtf8("\xE7\xA1\xAE\xE5\xAE\x9A"));

  CLanguageManager english(dir.Folder(), false);
  english.LoadPublicTexts();
  EXPECT_EQ(english.PublicTextForDisplay("LID_X"), QString::fromUtf8("caf\xC3\xA9"));
}

TEST(CLanguageManager, DefaultConstructionUsesTheApplicationFolder) {
  apdesk::test::TestApp();
  TestDir dir;
  dir.Write("Language/Default.ini", "[public]\nLID_MAIN_CAPTION=From the app folder\n");
  dir.Write("Language/Chinese.ini", "[public]\nLID_MAIN_CAPTION=From the app folder\n");
  CConfigApp app(dir.Folder() + "apdesk");
  CLanguageManager m;
  EXPECT_EQ(m.LanguageFolder(), dir.Folder() + "Language/");
  m.LoadPublicTexts();
  EXPECT_EQ(m.GetPublicText("LID_MAIN_CAPTION"), "From the app folder");
}

// An installed program: bin/apdesk, its texts in share/apdesk/Language/.
TEST(CLanguageManager, InstalledProgramFindsTheSharedFolder) {
  apdesk::test::TestApp();
  TestDir prefix;
  prefix.Write("share/apdesk/Language/Default.ini", "[public]\nLID_MAIN_CAPTION=Installed\n");
  prefix.Write("share/apdesk/Language/Chinese.ini", "[public]\nLID_MAIN_CAPTION=Installed zh\n");
  prefix.Write("bin/apdesk", "");
  CConfigApp app(prefix.File("bin/apdesk"));
  CLanguageManager m;
  EXPECT_EQ(m.LanguageFolder(), prefix.Folder() + "bin/../share/apdesk/Language/");
  m.LoadPublicTexts();
  EXPECT_EQ(m.GetPublicText("LID_MAIN_CAPTION"), "Installed");
  // The Chinese file is looked for in the same folder.
  CLanguageManager zh(prefix.Folder() + "bin/", true);
  EXPECT_EQ(zh.m_fileName, "Chinese.ini");
  zh.LoadPublicTexts();
  EXPECT_EQ(zh.GetPublicText("LID_MAIN_CAPTION"), "Installed zh");
}

TEST(CLanguageManager, DefaultConstructionFollowsTheProcessLocale) {
  apdesk::test::TestApp();
  TestDir dir;
  dir.Write("Language/Chinese.ini", "[public]\n");
  CConfigApp app(dir.Folder() + "apdesk");
  const char* old = std::getenv("LC_ALL");
  const std::string saved = old ? old : "";
  const struct {
    const char* lcAll;
    const char* file;
    int isChinese;
  } cases[] = {{"zh_CN.UTF-8", "Chinese.ini", 1},
               {"en_US.UTF-8", "Default.ini", 0},
               {"zh_CN.GB2312", "Chinese.ini", 1}};
  for (const auto& c : cases) {
    ::setenv("LC_ALL", c.lcAll, 1);
    const CLanguageManager m;
    EXPECT_EQ(m.m_fileName, c.file) << c.lcAll;
    EXPECT_EQ(m.m_isChinese, c.isChinese) << c.lcAll;
  }
  if (old)
    ::setenv("LC_ALL", saved.c_str(), 1);
  else
    ::unsetenv("LC_ALL");
}

// The shipped Chinese file, as the build copies it beside the executables
// (bin/), shown in a label and saved for a look.
TEST(CLanguageManager, ShippedChineseTextRenders) {
  apdesk::test::TestApp();
  CLanguageManager m(QCoreApplication::applicationDirPath().toStdString() + "/", true);
  ASSERT_EQ(m.m_fileName, "Chinese.ini") << "Language/Chinese.ini is not beside the test";
  ASSERT_NE(m.LoadPublicTexts(), 0);
  const QString caption = m.PublicTextForDisplay("LID_TRANSMITTER_CAPTION");
  EXPECT_EQ(caption,
            QString::fromUtf8("\xE9\x81\xA5\xE6\x8E\xA7\xE5\x99\xA8\xE6\xA0\xA1\xE5\x87\x86"));  // 遥控器校准

  QLabel label(caption + "\n" + m.PublicTextForDisplay("LID_HINT_Transmitter4"));
  label.setWordWrap(true);
  label.setFixedWidth(320);
  label.adjustSize();
  const QPixmap shot = label.grab();
  ASSERT_FALSE(shot.isNull());
  shot.save("language-chinese-label.png");
  // Glyphs drew something: some pixels differ from the background.
  const QImage img = shot.toImage();
  const QRgb background = img.pixel(0, 0);
  int inked = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) inked += img.pixel(x, y) != background;
  EXPECT_GT(inked, 200);
}

}  // namespace

// The links' failure texts come from the language file; without its key, the
// built-in Chinese text stands.
TEST(CLanguageManager, LinkFailureTextsComeFromTheFileWithTheBuiltInChineseAsFallback) {
  apdesk::test::TestApp();
  TestDir with, without;
  with.Write("Language/Default.ini",
             "[public]\nLID_PUB_HID_OPENFAILED=The USB device could not be opened!\n"
             "LID_PUB_UART_WRITEFAILED=Writing to the serial port failed!\n");
  without.Write("Language/Default.ini", "[public]\nLID_MAIN_CAPTION=Set AP\n");
  CLanguageManager english(with.Folder(), false), bare(without.Folder(), false);
  english.LoadPublicTexts();
  bare.LoadPublicTexts();
  const struct {
    const char* builtIn;
    QString fromFile;
  } cases[] = {
      {"读访问打开设备失败!", "The USB device could not be opened!"},
      {"串口写操作失败！请重新运行程序！", "Writing to the serial port failed!"},
      {"串口读操作失败！请重新运行程序！", QString::fromUtf8("串口读操作失败！请重新运行程序！")},
      {"内存不足!", QString::fromUtf8("内存不足!")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(english.LinkFailureText(c.builtIn), c.fromFile) << c.builtIn;
    EXPECT_EQ(bare.LinkFailureText(c.builtIn), QString::fromUtf8(c.builtIn)) << c.builtIn;
  }
}
