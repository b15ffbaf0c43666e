// The block transform: every path gives the bytes of a plain XXTEA written
// from its published round function with 11 cycles, whitened with IV and key.
#include "tests/crypt/CryptTestSupport.h"

#include "crypt/XxteaBlockCipher.h"

#include <cstring>
#include <vector>

using crypttest::Hex;

namespace {

// Corrected Block TEA on n = 32 words with 11 cycles, written out directly.
void ReferenceEncrypt(uint32_t v[32], const uint32_t k[4])
{
    const uint32_t delta = 0x9E3779B9;
    uint32_t sum = 0, z = v[31], y;
    for (int rounds = 11; rounds > 0; --rounds) {
        sum += delta;
        uint32_t e = (sum >> 2) & 3;
        for (uint32_t p = 0; p < 32; ++p) {
            y = v[(p + 1) % 32];
            uint32_t mx = (((z >> 5) ^ (y << 2)) + ((y >> 3) ^ (z << 4))) ^ ((sum ^ y) + (k[(p & 3) ^ e] ^ z));
            z = v[p] += mx;
        }
    }
}

std::vector<uint8_t> ReferenceEncryptBlocks(const uint8_t key[16], const uint8_t iv[128], std::vector<uint8_t> data)
{
    uint32_t k[4];
    memcpy(k, key, 16);
    for (size_t b = 0; b < data.size() / 128; ++b) {
        uint8_t* block = data.data() + 128 * b;
        for (int i = 0; i < 128; ++i)
            block[i] ^= iv[i] ^ key[i % 16];
        uint32_t v[32];
        memcpy(v, block, 128);
        ReferenceEncrypt(v, k);
        memcpy(block, v, 128);
    }
    return data;
}

std::vector<uint8_t> Bytes(size_t size, unsigned variant)
{
    std::string s = qvtest::PatternBytes(size, variant);
    return std::vector<uint8_t>(s.begin(), s.end());
}

class PathScope {
public:
    explicit PathScope(XxteaPath path) { CXxteaBlockCipher::ForcePath(path); }
    ~PathScope() { CXxteaBlockCipher::ForcePath(XXTEA_PATH_AUTO); }
};

}  // namespace

TEST(XxteaBlockCipher, EveryPathMatchesTheReferenceAndInverts)
{
    std::vector<uint8_t> key = Bytes(16, 1), iv = Bytes(128, 2);
    // 37 blocks: whole lane groups of every width and a scalar remainder.
    std::vector<uint8_t> plain = Bytes(37 * 128, 3);
    std::vector<uint8_t> expected = ReferenceEncryptBlocks(key.data(), iv.data(), plain);
    CXxteaBlockCipher cipher(key.data(), iv.data());
    for (XxteaPath path : {XXTEA_PATH_SCALAR, XXTEA_PATH_SSE2, XXTEA_PATH_AVX2, XXTEA_PATH_AUTO}) {
        PathScope scope(path);
        std::vector<uint8_t> data = plain;
        cipher.EncryptBlocks(data.data(), 37);
        EXPECT_EQ(Hex(data.data(), data.size()), Hex(expected.data(), expected.size())) << "path " << path;
        cipher.DecryptBlocks(data.data(), 37);
        EXPECT_EQ(data, plain) << "path " << path;
    }
}

TEST(XxteaBlockCipher, PathsAgreeOnEveryBlockCount)
{
    std::vector<uint8_t> key = Bytes(16, 4), iv = Bytes(128, 5);
    CXxteaBlockCipher cipher(key.data(), iv.data());
    for (size_t count : {0u, 1u, 3u, 4u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 33u, 100u}) {
        std::vector<uint8_t> plain = Bytes(count * 128 + 1, (unsigned)count), scalar = plain, wide = plain;
        {
            PathScope scope(XXTEA_PATH_SCALAR);
            cipher.EncryptBlocks(scalar.data(), count);
        }
        cipher.EncryptBlocks(wide.data(), count);
        EXPECT_EQ(scalar, wide) << count;
        EXPECT_EQ(wide.back(), plain.back()) << "a byte behind the blocks changed";
        cipher.DecryptBlocks(wide.data(), count);
        EXPECT_EQ(wide, plain) << count;
    }
}

TEST(XxteaBlockCipher, PinnedBlock)
{
    // Stored files depend on these bytes never changing.
    uint8_t key[16], iv[128], block[128];
    for (int i = 0; i < 16; ++i)
        key[i] = (uint8_t)(0x10 + i);
    for (int i = 0; i < 128; ++i) {
        iv[i] = (uint8_t)(3 * i);
        block[i] = (uint8_t)i;
    }
    CXxteaBlockCipher cipher(key, iv);
    cipher.EncryptBlocks(block, 1);
    EXPECT_EQ(Hex(block, 128),
              "7d1b0884dfd9f0e7f2c5950b6c7266f9216d72482a809c995ff84979574d25dcbed7d02a3313cb633d79252789ada698"
              "7c6e8cf66d191542032ffaf99002adff087fddfb18045b457bfbfaf2b4bd5e385c0a8103ef3a488a160d73c6ca5fba78"
              "ed4f69a5a4c3dd784bf970a4695eb4932a58dc20741a09cd6627387b1ef08a3d");
}

TEST(XxteaBlockCipher, ActivePathFollowsTheProcessor)
{
    XxteaPath best = CXxteaBlockCipher::ActivePath();
    EXPECT_TRUE(best == XXTEA_PATH_AVX2 || best == XXTEA_PATH_SSE2);
    PathScope scope(XXTEA_PATH_SCALAR);
    EXPECT_EQ(CXxteaBlockCipher::ActivePath(), XXTEA_PATH_SCALAR);
}
