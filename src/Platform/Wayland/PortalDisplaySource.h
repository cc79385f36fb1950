#pragma once

#include <functional>
#include <memory>

#include <QStringList>

#include "Capture/DisplaySource.h"
#include "Platform/Wayland/PortalRequest.h"

class WaylandOutputs;

// The displays of a Wayland desktop, captured through the screenshot portal. A client cannot
// read another surface's pixels on Wayland: the portal gives one image of the whole desktop per
// request, so one request serves every display of a capture, each cut out of it
// (PortalImage). Lives and answers on the capture service's thread.
class PortalDisplaySource : public DisplaySource {
public:
    // The whole-desktop screenshot; the default asks the portal on the session bus.
    using Screenshot = std::function<void(std::function<void(PortalRequest::Outcome)>)>;

    explicit PortalDisplaySource(std::shared_ptr<WaylandOutputs> outputs,
                                 Screenshot screenshot = {}, QStringList temporaryPlaces = {});

    void fetchContent(std::function<void(ContentOutcome)> completion) override;
    void captureImage(const SourceDisplay& display, const StillCaptureRequest& request,
                      std::function<void(ImageOutcome)> completion) override;
    void captureImages(QList<StillCapture> captures,
                       std::function<void(ImagesOutcome)> completion) override;
    // A portal request may show the desktop's permission prompt or flash the screen: nothing
    // is captured to warm up.
    void warmUp(const SourceDisplay& display, std::function<void()> done) override;
    void releaseMemory() override;

private:
    struct Kept;
    std::shared_ptr<WaylandOutputs> m_outputs;
    Screenshot m_screenshot;
    QStringList m_temporaryPlaces;
    std::shared_ptr<Kept> m_kept;
};
