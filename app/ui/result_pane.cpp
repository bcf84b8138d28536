// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/result_pane.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QWheelEvent>

#include "app/ui/platform.h"
#include "app/ui/value_box.h"

namespace postori {
namespace {

constexpr std::size_t ROWS_PER_BAND = 25;

ScrollCode scroll_code_of(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return ScrollCode::LineUp;
        case QAbstractSlider::SliderSingleStepAdd:
            return ScrollCode::LineDown;
        case QAbstractSlider::SliderPageStepSub:
            return ScrollCode::PageUp;
        case QAbstractSlider::SliderPageStepAdd:
            return ScrollCode::PageDown;
        case QAbstractSlider::SliderMove:
            return ScrollCode::ThumbTrack;
        case QAbstractSlider::SliderToMinimum:
            return ScrollCode::Top;
        case QAbstractSlider::SliderToMaximum:
            return ScrollCode::Bottom;
        default:
            return ScrollCode::EndScroll;
    }
}

}  // namespace

ResultPane::ResultPane(QWidget* parent) : QFrame(parent), client_(new QWidget(this)) {
    // A white area with a sunken edge two pixels wide.
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    client_->setAutoFillBackground(true);
    QPalette palette = client_->palette();
    palette.setColor(QPalette::Window, Qt::white);
    client_->setPalette(palette);
}

void ResultPane::attach_scroll_bar(QScrollBar* scroll) {
    scroll_ = scroll;
    scroll_->setRange(0, 0);
    scroll_->setSingleStep(LINE_HEIGHT);
    scroll_->setPageStep(PAGE_LINES * LINE_HEIGHT);
    // Every notification becomes the distance the rows move (in place of
    // the step Qt would take), and the rows follow the position.
    connect(scroll_, &QAbstractSlider::actionTriggered, this, [this](int action) {
        scroll_->setSliderPosition(scroll_target(scroll_code_of(action), scroll_->sliderPosition()));
    });
    connect(scroll_, &QAbstractSlider::valueChanged, this, [this](int position) { follow_scroll_position(position); });
}

int ResultPane::scroll_target(ScrollCode code, int thumb) const {
    const int position = scroll_->value();
    return position + scroll_distance(code, thumb, position, scroll_->maximum());
}

void ResultPane::on_scroll(ScrollCode code, int thumb) {
    if (scroll_ != nullptr) {
        scroll_->setValue(scroll_target(code, thumb));
    }
}

void ResultPane::follow_scroll_position(int position) {
    const int distance = position - offset_;
    if (distance == 0) {
        return;
    }
    offset_ = position;
    // Moves the client area's children with one scroll, clipped to it.
    client_->scroll(0, -distance);
}

void ResultPane::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    client_->setGeometry(contentsRect());
}

int ResultPane::client_width() const {
    return contentsRect().width();
}

int ResultPane::client_height() const {
    return contentsRect().height();
}

void ResultPane::show_rows(const std::vector<ResultRow>& rows) {
    clear_rows();
    // Every row is laid out for the width measured once.
    const int pane_width = client_width();
    for (const ResultRow& row : rows) {
        add_row(row, pane_width);
    }
    set_scroll_extent(rows_height(rows));
}

void ResultPane::clear_rows() {
    // The rows leave the pane at once: their bands are hidden, and destroyed
    // with their rows when the event loop next turns, after the new rows are
    // shown. Destroying a thousand rows takes about a quarter of the time
    // making them does.
    name_rows_.clear();
    value_rows_.clear();
    for (QWidget* band : bands_) {
        band->hide();
        band->deleteLater();
    }
    bands_.clear();
    edited_ = false;
    if (scroll_ != nullptr) {
        scroll_->setValue(0);
    }
    follow_scroll_position(0);
}

QWidget* ResultPane::band_for_row(std::size_t index, int top, int pane_width) {
    if (index % ROWS_PER_BAND == 0 || bands_.empty()) {
        auto* band = new QWidget(client_);
        // The band sits where its first row's top is now, moved as the
        // client area has been scrolled.
        band->setGeometry(0, top - offset_, pane_width, 0);
        band->show();
        bands_.push_back(band);
    }
    return bands_.back();
}

void ResultPane::add_row(const ResultRow& row, int pane_width) {
    const std::size_t index = name_rows_.size();
    const RowRects rects = row_rects(pane_width, row.top, row.lines);
    QWidget* band = band_for_row(index, row.top, pane_width);
    const int band_top = band->y() + offset_;
    const int bottom = rects.value.y + rects.value.height - band_top;
    if (bottom > band->height()) {
        band->resize(pane_width, bottom);
    }

    // Both boxes take the main window's font from their parents.
    auto* name_box = new QLineEdit(band);
    name_box->setGeometry(rects.name.x, rects.name.y - band_top, rects.name.width, rects.name.height);
    name_box->setProperty("control_id", NAME_ROW_ID_BASE + static_cast<int>(index));
    name_box->setFocusPolicy(Qt::ClickFocus);
    name_box->setText(window_text(row.name));
    name_box->setCursorPosition(0);

    auto* value_box = new ValueBox(band);
    value_box->setGeometry(rects.value.x, rects.value.y - band_top, rects.value.width, rects.value.height);
    value_box->setProperty("control_id", VALUE_ROW_ID_BASE + static_cast<int>(index));
    value_box->setFocusPolicy(Qt::ClickFocus);
    // The value exactly as converted, line ends included; screen readers
    // call the box by its field's name.
    value_box->set_text(window_text(row.value));
    value_box->setAccessibleName(window_text(row.decoded_name));
    value_box->set_on_edited([this] { edited_ = true; });

    name_box->show();
    value_box->show();
    name_rows_.push_back(name_box);
    value_rows_.push_back(value_box);
}

void ResultPane::set_scroll_extent(std::int64_t total_height) {
    if (scroll_ != nullptr) {
        scroll_->setRange(0, scroll_maximum(total_height, client_height()));
    }
}

void ResultPane::wheelEvent(QWheelEvent* event) {
    // The wheel over the rows turns the scroll bar.
    if (scroll_ != nullptr) {
        QApplication::sendEvent(scroll_, event);
        return;
    }
    QFrame::wheelEvent(event);
}

}  // namespace postori
