// Known-answer tests of the digests, the CRC, SipHash and the RC4 stage.
#include "tests/crypt/CryptTestSupport.h"

#include "crypt/Crc32.h"
#include "crypt/Md5.h"
#include "crypt/NameCrypt.h"
#include "crypt/Sha256.h"
#include "crypt/SipHash.h"

#include <cstring>
#include <vector>

using crypttest::Hex;

namespace {

struct DigestCase {
    const char* message;
    size_t repeat;
    const char* digest;
};

std::string Repeat(const char* text, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count; ++i)
        out += text;
    return out;
}

// Digests a message in uneven pieces, so block boundaries fall everywhere.
std::string Sha256InPieces(const std::string& message)
{
    Sha256Context ctx;
    Sha256Init(ctx);
    size_t at = 0, piece = 1;
    while (at < message.size()) {
        size_t take = std::min(piece, message.size() - at);
        Sha256Update(ctx, message.data() + at, take);
        at += take;
        piece = piece * 3 + 1;
    }
    uint8_t digest[32];
    Sha256Final(ctx, digest);
    return Hex(digest, 32);
}

}  // namespace

TEST(Sha256, StandardVectors)
{
    const DigestCase cases[] = {
        {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         1, "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {"a", 1000000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const DigestCase& c : cases) {
        std::string message = Repeat(c.message, c.repeat);
        uint8_t digest[32];
        Sha256Digest(message.data(), message.size(), digest);
        EXPECT_EQ(Hex(digest, 32), c.digest) << c.message;
        EXPECT_EQ(Sha256InPieces(message), c.digest) << c.message;
    }
}

TEST(Md5, Rfc1321Suite)
{
    const DigestCase cases[] = {
        {"", 1, "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", 1, "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", 1, "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", 1, "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", 1, "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", 1, "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890", 8, "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const DigestCase& c : cases) {
        std::string message = Repeat(c.message, c.repeat);
        uint8_t digest[16];
        Md5::Digest(message.data(), message.size(), digest);
        EXPECT_EQ(Hex(digest, 16), c.digest) << c.message;
        // Byte by byte gives the same digest; Final is idempotent.
        Md5 md5;
        for (char ch : message)
            md5.Update(&ch, 1);
        EXPECT_EQ(Hex(md5.Final(), 16), c.digest);
        EXPECT_EQ(Hex(md5.Final(), 16), c.digest);
    }
}

TEST(Crc32, CheckValueAndPieces)
{
    Crc32 crc;
    crc.Update("123456789", 9);
    EXPECT_EQ(crc.GetValue(), 0xCBF43926u);
    uint8_t bytes[4];
    crc.GetBytes(bytes);
    EXPECT_EQ(Hex(bytes, 4), "cbf43926");

    // Any split gives the value of one update; the slicing path and the byte path agree.
    std::string data = qvtest::PatternBytes(1000, 7);
    crc.Reset();
    crc.Update(data.data(), data.size());
    uint32_t whole = crc.GetValue();
    for (size_t split : {0u, 1u, 7u, 8u, 9u, 500u, 999u}) {
        crc.Reset();
        crc.Update(data.data(), split);
        crc.Update(data.data() + split, data.size() - split);
        EXPECT_EQ(crc.GetValue(), whole) << split;
    }

    crc.Reset();
    crc.Update("", 0);
    EXPECT_EQ(crc.GetValue(), 0u);
}

// Values from Python's zlib.crc32 over the same bytes. Runs long enough for
// the carry-less folding, at odd offsets, whole and in two updates (the second
// starting from a register the first left), on both paths.
TEST(Crc32, FoldedAndTablePathsMatchZlib)
{
    std::vector<uint8_t> data(70000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (uint8_t)(i * i + 3 * i + (i >> 9));
    struct Case {
        size_t offset, length;
        uint32_t crc;
    };
    const Case cases[] = {
        {0, 255, 0x2C550012u},  {0, 256, 0x7B9214DEu},   {1, 257, 0x5A038ECCu},   {3, 300, 0xB0C5545Bu},
        {0, 1000, 0x278F7185u}, {5, 4103, 0x67385FE9u}, {0, 65536, 0x41B38359u}, {2, 69998, 0x41203F1Eu},
    };
    for (bool tablesOnly : {false, true}) {
        Crc32::UseTablesOnly(tablesOnly);
        for (const Case& c : cases) {
            const uint8_t* bytes = data.data() + c.offset;
            Crc32 whole;
            whole.Update(bytes, c.length);
            EXPECT_EQ(whole.GetValue(), c.crc) << c.offset << " " << c.length << " tables " << tablesOnly;
            Crc32 pieces;
            pieces.Update(bytes, 17);
            pieces.Update(bytes + 17, c.length - 17);
            EXPECT_EQ(pieces.GetValue(), c.crc) << c.offset << " " << c.length << " tables " << tablesOnly;
        }
    }
    Crc32::UseTablesOnly(false);
}

TEST(Crc32, CombiningPartsGivesTheCrcOfTheWhole)
{
    std::string data = qvtest::PatternBytes(300000, 9);
    Crc32 whole;
    whole.Update(data.data(), data.size());
    for (size_t split : {0u, 1u, 128u, 65536u, 299999u, 300000u}) {
        Crc32 head, tail;
        head.Update(data.data(), split);
        tail.Update(data.data() + split, data.size() - split);
        head.Append(tail.GetValue(), data.size() - split);
        EXPECT_EQ(head.GetValue(), whole.GetValue()) << split;
    }
    EXPECT_EQ(Crc32::Combine(0xCBF43926u, 0, 0), 0xCBF43926u);
}

TEST(Crc32, BufferCrcStoresBytesInFileOrder)
{
    Crc32 crc;
    uint32_t stored = 0;
    EXPECT_TRUE(crc.BufferCrc("123456789", 9, &stored));
    const uint8_t expected[4] = {0xCB, 0xF4, 0x39, 0x26};
    EXPECT_EQ(memcmp(&stored, expected, 4), 0);
}

TEST(Crc32, FileCrc)
{
    qvtest::TempFolder folder;
    Crc32 crc;
    uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_TRUE(crc.FileCrc(folder.WriteFile(L"check.txt", "123456789"), bytes));
    EXPECT_EQ(Hex(bytes, 4), "cbf43926");
    EXPECT_TRUE(crc.FileCrc(folder.WriteFile(L"empty", ""), bytes));
    EXPECT_EQ(Hex(bytes, 4), "00000000");
    // A missing file leaves the caller's bytes alone.
    uint8_t untouched[4] = {9, 9, 9, 9};
    EXPECT_FALSE(crc.FileCrc(folder / L"missing", untouched));
    EXPECT_EQ(Hex(untouched, 4), "09090909");
}

TEST(SipHash24, ReferenceVectors)
{
    uint8_t key[16];
    for (int i = 0; i < 16; ++i)
        key[i] = (uint8_t)i;
    uint8_t message[64];
    for (int i = 0; i < 64; ++i)
        message[i] = (uint8_t)i;
    // Message 00 01 .. (length - 1) under key 00 .. 0f.
    const struct {
        size_t length;
        uint64_t hash;
    } cases[] = {
        {0, 0x726fdb47dd0e0e31ull},  {1, 0x74f839c593dc67fdull},  {2, 0x0d6c8009d9a94f5aull},
        {7, 0xab0200f58b01d137ull},  {8, 0x93f5f5799a932462ull},  {9, 0x9e0082df0ba9e4b0ull},
        {15, 0xa129ca6149be45e5ull}, {16, 0x3f2acc7f57c29bdbull},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SipHash24(key, message, c.length), c.hash) << c.length;
}

// Data bytes of 128 and above are always xored, so they show the plain RC4 keystream.
TEST(NameCryptRc4, HighBytesGiveTheStandardKeystream)
{
    const struct {
        std::vector<uint8_t> key;
        const char* keystream;
    } cases[] = {
        {{'K', 'e', 'y'}, "eb9f7781b734ca72a719"},
        {{'W', 'i', 'k', 'i'}, "6044db6d41b7"},
        {{'S', 'e', 'c', 'r', 'e', 't'}, "04d46b053ca87b59"},
        {{1, 2, 3, 4, 5}, "b2396305f03dc027ccc3524a0a1118a8"},
    };
    for (const auto& c : cases) {
        size_t length = strlen(c.keystream) / 2;
        std::vector<uint8_t> data(length, 0x80);
        CNameCrypt::Rc4Crypt(data.data(), length, c.key.data(), c.key.size());
        for (uint8_t& b : data)
            b ^= 0x80;
        EXPECT_EQ(Hex(data.data(), length), c.keystream);
    }
}

TEST(NameCryptRc4, LowBytesEqualToTheKeystreamStay)
{
    // Keystream of "Key" begins eb 9f 77 81 b7 34: 0x77 and 0x34 are below 128.
    const uint8_t key[] = {'K', 'e', 'y'};
    uint8_t data[6] = {0x00, 0x00, 0x77, 0x00, 0x00, 0x34};
    CNameCrypt::Rc4Crypt(data, 6, key, 3);
    EXPECT_EQ(Hex(data, 6), "eb9f7781b734");
    // Applied twice to data without zero bytes, it restores the data.
    uint8_t text[] = "Plaintext with bytes \x7f\x80\xff";
    std::string before(reinterpret_cast<char*>(text), sizeof text - 1);
    CNameCrypt::Rc4Crypt(text, sizeof text - 1, key, 3);
    CNameCrypt::Rc4Crypt(text, sizeof text - 1, key, 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(text), sizeof text - 1), before);
}
