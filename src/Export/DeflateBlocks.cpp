#include "Export/DeflateBlocks.h"

#include <algorithm>
#include <array>
#include <memory>

#include <QtEndian>

namespace {

// Bits are taken least significant first, as deflate packs them. Past the end the reader gives
// zeros and counts them, so a truncated stream is noticed by its position.
class BitReader {
public:
    BitReader(const uchar* data, qsizetype size)
        : m_begin(data), m_next(data), m_end(data + size) {}

    void refill() {
        if (m_end - m_next >= 8) {
            // Bytes loaded beyond the count are loaded again at the same place next time.
            m_bits |= qFromLittleEndian<quint64>(m_next) << m_count;
            m_next += (63 - m_count) >> 3;
            m_count |= 56;
            return;
        }
        while (m_count <= 56) {
            if (m_next < m_end)
                m_bits |= quint64(*m_next++) << m_count;
            else
                ++m_past;
            m_count += 8;
        }
    }
    quint32 peek() const { return quint32(m_bits); }
    void drop(int n) { m_bits >>= n, m_count -= n; }
    quint32 take(int n) {  // n <= 32, after a refill that covers it
        const quint32 v = quint32(m_bits & ((quint64(1) << n) - 1));
        drop(n);
        return v;
    }
    bool low() const { return m_count < 48; }
    // Read well past the end: no symbol can still be in the stream.
    bool overrun() const { return m_past > 8; }
    qint64 position() const { return (m_next - m_begin + m_past) * 8 - m_count; }
    void seekByte(qsizetype byte) { m_next = m_begin + byte, m_bits = 0, m_count = 0, m_past = 0; }

private:
    const uchar* m_begin;
    const uchar* m_next;
    const uchar* m_end;
    quint64 m_bits = 0;
    int m_count = 0;
    qint64 m_past = 0;
};

constexpr int rootBits = 11;
constexpr quint32 rootMask = (1u << rootBits) - 1;

// A canonical Huffman code: codes up to rootBits long straight from a table indexed by the next
// bits, each entry (symbol << 4) | length or 0; longer ones bit by bit.
struct Code {
    std::array<quint16, 1 << rootBits> direct;
    int perLength[16] = {};
    std::array<quint16, 320> sorted;  // symbols by code length, then value

    bool build(const quint8* lengths, int count) {
        std::fill(std::begin(perLength), std::end(perLength), 0);
        for (int s = 0; s < count; ++s) ++perLength[lengths[s]];
        perLength[0] = 0;
        int left = 1;
        for (int l = 1; l <= 15; ++l)
            if ((left = (left << 1) - perLength[l]) < 0) return false;  // over-subscribed
        int offset[16] = {}, next[16] = {}, code = 0;
        for (int l = 1; l <= 15; ++l) {
            offset[l] = offset[l - 1] + perLength[l - 1];
            next[l] = code = (code + perLength[l - 1]) << 1;
        }
        direct.fill(0);
        for (int s = 0; s < count; ++s) {
            const int l = lengths[s];
            if (!l) continue;
            sorted[offset[l]++] = quint16(s);
            quint32 c = quint32(next[l]++), reversed = 0;
            if (l > rootBits) continue;
            for (int i = 0; i < l; ++i) reversed = (reversed << 1) | (c & 1), c >>= 1;
            for (quint32 i = reversed; i <= rootMask; i += 1u << l)
                direct[i] = quint16((s << 4) | l);
        }
        return true;
    }
    inline int decode(BitReader& in) const {  // -1 on a bit pattern that is no code
        if (const quint16 e = direct[in.peek() & rootMask]) {
            in.drop(e & 15);
            return e >> 4;
        }
        int code = 0, first = 0, index = 0;
        for (int l = 1; l <= 15; ++l) {
            code |= int(in.take(1));
            if (code - first < perLength[l]) return sorted[index + code - first];
            index += perLength[l];
            first = (first + perLength[l]) << 1;
            code <<= 1;
        }
        return -1;
    }
};

constexpr std::array<quint8, 29> lengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<quint8, 30> distanceExtra{0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                               6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// What the next rootBits bits hold, for skipping: a run of whole literal codes, a length code
// and its extra bits (a distance follows), the end-of-block code, or a code too long (or bad)
// for this table, decoded the slow way. The bits to drop are in the upper byte.
enum Kind : quint16 { slow, literals, match, endOfBlock };

struct SkipTable {
    std::array<quint16, 1 << rootBits> entries;

    static quint16 entry(Kind kind, int bits) { return quint16(kind | (bits << 8)); }

    // The code whose bits start `index`, when it is known from its low `known` bits alone.
    static int shortCode(const Code& c, quint32 index, int known, int& length) {
        const quint16 e = c.direct[index & rootMask];
        length = e & 15;
        return length && length <= known ? e >> 4 : -1;
    }
    void buildLiterals(const Code& c) {
        for (quint32 i = 0; i < entries.size(); ++i) {
            int length = 0, used = 0;
            const int s = shortCode(c, i, rootBits, length);
            if (s < 0 || s > 285)
                entries[i] = entry(slow, 0);
            else if (s == 256)
                entries[i] = entry(endOfBlock, length);
            else if (s > 256)
                entries[i] = entry(match, length + lengthExtra[s - 257]);
            else {
                // As many whole literal codes as the index holds.
                do used += length;
                while (shortCode(c, i >> used, rootBits - used, length) >= 0 &&
                       (c.direct[(i >> used) & rootMask] >> 4) < 256);
                entries[i] = entry(literals, used);
            }
        }
    }
    void buildDistances(const Code& c) {
        for (quint32 i = 0; i < entries.size(); ++i) {
            int length = 0;
            const int s = shortCode(c, i, rootBits, length);
            entries[i] = s < 0 || s > 29 ? entry(slow, 0) : entry(match, length + distanceExtra[s]);
        }
    }
};

struct Codes {
    Code literals, distances;
    SkipTable skipLiterals, skipDistances;

    void prepare() {
        skipLiterals.buildLiterals(literals);
        skipDistances.buildDistances(distances);
    }
};

inline bool skipDistance(BitReader& in, const Codes& codes) {
    const quint16 e = codes.skipDistances.entries[in.peek() & rootMask];
    if (e & 3) {
        in.drop(e >> 8);
        return true;
    }
    const int d = codes.distances.decode(in);
    if (d < 0 || d > 29) return false;
    in.drop(distanceExtra[d]);
    return true;
}

// Symbols up to the end-of-block code, their output discarded. The reader is copied in and out
// so that its state stays in registers in this loop.
bool skipSymbols(BitReader& reader, const Codes& codes) {
    BitReader in = reader;
    bool ok = false;
    for (;;) {
        if (in.low()) {
            in.refill();
            if (in.overrun()) break;
        }
        const quint16 e = codes.skipLiterals.entries[in.peek() & rootMask];
        const Kind kind = Kind(e & 3);
        in.drop(e >> 8);
        if (kind == literals) continue;
        if (kind == match) {
            if (!skipDistance(in, codes)) break;
            continue;
        }
        if (kind == endOfBlock) {
            ok = true;
            break;
        }
        const int s = codes.literals.decode(in);
        if (s < 0 || s > 285) break;
        if (s == 256) {
            ok = true;
            break;
        }
        if (s < 256) continue;
        in.drop(lengthExtra[s - 257]);
        if (!skipDistance(in, codes)) break;
    }
    reader = in;
    return ok;
}

bool readDynamicCodes(BitReader& in, Codes& codes) {
    static constexpr quint8 order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                         11, 4,  12, 3, 13, 2, 14, 1, 15};
    in.refill();
    const int literalCount = int(in.take(5)) + 257, distanceCount = int(in.take(5)) + 1;
    const int lengthCount = int(in.take(4)) + 4;
    quint8 lengthLengths[19] = {};
    for (int i = 0; i < lengthCount; ++i) {
        in.refill();
        lengthLengths[order[i]] = quint8(in.take(3));
    }
    Code lengthCode;
    if (!lengthCode.build(lengthLengths, 19)) return false;
    quint8 lengths[288 + 32] = {};
    const int total = literalCount + distanceCount;
    for (int i = 0; i < total;) {
        in.refill();
        if (in.overrun()) return false;
        const int s = lengthCode.decode(in);
        if (s < 0) return false;
        if (s < 16) {
            lengths[i++] = quint8(s);
            continue;
        }
        if (s == 16 && i == 0) return false;
        const quint8 value = s == 16 ? lengths[i - 1] : 0;
        const int repeat = s == 16   ? 3 + int(in.take(2))
                           : s == 17 ? 3 + int(in.take(3))
                                     : 11 + int(in.take(7));
        if (i + repeat > total) return false;
        for (int r = 0; r < repeat; ++r) lengths[i++] = value;
    }
    if (!lengths[256]) return false;  // no end-of-block code
    return codes.literals.build(lengths, literalCount) &&
           codes.distances.build(lengths + literalCount, distanceCount);
}

void buildFixedCodes(Codes& codes) {
    quint8 lengths[288 + 32];
    for (int s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    for (int s = 288; s < 320; ++s) lengths[s] = 5;
    codes.literals.build(lengths, 288);
    codes.distances.build(lengths + 288, 32);
}

}  // namespace

std::optional<DeflateBlocks::End> DeflateBlocks::findEnd(const uchar* data, qsizetype size) {
    BitReader in(data, size);
    auto codes = std::make_unique<Codes>();
    const qint64 bitSize = qint64(size) * 8;
    for (;;) {
        const qint64 header = in.position();
        in.refill();
        const bool final = in.take(1);
        const int type = int(in.take(2));
        if (type == 0) {
            const qsizetype at = qsizetype((in.position() + 7) / 8);
            if (at + 4 > size) return std::nullopt;
            const quint16 length = qFromLittleEndian<quint16>(data + at);
            if (quint16(~length) != qFromLittleEndian<quint16>(data + at + 2)) return std::nullopt;
            if (at + 4 + length > size) return std::nullopt;
            in.seekByte(at + 4 + length);
        } else if (type == 1 || type == 2) {
            if (type == 1)
                buildFixedCodes(*codes);
            else if (!readDynamicCodes(in, *codes))
                return std::nullopt;
            codes->prepare();
            if (!skipSymbols(in, *codes)) return std::nullopt;
        } else {
            return std::nullopt;
        }
        if (in.position() > bitSize) return std::nullopt;
        if (final) return End{header, in.position()};
    }
}

qsizetype DeflateBlocks::makeJoinable(uchar* data, End end) {
    data[end.lastHeaderBit / 8] &= uchar(~(1u << (end.lastHeaderBit % 8)));
    // An empty stored block: three zero header bits right after the end-of-block code, zeros up
    // to the next byte boundary, then LEN 0 and its complement.
    const qint64 e = end.endBit;
    if (e % 8) data[e / 8] &= uchar((1u << (e % 8)) - 1);
    const qsizetype aligned = qsizetype((e + 3 + 7) / 8);
    for (qsizetype i = qsizetype((e + 7) / 8); i < aligned; ++i) data[i] = 0;
    static constexpr uchar emptyStored[4] = {0x00, 0x00, 0xff, 0xff};
    for (int i = 0; i < 4; ++i) data[aligned + i] = emptyStored[i];
    return aligned + 4;
}
