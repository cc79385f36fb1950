#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

// The small pieces the onboarding screens are built from.
namespace OnboardingWidgets {

// Body text that wraps onto as many lines as it needs.
QLabel* paragraph(const QString& text, QWidget* parent = nullptr);

// A numbered instruction: an accent badge with the number and the wrapping text, the badge's
// digits on the text's first baseline.
QWidget* instructionRow(int number, const QString& text, QWidget* parent = nullptr);

// The screen's one action, drawn as the default button; Return is bound to it by the view.
QPushButton* defaultButton(const QString& title, QWidget* parent = nullptr);

// A row with flexible space on the left and `button` on the right.
QWidget* trailingRow(QPushButton* button, QWidget* parent = nullptr);

}  // namespace OnboardingWidgets

// The number in an accent circle of 18 points.
class NumberBadge : public QWidget {
public:
    static constexpr int side = 18;
    explicit NumberBadge(int number, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {side, side}; }
    // Distance from the top to the digits' baseline.
    static double baseline();
    static QFont digitFont();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int m_number;
};

// The rounded box behind the instructions: the text colour at 4 % on the window.
class InstructionsBox : public QWidget {
public:
    explicit InstructionsBox(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// A one-point line across the full width.
class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// The application's icon at 64 points (empty when the application has none).
class AppIconView : public QWidget {
public:
    explicit AppIconView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// A check mark in a filled accent circle, the size of the text beside it.
class CheckmarkSymbol : public QWidget {
public:
    explicit CheckmarkSymbol(int side, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};
