#pragma once

#include <QString>

#include <vector>

// One value of a property list, as far as snippet import cares: strings, arrays and
// dictionaries are kept; numbers, dates, data and the like are only known to be there.
struct PlistValue
{
    enum class Type { string, array, dict, other };

    Type type = Type::other;
    // The text of a string.
    QString text;
    // The elements of an array; for a dictionary its keys and values in turns
    // (key, value, key, value, ...), so a key that is not a string can be seen.
    std::vector<PlistValue> items;
};

// What a property-list reader may spend on one input. Binary files share objects, so a
// few kilobytes can name the same string a million times; these bounds keep such a file
// from expanding into gigabytes while leaving room for every real export.
struct PlistLimits
{
    int maxDepth = 64;
    // Every value visited counts, also the second and later visits of a shared one.
    qint64 maxNodes = 1'000'000;
    // Decoded string data (UTF-16 bytes), counted on every visit.
    qint64 maxDecodedBytes = 64 * 1024 * 1024;
};
