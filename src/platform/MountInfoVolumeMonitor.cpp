#include "platform/MountInfoVolumeMonitor.h"

#include <QFile>
#include <QSocketNotifier>

#include <algorithm>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace {

// "\040" and its kind: three octal digits for one byte.
QByteArray unescapeOctal(QByteArrayView field)
{
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && field.size() - i > 3) {
            const QByteArrayView digits = field.sliced(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                bytes.append(char(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) | (digits[2] - '0')));
                i += 3;
                continue;
            }
        }
        bytes.append(field[i]);
    }
    return bytes;
}

} // namespace

MountInfoVolumeMonitor::MountInfoVolumeMonitor(QString mountInfoPath, QObject *parent)
    : VolumeMonitor(parent)
    , m_path(std::move(mountInfoPath))
    , m_roots(rootsForUser(currentUserName()))
{
    // The file is kept open only to be polled; each read opens it afresh.
    m_watchDescriptor = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
    if (m_watchDescriptor >= 0) {
        m_notifier = new QSocketNotifier(m_watchDescriptor, QSocketNotifier::Exception, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &VolumeMonitor::mountsChanged);
    }
}

MountInfoVolumeMonitor::~MountInfoVolumeMonitor()
{
    delete m_notifier;
    if (m_watchDescriptor >= 0)
        ::close(m_watchDescriptor);
}

std::optional<QStringList> MountInfoVolumeMonitor::mountPoints()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A /proc file reports no size; read to its end.
    return parseMountPoints(file.readAll());
}

QStringList MountInfoVolumeMonitor::parseMountPoints(const QByteArray &mountInfo)
{
    QStringList points;
    for (const QByteArray &line : mountInfo.split('\n')) {
        // mount-id parent-id major:minor root mount-point options ...
        int field = 0;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= line.size(); ++i) {
            if (i < line.size() && line[i] != ' ')
                continue;
            if (field == 4 && i > start) {
                points.append(
                    QFile::decodeName(unescapeOctal(QByteArrayView(line).sliced(start, i - start))));
                break;
            }
            ++field;
            start = i + 1;
        }
    }
    return points;
}

QList<VolumeMonitor::VolumeRoot> MountInfoVolumeMonitor::rootsForUser(const QString &userName)
{
    QList<VolumeRoot> roots;
    if (!userName.isEmpty() && !userName.contains(QLatin1Char('/'))) {
        roots.append({ QStringLiteral("/media/") + userName, true });
        roots.append({ QStringLiteral("/run/media/") + userName, true });
    }
    // Administrators also keep ordinary folders in /mnt.
    roots.append({ QStringLiteral("/mnt"), false });
    return roots;
}

QString MountInfoVolumeMonitor::currentUserName()
{
    if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_name)
        return QFile::decodeName(entry->pw_name);
    return qEnvironmentVariable("USER");
}
