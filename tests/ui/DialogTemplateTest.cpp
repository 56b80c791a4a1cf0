#include "ui/DialogTemplate.h"
#include "ui/PortList.h"

#include <gtest/gtest.h>

namespace apdesk {
namespace {

TEST(DialogTemplate, ReadsDialogControlsItemsAndKeepsBlanks) {
  const char* text =
      "# comment\r\n"
      "\n"
      "DIALOG\t151\t419\t401\tMS Sans Serif\t10\tSet AP\tsysmenu\n"
      "CONTROL\t1219\tlabel\t236\t226\t55\t12\tManual servo \t\n"
      "CONTROL\t1218\tdroplist\t294\t223\t111\t66\t\tvscroll,disabled\n"
      "CONTROL\t-1\tpicture\t1\t2\t3\t4\tbitmap 212\tcenterimage\n"
      "CONTROL\t-1\tlabel\t1\t2\t3\t4\tline\\none\\ttab\\\\\n"
      "ITEM\t1218\tJapan Hand\n"
      "ITEM\t1218\tQuad-Rotor X \n";
  DialogTemplate t;
  std::string error;
  ASSERT_TRUE(ParseDialogTemplate(text, &t, &error)) << error;
  EXPECT_EQ(t.id, 151);
  EXPECT_EQ(t.width, 419);
  EXPECT_EQ(t.height, 401);
  EXPECT_EQ(t.fontFamily, "MS Sans Serif");
  EXPECT_EQ(t.fontSize, 10);
  EXPECT_EQ(t.caption, "Set AP");
  EXPECT_TRUE(t.Has(kFlagSysMenu));
  ASSERT_EQ(t.controls.size(), 4u);
  EXPECT_EQ(t.controls[0].text, "Manual servo ");
  EXPECT_EQ(t.controls[0].flags, 0u);
  const ControlSpec* list = t.Find(1218);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->kind, ControlKind::DropList);
  EXPECT_EQ(list->x, 294);
  EXPECT_EQ(list->h, 66);
  EXPECT_TRUE(list->Has(kFlagVScroll));
  EXPECT_TRUE(list->Has(kFlagDisabled));
  EXPECT_FALSE(list->Has(kFlagHidden));
  EXPECT_EQ(list->items, (std::vector<std::string>{"Japan Hand", "Quad-Rotor X "}));
  EXPECT_EQ(t.Find(-1), nullptr);
  EXPECT_EQ(t.controls[3].text, "line\none\ttab\\");
}

TEST(DialogTemplate, RefusesMalformedFilesWithTheLine) {
  const std::string head = "DIALOG\t1\t10\t10\tF\t9\tC\n";
  struct Case {
    std::string text;
    std::string expect;  // part of the error
  } cases[] = {
      {"", "no DIALOG"},
      {"# only a comment\n", "no DIALOG"},
      {"CONTROL\t1\tlabel\t0\t0\t1\t1\tx\n", "line 1: CONTROL before DIALOG"},
      {head + head, "line 2: a second DIALOG"},
      {"DIALOG\t1\t10\tten\tF\t9\tC\n", "not a number"},
      {"DIALOG\t1\t0\t10\tF\t9\tC\n", "positive"},
      {"DIALOG\t1\t10\t10\tF\n", "DIALOG needs"},
      {"DIALOG\t1\t10\t10\tF\t9\tC\tminimize\n", "unknown dialog flag \"minimize\""},
      {head + "CONTROL\t5\tslider\t0\t0\t1\t1\tx\n", "line 2: unknown control kind \"slider\""},
      {head + "CONTROL\t5\tlabel\t0\t0\t1\n", "CONTROL needs"},
      {head + "CONTROL\t5\tlabel\t0\t0\t-1\t1\tx\n", "negative size"},
      {head + "CONTROL\t5\tlabel\t0\tx\t1\t1\tx\n", "position field"},
      {head + "CONTROL\t-2\tlabel\t0\t0\t1\t1\tx\n", "below -1"},
      {head + "CONTROL\t5\tlabel\t0\t0\t1\t1\tx\thiden\n", "unknown control flag \"hiden\""},
      {head + "CONTROL\t5\tlabel\t0\t0\t1\t1\tx\thidden,\n", "unknown control flag \"\""},
      {head + "CONTROL\t5\tlabel\t0\t0\t1\t1\tx\nCONTROL\t5\tedit\t0\t0\t1\t1\t\n",
       "line 3: control id 5 defined twice"},
      {head + "ITEM\t7\tx\n", "not defined above"},
      {head + "CONTROL\t5\tlabel\t0\t0\t1\t1\tx\nITEM\t5\tx\n", "not a list"},
      {head + "ITEM\n", "ITEM needs"},
      {head + "WIDGET\t1\n", "unknown record \"WIDGET\""},
  };
  for (const Case& c : cases) {
    DialogTemplate t;
    std::string error;
    EXPECT_FALSE(ParseDialogTemplate(c.text, &t, &error)) << c.text;
    EXPECT_NE(error.find(c.expect), std::string::npos) << "text: " << c.text << "\nerror: " << error;
  }
}

TEST(DialogTemplate, SeveralControlsMayShareIdMinusOne) {
  DialogTemplate t;
  std::string error;
  ASSERT_TRUE(
      ParseDialogTemplate("DIALOG\t1\t10\t10\tF\t9\tC\nCONTROL\t-1\tlabel\t0\t0\t1\t1\ta\n"
                          "CONTROL\t-1\tlabel\t0\t0\t1\t1\tb\n",
                          &t, &error))
      << error;
  EXPECT_EQ(t.controls.size(), 2u);
}

TEST(PortList, ReverseEnumerationOrderAndTheRememberedPort) {
  const std::vector<std::string> com = {"COM1", "COM3", "COM4"};
  const std::vector<std::string> shown = {"COM4", "COM3", "COM1"};
  struct Case {
    std::vector<std::string> enumerated;
    std::string saved;
    std::vector<std::string> names;
    int selected;
  } cases[] = {
      {com, "COM3", shown, 1},
      {com, "", shown, 2},      // absent: the first enumerated, listed last
      {com, "COM9", shown, 2},  // not present: likewise
      {com, "com3", shown, 2},  // exact comparison
      {com, "COM4", shown, 0},
      {{}, "COM3", {}, -1},  // no ports: no selection
      {{"ttyUSB0"}, "ttyUSB0", {"ttyUSB0"}, 0},
  };
  for (const Case& c : cases) {
    const PortList list = OrderPortList(c.enumerated, c.saved);
    EXPECT_EQ(list.names, c.names) << c.saved;
    EXPECT_EQ(list.selected, c.selected) << c.saved;
  }
}

}  // namespace
}  // namespace apdesk
