// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/resources.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/core/captured_values.h"
#include "codec/display.h"

namespace postori {
namespace {

// Every text the windows show is written in UTF-8 and handed to them in
// Shift_JIS: each must convert to the code page's bytes without a
// replacement, which the round trip through the windows' own decoding shows
// (a character without a code comes back as '?', bytes of another code as
// other characters).
TEST(Resources, EveryTextConvertsToShiftJisAndBack) {
    for (const ResourceText& text : resource_texts()) {
        EXPECT_EQ(sjis_to_utf8(text.sjis()), text.utf8);
    }
    // Converted once: the same bytes every time.
    EXPECT_EQ(text::EXIT_TITLE.sjis().data(), text::EXIT_TITLE.sjis().data());
    EXPECT_EQ(load_string(IDS_VERSION_MENU).utf8, "postori のﾊﾞｰｼﾞｮﾝ情報(&A)...");
    EXPECT_TRUE(load_string(12345).utf8.empty());
}

TEST(Resources, TemplatesHoldTheirControlsInOrder) {
    struct Expected {
        int dialog;
        int cx, cy;
        std::vector<int> ids;
    };
    const Expected expected[] = {
        {IDD_MAIN,
         282,
         232,
         {IDOK, IDCANCEL, IDC_PORT, IDC_STATIC, IDC_EUC, IDC_SHIFT_JIS, IDC_UTF8, IDC_RESULT_PANE, IDC_AUTO_DETECT,
          IDC_STATIC, IDC_RESULT_SCROLL, IDC_VERSION}},
        {IDD_VERSION, 235, 63, {IDC_STATIC, IDC_STATIC, IDC_STATIC, IDOK}},
        {IDD_WAITING, 159, 68, {IDOK, IDCANCEL, IDC_STATIC}},
    };
    for (const Expected& e : expected) {
        const DialogTemplate& t = dialog_template(e.dialog);
        EXPECT_EQ(t.id, e.dialog);
        EXPECT_EQ(t.cx, e.cx);
        EXPECT_EQ(t.cy, e.cy);
        EXPECT_EQ(t.font_points, 9);
        std::vector<int> ids;
        for (const ControlTemplate& c : t.controls) {
            ids.push_back(c.id);
        }
        EXPECT_EQ(ids, e.ids) << e.dialog;
    }
    // Only the port edit and its label are hidden in the main window, and
    // only the OK button in the waiting dialog.
    std::set<int> hidden;
    for (const ControlTemplate& c : dialog_template(IDD_MAIN).controls) {
        if ((c.style & CS_HIDDEN) != 0) {
            hidden.insert(c.rect.x);
        }
    }
    EXPECT_EQ(hidden, (std::set<int>{44, 19}));
    EXPECT_NE(dialog_template(IDD_WAITING).controls[0].style & CS_HIDDEN, 0u);
}

// The code buttons stand in the order of the one table of the codes' names,
// with its names as their captions.
TEST(Resources, CodeButtonsAreTheCodesInTheirTablesOrder) {
    std::vector<std::string> captions;
    for (const ControlTemplate& c : dialog_template(IDD_MAIN).controls) {
        if (c.id >= IDC_EUC && c.id <= IDC_UTF8) {
            captions.emplace_back(c.text.utf8);
        }
    }
    std::vector<std::string> names;
    for (const CodeNames& code : CODE_NAMES) {
        names.emplace_back(code.button);
        EXPECT_EQ(&code_names(code.code), &code);
    }
    EXPECT_EQ(captions, names);
}

}  // namespace
}  // namespace postori
