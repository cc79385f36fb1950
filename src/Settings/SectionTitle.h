#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// A section heading of the settings form: a small accent bar, then the title in upper case.
class SectionTitle : public QWidget {
    Q_OBJECT

public:
    explicit SectionTitle(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    // What is shown: the text in upper case.
    QString shownText() const;

private:
    QString m_text;
    QLabel* m_label = nullptr;
};
