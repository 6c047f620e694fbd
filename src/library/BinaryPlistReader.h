#pragma once

#include "library/PlistValue.h"

#include <QByteArray>

#include <optional>

// Reads a binary property list ("bplist00"). Every size, offset, reference and count is
// checked against the data before it is used, a value that contains itself is refused, and
// the limits bound the work, so any input ends in a value or in absent, never a crash, a
// hang or a huge allocation.
class BinaryPlistReader
{
public:
    static std::optional<PlistValue> read(const QByteArray& data, const PlistLimits& limits = {});
};
