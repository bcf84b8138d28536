#include "app/core/result_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/core/resources.h"
#include "codec/display.h"

namespace postori {
namespace {

TEST(RowRects, NameOnTheLeftThirdValueOnTheRest) {
    struct Case {
        int width, top, lines;
        PixelRect name, value;
    };
    const Case cases[] = {
        {442, 0, 1, {0, 0, 145, 18}, {147, 0, 294, 18}},   {442, 40, 4, {0, 40, 145, 18}, {147, 40, 294, 78}},
        {300, 20, 2, {0, 20, 98, 18}, {100, 20, 199, 38}}, {301, 0, 3, {0, 0, 98, 18}, {100, 0, 200, 58}},
        {3, 0, 1, {0, 0, -1, 18}, {1, 0, 1, 18}},
    };
    for (const Case& c : cases) {
        const RowRects rects = row_rects(c.width, c.top, c.lines);
        EXPECT_EQ(rects.name, c.name) << c.width << " " << c.lines;
        EXPECT_EQ(rects.value, c.value) << c.width << " " << c.lines;
    }
}

TEST(RowLineCount, ClampsCarriageReturnsToOneThroughFour) {
    const std::pair<std::int32_t, int> cases[] = {{0, 1}, {1, 1}, {2, 2}, {4, 4}, {5, 4}, {7, 4}, {INT32_MAX, 4}};
    for (const auto& [returns, lines] : cases) {
        EXPECT_EQ(row_line_count(returns), lines) << returns;
    }
}

TEST(ScrollMaximum, LeavesOneLineBelowTheLastRowAndIsAtLeastOne) {
    struct Case {
        std::int64_t total;
        int pane;
        int maximum;
    };
    const Case cases[] = {
        {0, 230, 1},       // empty capture: range 0..1
        {1000, 230, 790},  // at 790 the last row ends 20 pixels above the bottom
        {210, 230, 1},    {211, 230, 1}, {212, 230, 2}, {80'000, 230, 79'790},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scroll_maximum(c.total, c.pane), c.maximum) << c.total;
    }
}

TEST(ScrollDistance, MovesByTheCodeWithinTheRange) {
    struct Case {
        ScrollCode code;
        int thumb, position, maximum;
        int distance;
    };
    const Case cases[] = {
        // Before any capture the range is empty: nothing moves.
        {ScrollCode::LineDown, 0, 0, 0, 0},
        {ScrollCode::PageDown, 0, 0, 0, 0},
        {ScrollCode::ThumbTrack, 5, 0, 0, 0},
        // After an empty capture (0..1): down by one pixel, and back.
        {ScrollCode::LineDown, 0, 0, 1, 1},
        {ScrollCode::PageDown, 0, 0, 1, 1},
        {ScrollCode::LineUp, 0, 1, 1, -1},
        {ScrollCode::PageUp, 0, 1, 1, -1},
        // Lines and pages.
        {ScrollCode::LineDown, 0, 100, 790, 20},
        {ScrollCode::LineUp, 0, 100, 790, -20},
        {ScrollCode::PageDown, 0, 100, 790, 100},
        {ScrollCode::PageUp, 0, 300, 790, -100},
        {ScrollCode::LineUp, 0, 10, 790, -10},    // stops at 0
        {ScrollCode::PageDown, 0, 750, 790, 40},  // stops exactly at the maximum
        {ScrollCode::PageDown, 0, 790, 790, 0},
        // The thumb: dragged to a position; its final report moves nothing.
        {ScrollCode::ThumbTrack, 500, 100, 790, 400},
        {ScrollCode::ThumbTrack, 2000, 100, 790, 690},
        {ScrollCode::ThumbTrack, -5, 100, 790, -100},
        {ScrollCode::ThumbPosition, 500, 100, 790, 0},
        {ScrollCode::Top, 0, 100, 790, 0},
        {ScrollCode::Bottom, 0, 100, 790, 0},
        {ScrollCode::EndScroll, 0, 100, 790, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scroll_distance(c.code, c.thumb, c.position, c.maximum), c.distance)
            << static_cast<int>(c.code) << " at " << c.position << " of " << c.maximum;
    }
}

TEST(Resources, TextsAreTheShiftJisOfTheJapanese) {
    const DialogTemplate& main = dialog_template(IDD_MAIN);
    const std::pair<std::string_view, const char*> texts[] = {
        {main.title, "Postori"},
        {main.controls[0].text, "取得開始"},
        {main.controls[1].text, "終了"},
        {main.controls[8].text, "自動認識"},
        {main.controls[9].text, "エンコード"},
        {main.controls[11].text, "バージョン情報"},
        {dialog_template(IDD_VERSION).title, "Postori のバージョン情報"},
        {dialog_template(IDD_VERSION).controls[1].text, "Postori Version 1.01"},
        {dialog_template(IDD_WAITING).title, "進行状況"},
        {dialog_template(IDD_WAITING).controls[1].text, "ｷｬﾝｾﾙ"},
        {dialog_template(IDD_WAITING).controls[2].text, "フォームデータ送信待機中...."},
        {load_string(IDS_VERSION_MENU), "postori のﾊﾞｰｼﾞｮﾝ情報(&A)..."},
        {text::EXIT_QUESTION, "Postoriを終了します。よろしいですか？"},
        {text::EXIT_TITLE, "確認"},
        {text::CANCELLED, "フォーム情報の取得をキャンセルしました"},
        {text::CANCELLED_TITLE, "処理結果"},
        {text::COMPLETED, "フォーム情報を取得しました"},
        {text::COMPLETED_TITLE, "取得成功"},
        {text::FAILED, "フォーム情報の取得に失敗しました"},
        {text::FAILED_TITLE, "エラー"},
        {text::MENU_MINIMIZE, "最小化"},
        {text::MENU_CLOSE, "閉じる"},
        {text::DIALOG_FONT, "ＭＳ Ｐゴシック"},
    };
    for (const auto& [sjis, utf8] : texts) {
        EXPECT_EQ(sjis_to_utf8(sjis), utf8);
    }
    EXPECT_TRUE(load_string(12345).empty());
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

}  // namespace
}  // namespace postori
