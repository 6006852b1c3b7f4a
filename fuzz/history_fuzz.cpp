#include "history/HistoryFile.h"

#include <cstdint>
#include <cstdlib>

// The history file reader on arbitrary bytes, fed in two pieces split at the first byte's value: the
// same lines must come out as when the bytes arrive whole, and the line bound must hold.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    constexpr qsizetype kMaxLines = 50;

    kvu::HistTextDecoder whole(kMaxLines);
    whole.feed(bytes);
    whole.finish();
    const QStringList expected = whole.takeLines();

    const qsizetype cut = size > 0 ? qsizetype(data[0]) % (bytes.size() + 1) : 0;
    kvu::HistTextDecoder pieces(kMaxLines);
    pieces.feed(bytes.first(cut));
    pieces.feed(bytes.sliced(cut));
    pieces.finish();
    const QStringList got = pieces.takeLines();

    if (expected.size() > kMaxLines || got != expected)
        std::abort();
    return 0;
}
