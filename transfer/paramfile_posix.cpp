#include "transfer/paramfile.h"

#include "transfer/filenames.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ParamFile {

Reading open(QFile &file, const QString &path, qint64 maxSize)
{
    const QByteArray name = FileNames::toSystem(path);
    struct stat info = {};
    if (::stat(name.constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? refused(Status::Missing) : unreadable(errno);
    if (S_ISDIR(info.st_mode))
        return refused(Status::Folder);
    if (!S_ISREG(info.st_mode))
        return refused(Status::NotPlain);
    if (info.st_size > maxSize)
        return refused(Status::TooLarge);
    // Not blocking: should a pipe have taken the file's place since, the open does not wait.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return unreadable(errno);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {Status::Unreadable, file.errorString(), 0};
    }
    return {};
}

} // namespace ParamFile
