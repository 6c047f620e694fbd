// learning.json: any content reads or is refused without crashing, and what reads is
// written back so that it reads again as the same record.

#include "FuzzSupport.h"

#include "ai/LearnedCandidates.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto saved = decodeLearning(bytes)) {
        const auto again = decodeLearning(encodeLearning(*saved));
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(encodeLearning(*again) == encodeLearning(*saved));
    }
    return 0;
}
