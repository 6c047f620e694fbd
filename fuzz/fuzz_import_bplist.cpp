// Binary property lists: every size, offset, reference and count comes from the input, so
// any bytes must end in a value or in absent without a crash, a hang or a huge allocation.
// The fuzzer's bytes follow the "bplist00" header, which it would rarely keep by itself.

#include "FuzzSupport.h"

#include "library/BinaryPlistReader.h"
#include "library/SnippetImport.h"

static void checkShape(const PlistValue& v)
{
    if (v.type == PlistValue::Type::dict)
        FUZZ_CHECK(v.items.size() % 2 == 0);
    if (v.type == PlistValue::Type::string || v.type == PlistValue::Type::other)
        FUZZ_CHECK(v.items.empty());
    for (const PlistValue& child : v.items)
        checkShape(child);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!bytes.startsWith("bplist00"))
        bytes.prepend("bplist00");
    if (const auto value = BinaryPlistReader::read(bytes))
        checkShape(*value);
    // Tight limits reach the budget checks with small inputs.
    PlistLimits tight;
    tight.maxDepth = 4;
    tight.maxNodes = 64;
    tight.maxDecodedBytes = 256;
    if (const auto value = BinaryPlistReader::read(bytes, tight))
        checkShape(*value);
    const SnippetImport::Outcome outcome = SnippetImport::parse(bytes, QString());
    if (outcome.ok()) {
        for (const Snippet& s : outcome.result.snippets)
            FUZZ_CHECK(!s.trigger.isEmpty() && !s.content.isEmpty());
    }
    return 0;
}
