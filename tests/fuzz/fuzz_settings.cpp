// Feeds arbitrary bytes to the settings reader: it must never crash, and what
// it makes of them must survive being saved and read back.
#include "settings/settingsfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "settings reader: %s\n", what);
    std::abort();
}

bool complete(const StoredSettings &s)
{
    return s.transferIndex && s.fileName && s.portIndex && s.baudIndex && s.directory;
}

SettingsToSave toSave(const StoredSettings &s)
{
    return {*s.transferIndex, *s.fileName, *s.portIndex, *s.baudIndex, *s.directory};
}

bool same(const StoredSettings &a, const StoredSettings &b)
{
    return a.transferIndex == b.transferIndex && a.fileName == b.fileName &&
           a.portIndex == b.portIndex && a.baudIndex == b.baudIndex && a.directory == b.directory;
}

bool holdsLineEnd(const std::optional<QString> &text)
{
    return text && (text->contains(QLatin1Char('\r')) || text->contains(QLatin1Char('\n')));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const StoredSettings first = SettingsFile::parse(bytes);
    if (holdsLineEnd(first.fileName) || holdsLineEnd(first.directory))
        fail("a line kept a line end");
    for (const auto &index : {first.transferIndex, first.portIndex, first.baudIndex}) {
        if (index && SettingsFile::toIndex(QByteArray::number(*index)) != index)
            fail("an index does not read back as itself");
    }
    if (!complete(first))
        return 0;
    // Text that is not valid local 8-bit may change once; after that a save
    // and a read must give back exactly what was saved.
    const StoredSettings second = SettingsFile::parse(SettingsFile::compose(toSave(first)));
    if (!complete(second) || second.transferIndex != first.transferIndex ||
        second.portIndex != first.portIndex || second.baudIndex != first.baudIndex)
        fail("saved settings read back differently");
    const StoredSettings third = SettingsFile::parse(SettingsFile::compose(toSave(second)));
    if (!complete(third) || !same(second, third))
        fail("saved settings do not read back stably");
    return 0;
}
