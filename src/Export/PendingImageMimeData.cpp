#include "Export/PendingImageMimeData.h"

#include <QDeadlineTimer>
#include <QGuiApplication>

#include "Export/ImageEncoder.h"

int PendingImageBytes::slot(const QString& type) {
    return type == ImageEncoder::png ? 0 : type == ImageEncoder::tiff ? 1 : -1;
}

void PendingImageBytes::fulfil(const QString& type, Outcome outcome) {
    QMutexLocker lock(&m_mutex);
    const int i = slot(type);
    if (i < 0 || m_outcomes[i]) return;
    m_outcomes[i] = std::move(outcome);
    m_ready.wakeAll();
}

std::optional<PendingImageBytes::Outcome> PendingImageBytes::wait(const QString& type,
                                                                  int waitMs) const {
    QMutexLocker lock(&m_mutex);
    const int i = slot(type);
    if (i < 0) return std::nullopt;
    const QDeadlineTimer deadline(waitMs);
    while (!m_outcomes[i])
        if (!m_ready.wait(&m_mutex, deadline)) break;
    return m_outcomes[i];
}

PendingImageMimeData::PendingImageMimeData(std::shared_ptr<const PendingImageBytes> bytes,
                                           int waitMs)
    : m_bytes(std::move(bytes)), m_waitMs(waitMs) {
}

std::shared_ptr<const PendingImageBytes> PendingImageMimeData::onClipboard(QClipboard::Mode mode) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    // Asking for another owner's content would start a transfer from it.
    const bool owned =
        mode == QClipboard::Clipboard ? clipboard->ownsClipboard() : clipboard->ownsSelection();
    if (!owned) return nullptr;
    const auto* pending = qobject_cast<const PendingImageMimeData*>(clipboard->mimeData(mode));
    return pending ? pending->bytes() : nullptr;
}

QStringList PendingImageMimeData::formats() const {
    return {ImageEncoder::png, ImageEncoder::tiff};
}

bool PendingImageMimeData::hasFormat(const QString& mimeType) const {
    return mimeType == ImageEncoder::png || mimeType == ImageEncoder::tiff;
}

QVariant PendingImageMimeData::retrieveData(const QString& mimeType, QMetaType) const {
    // A paste through Qt asks on the main thread: the wait is bounded so that a stuck encoder
    // cannot freeze it.
    const auto outcome = m_bytes->wait(mimeType, m_waitMs);
    if (!outcome || !*outcome) return {};
    return **outcome;
}
