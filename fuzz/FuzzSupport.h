#pragma once

// Small helpers shared by the fuzz targets.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Reads the fuzzer's bytes from the front.
class FuzzInput
{
  public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint32_t u32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | byte();
        return v;
    }
    // Up to `max` bytes.
    QByteArray bytes(size_t max)
    {
        const size_t n = std::min(max, m_size - m_pos);
        QByteArray out(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(n));
        m_pos += n;
        return out;
    }
    QByteArray rest() { return bytes(m_size - m_pos); }
    bool empty() const { return m_pos >= m_size; }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// A property that must hold for every input; a failure is a finding.
#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)
