#include "Export/PendingImageMimeData.h"

#include <QDeadlineTimer>

#include "Export/ImageEncoder.h"

void PendingImageBytes::fulfil(Outcome outcome) {
    QMutexLocker lock(&m_mutex);
    if (m_outcome) return;
    m_outcome = std::move(outcome);
    m_ready.wakeAll();
}

std::optional<PendingImageBytes::Outcome> PendingImageBytes::wait(int waitMs) const {
    QMutexLocker lock(&m_mutex);
    const QDeadlineTimer deadline(waitMs);
    while (!m_outcome)
        if (!m_ready.wait(&m_mutex, deadline)) break;
    return m_outcome;
}

PendingImageMimeData::PendingImageMimeData(std::shared_ptr<const PendingImageBytes> bytes,
                                           int waitMs)
    : m_bytes(std::move(bytes)), m_waitMs(waitMs) {
}

QStringList PendingImageMimeData::formats() const {
    return {ImageEncoder::png, ImageEncoder::tiff};
}

bool PendingImageMimeData::hasFormat(const QString& mimeType) const {
    return mimeType == ImageEncoder::png || mimeType == ImageEncoder::tiff;
}

QVariant PendingImageMimeData::retrieveData(const QString& mimeType, QMetaType) const {
    if (!hasFormat(mimeType)) return {};
    // A paste asks on the main thread: the wait is bounded so a stuck encoder cannot freeze it.
    const auto outcome = m_bytes->wait(m_waitMs);
    if (!outcome || !*outcome) return {};
    return mimeType == ImageEncoder::png ? (*outcome)->png : (*outcome)->tiff;
}
