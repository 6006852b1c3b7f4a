#include "ParsDataHarness.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Every received block goes to the dispatcher and to each decoder; a broken rule aborts the run so
// that libFuzzer keeps the input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static kvu::fuzz::ParsDataHarness harness;
    const QString problem =
        harness.run(QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", problem.toUtf8().constData());
        std::abort();
    }
    return 0;
}
