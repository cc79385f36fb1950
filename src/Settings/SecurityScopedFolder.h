#pragma once

#include <memory>

#include <QString>

// Grants and ends access to a folder. Linux has no sandbox, so the standard access always
// grants; tests substitute a double to count calls and to refuse.
class FolderAccess {
public:
    virtual ~FolderAccess() = default;
    virtual bool startAccessing(const QString& url) = 0;
    virtual void stopAccessing(const QString& url) = 0;

    static std::shared_ptr<FolderAccess> standard();
};

// Holds access to one folder for its lifetime: every granted start is matched by exactly one
// stop, by `stopAccessing()` or at destruction; a refused start is never stopped.
class SecurityScopedFolder {
public:
    explicit SecurityScopedFolder(QString url,
                                  std::shared_ptr<FolderAccess> access = FolderAccess::standard());
    ~SecurityScopedFolder();
    SecurityScopedFolder(const SecurityScopedFolder&) = delete;
    SecurityScopedFolder& operator=(const SecurityScopedFolder&) = delete;

    const QString& url() const { return m_url; }
    bool isAccessing() const { return m_isAccessing; }
    void stopAccessing();

private:
    const QString m_url;
    std::shared_ptr<FolderAccess> m_access;
    bool m_isAccessing = false;
};
