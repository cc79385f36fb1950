#pragma once

#include <array>
#include <functional>
#include <memory>

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QObject>

class PendingImageBytes;

// Answers other applications' pastes of Tessik's image content (image/png, image/tiff) itself,
// from an X connection and a thread of its own. Qt takes the selection on each copy; when the
// content is Tessik's image, this connection takes it over at once with Qt's window and time (Qt
// ignores the SelectionClear for its own time), so that requests come straight to the serving
// thread instead of through Qt's event thread and main thread, and gives it back to Qt before
// closing, for Qt's handover to a clipboard manager at exit. Other content stays Qt's. Qt would
// answer up to the server's largest request (16 MiB here) in a single property, for which the X
// server takes fresh pages on every paste (a 4 MB PNG: about a thousand page faults, 10 to 20 ms
// here), and on the main thread, where the first paste would wait for the encoder. Chunks of a
// fixed size (INCR) are what xclip sends too.
class X11ClipboardServer final : public QAbstractNativeEventFilter {
public:
    // The bytes of Tessik's content on a clipboard, if that content is an image (main thread).
    using Lookup = std::function<std::shared_ptr<const PendingImageBytes>(QClipboard::Mode)>;

    struct Options {
        // As xclip's: larger ones make the X server take fresh pages again, smaller ones cost
        // round trips (bench_copy compares them).
        int chunkBytes = 1024 * 1024;
        // How long a paste waits for the encoder, and for a requestor to take a chunk.
        int waitMs = 5000;
    };

    // Installs the server on the application's event stream (the xcb platform); nothing when it
    // cannot connect to the display.
    static std::unique_ptr<X11ClipboardServer> start(Lookup lookup, Options options);
    static std::unique_ptr<X11ClipboardServer> start(Lookup lookup) {
        return start(std::move(lookup), Options());
    }
    ~X11ClipboardServer() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    class Worker;
    X11ClipboardServer(Lookup lookup, std::unique_ptr<Worker> worker);

    // Notes when a selection changed and whether Tessik's image is on it now.
    void remember(QClipboard::Mode mode);
    bool predatesOwnership(QClipboard::Mode mode, quint32 requestTime) const;

    Lookup m_lookup;
    std::unique_ptr<Worker> m_worker;
    // When Qt took each selection, in server time (0 while unknown), and Tessik's image on it.
    std::array<quint32, 2> m_ownedSince{};
    std::array<std::shared_ptr<const PendingImageBytes>, 2> m_content;
    QObject m_connections;
};
