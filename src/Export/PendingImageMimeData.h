#pragma once

#include <expected>
#include <memory>

#include <QByteArray>
#include <QMimeData>
#include <QMutex>
#include <QWaitCondition>

#include "Base/AnyError.h"

// The PNG and TIFF bytes of one image, filled in once by the encoder (any thread) and read by
// every paste (main thread).
class PendingImageBytes {
public:
    struct Encoded {
        QByteArray png;
        QByteArray tiff;
    };
    using Outcome = std::expected<Encoded, AnyError>;

    void fulfil(Outcome outcome);
    // The outcome, waiting at most `waitMs` for it; nothing when it is still not there.
    std::optional<Outcome> wait(int waitMs) const;

private:
    mutable QMutex m_mutex;
    mutable QWaitCondition m_ready;
    std::optional<Outcome> m_outcome;
};

// Clipboard content whose bytes are produced on request: it lists image/png then image/tiff
// at once, so the clipboard can be taken while the image is still being composed and encoded
// (a Wayland compositor accepts the selection only from the focused client, that is while an
// overlay still has the keyboard), and hands over the bytes when a paste asks, waiting for the
// encoder at most `waitMs`. The bytes are encoded once and served as they are to every paste.
class PendingImageMimeData : public QMimeData {
    Q_OBJECT

public:
    static constexpr int defaultWaitMs = 5000;

    explicit PendingImageMimeData(std::shared_ptr<const PendingImageBytes> bytes,
                                  int waitMs = defaultWaitMs);

    const std::shared_ptr<const PendingImageBytes>& bytes() const { return m_bytes; }
    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    std::shared_ptr<const PendingImageBytes> m_bytes;
    int m_waitMs;
};
