#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QString>

// A small tmpfs mounted on `dir` for one test, to make a disk full or read-only for real. Needs
// the right to mount (root); `mounted()` says whether it worked so the test can skip otherwise.
class ScratchMount {
public:
    ScratchMount(const QString& dir, const QByteArray& options, bool readOnly = false)
        : m_dir(QFile::encodeName(dir)) {
        QDir().mkpath(dir);
        if (::geteuid() != 0) return;
        m_mounted = ::mount("tessik-test", m_dir.constData(), "tmpfs", readOnly ? static_cast<unsigned long>(MS_RDONLY) : 0UL,
                            options.constData()) == 0;
    }
    ~ScratchMount() {
        if (m_mounted) ::umount2(m_dir.constData(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_dir;
    bool m_mounted = false;
};
