#pragma once

// A line at the top of a page that the current target cannot serve (hard IP
// and SERDES on the debug cores over JTAG): the engine's reason, plainly,
// and the page's controls disabled under it. Hidden when the target serves
// the page.

#include <QLabel>
#include <QPointer>

namespace vemo::toolona {

class TargetNotice : public QLabel {
    Q_OBJECT
public:
    explicit TargetNotice(QWidget* parent = nullptr) : QLabel(parent) {
        setObjectName(QStringLiteral("TargetNotice"));
        setWordWrap(true);
        setTextFormat(Qt::PlainText);
        setForegroundRole(QPalette::BrightText);
        setBackgroundRole(QPalette::Highlight);
        setAutoFillBackground(true);
        setMargin(6);
        hide();
    }
    // Shows `fault` (hides on empty) and disables `controls` while it shows.
    void setFault(const QString& fault, QWidget* controls) {
        setText(fault);
        setVisible(!fault.isEmpty());
        if (controls)
            controls->setEnabled(fault.isEmpty());
    }
};

} // namespace vemo::toolona
