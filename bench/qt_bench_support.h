// SPDX-License-Identifier: GPL-3.0-or-later
// What the window benchmarks share: quiet output, and a watch for paints.
#pragma once

#include <QEvent>
#include <QObject>
#include <QString>
#include <QtGlobal>

namespace postori::bench {

// Notes the paint events of the widgets it watches.
class PaintWatch final : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted = true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// The offscreen platform's notes on what it cannot do (raise a window...)
// and Qt's default for an unset XDG_RUNTIME_DIR come on every run of the
// window benchmarks; this keeps them out of the output. Every other message
// goes out as usual.
inline QtMessageHandler default_message_handler = nullptr;

inline void quiet_platform_notes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && (message.startsWith(QLatin1String("This plugin does not support")) ||
                                 message.contains(QLatin1String("XDG_RUNTIME_DIR")))) {
        return;
    }
    default_message_handler(type, context, message);
}

inline void install_quiet_platform_notes() {
    default_message_handler = qInstallMessageHandler(quiet_platform_notes);
}

}  // namespace postori::bench
