#include "library/XmlPlistReader.h"

#include <QXmlStreamReader>

namespace {

class Reader
{
public:
    Reader(const QByteArray& data, const PlistLimits& limits)
        : m_xml(data)
        , m_limits(limits)
    {
    }

    std::optional<PlistValue> read()
    {
        if (next() != Next::start)
            return std::nullopt;
        PlistValue root;
        if (m_xml.name() == QLatin1String("plist")) {
            if (next() != Next::start || !value(root, 0) || next() != Next::end)
                return std::nullopt;
        } else if (!value(root, 0)) {
            return std::nullopt;
        }
        // The parser still has to see a well-formed end of the document.
        while (!m_xml.atEnd())
            m_xml.readNext();
        if (m_xml.hasError())
            return std::nullopt;
        return root;
    }

private:
    enum class Next { start, end, fail };

    // The next element boundary; white space, comments and processing instructions between
    // elements are skipped, any other text is an error.
    Next next()
    {
        for (;;) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
                return Next::start;
            case QXmlStreamReader::EndElement:
                return Next::end;
            case QXmlStreamReader::Characters:
                if (m_xml.isWhitespace())
                    continue;
                return Next::fail;
            case QXmlStreamReader::StartDocument:
            case QXmlStreamReader::DTD:
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                continue;
            default:
                return Next::fail;
            }
        }
    }

    // The text of the current element up to its end tag; CDATA sections and resolved
    // entities are part of it, a child element or an unresolved entity is an error.
    bool text(QString& out)
    {
        for (;;) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::Characters: {
                const auto part = m_xml.text();
                if (!spend(0, part.size() * 2))
                    return false;
                out += part;
                continue;
            }
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                continue;
            case QXmlStreamReader::EndElement:
                return true;
            default:
                return false;
            }
        }
    }

    bool spend(qint64 nodes, qint64 decodedBytes)
    {
        if (nodes > m_limits.maxNodes - m_nodes || decodedBytes > m_limits.maxDecodedBytes - m_decoded)
            return false;
        m_nodes += nodes;
        m_decoded += decodedBytes;
        return true;
    }

    // Reads the element the reader stands on (its start tag just read) into `out`.
    bool value(PlistValue& out, int depth)
    {
        if (depth >= m_limits.maxDepth || !spend(1, 0))
            return false;
        const QStringView name = m_xml.name();
        if (name == QLatin1String("string") || name == QLatin1String("key")) {
            out.type = PlistValue::Type::string;
            return text(out.text);
        }
        if (name == QLatin1String("integer") || name == QLatin1String("real") || name == QLatin1String("date") ||
            name == QLatin1String("data") || name == QLatin1String("true") || name == QLatin1String("false")) {
            // Kept only as "something of another type"; its text is not needed.
            out.type = PlistValue::Type::other;
            QString ignored;
            return text(ignored);
        }
        if (name == QLatin1String("array")) {
            out.type = PlistValue::Type::array;
            for (;;) {
                const Next n = next();
                if (n == Next::end)
                    return true;
                if (n == Next::fail)
                    return false;
                out.items.emplace_back();
                if (!value(out.items.back(), depth + 1))
                    return false;
            }
        }
        if (name == QLatin1String("dict")) {
            out.type = PlistValue::Type::dict;
            for (;;) {
                const Next n = next();
                if (n == Next::end)
                    return true;
                if (n == Next::fail || m_xml.name() != QLatin1String("key"))
                    return false;
                out.items.emplace_back();
                if (!value(out.items.back(), depth + 1))
                    return false;
                if (next() != Next::start)
                    return false;
                out.items.emplace_back();
                if (!value(out.items.back(), depth + 1))
                    return false;
            }
        }
        return false;
    }

    QXmlStreamReader m_xml;
    PlistLimits m_limits;
    qint64 m_nodes = 0;
    qint64 m_decoded = 0;
};

} // namespace

std::optional<PlistValue> XmlPlistReader::read(const QByteArray& data, const PlistLimits& limits)
{
    return Reader(data, limits).read();
}
