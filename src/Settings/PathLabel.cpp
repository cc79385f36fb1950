#include "Settings/PathLabel.h"

#include <cmath>

#include <QDir>
#include <QFontMetrics>

PathLabel::PathLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

QString PathLabel::directoryPath(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QString PathLabel::abbreviated(const QString& path, const QString& home) {
    QString text = directoryPath(path);
    const QString homePrefix = directoryPath(home);
    // A home at the root (or none) would turn every separator into "~/".
    if (homePrefix.size() <= 1 || !text.startsWith(homePrefix)) return text;
    // Only a leading home folder is the user's home; "/mnt/home/ana/" elsewhere is not.
    return QStringLiteral("~/") + text.mid(homePrefix.size());
}

void PathLabel::setPath(const QString& path) {
    m_path = path;
    m_fullText = abbreviated(path, QDir::homePath());
    setToolTip(directoryPath(path));
    elide();
}

QSize PathLabel::minimumSizeHint() const {
    return {40, QLabel::minimumSizeHint().height()};
}

QSize PathLabel::sizeHint() const {
    // Rounded up from the exact advance, so a short path is never elided by a fraction.
    const qreal advance = QFontMetricsF(font()).horizontalAdvance(m_fullText);
    return {int(std::ceil(advance)) + 1 + contentsMargins().left() + contentsMargins().right(),
            QLabel::sizeHint().height()};
}

void PathLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void PathLabel::elide() {
    const int width = qMax(0, contentsRect().width());
    // Only a path that does not fit loses its start.
    if (QFontMetricsF(font()).horizontalAdvance(m_fullText) <= width)
        setText(m_fullText);
    else
        setText(fontMetrics().elidedText(m_fullText, Qt::ElideLeft, width));
}
