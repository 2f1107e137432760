// LZHUF codec for the container's "!HZL" form: LZSS over a 4096-byte ring
// buffer with adaptive Huffman coding of literals and match lengths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kestrova {

// decode never reads outside the stream: reading past its last bit is noticed
// and reported, never followed.
class TLZH {
public:
    TLZH();
    ~TLZH();
    TLZH(const TLZH&) = delete;
    TLZH& operator=(const TLZH&) = delete;

    // Appends the bit stream of data to out (nothing for empty data). onBlock,
    // when set, runs after every 32768 input bytes.
    void encode(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out,
                const std::function<void()>& onBlock = {});

    // Appends the first `size` bytes the stream decodes to onto out and returns
    // true. Returns false when the stream ends before `size` bytes are decoded
    // or a match runs past them. onBlock runs after every 32768 output bytes.
    bool decode(std::span<const std::uint8_t> stream, std::uint64_t size,
                std::vector<std::uint8_t>& out, const std::function<void()>& onBlock = {});

private:
    void startHuff();
    void reconst();
    void update(int symbol);
    void initTree();
    void insertNode(int r);
    void deleteNode(int p);

    // Adaptive Huffman tree: nodes 0..626 kept in order of frequency; leaves
    // point past the node range (son >= T) at their symbol.
    std::vector<std::uint32_t> freq_;
    std::vector<int> prnt_;
    std::vector<int> son_;

    // The encoder's binary search trees over the ring buffer, one per first byte.
    std::vector<std::uint8_t> textBuf_;
    std::vector<int> lson_;
    std::vector<int> rson_;
    std::vector<int> dad_;
    int matchPosition_ = 0;
    int matchLength_ = 0;
};

} // namespace kestrova
