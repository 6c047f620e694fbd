#include "library/BinaryPlistReader.h"

#include <QHash>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace {

constexpr quint64 kHeaderSize = 8;
constexpr quint64 kTrailerSize = 32;

// All positions are quint64 and every check is written so that it cannot overflow:
// sizes are compared with what is left, never added to a position first.
class Reader
{
public:
    Reader(const QByteArray& data, const PlistLimits& limits)
        : m_data(reinterpret_cast<const uchar*>(data.constData()))
        , m_size(quint64(data.size()))
        , m_limits(limits)
    {
    }

    std::optional<PlistValue> read()
    {
        if (m_size < kHeaderSize + 1 + 1 + kTrailerSize)
            return std::nullopt;
        if (std::memcmp(m_data, "bplist00", kHeaderSize) != 0)
            return std::nullopt;
        const quint64 trailer = m_size - kTrailerSize;
        m_offsetSize = m_data[trailer + 6];
        m_refSize = m_data[trailer + 7];
        quint64 objectCount = 0, top = 0;
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return std::nullopt;
        readUInt(trailer + 8, 8, objectCount, m_size);
        readUInt(trailer + 16, 8, top, m_size);
        readUInt(trailer + 24, 8, m_tableOffset, m_size);
        // Objects sit between the header and the offset table; the table ends where the
        // trailer begins.
        if (m_tableOffset <= kHeaderSize || m_tableOffset > trailer)
            return std::nullopt;
        if (objectCount == 0 || objectCount > (trailer - m_tableOffset) / m_offsetSize)
            return std::nullopt;
        m_objectCount = objectCount;
        // Writers share strings and numbers, never containers, so every visit of a genuine
        // file follows a reference of its own: a few per byte is already generous. A file
        // that needs more shares containers to multiply its work.
        m_maxNodes = std::min(quint64(qMax<qint64>(m_limits.maxNodes, 0)), 4 * m_size + 16);
        if (top >= m_objectCount)
            return std::nullopt;
        PlistValue root;
        if (!spend(1, 0) || !value(top, root))
            return std::nullopt;
        return root;
    }

private:
    // Reads a big-endian unsigned integer of `width` bytes (1-8) lying wholly before `end`.
    bool readUInt(quint64 pos, quint64 width, quint64& out, quint64 end) const
    {
        if (width < 1 || width > 8 || pos > end || width > end - pos)
            return false;
        quint64 v = 0;
        for (quint64 i = 0; i < width; ++i)
            v = (v << 8) | m_data[pos + i];
        out = v;
        return true;
    }

    // True when `count` items of `unit` bytes starting at `pos` lie inside the object area.
    bool fits(quint64 pos, quint64 count, quint64 unit) const
    {
        return pos <= m_tableOffset && count <= (m_tableOffset - pos) / unit;
    }

    bool objectOffset(quint64 ref, quint64& offset) const
    {
        if (ref >= m_objectCount)
            return false;
        // ref < count and count * offsetSize fits before the trailer: no overflow here.
        if (!readUInt(m_tableOffset + ref * m_offsetSize, m_offsetSize, offset, m_size - kTrailerSize))
            return false;
        return offset >= kHeaderSize && offset < m_tableOffset;
    }

    // The length of a sized object: the marker's low nibble, or when that is 15 an integer
    // object that follows the marker. `start` is where the object's content begins.
    bool length(quint64 pos, quint64& count, quint64& start) const
    {
        const uchar low = m_data[pos] & 0x0F;
        if (low != 0x0F) {
            count = low;
            start = pos + 1;
            return true;
        }
        if (pos + 1 >= m_tableOffset)
            return false;
        const uchar marker = m_data[pos + 1];
        if ((marker & 0xF0) != 0x10 || (marker & 0x0F) > 3)
            return false;
        const quint64 width = quint64(1) << (marker & 0x0F);
        if (!readUInt(pos + 2, width, count, m_tableOffset))
            return false;
        start = pos + 2 + width;
        return true;
    }

    bool spend(quint64 nodes, quint64 decodedBytes)
    {
        if (nodes > m_maxNodes - m_nodes)
            return false;
        if (decodedBytes > quint64(m_limits.maxDecodedBytes) - m_decoded)
            return false;
        m_nodes += nodes;
        m_decoded += decodedBytes;
        return true;
    }

    bool refs(quint64 start, quint64 count, QVarLengthArray<quint64, 16>& out) const
    {
        out.resize(qsizetype(count));
        for (quint64 i = 0; i < count; ++i) {
            if (!readUInt(start + i * m_refSize, m_refSize, out[qsizetype(i)], m_tableOffset))
                return false;
        }
        return true;
    }

    bool value(quint64 ref, PlistValue& out)
    {
        // Genuine files share keys and strings between many parents, so only a value that
        // is its own ancestor is a cycle.
        if (m_path.size() >= m_limits.maxDepth)
            return false;
        for (quint64 p : m_path) {
            if (p == ref)
                return false;
        }
        quint64 pos = 0;
        if (!objectOffset(ref, pos))
            return false;
        const uchar marker = m_data[pos];
        const uchar high = marker >> 4;
        const uchar low = marker & 0x0F;
        quint64 count = 0, start = 0;
        switch (high) {
        case 0x0:
            // null, false, true, fill
            out.type = PlistValue::Type::other;
            return marker == 0x00 || marker == 0x08 || marker == 0x09 || marker == 0x0F;
        case 0x1: // integer of 2^n bytes
        case 0x2: // real of 2^n bytes
            out.type = PlistValue::Type::other;
            return low <= (high == 0x1 ? 4 : 3) && fits(pos + 1, quint64(1) << low, 1);
        case 0x3: // date
            out.type = PlistValue::Type::other;
            return marker == 0x33 && fits(pos + 1, 8, 1);
        case 0x4: // data
            out.type = PlistValue::Type::other;
            return length(pos, count, start) && fits(start, count, 1);
        case 0x5: // ASCII string
        case 0x6: { // UTF-16BE string
            const quint64 unit = high == 0x5 ? 1 : 2;
            if (!length(pos, count, start) || !fits(start, count, unit) || !spend(0, count * 2))
                return false;
            out.type = PlistValue::Type::string;
            const auto cached = m_strings.constFind(ref);
            if (cached != m_strings.cend()) {
                out.text = *cached;
                return true;
            }
            const char* bytes = reinterpret_cast<const char*>(m_data + start);
            if (unit == 1) {
                out.text = QString::fromLatin1(bytes, qsizetype(count));
            } else {
                out.text.resize(qsizetype(count));
                char16_t* dst = reinterpret_cast<char16_t*>(out.text.data());
                for (quint64 i = 0; i < count; ++i)
                    dst[i] = char16_t((uchar(bytes[2 * i]) << 8) | uchar(bytes[2 * i + 1]));
            }
            m_strings.insert(ref, out.text);
            return true;
        }
        case 0x8: // UID
            out.type = PlistValue::Type::other;
            return fits(pos + 1, quint64(low) + 1, 1);
        case 0xA:   // array
        case 0xB:   // ordered set
        case 0xC:   // set
        case 0xD: { // dictionary: all keys, then all values
            const quint64 perItem = high == 0xD ? 2 : 1;
            if (!length(pos, count, start) || !fits(start, count, perItem * m_refSize))
                return false;
            const quint64 items = count * perItem;
            // Every visit counts, a shared value's too; paid for before the slots exist.
            if (!spend(items, 0))
                return false;
            QVarLengthArray<quint64, 16> list;
            if (!refs(start, items, list))
                return false;
            out.type = high == 0xA   ? PlistValue::Type::array
                       : high == 0xD ? PlistValue::Type::dict
                                     : PlistValue::Type::other;
            out.items.resize(size_t(items));
            m_path.append(ref);
            for (quint64 i = 0; i < items; ++i) {
                // Dictionaries are kept as key, value, key, value.
                const quint64 slot = perItem == 1 ? i : (i < count ? 2 * i : 2 * (i - count) + 1);
                if (!value(list[qsizetype(i)], out.items[size_t(slot)]))
                    return false;
            }
            m_path.removeLast();
            if (out.type == PlistValue::Type::other)
                out.items.clear();
            return true;
        }
        default:
            return false;
        }
    }

    const uchar* m_data;
    quint64 m_size;
    PlistLimits m_limits;
    quint64 m_offsetSize = 0;
    quint64 m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_tableOffset = 0;
    quint64 m_maxNodes = 0;
    quint64 m_nodes = 0;
    quint64 m_decoded = 0;
    QVarLengthArray<quint64, 64> m_path;
    // Shared strings decode once and share their storage; the budget still counts each use.
    QHash<quint64, QString> m_strings;
};

} // namespace

std::optional<PlistValue> BinaryPlistReader::read(const QByteArray& data, const PlistLimits& limits)
{
    return Reader(data, limits).read();
}
