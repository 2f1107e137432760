// The errors raised by the compressed file container and its block codec.
// Both carry a message meant for the user's eyes, so it is kept word for word.
#pragma once

#include <stdexcept>
#include <string>

namespace kestrova {

class ELzrw1Exception : public std::runtime_error {
public:
    explicit ELzrw1Exception(const std::string& message) : std::runtime_error(message) {}
};

// Raised only when the block codec cannot get its hash table. It derives from
// ELzrw1Exception so that one catch clause covers every container failure.
class ELzrw1KHCompressor : public ELzrw1Exception {
public:
    explicit ELzrw1KHCompressor(const std::string& message) : ELzrw1Exception(message) {}
};

} // namespace kestrova
