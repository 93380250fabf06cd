// Feeds arbitrary file contents, cut into chunks of a size the input chooses,
// to the checks a file to send passes: the size and the end-record search must
// agree with a plain search over the whole contents, and the record check with
// the same check of the whole contents at once, and with compare: a file is
// intact exactly when its compare with itself finds no damage. The reader
// must refuse exactly the contents past its size limit, and give the rest whole.
#include "transfer/paramfile.h"
#include "transfer/paramimage.h"
#include "transfer/transferfile.h"

#include <QBuffer>

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

OpenFileResult expected(std::string_view contents)
{
    if (contents.empty())
        return OpenFileResult::MissingOrEmpty;
    return contents.find(kEndRecord) != std::string_view::npos ? OpenFileResult::Ok
                                                               : OpenFileResult::NoTermination;
}

void checkReader(const QByteArray &contents, qint64 maxSize)
{
    QByteArray file = contents;
    QBuffer buffer(&file);
    if (!buffer.open(QIODevice::ReadOnly))
        fail("the buffer does not open");
    QByteArray given;
    const ParamFile::Reading reading = ParamFile::read(buffer, maxSize, [&](QByteArrayView piece) {
        given.append(piece);
        return true;
    });
    const bool tooLarge = contents.size() > maxSize;
    if ((reading.status == ParamFile::Status::TooLarge) != tooLarge)
        fail("the reader and the size limit disagree");
    if (!tooLarge && (!reading.ok() || given != contents || reading.size != contents.size()))
        fail("the reader did not give the contents whole");
}

} // namespace

// Byte 0: the chunk size (1 to 256). Byte 1: a size limit in characters for
// the reader, or none when 255. The rest: the file's contents.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const qsizetype chunk = qsizetype(data[0]) + 1;
    const qint64 maxSize = data[1] == 255 ? SendFileScan::kMaxSendFileSize : qint64(data[1]);
    const std::string_view contents(reinterpret_cast<const char *>(data + 2), size - 2);
    const QByteArrayView text(contents.data(), qsizetype(contents.size()));
    checkReader(text.toByteArray(), maxSize);

    SendFileScan scan;
    for (size_t at = 0; at < contents.size(); at += size_t(chunk)) {
        const std::string_view piece = contents.substr(at, size_t(chunk));
        scan.feed(QByteArrayView(piece.data(), qsizetype(piece.size())));
    }
    if (scan.result() != expected(contents))
        fail("the result differs from a search of the whole contents");
    if (scan.size() != qint64(contents.size()))
        fail("the size differs from the contents' length");
    const HexCheck::Result whole = HexCheck::checkText(text);
    if (!(scan.records() == whole))
        fail("the record check depends on where the chunks end");
    if (ParamImage::compare(whole, whole).identical() != whole.isClean())
        fail("check and compare disagree");
    return 0;
}
