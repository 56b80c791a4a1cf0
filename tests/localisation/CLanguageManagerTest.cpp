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
#include "core/AppFolder.h"

namespace {

using apdesk::test::TestDir;

// The service of the program in `appFolder`.
CLanguageManager Texts(const std::string& appFolder, bool chinese) {
  return CLanguageManager(apdesk::LanguageFolderFor(appFolder), chinese);
}

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
    const CLanguageManager m = Texts(c.dir->Folder(), c.chineseLocale);
    EXPECT_EQ(m.m_fileName, c.file);
    EXPECT_EQ(m.m_isChinese, c.isChinese);
    EXPECT_EQ(m.m_fileChosen, 1);
    EXPECT_TRUE(m.m_publicTexts.empty());
    EXPECT_TRUE(m.WindowTexts("parameter").empty());
  }
}

TEST(CLanguageManager, LoadsAndLooksUp) {
  TestDir dir;
  dir.Write("Language/Default.ini",
            "[public]\r\nLID_A=first\r\nLID_A=second\r\nLID_EMPTY=\r\n[parameter]\r\n1021=word // remark\r\n"
            "x=zero\r\n-1=every\r\n[public]\r\nLID_B=later\r\n");
  CLanguageManager m = Texts(dir.Folder(), false);
  EXPECT_NE(m.Load(), 0);
  EXPECT_EQ(m.GetPublicText("LID_A"), "first");
  EXPECT_EQ(m.GetPublicText("LID_B"), "later");
  EXPECT_EQ(m.GetPublicText("LID_EMPTY"), "");
  EXPECT_EQ(m.GetPublicText("LID_MISSING"), "");
  EXPECT_EQ(m.GetPublicText("lid_a"), "");  // keys are case-sensitive
  ASSERT_EQ(m.m_publicTexts.size(), 4u);

  const std::vector<CLanguageManager::ControlText> parameter = m.WindowTexts("parameter");
  ASSERT_EQ(parameter.size(), 3u);
  EXPECT_EQ(parameter[0].controlId, 1021);
  EXPECT_EQ(parameter[0].text, "word");
  EXPECT_EQ(parameter[1].controlId, 0);
  EXPECT_EQ(parameter[2].controlId, -1);

  // A missing section has no texts; the built-in text stands in.
  EXPECT_TRUE(m.WindowTexts("flyhint").empty());
  EXPECT_EQ(m.Text("LID_A", "built in"), "first");
  EXPECT_EQ(m.Text("LID_MISSING", "built in"), "built in");
  EXPECT_EQ(m.Text("LID_EMPTY", "built in"), "built in");
  EXPECT_EQ(m.WindowText("parameter", 1021, "built in"), "word");
  EXPECT_EQ(m.WindowText("parameter", 1022, "built in"), "built in");

  TestDir empty;
  CLanguageManager none = Texts(empty.Folder(), false);
  EXPECT_EQ(none.Load(), 0);
  EXPECT_FALSE(none.Loaded());
  EXPECT_TRUE(none.WindowTexts("parameter").empty());
  EXPECT_EQ(none.GetPublicText("LID_A"), "");
}

TEST(CLanguageManager, AppliesTextsByControlKind) {
  apdesk::test::TestApp();
  TestDir dir;
  dir.Write(
      "Language/Default.ini",
      "[w]\n1=Button\n2=Label\n3=Group\n4=Line\n5=Plain\n6=Combo\n7=Fixed\n-1=Every\n0=Zero\n9=Title\n");
  CLanguageManager m = Texts(dir.Folder(), false);
  ASSERT_NE(m.Load(), 0);

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

  m.ApplyToWindow(&window, "w");
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

  EXPECT_TRUE(m.ApplyToControl(&window, "w", 9));
  EXPECT_EQ(window.windowTitle(), "Title");
  EXPECT_FALSE(m.ApplyToControl(noEntry, "w", 8));
  EXPECT_FALSE(m.ApplyToControl(nullptr, "w", 1));
  m.ApplyToWindow(nullptr, "w");
}

TEST(CLanguageManager, DecodesGbkAndWindows1252ForDisplay) {
  apdesk::test::TestApp();
  TestDir dir;
  // 确定 in GBK, with a GBK extension character whose trail byte is "]".
  dir.Write("Language/Chinese.ini", "[flyhint]\r\n1000=\xC8\xB7\xB6\xA8\r\n[public]\r\nLID_X=\x81\x5D\r\n");
  dir.Write("Language/Default.ini", "[public]\r\nLID_X=caf\xE9\r\n");
  CLanguageManager chinese = Texts(dir.Folder(), true);
  chinese.Load();
  EXPECT_EQ(chinese.GetPublicText("LID_X"), "\x81\x5D");
  EXPECT_EQ(chinese.PublicTextForDisplay("LID_X"), QString::fromUtf8("\xE4\xB9\x9A"));
  QDialog w;
  auto* ok = Control<QPushButton>(&w, 1000, "OK");
  chinese.ApplyToWindow(&w, "flyhint");
  EXPECT_EQ(ok->text(), QString::fromUtf8("\xE7\xA1\xAE\xE5\xAE\x9A"));

  CLanguageManager english = Texts(dir.Folder(), false);
  english.Load();
  EXPECT_EQ(english.PublicTextForDisplay("LID_X"), QString::fromUtf8("caf\xC3\xA9"));
}

// The application object builds the one service from its folder, read once.
TEST(CLanguageManager, TheApplicationReadsItsFolder) {
  apdesk::test::TestApp();
  TestDir dir;
  dir.Write("Language/Default.ini", "[public]\nLID_MAIN_CAPTION=From the app folder\n");
  dir.Write("Language/Chinese.ini", "[public]\nLID_MAIN_CAPTION=From the app folder\n");
  CConfigApp app(dir.Folder() + "apdesk");
  const CLanguageManager& m = app.Texts();
  EXPECT_EQ(m.LanguageFolder(), dir.Folder() + "Language/");
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
  const CLanguageManager& m = app.Texts();
  EXPECT_EQ(m.LanguageFolder(), prefix.Folder() + "bin/../share/apdesk/Language/");
  EXPECT_EQ(m.GetPublicText("LID_MAIN_CAPTION"), "Installed");
  // The Chinese file is looked for in the same folder.
  CLanguageManager zh = Texts(prefix.Folder() + "bin/", true);
  EXPECT_EQ(zh.m_fileName, "Chinese.ini");
  zh.Load();
  EXPECT_EQ(zh.GetPublicText("LID_MAIN_CAPTION"), "Installed zh");
}

TEST(CLanguageManager, TheApplicationFollowsTheProcessLocale) {
  apdesk::test::TestApp();
  TestDir dir;
  dir.Write("Language/Chinese.ini", "[public]\n");
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
    const CConfigApp app(dir.Folder() + "apdesk");
    const CLanguageManager& m = app.Texts();
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
  CLanguageManager m = Texts(QCoreApplication::applicationDirPath().toStdString() + "/", true);
  ASSERT_EQ(m.m_fileName, "Chinese.ini") << "Language/Chinese.ini is not beside the test";
  ASSERT_NE(m.Load(), 0);
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
  CLanguageManager english = Texts(with.Folder(), false), bare = Texts(without.Folder(), false);
  english.Load();
  bare.Load();
  using apdesk::TransportFailure;
  const struct {
    TransportFailure why;
    bool serial;
    const char* builtIn;
    QString fromFile;
  } cases[] = {
      {TransportFailure::OpenFailed, false, "读访问打开设备失败!", "The USB device could not be opened!"},
      {TransportFailure::WriteFailed, true, "串口写操作失败！请重新运行程序！",
       "Writing to the serial port failed!"},
      {TransportFailure::ReadFailed, true, "串口读操作失败！请重新运行程序！",
       QString::fromUtf8("串口读操作失败！请重新运行程序！")},
      {TransportFailure::OutOfMemory, false, "内存不足!", QString::fromUtf8("内存不足!")},
      // A USB device that went away is told on the status line, not in a box.
      {TransportFailure::ReadFailed, false, "", QString()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LinkFailureText(english, c.why, c.serial), c.fromFile) << c.builtIn;
    EXPECT_EQ(LinkFailureText(bare, c.why, c.serial), QString::fromUtf8(c.builtIn)) << c.builtIn;
  }
}
