#pragma once

#include <QStringList>
#include <QWidget>

class QButtonGroup;

// A picker of a few exclusive choices shown side by side; the chosen one is filled with the
// accent. Tells `currentIndexChanged` only when the user picks another choice.
class SegmentedPicker : public QWidget {
    Q_OBJECT

public:
    explicit SegmentedPicker(const QStringList& choices, QWidget* parent = nullptr);

    int currentIndex() const;
    // Shows a choice without telling anyone.
    void setCurrentIndex(int index);
    QStringList choices() const { return m_choices; }
    // Picks a choice as the user would.
    void pick(int index);

signals:
    void currentIndexChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList m_choices;
    QButtonGroup* m_group = nullptr;
};
