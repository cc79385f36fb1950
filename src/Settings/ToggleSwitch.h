#pragma once

#include <QAbstractButton>

// An on/off switch: a capsule track, accent when on, with a white knob.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {36, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
