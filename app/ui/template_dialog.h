// SPDX-License-Identifier: GPL-3.0-or-later
// Dialogs built from the program's templates: one builder turns a template's
// controls into Qt widgets laid out in dialog units of the template's font,
// and the dialog gives them back by id, exchanges data with them, and routes
// its OK and Cancel commands (Enter, Esc, the close box) to on_ok and
// on_cancel.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "app/core/dialog_units.h"
#include "app/core/resources.h"

class QButtonGroup;

namespace postori {

class TemplateDialog : public QDialog {
public:
    // Makes the widget for a control the builder does not make itself
    // (nullptr: the builder's own).
    using ControlFactory = std::function<QWidget*(const ControlTemplate&, QWidget* parent)>;

    // Builds the dialog of template `template_id`. `owner` is the window it
    // belongs to (nullptr: a top-level window of its own).
    explicit TemplateDialog(int template_id, QWidget* owner = nullptr, const ControlFactory& factory = {});

    [[nodiscard]] const DialogTemplate& dialog_template() const { return template_; }
    [[nodiscard]] DialogBaseUnits base_units() const { return base_units_; }

    // The control with `id`, or nullptr.
    [[nodiscard]] QWidget* control(int id) const;
    // Every control in template order: the order of the screen, in which
    // screen readers give them.
    [[nodiscard]] const std::vector<QWidget*>& controls_in_order() const { return in_order_; }

    // The dialog's commands: IDOK (Enter, the OK button) and IDCANCEL (Esc,
    // the close box, the cancel button). By default each ends the dialog
    // with its id as the result.
    virtual void on_ok() { done(IDOK); }
    virtual void on_cancel() { done(IDCANCEL); }

    // Data exchange with one control, from the control into `value` when
    // `from_controls`, else from `value` into the control.
    // An edit's text as a decimal integer (text that is not one keeps `value`).
    void ddx_text(int id, std::int32_t& value, bool from_controls);
    // The radio group starting at `first_id`: the index of its checked button,
    // -1 when none is (and -1 or an index beyond the group unchecks them all).
    void ddx_radio(int first_id, std::int32_t& value, bool from_controls);
    // A check box: checked or not.
    void ddx_check(int id, bool& value, bool from_controls);

    void accept() override { on_ok(); }
    void reject() override { on_cancel(); }

private:
    const DialogTemplate& template_;
    DialogBaseUnits base_units_;
    std::map<int, QWidget*> controls_;
    std::vector<QWidget*> in_order_;
    // Radio groups by the id of their first button.
    std::map<int, QButtonGroup*> radio_groups_;
};

// Qt window flags for a template's dialog styles.
[[nodiscard]] Qt::WindowFlags window_flags_of(std::uint32_t dialog_style);

}  // namespace postori
