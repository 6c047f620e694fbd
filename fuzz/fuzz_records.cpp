// The stored records: whatever snippets.json, groups.json, corrections.json or stats.json
// hold, reading never crashes, and what was read is written back so that it reads again
// as the same records (nothing lost or changed on the way, lone surrogates included).

#include "FuzzSupport.h"

#include "model/DataFiles.h"
#include "model/Models.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    if (const auto snippets = decodeSnippetsFile(bytes)) {
        const auto again = decodeSnippetsFile(encodeSnippets(snippets->records));
        FUZZ_CHECK(again && again->skipped == 0 && again->records == snippets->records);
    }
    if (const auto groups = decodeGroupsFile(bytes)) {
        const auto again = decodeGroupsFile(encodeGroups(groups->records));
        FUZZ_CHECK(again && again->skipped == 0 && again->records == groups->records);
    }
    if (const auto corrections = decodeCorrectionsFile(bytes)) {
        const auto again =
            decodeCorrectionsFile(encodeCorrectionsFile(corrections->custom, corrections->disabledBuiltins));
        FUZZ_CHECK(again && again->skipped == 0 && again->custom == corrections->custom &&
                   again->disabledBuiltins == corrections->disabledBuiltins);
    }
    if (const auto stats = decodeStatsFile(bytes)) {
        for (const qint64 n : stats->bySnippet)
            FUZZ_CHECK(n >= 0);
        for (const qint64 n : stats->byApp)
            FUZZ_CHECK(n >= 0);
        const auto again = decodeStatsFile(encodeStatsFile(*stats));
        FUZZ_CHECK(again && again->skipped == 0 && again->bySnippet == stats->bySnippet &&
                   again->byApp == stats->byApp && again->lastUsed.size() == stats->lastUsed.size());
        for (auto it = stats->lastUsed.cbegin(); it != stats->lastUsed.cend(); ++it)
            FUZZ_CHECK(it.value().isValid() && it.value().date().year() >= 1 && it.value().date().year() <= 9999);
    }
    return 0;
}
