#include "Settings/Preferences.h"

#include <QDir>
#include <QStandardPaths>

#include "Base/Localization.h"
#include "Settings/SaveDirectoryBookmark.h"

namespace {
const QString kSaveDirectoryBookmark = QStringLiteral("saveDirectoryBookmark");
const QString kSaveDirectory = QStringLiteral("saveDirectory");
const QString kDefaultAction = QStringLiteral("defaultAction");

// Stands in when no login-item service was installed: never on, every change refused.
class NoLoginItems final : public LoginItems {
public:
    Status status() const override { return Status::notFound; }
    std::expected<void, LoginItemError> registerApp() override { return unavailable(); }
    std::expected<void, LoginItemError> unregisterApp() override { return unavailable(); }

private:
    static std::unexpected<LoginItemError> unavailable() {
        return std::unexpected(
            LoginItemError{localized("L'ouverture à la connexion n'est pas disponible.")});
    }
};

std::shared_ptr<LoginItems>& sharedLoginItems() {
    static std::shared_ptr<LoginItems> items;
    return items;
}
}  // namespace

Preferences& Preferences::shared() {
    static DefaultsStore store;
    static Preferences preferences(
        store, sharedLoginItems() ? sharedLoginItems() : std::make_shared<NoLoginItems>());
    return preferences;
}

void Preferences::installSharedLoginItems(std::shared_ptr<LoginItems> loginItems) {
    sharedLoginItems() = std::move(loginItems);
}

Preferences::Preferences(DefaultsStore& defaults, QObject* parent)
    : Preferences(defaults, std::make_shared<NoLoginItems>(), FolderAccess::standard(), parent) {
}

Preferences::Preferences(DefaultsStore& defaults, std::shared_ptr<LoginItems> loginItems,
                         std::shared_ptr<FolderAccess> folderAccess, QObject* parent)
    : QObject(parent),
      m_defaults(defaults),
      m_loginItems(std::move(loginItems)),
      m_folderAccess(std::move(folderAccess)) {
    loadSaveDirectory();
    m_defaultAction = m_defaults.string(kDefaultAction) == QStringLiteral("save")
                          ? ExportAction::save
                          : ExportAction::copy;
    m_launchAtLogin = loginItemEnabled();
}

// Dropping the scoped folder ends its access, if still held.
Preferences::~Preferences() = default;

void Preferences::loadSaveDirectory() {
    const auto bookmark = m_defaults.data(kSaveDirectoryBookmark);
    std::optional<SaveDirectoryBookmark::Unresolved> unresolved;
    if (bookmark) {
        const auto resolved = SaveDirectoryBookmark::examine(*bookmark);
        if (resolved) {
            m_saveDirectory = resolved->url;
            m_scopedFolder = std::make_unique<SecurityScopedFolder>(resolved->url, m_folderAccess);
            if (resolved->isStale) {
                // A failed refresh keeps the old data; it resolves again next time.
                if (const auto fresh = SaveDirectoryBookmark::create(resolved->url))
                    m_defaults.setData(kSaveDirectoryBookmark, *fresh);
            }
            return;
        }
        unresolved = resolved.error();
    }
    const auto path = m_defaults.string(kSaveDirectory);
    // A sound record whose folder is gone means the folder is gone: the stored path, which names
    // the same folder, is not trusted either. A damaged record says nothing about the path.
    const bool pathTrusted =
        !unresolved || *unresolved == SaveDirectoryBookmark::Unresolved::damaged;
    if (pathTrusted && path && SaveDirectoryBookmark::isUsablePath(*path))
        m_saveDirectory = *path;
    else
        m_saveDirectory = defaultSaveDirectory();
}

void Preferences::setSaveDirectory(const QString& path) {
    releaseSaveDirectoryAccess();
    if (const auto data = SaveDirectoryBookmark::create(path)) {
        m_defaults.setData(kSaveDirectoryBookmark, *data);
        m_scopedFolder = std::make_unique<SecurityScopedFolder>(path, m_folderAccess);
    } else {
        m_defaults.remove(kSaveDirectoryBookmark);
    }
    m_defaults.setString(kSaveDirectory, path);
    m_defaults.sync();
    assignSaveDirectory(path);
}

void Preferences::assignSaveDirectory(const QString& path) {
    if (path == m_saveDirectory) return;
    m_saveDirectory = path;
    emit saveDirectoryChanged(path);
}

void Preferences::releaseSaveDirectoryAccess() {
    if (m_scopedFolder) m_scopedFolder->stopAccessing();
    m_scopedFolder.reset();
}

bool Preferences::welcomeShown() const {
    return m_defaults.boolean(QStringLiteral("welcomeShown")).value_or(false);
}

void Preferences::setWelcomeShown() {
    m_defaults.setBoolean(QStringLiteral("welcomeShown"), true);
    // Written now: a first launch that ends abruptly must not show it again.
    m_defaults.sync();
}

void Preferences::setDefaultAction(ExportAction action) {
    const bool changed = action != m_defaultAction;
    m_defaultAction = action;
    m_defaults.setString(kDefaultAction, rawValue(action));
    m_defaults.sync();
    if (changed) emit defaultActionChanged(action);
}

bool Preferences::loginItemEnabled() const {
    return m_loginItems->status() == LoginItems::Status::enabled;
}

void Preferences::setLaunchAtLogin(bool on) {
    const bool changed = on != m_launchAtLogin;
    m_launchAtLogin = on;
    if (changed) emit launchAtLoginChanged(on);
    if (on != loginItemEnabled()) applyLaunchAtLogin();
}

void Preferences::refreshLaunchAtLogin() {
    setLaunchAtLogin(loginItemEnabled());
}

void Preferences::applyLaunchAtLogin() {
    const auto outcome =
        m_launchAtLogin ? m_loginItems->registerApp() : m_loginItems->unregisterApp();
    if (outcome) {
        setLaunchAtLoginError(std::nullopt);
        return;
    }
    setLaunchAtLoginError(outcome.error().description());
    // Agreeing with the desktop again, this assignment cannot apply a second time.
    const bool enabled = loginItemEnabled();
    if (enabled != m_launchAtLogin) setLaunchAtLogin(enabled);
}

void Preferences::setLaunchAtLoginError(std::optional<QString> error) {
    if (error == m_launchAtLoginError) return;
    m_launchAtLoginError = std::move(error);
    emit launchAtLoginErrorChanged();
}

QString Preferences::defaultSaveDirectory() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString base = pictures.isEmpty() ? QDir::home().filePath("Pictures") : pictures;
    return QDir(base).filePath("Tessik");
}
