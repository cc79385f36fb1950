#pragma once

#include <QLabel>
#include <QString>

// A folder path as the settings show it: the home folder abbreviated to "~/", one line, its
// start dropped with an ellipsis when too long; the tool tip holds the full path.
class PathLabel : public QLabel {
    Q_OBJECT

public:
    explicit PathLabel(QWidget* parent = nullptr);

    void setPath(const QString& path);
    QString path() const { return m_path; }
    // The abbreviated text before any eliding.
    QString fullText() const { return m_fullText; }

    // A folder's path with a trailing separator, a leading `home` + "/" shown as "~/".
    static QString abbreviated(const QString& path, const QString& home);
    // The path with a trailing separator, as a folder's location reads.
    static QString directoryPath(const QString& path);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString m_path;
    QString m_fullText;
};
