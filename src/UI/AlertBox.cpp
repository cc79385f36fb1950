#include "UI/AlertBox.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QSpacerItem>

namespace {

// A comfortable line for a sentence or a folder path.
constexpr int readingWidth = 440;
// A title bar's icon and buttons, with the margins around them.
constexpr int titleBarControls = 160;

// The title as a window manager shows it: Qt adds the application's name.
QString shownTitle(const QMessageBox& box) {
    const QString name = QGuiApplication::applicationDisplayName();
    if (name.isEmpty() || box.windowTitle().contains(name)) return box.windowTitle();
    return box.windowTitle() + QString::fromUtf8(" — ") + name;
}

// Ctrl+C copies the box's texts (to paste an error into a report), before any shortcut of
// the window can take the key.
class CopyKey : public QObject {
public:
    explicit CopyKey(QMessageBox* box) : QObject(box), m_box(box) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool key =
            event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
        if (!key || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
            return QObject::eventFilter(watched, event);
        if (event->type() == QEvent::KeyPress) {
            QStringList texts{m_box->text(), m_box->informativeText()};
            texts.removeAll(QString());
            QGuiApplication::clipboard()->setText(texts.join('\n'));
        }
        event->accept();
        return true;
    }

private:
    QMessageBox* m_box;
};

}  // namespace

namespace AlertBox {

int minimumWidth(const QMessageBox& box) {
    // Title bars use a bold face, usually no smaller than the application's.
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int title = QFontMetrics(titleFont).horizontalAdvance(shownTitle(box));
    return std::max(readingWidth, title + titleBarControls);
}

void fitTitle(QMessageBox& box) {
    // The box computes its own fixed size from its layout's minimum: a spacer as wide as
    // needed across the whole layout sets that minimum.
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return box.setMinimumWidth(minimumWidth(box));
    const int width =
        minimumWidth(box) - grid->contentsMargins().left() - grid->contentsMargins().right();
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

void keepCopyKey(QMessageBox& box) {
    box.installEventFilter(new CopyKey(&box));
}

void run(QMessageBox::Icon icon, const QString& message, const QString& informativeText) {
    QMessageBox box(icon, message, message, QMessageBox::Ok);
    box.setInformativeText(informativeText);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    fitTitle(box);
    keepCopyKey(box);
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
}

}  // namespace AlertBox
