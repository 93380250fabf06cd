#include "transfer/paramfile.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

namespace ParamFile {

// By the name's UTF-16, so that a name outside the ANSI code page opens too.
// Windows has no named pipe that a file name could turn into; a device such
// as NUL is no plain file.
Reading open(QFile &file, const QString &path, qint64 maxSize)
{
    const auto *name = reinterpret_cast<const wchar_t *>(path.utf16());
    struct _stat64 info = {};
    if (::_wstat64(name, &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? refused(Status::Missing) : unreadable(errno);
    if ((info.st_mode & _S_IFMT) == _S_IFDIR)
        return refused(Status::Folder);
    if ((info.st_mode & _S_IFMT) != _S_IFREG)
        return refused(Status::NotPlain);
    if (info.st_size > maxSize)
        return refused(Status::TooLarge);
    // Binary mode gives the bytes as they are.
    const int fd = ::_wopen(name, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0)
        return unreadable(errno);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::_close(fd);
        return {Status::Unreadable, file.errorString(), 0};
    }
    return {};
}

} // namespace ParamFile
