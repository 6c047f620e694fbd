// XML property lists: any bytes end in a value or in absent, never a crash, a hang or an
// allocation beyond the reader's limits; a value read has the shape the reader promises.

#include "FuzzSupport.h"

#include "library/SnippetImport.h"
#include "library/XmlPlistReader.h"

static void checkShape(const PlistValue& v)
{
    if (v.type == PlistValue::Type::dict) {
        FUZZ_CHECK(v.items.size() % 2 == 0);
        for (size_t i = 0; i < v.items.size(); i += 2)
            FUZZ_CHECK(v.items[i].type == PlistValue::Type::string);
    }
    if (v.type == PlistValue::Type::string || v.type == PlistValue::Type::other)
        FUZZ_CHECK(v.items.empty());
    for (const PlistValue& child : v.items)
        checkShape(child);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto value = XmlPlistReader::read(bytes))
        checkShape(*value);
    const SnippetImport::Outcome outcome = SnippetImport::parse(bytes, QStringLiteral("plist"));
    if (outcome.ok()) {
        for (const Snippet& s : outcome.result.snippets)
            FUZZ_CHECK(!s.trigger.isEmpty() && !s.content.isEmpty());
    }
    return 0;
}
