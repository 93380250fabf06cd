// Feeds arbitrary file contents, cut into chunks of a size the input chooses,
// to the checks a file to send passes: the size and the end-record search must
// agree with a plain search over the whole contents, and the record check with
// the same check of the whole contents at once, and with compare: a file is
// intact exactly when its compare with itself finds no damage.
#include "transfer/paramimage.h"
#include "transfer/transferfile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::string_view kEndRecord = ":00000001FF";

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "send-file checks: %s\n", what);
    std::abort();
}

OpenFileResult expected(std::string_view contents, qint64 maxSize)
{
    if (qint64(contents.size()) > maxSize)
        return OpenFileResult::TooLarge;
    if (contents.empty())
        return OpenFileResult::MissingOrEmpty;
    return contents.find(kEndRecord) != std::string_view::npos ? OpenFileResult::Ok
                                                               : OpenFileResult::NoTermination;
}

} // namespace

// Byte 0: the chunk size (1 to 256). Byte 1: a size limit in characters, or
// none when 255. The rest: the file's contents.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const qsizetype chunk = qsizetype(data[0]) + 1;
    const qint64 maxSize = data[1] == 255 ? SendFileScan::kMaxSendFileSize : qint64(data[1]);
    const std::string_view contents(reinterpret_cast<const char *>(data + 2), size - 2);

    SendFileScan scan(maxSize);
    bool accepted = true;
    for (size_t at = 0; at < contents.size(); at += size_t(chunk)) {
        const std::string_view piece = contents.substr(at, size_t(chunk));
        accepted = scan.feed(QByteArrayView(piece.data(), qsizetype(piece.size())));
        if (!accepted)
            break;
    }
    const OpenFileResult want = expected(contents, maxSize);
    if (scan.result() != want)
        fail("the result differs from a search of the whole contents");
    if (accepted == (want == OpenFileResult::TooLarge))
        fail("feed() and the size limit disagree");
    if (want != OpenFileResult::TooLarge && scan.size() != qint64(contents.size()))
        fail("the size differs from the contents' length");
    if (want != OpenFileResult::TooLarge) {
        const QByteArrayView text(contents.data(), qsizetype(contents.size()));
        const HexCheck::Result whole = HexCheck::checkText(text);
        if (!(scan.records() == whole))
            fail("the record check depends on where the chunks end");
        if (ParamImage::compare(whole, whole).identical() != whole.isClean())
            fail("check and compare disagree");
    }
    return 0;
}
