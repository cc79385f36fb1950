#pragma once

#include <expected>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QClipboard>
#include <QMimeData>
#include <QMutex>
#include <QWaitCondition>

#include "Base/AnyError.h"

// The PNG and TIFF bytes of one image, each filled in once by the encoder (any thread) as soon
// as it is ready, and read by every paste (any thread).
class PendingImageBytes {
public:
    using Outcome = std::expected<QByteArray, AnyError>;

    // `type` is image/png or image/tiff; a second outcome for the same type is ignored.
    void fulfil(const QString& type, Outcome outcome);
    // The outcome for a type, waiting at most `waitMs` for it; nothing when it is still not
    // there or the type is not one of the two.
    std::optional<Outcome> wait(const QString& type, int waitMs) const;

private:
    // 0 for PNG, 1 for TIFF, -1 for anything else.
    static int slot(const QString& type);

    mutable QMutex m_mutex;
    mutable QWaitCondition m_ready;
    std::optional<Outcome> m_outcomes[2];
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

    // The bytes of what Tessik holds on that clipboard now, when it is such content.
    static std::shared_ptr<const PendingImageBytes> onClipboard(QClipboard::Mode mode);

    const std::shared_ptr<const PendingImageBytes>& bytes() const { return m_bytes; }
    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    std::shared_ptr<const PendingImageBytes> m_bytes;
    int m_waitMs;
};
