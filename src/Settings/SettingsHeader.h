#pragma once

#include <QWidget>

class QLabel;

// The settings window's dark branded band: ink gradient with an accent glow, the mark, the name,
// a tagline and the version pill, over an accent line fading out to the right.
class SettingsHeader : public QWidget {
    Q_OBJECT

public:
    explicit SettingsHeader(QWidget* parent = nullptr);

    static constexpr int height = 118;
    static QString tagline();
    // "v" + the application's version ("0.1" when it has none).
    static QString versionText();

protected:
    void paintEvent(QPaintEvent* event) override;
};
