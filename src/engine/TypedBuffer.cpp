#include "engine/TypedBuffer.h"

TypedBuffer::TypedBuffer(int cap) : m_cap(cap)
{
    m_text.reserve(cap * 8);
}

void TypedBuffer::append(QStringView character)
{
    if (character.isEmpty())
        return;
    m_starts.append(int(m_text.size()));
    m_lengths.append(int(character.size()));
    m_text.append(character);
    if (m_lengths.size() > m_cap) {
        const int drop = m_lengths.front();
        m_text.remove(0, drop);
        m_lengths.remove(0);
        m_starts.remove(0);
        for (int& s : m_starts)
            s -= drop;
    }
}

void TypedBuffer::removeLast()
{
    if (m_lengths.isEmpty())
        return;
    m_text.truncate(m_starts.back());
    m_lengths.removeLast();
    m_starts.removeLast();
}

void TypedBuffer::clear()
{
    m_text.truncate(0); // keeps the capacity
    m_lengths.clear();
    m_starts.clear();
}

QStringView TypedBuffer::suffix(int n) const
{
    if (n <= 0)
        return {};
    if (n >= size())
        return QStringView(m_text);
    return QStringView(m_text).mid(m_starts[size() - n]);
}

QStringView TypedBuffer::at(int i) const
{
    if (i < 0 || i >= size())
        return {};
    return QStringView(m_text).mid(m_starts[i], m_lengths[i]);
}
