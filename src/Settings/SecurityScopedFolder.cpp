#include "Settings/SecurityScopedFolder.h"

namespace {
class UnrestrictedAccess final : public FolderAccess {
public:
    bool startAccessing(const QString&) override { return true; }
    void stopAccessing(const QString&) override {}
};
}  // namespace

std::shared_ptr<FolderAccess> FolderAccess::standard() {
    static const auto access = std::make_shared<UnrestrictedAccess>();
    return access;
}

SecurityScopedFolder::SecurityScopedFolder(QString url, std::shared_ptr<FolderAccess> access)
    : m_url(std::move(url)), m_access(std::move(access)) {
    m_isAccessing = m_access->startAccessing(m_url);
}

SecurityScopedFolder::~SecurityScopedFolder() {
    stopAccessing();
}

void SecurityScopedFolder::stopAccessing() {
    if (!m_isAccessing) return;
    m_isAccessing = false;
    m_access->stopAccessing(m_url);
}
