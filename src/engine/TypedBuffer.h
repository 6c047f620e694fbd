#pragma once

#include <QString>
#include <QStringView>
#include <QVarLengthArray>

// The last characters the user typed, oldest first, at most `cap` user-perceived
// characters. Storage is reserved once, so typing never allocates.
class TypedBuffer
{
public:
    explicit TypedBuffer(int cap = 100);

    int size() const { return int(m_lengths.size()); }
    bool isEmpty() const { return m_lengths.isEmpty(); }
    int cap() const { return m_cap; }

    // Appends one character (one grapheme cluster); the oldest goes when over the cap.
    void append(QStringView character);
    void removeLast();
    void clear();

    // The last `n` characters as one view into the buffer (valid until the next change).
    QStringView suffix(int n) const;
    // Character i (0 = oldest).
    QStringView at(int i) const;
    QStringView last() const { return at(size() - 1); }
    QString text() const { return m_text; }

private:
    int m_cap;
    QString m_text;
    QVarLengthArray<int, 128> m_lengths;
    QVarLengthArray<int, 128> m_starts; // offsets into m_text, kept in step with m_lengths
};
