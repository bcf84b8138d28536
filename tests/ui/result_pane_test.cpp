// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/result_pane.h"
#include "app/ui/value_box.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QTextDocument>

#include "tests/ui/ui_support.h"

namespace postori {
namespace {

// A pane 446 x 234 pixels with its scroll bar, as the main window has it.
class ResultPaneTest : public ui_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        window = std::make_unique<QWidget>();
        window->resize(480, 260);
        pane = new ResultPane(window.get());
        pane->setGeometry(0, 0, 446, 234);
        scroll = new QScrollBar(Qt::Vertical, window.get());
        scroll->setGeometry(446, 0, 17, 234);
        pane->attach_scroll_bar(scroll);
        window->show();
    }
    void TearDown() override {
        window.reset();
        WindowTest::TearDown();
    }
    // Where a row box is now, in the pane's client coordinates.
    QRect placed(QWidget* box) const { return QRect(box->mapTo(pane->client(), QPoint(0, 0)), box->size()); }

    void add_rows(int count, int lines) {
        std::vector<ResultRow> rows;
        for (int i = 0; i < count; ++i) {
            rows.push_back({"name", "name", "value", lines, i * lines * LINE_HEIGHT});
        }
        pane->show_rows(rows);
    }

    std::unique_ptr<QWidget> window;
    ResultPane* pane = nullptr;
    QScrollBar* scroll = nullptr;
};

TEST_F(ResultPaneTest, RowsSitWhereTheLayoutPutsThem) {
    EXPECT_EQ(pane->client_width(), 442);
    EXPECT_EQ(pane->client_height(), 230);
    const int lines[] = {1, 4, 2, 1};
    std::vector<ResultRow> rows;
    int top = 0;
    for (const int k : lines) {
        rows.push_back({"%E5%90%8D", "\x96\xBC", "a\r\nb", k, top});  // 名
        top += k * LINE_HEIGHT;
    }
    pane->show_rows(rows);
    ASSERT_EQ(pane->name_rows().size(), 4u);
    ASSERT_EQ(pane->value_rows().size(), 4u);
    top = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const RowRects rects = row_rects(442, top, lines[i]);
        QLineEdit* name = pane->name_rows()[i];
        ValueBox* value = pane->value_rows()[i];
        EXPECT_EQ(placed(name), QRect(rects.name.x, rects.name.y, rects.name.width, rects.name.height));
        EXPECT_EQ(placed(value), QRect(rects.value.x, rects.value.y, rects.value.width, rects.value.height));
        EXPECT_EQ(name->height(), 18);
        EXPECT_EQ(value->height(), lines[i] * 20 - 2);
        EXPECT_EQ(name->property("control_id").toInt(), 1000 + static_cast<int>(i));
        EXPECT_EQ(value->property("control_id").toInt(), 2000 + static_cast<int>(i));
        EXPECT_EQ(name->text(), QStringLiteral("%E5%90%8D"));
        // The value as it came, its line end included; both lines in view
        // in every box but the one-line one, where the second is scrolled to.
        EXPECT_EQ(value->text(), QStringLiteral("a\r\nb"));
        EXPECT_EQ(value->accessibleName(), QStringLiteral("名"));
        EXPECT_EQ(value->line_count(), 2);
        EXPECT_EQ(value->visible_lines() >= 2, lines[i] >= 2) << lines[i];
        EXPECT_TRUE(value->isVisible());
        top += lines[i] * LINE_HEIGHT;
    }
}

TEST_F(ResultPaneTest, BeforeAnyCaptureNothingScrolls) {
    EXPECT_EQ(scroll->maximum(), 0);
    for (const ScrollCode code : {ScrollCode::LineDown, ScrollCode::PageDown, ScrollCode::ThumbTrack}) {
        pane->on_scroll(code, 30);
        EXPECT_EQ(scroll->value(), 0);
    }
}

TEST_F(ResultPaneTest, EmptyCaptureScrollsByOnePixel) {
    add_rows(0, 1);
    EXPECT_EQ(scroll->maximum(), 1);
    pane->on_scroll(ScrollCode::PageDown, 0);
    EXPECT_EQ(scroll->value(), 1);
    pane->on_scroll(ScrollCode::LineUp, 0);
    EXPECT_EQ(scroll->value(), 0);
}

TEST_F(ResultPaneTest, ScrollingMovesTheRowsAndClipsThemToThePane) {
    add_rows(50, 1);  // 1000 pixels of rows in a 230-pixel pane
    EXPECT_EQ(scroll->maximum(), 790);
    QLineEdit* first = pane->name_rows().front();
    QLineEdit* last = pane->name_rows().back();
    pane->on_scroll(ScrollCode::PageDown, 0);
    EXPECT_EQ(scroll->value(), 100);
    EXPECT_EQ(placed(first).top(), -100);
    pane->on_scroll(ScrollCode::ThumbTrack, 790);
    EXPECT_EQ(scroll->value(), 790);
    // The last row ends 20 pixels above the pane's bottom.
    EXPECT_EQ(placed(last).top() + LINE_HEIGHT, 230 - 20);
    pane->on_scroll(ScrollCode::PageDown, 0);
    EXPECT_EQ(scroll->value(), 790);
    pane->on_scroll(ScrollCode::ThumbPosition, 0);
    EXPECT_EQ(scroll->value(), 790);
    // Rows outside the client area are not seen through the frame.
    EXPECT_FALSE(placed(first).intersects(pane->client()->rect()));
    EXPECT_TRUE(pane->client()->rect().contains(placed(last)));

    // Qt's own steps (arrow clicks, page clicks, keys) go the same way.
    scroll->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(scroll->value(), 770);
    scroll->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(scroll->value(), 670);
    scroll->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(scroll->value(), 670);
    EXPECT_EQ(placed(first).top(), -670);
}

TEST_F(ResultPaneTest, ClearingStartsAgainAtTheTop) {
    add_rows(50, 2);
    pane->on_scroll(ScrollCode::ThumbTrack, 500);
    add_rows(3, 1);
    EXPECT_EQ(scroll->value(), 0);
    ASSERT_EQ(pane->name_rows().size(), 3u);
    EXPECT_EQ(placed(pane->name_rows().front()).top(), 0);
    EXPECT_EQ(placed(pane->value_rows().back()).top(), 40);
    // Three rows fit: the range is the minimum.
    EXPECT_EQ(scroll->maximum(), 1);
}

// The pane knows whether any value was changed since its rows were shown
// (before a capture is shown again in another code, the user is asked).
TEST_F(ResultPaneTest, KnowsWhetherAValueWasEditedSinceShown) {
    add_rows(3, 1);
    EXPECT_FALSE(pane->edited_since_shown());
    ValueBox* box = pane->value_rows()[1];
    box->set_cursor_position(2);
    EXPECT_FALSE(pane->edited_since_shown());
    box->replace_range(0, 1, QStringLiteral("V"));
    EXPECT_TRUE(pane->edited_since_shown());
    add_rows(3, 1);
    EXPECT_FALSE(pane->edited_since_shown());
}

}  // namespace
}  // namespace postori
