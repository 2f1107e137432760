// LZHUF codec: the classic parameters (4096-byte ring, 60-byte look-ahead,
// threshold 2, 314 symbols, tree rebuilt at a root frequency of 0x8000) and the
// fixed code for the upper six bits of a match position.
#include "tally/lzh.h"

#include <algorithm>
#include <array>

namespace kestrova {

namespace {

constexpr int N = 4096;             // ring buffer size
constexpr int F = 60;               // look-ahead, the longest match
constexpr int kThreshold = 2;       // a match must be longer than this
constexpr int NIL = N;              // no node in the search trees
constexpr int kSymbols = 256 - kThreshold + F; // 314: bytes, then lengths 3..60
constexpr int T = kSymbols * 2 - 1; // 627 nodes in the Huffman tree
constexpr int R = T - 1;            // its root
constexpr std::uint32_t kMaxFreq = 0x8000;
constexpr std::size_t kOutputChunk = 32768;

// Code lengths for the upper six bits of a match position; the codes are the
// canonical ones for these lengths, assigned in increasing order.
constexpr std::array<std::uint8_t, 64> kPositionLength = {
    3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6,
    6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
};

struct PositionTables {
    std::array<std::uint8_t, 64> code{};    // left-aligned in 8 bits
    std::array<std::uint8_t, 256> upper{};  // next 8 bits -> upper six bits
    std::array<std::uint8_t, 256> length{}; // next 8 bits -> code length
};

constexpr PositionTables makePositionTables()
{
    PositionTables t;
    unsigned code = 0;
    int previousLength = kPositionLength[0];
    for (int i = 0; i < 64; ++i) {
        const int length = kPositionLength[i];
        code <<= (length - previousLength);
        previousLength = length;
        t.code[i] = static_cast<std::uint8_t>(code << (8 - length));
        const int span = 1 << (8 - length);
        for (int k = 0; k < span; ++k) {
            t.upper[t.code[i] + k] = static_cast<std::uint8_t>(i);
            t.length[t.code[i] + k] = static_cast<std::uint8_t>(length);
        }
        ++code;
    }
    return t;
}

constexpr PositionTables kPosition = makePositionTables();
static_assert(kPosition.code[1] == 0x20 && kPosition.code[4] == 0x50 && kPosition.code[12] == 0x90
              && kPosition.code[24] == 0xC0 && kPosition.code[48] == 0xF0 && kPosition.code[63] == 0xFF);

// Bits go out from the most significant bit of each byte on; the last byte is
// filled up with zero bits.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void put(unsigned value, int count)
    {
        for (int k = count - 1; k >= 0; --k) {
            current_ = static_cast<std::uint8_t>((current_ << 1) | ((value >> k) & 1));
            if (++filled_ == 8) {
                out_.push_back(current_);
                current_ = 0;
                filled_ = 0;
            }
        }
    }
    void finish()
    {
        if (filled_ > 0)
            out_.push_back(static_cast<std::uint8_t>(current_ << (8 - filled_)));
        filled_ = 0;
        current_ = 0;
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint8_t current_ = 0;
    int filled_ = 0;
};

// Reads zero bits past the end, as the decoder's look-ahead expects, and
// remembers that it did: a stream that needs them has ended too early.
class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> in) : in_(in), total_(in.size() * 8) {}
    unsigned bit()
    {
        if (position_ >= total_) {
            overrun_ = true;
            return 0;
        }
        const unsigned b = (in_[position_ >> 3] >> (7 - (position_ & 7))) & 1;
        ++position_;
        return b;
    }
    unsigned bits(int count)
    {
        unsigned v = 0;
        for (int k = 0; k < count; ++k)
            v = (v << 1) | bit();
        return v;
    }
    bool overrun() const { return overrun_; }

private:
    std::span<const std::uint8_t> in_;
    std::size_t total_;
    std::size_t position_ = 0;
    bool overrun_ = false;
};

} // namespace

TLZH::TLZH() = default;

TLZH::~TLZH() = default;

void TLZH::startHuff()
{
    // The tables are made on first use, so a codec that is never used costs nothing.
    freq_.resize(T + 1);
    prnt_.resize(T + kSymbols);
    son_.resize(T);
    for (int i = 0; i < kSymbols; ++i) {
        freq_[i] = 1;
        son_[i] = i + T;
        prnt_[i + T] = i;
    }
    for (int i = 0, j = kSymbols; j <= R; i += 2, ++j) {
        freq_[j] = freq_[i] + freq_[i + 1];
        son_[j] = i;
        prnt_[i] = prnt_[i + 1] = j;
    }
    freq_[T] = 0xFFFF; // sentinel that stops the search in update()
    prnt_[R] = 0;
}

// Halves every leaf's frequency and builds the tree again from the leaves,
// keeping the nodes in order of frequency.
void TLZH::reconst()
{
    int j = 0;
    for (int i = 0; i < T; ++i) {
        if (son_[i] >= T) {
            freq_[j] = (freq_[i] + 1) / 2;
            son_[j] = son_[i];
            ++j;
        }
    }
    for (int i = 0, n = kSymbols; n < T; i += 2, ++n) {
        const std::uint32_t f = freq_[i] + freq_[i + 1];
        int k = n - 1;
        while (f < freq_[k])
            --k;
        ++k;
        std::copy_backward(freq_.begin() + k, freq_.begin() + n, freq_.begin() + n + 1);
        freq_[k] = f;
        std::copy_backward(son_.begin() + k, son_.begin() + n, son_.begin() + n + 1);
        son_[k] = i;
    }
    for (int i = 0; i < T; ++i) {
        const int k = son_[i];
        if (k >= T)
            prnt_[k] = i;
        else
            prnt_[k] = prnt_[k + 1] = i;
    }
}

void TLZH::update(int symbol)
{
    if (freq_[R] == kMaxFreq)
        reconst();
    int c = prnt_[symbol + T];
    do {
        const std::uint32_t k = ++freq_[c];
        // Keep the nodes ordered: swap c with the last node of lower frequency.
        int l = c + 1;
        if (k > freq_[l]) {
            while (k > freq_[++l]) {
            }
            --l;
            freq_[c] = freq_[l];
            freq_[l] = k;

            const int i = son_[c];
            prnt_[i] = l;
            if (i < T)
                prnt_[i + 1] = l;

            const int j = son_[l];
            son_[l] = i;
            prnt_[j] = c;
            if (j < T)
                prnt_[j + 1] = c;
            son_[c] = j;

            c = l;
        }
        c = prnt_[c];
    } while (c != 0);
}

void TLZH::initTree()
{
    textBuf_.resize(N + F - 1);
    lson_.resize(N + 257);
    rson_.resize(N + 257);
    dad_.resize(N + 257);
    for (int i = N + 1; i <= N + 256; ++i)
        rson_[i] = NIL;
    for (int i = 0; i < N; ++i)
        dad_[i] = NIL;
}

// Inserts the string at r into its tree and leaves the longest match (the
// nearest one among equals) in matchLength_ / matchPosition_.
void TLZH::insertNode(int r)
{
    const std::uint8_t* key = &textBuf_[r];
    int p = N + 1 + key[0];
    int cmp = 1;
    rson_[r] = lson_[r] = NIL;
    matchLength_ = 0;
    for (;;) {
        if (cmp >= 0) {
            if (rson_[p] != NIL) {
                p = rson_[p];
            } else {
                rson_[p] = r;
                dad_[r] = p;
                return;
            }
        } else {
            if (lson_[p] != NIL) {
                p = lson_[p];
            } else {
                lson_[p] = r;
                dad_[r] = p;
                return;
            }
        }
        int i = 1;
        for (; i < F; ++i) {
            cmp = key[i] - textBuf_[p + i];
            if (cmp != 0)
                break;
        }
        if (i > kThreshold) {
            const int position = ((r - p) & (N - 1)) - 1;
            if (i > matchLength_) {
                matchPosition_ = position;
                matchLength_ = i;
                if (matchLength_ >= F)
                    break;
            } else if (i == matchLength_ && position < matchPosition_) {
                matchPosition_ = position;
            }
        }
    }
    // A full-length match: r replaces p in the tree.
    dad_[r] = dad_[p];
    lson_[r] = lson_[p];
    rson_[r] = rson_[p];
    dad_[lson_[p]] = r;
    dad_[rson_[p]] = r;
    if (rson_[dad_[p]] == p)
        rson_[dad_[p]] = r;
    else
        lson_[dad_[p]] = r;
    dad_[p] = NIL;
}

void TLZH::deleteNode(int p)
{
    if (dad_[p] == NIL)
        return;
    int q;
    if (rson_[p] == NIL) {
        q = lson_[p];
    } else if (lson_[p] == NIL) {
        q = rson_[p];
    } else {
        q = lson_[p];
        if (rson_[q] != NIL) {
            do {
                q = rson_[q];
            } while (rson_[q] != NIL);
            rson_[dad_[q]] = lson_[q];
            dad_[lson_[q]] = dad_[q];
            lson_[q] = lson_[p];
            dad_[lson_[p]] = q;
        }
        rson_[q] = rson_[p];
        dad_[rson_[p]] = q;
    }
    dad_[q] = dad_[p];
    if (rson_[dad_[p]] == p)
        rson_[dad_[p]] = q;
    else
        lson_[dad_[p]] = q;
    dad_[p] = NIL;
}

void TLZH::encode(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out,
                  const std::function<void()>& onBlock)
{
    if (data.empty())
        return;
    BitWriter writer(out);

    // The code of a symbol is the path from the root to its leaf; collected
    // leaf first, sent root first, of whatever length the tree gives it.
    auto encodeChar = [&](int symbol) {
        std::array<std::uint8_t, T> path;
        int length = 0;
        for (int k = prnt_[symbol + T]; k != R; k = prnt_[k])
            path[length++] = static_cast<std::uint8_t>(k & 1);
        while (length > 0)
            writer.put(path[--length], 1);
        update(symbol);
    };
    auto encodePosition = [&](int position) {
        const int upper = position >> 6;
        writer.put(kPosition.code[upper] >> (8 - kPositionLength[upper]), kPositionLength[upper]);
        writer.put(static_cast<unsigned>(position & 0x3F), 6);
    };

    startHuff();
    initTree();
    std::fill(textBuf_.begin(), textBuf_.end(), std::uint8_t{0});
    int s = 0;
    int r = N - F;
    std::fill(textBuf_.begin(), textBuf_.begin() + r, std::uint8_t{' '});

    std::size_t next = 0;
    std::size_t nextSignal = kOutputChunk;
    int len = 0;
    while (len < F && next < data.size())
        textBuf_[r + len++] = data[next++];
    for (int i = 1; i <= F; ++i)
        insertNode(r - i);
    insertNode(r);

    do {
        if (matchLength_ > len)
            matchLength_ = len;
        if (matchLength_ <= kThreshold) {
            matchLength_ = 1;
            encodeChar(textBuf_[r]);
        } else {
            encodeChar(255 - kThreshold + matchLength_);
            encodePosition(matchPosition_);
        }
        const int lastMatchLength = matchLength_;
        int i = 0;
        for (; i < lastMatchLength && next < data.size(); ++i) {
            const std::uint8_t c = data[next++];
            deleteNode(s);
            textBuf_[s] = c;
            // The copy past the ring's end lets comparisons run without wrapping.
            if (s < F - 1)
                textBuf_[s + N] = c;
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            insertNode(r);
        }
        while (i++ < lastMatchLength) {
            deleteNode(s);
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            if (--len)
                insertNode(r);
        }
        if (onBlock && next >= nextSignal) {
            nextSignal += kOutputChunk;
            onBlock();
        }
    } while (len > 0);
    writer.finish();
}

bool TLZH::decode(std::span<const std::uint8_t> stream, std::uint64_t size,
                  std::vector<std::uint8_t>& out, const std::function<void()>& onBlock)
{
    if (size == 0)
        return true;
    BitReader reader(stream);
    startHuff();
    std::array<std::uint8_t, N> ring{};
    std::fill(ring.begin(), ring.begin() + (N - F), std::uint8_t{' '});
    int r = N - F;

    std::uint64_t count = 0;
    std::uint64_t nextSignal = kOutputChunk;
    while (count < size) {
        int c = son_[R];
        while (c < T)
            c = son_[c + static_cast<int>(reader.bit())];
        c -= T;
        if (reader.overrun())
            return false;
        update(c);

        if (c < 256) {
            out.push_back(static_cast<std::uint8_t>(c));
            ring[r] = static_cast<std::uint8_t>(c);
            r = (r + 1) & (N - 1);
            ++count;
        } else {
            unsigned i = reader.bits(8);
            const unsigned upper = kPosition.upper[i];
            int extra = kPosition.length[i] - 2;
            while (extra-- > 0)
                i = (i << 1) | reader.bit();
            const unsigned position = (upper << 6) | (i & 0x3F);
            if (reader.overrun())
                return false;
            const int length = c - 255 + kThreshold;
            if (static_cast<std::uint64_t>(length) > size - count)
                return false;
            const int from = (r - static_cast<int>(position) - 1) & (N - 1);
            for (int k = 0; k < length; ++k) {
                const std::uint8_t b = ring[(from + k) & (N - 1)];
                out.push_back(b);
                ring[r] = b;
                r = (r + 1) & (N - 1);
            }
            count += static_cast<std::uint64_t>(length);
        }
        if (onBlock && count >= nextSignal) {
            nextSignal += kOutputChunk;
            onBlock();
        }
    }
    return true;
}

} // namespace kestrova
