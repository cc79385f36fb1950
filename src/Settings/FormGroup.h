#pragma once

#include <QWidget>

class QVBoxLayout;

// One grouped section of the settings form: a white rounded group whose rows are separated by
// hairlines, as desktop settings forms show them.
class FormGroup : public QWidget {
    Q_OBJECT

public:
    explicit FormGroup(QWidget* parent = nullptr);

    // Appends a row; rows hidden later take their separator with them.
    void addRow(QWidget* row);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_rows = nullptr;
};
