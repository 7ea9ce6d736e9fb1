#include "platform/sha256.h"

#include <QIODevice>

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define QEN_SHA256_X86 1
#endif

namespace qen {

namespace {

constexpr std::uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t Initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

inline std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

void compressPortable(std::uint32_t state[8], const std::uint8_t *p, std::size_t count) {
    for (; count > 0; --count, p += 64) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = std::uint32_t(p[4 * i]) << 24 | std::uint32_t(p[4 * i + 1]) << 16 |
                   std::uint32_t(p[4 * i + 2]) << 8 | std::uint32_t(p[4 * i + 3]);
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4],
                      f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t t1 =
                h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + K[i] + w[i];
            const std::uint32_t t2 =
                (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#ifdef QEN_SHA256_X86

// The SHA extensions keep the state as ABEF and CDGH and take four message words at a time;
// each group of four rounds extends the schedule by the next four words.
__attribute__((target("sha,sse4.1,ssse3"))) void
compressShaInstructions(std::uint32_t state[8], const std::uint8_t *p, std::size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bll, 0x0405060700010203ll);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i *>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i *>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; count > 0; --count, p += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i m[4]; // the schedule's last sixteen words, m[i % 4] holding words 4i..4i+3
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            __m128i words;
            if (i < 4) {
                words = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i)), byteSwap);
            } else {
                // w[t-16] + s0(w[t-15]) + w[t-7], then + s1(w[t-2]).
                __m128i t = _mm_sha256msg1_epu32(m[i % 4], m[(i + 1) % 4]);
                t = _mm_add_epi32(t, _mm_alignr_epi8(m[(i + 3) % 4], m[(i + 2) % 4], 4));
                words = _mm_sha256msg2_epu32(t, m[(i + 3) % 4]);
            }
            m[i % 4] = words;
            __m128i k =
                _mm_add_epi32(words, _mm_loadu_si128(reinterpret_cast<const __m128i *>(&K[4 * i])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            k = _mm_shuffle_epi32(k, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, k);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(&state[0]), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(&state[4]), hgfe);
}

bool processorHasSha() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    const bool ssse3 = c & (1u << 9), sse41 = c & (1u << 19);
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return false;
    return ssse3 && sse41 && (b & (1u << 29));
}

#endif

Sha256::Compress fastest() {
#ifdef QEN_SHA256_X86
    static const Sha256::Compress chosen =
        processorHasSha() ? compressShaInstructions : compressPortable;
    return chosen;
#else
    return compressPortable;
#endif
}

} // namespace

Sha256::Sha256(Implementation implementation)
    : m_compress(implementation == Implementation::Portable ? compressPortable : fastest()) {
    std::memcpy(m_state, Initial, sizeof m_state);
}

bool Sha256::hasShaInstructions() {
    return fastest() != compressPortable;
}

void Sha256::addData(QByteArrayView bytes) {
    // An empty view may have no data at all, and memcpy must not be given a null pointer.
    if (bytes.isEmpty())
        return;
    auto p = reinterpret_cast<const std::uint8_t *>(bytes.data());
    std::size_t size = std::size_t(bytes.size());
    m_length += size;
    if (m_buffered > 0) {
        const std::size_t take = std::min(size, sizeof m_buffer - m_buffered);
        std::memcpy(m_buffer + m_buffered, p, take);
        m_buffered += take;
        p += take;
        size -= take;
        if (m_buffered < sizeof m_buffer)
            return;
        m_compress(m_state, m_buffer, 1);
        m_buffered = 0;
    }
    if (size >= 64) {
        m_compress(m_state, p, size / 64);
        p += size / 64 * 64;
        size %= 64;
    }
    std::memcpy(m_buffer, p, size);
    m_buffered = size;
}

bool Sha256::addData(QIODevice *device) {
    char chunk[64 * 1024];
    for (;;) {
        const qint64 n = device->read(chunk, sizeof chunk);
        if (n < 0)
            return false;
        if (n == 0)
            return device->atEnd();
        addData(QByteArrayView(chunk, n));
    }
}

QByteArray Sha256::result() {
    const std::uint64_t bits = m_length * 8;
    std::uint8_t tail[72] = {0x80};
    // The tail brings the length to 56 modulo 64, then the length in bits, big-endian.
    const std::size_t pad = (m_buffered < 56 ? 56 : 120) - m_buffered;
    for (int i = 0; i < 8; ++i)
        tail[pad + std::size_t(i)] = std::uint8_t(bits >> (56 - 8 * i));
    addData(QByteArrayView(reinterpret_cast<const char *>(tail), qsizetype(pad + 8)));
    QByteArray out(32, Qt::Uninitialized);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            out[4 * i + j] = char(m_state[i] >> (24 - 8 * j));
    return out;
}

QByteArray Sha256::hash(QByteArrayView bytes) {
    Sha256 h;
    h.addData(bytes);
    return h.result();
}

} // namespace qen
