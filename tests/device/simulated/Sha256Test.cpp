#include "Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace velt::sim {
namespace {

TEST(Sha256, KnownVectors) {
    EXPECT_EQ(Sha256::HexOf(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256::HexOf("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Either side of where the length field no longer fits in the last block.
    EXPECT_EQ(Sha256::HexOf(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Sha256::HexOf(std::string(56, 'a')),
              "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(Sha256::HexOf(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(Sha256, MillionAsInUnevenPieces) {
    // Pieces of varying size straddle the block boundaries in every way.
    Sha256 hasher;
    const std::string piece(997, 'a');
    std::size_t left = 1'000'000;
    for (std::size_t size = 1; left > 0; size = size * 3 % 997 + 1) {
        const std::size_t take = std::min(left, size);
        hasher.Update(std::string_view(piece).substr(0, take));
        left -= take;
    }
    EXPECT_EQ(Sha256::Hex(hasher.Finish()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace velt::sim
