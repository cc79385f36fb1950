#pragma once

#include <deque>
#include <functional>
#include <optional>

#include <QColor>
#include <QHash>
#include <QMutex>
#include <QThread>

#include "Capture/DisplaySource.h"

// A display source whose displays, failures and timing a test sets. It answers at once, or,
// when `deferred`, keeps each completion until the test calls completeNext() (from any thread,
// as a real platform might). Every call is recorded.
class FakeDisplaySource : public DisplaySource {
public:
    struct CaptureCall {
        SourceDisplay display;
        StillCaptureRequest request;
    };

    // Test side.
    void setDisplays(QList<SourceDisplay> displays) {
        QMutexLocker l(&m_mutex);
        m_displays = std::move(displays);
        m_fetchFailure.reset();
    }
    void failFetch(Failure f) {
        QMutexLocker l(&m_mutex);
        m_fetchFailure = std::move(f);
    }
    void failCapture(quint32 displayID, Failure f) {
        QMutexLocker l(&m_mutex);
        m_captureFailures.insert(displayID, std::move(f));
    }
    void setDeferred(bool deferred) {
        QMutexLocker l(&m_mutex);
        m_deferred = deferred;
    }
    int fetchCount() const {
        QMutexLocker l(&m_mutex);
        return m_fetchCount;
    }
    QList<CaptureCall> captures() const {
        QMutexLocker l(&m_mutex);
        return m_captures;
    }
    qsizetype pending() const {
        QMutexLocker l(&m_mutex);
        return qsizetype(m_pending.size());
    }
    QThread* callingThread() const {
        QMutexLocker l(&m_mutex);
        return m_thread;
    }
    void completeNext() {
        std::function<void()> next;
        {
            QMutexLocker l(&m_mutex);
            if (m_pending.empty()) return;
            next = std::move(m_pending.front());
            m_pending.pop_front();
        }
        next();
    }

    // The image a display's capture holds: one colour per display.
    static QColor colorOf(quint32 displayID) {
        return QColor::fromHsv(int(displayID * 37 % 360), 200, 200);
    }

    // Service side.
    void fetchContent(std::function<void(ContentOutcome)> completion) override {
        QMutexLocker l(&m_mutex);
        ++m_fetchCount;
        m_thread = QThread::currentThread();
        const ContentOutcome outcome = m_fetchFailure
                                           ? ContentOutcome(std::unexpected(*m_fetchFailure))
                                           : ContentOutcome(DisplayContent{m_displays});
        answer([completion, outcome] { completion(outcome); }, l);
    }

    void captureImage(const SourceDisplay& display, const StillCaptureRequest& request,
                      std::function<void(ImageOutcome)> completion) override {
        QMutexLocker l(&m_mutex);
        m_captures.append({display, request});
        m_thread = QThread::currentThread();
        ImageOutcome outcome;
        if (auto f = m_captureFailures.constFind(display.displayID);
            f != m_captureFailures.constEnd()) {
            outcome = std::unexpected(*f);
        } else {
            QImage image(request.pixelSize, QImage::Format_RGB32);
            image.fill(colorOf(display.displayID));
            outcome = image;
        }
        answer([completion, outcome] { completion(outcome); }, l);
    }

private:
    void answer(std::function<void()> deliver, QMutexLocker<QMutex>& lock) {
        if (m_deferred) return m_pending.push_back(std::move(deliver));
        lock.unlock();
        deliver();
    }

    mutable QMutex m_mutex;
    QList<SourceDisplay> m_displays;
    std::optional<Failure> m_fetchFailure;
    QHash<quint32, Failure> m_captureFailures;
    bool m_deferred = false;
    int m_fetchCount = 0;
    QList<CaptureCall> m_captures;
    std::deque<std::function<void()>> m_pending;
    QThread* m_thread = nullptr;
};
