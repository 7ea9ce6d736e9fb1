#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <cstdint>

class QIODevice;

// SHA-256 (FIPS 180-4), the same digest as QCryptographicHash::Sha256, with the processor's
// SHA instructions where it has them. Qt's own is plain C: the text cache hashes every page
// it is asked about, and hashing was a sixth of writing a recognised article into a PDF.
namespace qen {

class Sha256 {
public:
    enum class Implementation {
        Fastest,  // the SHA instructions when the processor has them, otherwise Portable
        Portable, // plain C++, on any processor
    };

    explicit Sha256(Implementation implementation = Implementation::Fastest);

    void addData(QByteArrayView bytes);
    // Reads the device to its end; false when a read fails (the hash is then of no use).
    bool addData(QIODevice *device);
    // The 32-byte digest. The object is spent afterwards.
    QByteArray result();

    static QByteArray hash(QByteArrayView bytes);
    // Whether Fastest runs on the SHA instructions on this processor.
    static bool hasShaInstructions();

    using Compress = void (*)(std::uint32_t state[8], const std::uint8_t *blocks,
                              std::size_t count);

private:
    Compress m_compress;
    std::uint32_t m_state[8];
    std::uint64_t m_length = 0; // bytes so far
    std::uint8_t m_buffer[64];
    std::size_t m_buffered = 0;
};

} // namespace qen
