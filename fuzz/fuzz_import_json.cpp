// Import by extension: the JSON export reader, and the dispatch that tries a property
// list, then JSON, then CSV for a file without a known extension. Any bytes end in a
// result or an error; snippets read from JSON keep what they were written with.

#include "FuzzSupport.h"

#include "library/SnippetImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    const SnippetImport::Outcome json = SnippetImport::parse(bytes, QStringLiteral("json"));
    if (json.ok()) {
        FUZZ_CHECK(json.result.groups.isEmpty() && json.result.skipped == 0);
        const SnippetImport::Outcome again = SnippetImport::parse(encodeSnippets(json.result.snippets), QStringLiteral("json"));
        FUZZ_CHECK(again.ok() && again.result.snippets == json.result.snippets);
    } else {
        FUZZ_CHECK(*json.error == SnippetImport::ImportError::unrecognized);
    }

    // Without a known extension, JSON that does not look like a property list reads as JSON.
    const SnippetImport::Outcome any = SnippetImport::parse(bytes, QStringLiteral("txt"));
    const bool looksLikePlist =
        bytes.startsWith("bplist") || QString::fromUtf8(bytes.left(512)).contains(QLatin1String("<plist"));
    if (json.ok() && !looksLikePlist)
        FUZZ_CHECK(any.ok() && any.result.snippets.size() == json.result.snippets.size());
    return 0;
}
