#pragma once

#include "library/PlistValue.h"

#include <QByteArray>

#include <optional>

// Reads an XML property list. Entities and character references are resolved by the XML
// parser itself (internal ones only: nothing is ever fetched, a DTD included); <string/>
// and CDATA sections read as text. Absent when the bytes are not a property list or go
// past the limits.
class XmlPlistReader
{
public:
    static std::optional<PlistValue> read(const QByteArray& data, const PlistLimits& limits = {});
};
