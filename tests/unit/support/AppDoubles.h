#pragma once

// Test doubles of the services the application controller owns. Each records what it was
// asked and answers with what the test set up.

#include <QFuture>
#include <QList>
#include <QString>

#include "App/AppServices.h"

template <class T>
QFuture<T> readyFuture(T value) {
    return QtFuture::makeReadyFuture(std::move(value));
}

class FakeCaptureService : public CaptureServicing {
public:
    CaptureExpected<QList<DisplayCapture>> captureAllResult;
    CaptureExpected<DisplayCapture> captureResult = DisplayCapture{};
    QList<QList<ScreenDescriptor>> captureAllCalls;
    QList<ScreenDescriptor> captureCalls;
    QStringList calls;

    QFuture<CaptureExpected<QList<DisplayCapture>>> captureAll(QList<ScreenDescriptor> s) override {
        calls << "captureAll";
        captureAllCalls << s;
        return readyFuture(captureAllResult);
    }
    QFuture<CaptureExpected<DisplayCapture>> capture(ScreenDescriptor s) override {
        calls << "capture";
        captureCalls << s;
        return readyFuture(captureResult);
    }
    QFuture<void> prewarm() override {
        calls << "prewarm";
        return QtFuture::makeReadyFuture();
    }
    QFuture<void> invalidateCachedContent() override {
        calls << "invalidate";
        return QtFuture::makeReadyFuture();
    }
    QFuture<void> releaseMemory() override {
        calls << "release";
        return QtFuture::makeReadyFuture();
    }
};

class FakePermissions : public PermissionService {
public:
    bool access = true;
    int requests = 0;
    mutable int queries = 0;
    int settingsOpened = 0;
    int relaunches = 0;
    bool hasAccess() const override {
        ++queries;
        return access;
    }
    bool requestAccess() override {
        ++requests;
        return access;
    }
    void openSystemSettings() override { ++settingsOpened; }
    void relaunch() override { ++relaunches; }
};

class FakeScreens : public ScreenSource {
public:
    QList<ScreenDescriptor> screens;
    std::optional<ScreenDescriptor> pointerScreen;
    QList<ScreenDescriptor> all() const override { return screens; }
    std::optional<ScreenDescriptor> underMouse() const override { return pointerScreen; }
};

class FakeExporter : public Exporter {
public:
    std::optional<AnyError> failure;
    QList<QImage> exported;
    QFuture<ExportOutcome> exportImage(QImage image) override {
        exported << image;
        if (failure) return readyFuture(ExportOutcome(std::unexpected(*failure)));
        return readyFuture(ExportOutcome());
    }
};

class FakeToast : public ToastPresenting {
public:
    struct Shown {
        QString message;
        ScreenDescriptor screen;
    };
    QList<Shown> shown;
    void show(const QString& message, const ScreenDescriptor& screen) override {
        shown << Shown{message, screen};
    }
    QStringList shownOnMainDisplay;
    void showOnMainDisplay(const QString& message) override { shownOnMainDisplay << message; }
};

class FakeOverlay : public OverlayPresenting {
public:
    bool sessions = false;
    int releases = 0;
    QList<QList<DisplayCapture>> presented;
    QList<ExportAction> defaultActions;
    bool hasSessions() const override { return sessions; }
    void present(const QList<DisplayCapture>& captures, ExportAction defaultAction) override {
        presented << captures;
        defaultActions << defaultAction;
        sessions = true;
    }
    void releaseMemory() override { ++releases; }
};

class FakeWindow : public WindowShowing {
public:
    explicit FakeWindow(int* shows) : m_shows(shows) {}
    void show() override { ++*m_shows; }

private:
    int* m_shows;
};
