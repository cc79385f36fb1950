#pragma once

#include <memory>

#include <QWidget>

#include "GlobalShortcuts/Name.h"
#include "Settings/SettingsView.h"

class DefaultsStore;
class Preferences;

// Owns the settings window: built on the first show() and kept; closing it only hides it.
class SettingsWindowController {
public:
    // `frames` keeps the window's frame between launches (the application's defaults when
    // none is given).
    SettingsWindowController(Preferences& preferences, GlobalShortcuts::Name shortcutName,
                             DefaultsStore* frames = nullptr, SettingsView::Hooks hooks = {});
    ~SettingsWindowController();

    void show();

    // Null until the first show().
    QWidget* window() const { return m_window.get(); }
    SettingsView* view() const;

    static QString title();
    static QString frameAutosaveName();

private:
    void buildWindow();

    Preferences& m_preferences;
    GlobalShortcuts::Name m_shortcutName;
    std::unique_ptr<DefaultsStore> m_ownFrames;
    DefaultsStore* m_frames = nullptr;
    SettingsView::Hooks m_hooks;
    std::unique_ptr<QWidget> m_window;
};
