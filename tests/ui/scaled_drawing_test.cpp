// SPDX-License-Identifier: GPL-3.0-or-later
// The main window with rows, drawn at the scales laptops use (100, 125, 150
// and 200 %), checked where drawings break at fractional scales: every
// box's border, and the group box's caption on its frame line with the
// check box inside the frame.
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <cmath>

#include "app/ui/result_pane.h"
#include "app/ui/value_box.h"
#include "tests/ui/ui_support.h"

namespace postori {
namespace {

constexpr double SCALES[] = {1.0, 1.25, 1.5, 2.0};

// The window drawn into an image of `scale` device pixels per pixel.
class Drawing {
public:
    Drawing(QWidget& window, double scale) : scale_(scale) {
        const QSize size(static_cast<int>(std::ceil(window.width() * scale)),
                         static_cast<int>(std::ceil(window.height() * scale)));
        image_ = QImage(size, QImage::Format_RGB32);
        image_.setDevicePixelRatio(scale);
        image_.fill(Qt::magenta);
        window.render(&image_);
    }

    // The device pixels covering the window's pixels from..to (exclusive).
    [[nodiscard]] std::pair<int, int> span(int from, int to) const {
        return {static_cast<int>(std::floor(from * scale_)), static_cast<int>(std::ceil(to * scale_))};
    }
    [[nodiscard]] int gray(int x, int y) const { return qGray(image_.pixel(x, y)); }

    // True when a line of device pixels within the window's pixel `at` (a
    // column when `vertical`, else a row), over the window's pixels
    // from..to along it, is drawn darker than `light` nearly all the way.
    [[nodiscard]] bool line_at(int at, int from, int to, bool vertical, int light) const {
        const auto [across_from, across_to] = span(at, at + 1);
        const auto [along_from, along_to] = span(from, to);
        for (int across = across_from; across < across_to; ++across) {
            int dark = 0;
            for (int along = along_from; along < along_to; ++along) {
                const int value = vertical ? gray(across, along) : gray(along, across);
                dark += value < light ? 1 : 0;
            }
            if (dark * 10 >= (along_to - along_from) * 9) {
                return true;
            }
        }
        return false;
    }

private:
    double scale_;
    QImage image_;
};

class ScaledDrawingTest : public ui_test::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ResultPane& pane = dialog->result_pane();
        pane.show_rows({{"name", "name", "Yamada Taro", 1, 0},
                        {"message", "message", "first line\r\nsecond line\r\nthird", 2, 20},
                        {"lf", "lf", "one\ntwo", 1, 60}});
        QApplication::processEvents();
    }

    [[nodiscard]] QRect in_dialog(const QWidget* widget) const {
        return {widget->mapTo(dialog.get(), QPoint(0, 0)), widget->size()};
    }
};

// Every row box keeps its left, top and bottom border lines on the white
// pane (the value boxes lost their left and top ones at 125 and 150 %);
// the name boxes their right one too (the value box's scroll bar stands at
// its right).
TEST_F(ScaledDrawingTest, EveryBoxHasItsBorders) {
    const ResultPane& pane = dialog->result_pane();
    std::vector<std::pair<std::string, const QWidget*>> boxes;
    for (std::size_t k = 0; k < pane.name_rows().size(); ++k) {
        boxes.emplace_back("name " + std::to_string(k), pane.name_rows()[k]);
        boxes.emplace_back("value " + std::to_string(k), pane.value_rows()[k]);
    }
    constexpr int LIGHT = 230;
    for (const double scale : SCALES) {
        const Drawing drawing(*dialog, scale);
        for (const auto& [name, box] : boxes) {
            SCOPED_TRACE(name + " at " + std::to_string(scale));
            const QRect r = in_dialog(box);
            // The edges, clear of the rounded corners.
            EXPECT_TRUE(drawing.line_at(r.left(), r.top() + 3, r.bottom() - 2, true, LIGHT)) << "left";
            EXPECT_TRUE(drawing.line_at(r.top(), r.left() + 3, r.right() - 2, false, LIGHT)) << "top";
            EXPECT_TRUE(drawing.line_at(r.bottom(), r.left() + 3, r.right() - 2, false, LIGHT)) << "bottom";
            if (name.starts_with("name")) {
                EXPECT_TRUE(drawing.line_at(r.right(), r.top() + 3, r.bottom() - 2, true, LIGHT)) << "right";
            }
        }
    }
}

// The group box's frame line runs through the caption エンコード, which
// interrupts it, and the 自動認識 check box sits below the line, inside the
// frame.
TEST_F(ScaledDrawingTest, GroupCaptionOnItsFrameLineAndCheckBoxInside) {
    const auto* group = dialog->findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    const QRect box = in_dialog(group);
    const QRect check = in_dialog(dialog->control(IDC_AUTO_DETECT));
    const DialogBaseUnits base = dialog->base_units();
    const int caption_left = box.left() + base.x;
    const int caption_right = caption_left + group->fontMetrics().horizontalAdvance(group->title());
    const int line = box.top() + base.y / 2;
    for (const double scale : SCALES) {
        SCOPED_TRACE(scale);
        const Drawing drawing(*dialog, scale);
        const int window_gray = qGray(dialog->palette().color(QPalette::Window).rgb());
        const int frame_light = window_gray - 20;
        // The top line right of the caption and the frame's sides (the
        // dark line of the etched frame is inside the light one at the right).
        EXPECT_TRUE(drawing.line_at(line, caption_right + 4, box.right() - 3, false, frame_light));
        EXPECT_TRUE(drawing.line_at(box.left(), line + 3, box.bottom() - 3, true, frame_light));
        EXPECT_TRUE(drawing.line_at(box.right() - 1, line + 3, box.bottom() - 3, true, frame_light));
        // No line under the caption, whose text stands above and below the
        // line's height.
        EXPECT_FALSE(drawing.line_at(line, caption_left + 2, caption_right, false, frame_light));
        int ink_above = 0;
        int ink_below = 0;
        const auto [x_from, x_to] = drawing.span(caption_left, caption_right);
        const auto [line_from, line_to] = drawing.span(line, line + 1);
        const auto [top, bottom] = drawing.span(box.top(), box.top() + base.y);
        for (int y = top; y < bottom; ++y) {
            for (int x = x_from; x < x_to; ++x) {
                if (drawing.gray(x, y) < 128 && y < line_from) {
                    ++ink_above;
                } else if (drawing.gray(x, y) < 128 && y >= line_to) {
                    ++ink_below;
                }
            }
        }
        EXPECT_GT(ink_above, 0);
        EXPECT_GT(ink_below, 0);
        // The check box is wholly inside the frame, below its top line.
        EXPECT_GT(check.top(), line + 1);
        EXPECT_GT(check.left(), box.left() + 1);
        EXPECT_LT(check.right(), box.right() - 1);
    }
}

}  // namespace
}  // namespace postori
