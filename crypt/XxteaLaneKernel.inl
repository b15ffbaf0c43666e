// The lane-parallel XXTEA kernel, compiled once per instruction set: the file
// that includes it defines, inside its own namespace, a `Lanes` type with the
// vector type V, kCount lanes, Set1/Add/Sub/Xor/Shl/Shr and the transposes
// LoadWords/StoreWords between kCount blocks and 32 word vectors.
// G groups of kCount blocks run interleaved so their dependency chains overlap.

static const int kGroups = 2;
typedef Lanes::V V;

static inline V Mix(V z, V y, V sum, V key)
{
    V a = Lanes::Add(Lanes::Xor(Lanes::template Shr<5>(z), Lanes::template Shl<2>(y)),
                     Lanes::Xor(Lanes::template Shr<3>(y), Lanes::template Shl<4>(z)));
    V b = Lanes::Add(Lanes::Xor(sum, y), Lanes::Xor(key, z));
    return Lanes::Xor(a, b);
}

// Loads the blocks as word vectors, xoring in the whitening when given.
static inline void LoadGroups(const uint8_t* blocks, const V* white, V (&v)[kGroups][32])
{
    for (int g = 0; g < kGroups; ++g) {
        Lanes::LoadWords(blocks + (size_t)g * Lanes::kCount * 128, v[g]);
        if (white)
            for (int i = 0; i < 32; ++i)
                v[g][i] = Lanes::Xor(v[g][i], white[i]);
    }
}

// Stores the word vectors as blocks, xoring in the whitening when given.
static inline void StoreGroups(V (&v)[kGroups][32], const V* white, uint8_t* blocks)
{
    for (int g = 0; g < kGroups; ++g) {
        if (white)
            for (int i = 0; i < 32; ++i)
                v[g][i] = Lanes::Xor(v[g][i], white[i]);
        Lanes::StoreWords(v[g], blocks + (size_t)g * Lanes::kCount * 128);
    }
}

static inline void PrepareConstants(const uint32_t key[4], const uint32_t whitening[32], V k[4], V white[32])
{
    for (int i = 0; i < 4; ++i)
        k[i] = Lanes::Set1(key[i]);
    for (int i = 0; i < 32; ++i)
        white[i] = Lanes::Set1(whitening[i]);
}

size_t EncryptBlocks(const uint32_t key[4], const uint32_t whitening[32], const uint8_t* in, uint8_t* out,
                     size_t count)
{
    const size_t step = (size_t)Lanes::kCount * kGroups;
    V k[4], white[32];
    PrepareConstants(key, whitening, k, white);
    size_t done = 0;
    for (; count - done >= step; done += step, in += step * 128, out += step * 128) {
        V v[kGroups][32];
        LoadGroups(in, white, v);
        uint32_t sum = 0;
        for (int cycle = 0; cycle < XXTEA_CYCLES; ++cycle) {
            sum += XXTEA_DELTA;
            const unsigned e = (sum >> 2) & 3;
            const V s = Lanes::Set1(sum);
            V z[kGroups];
            for (int g = 0; g < kGroups; ++g)
                z[g] = v[g][31];
            for (int p = 0; p < 32; ++p) {
                const V kp = k[(p & 3) ^ e];
                for (int g = 0; g < kGroups; ++g) {
                    v[g][p] = Lanes::Add(v[g][p], Mix(z[g], v[g][(p + 1) & 31], s, kp));
                    z[g] = v[g][p];
                }
            }
        }
        StoreGroups(v, nullptr, out);
    }
    return done;
}

size_t DecryptBlocks(const uint32_t key[4], const uint32_t whitening[32], const uint8_t* in, uint8_t* out,
                     size_t count)
{
    const size_t step = (size_t)Lanes::kCount * kGroups;
    V k[4], white[32];
    PrepareConstants(key, whitening, k, white);
    size_t done = 0;
    for (; count - done >= step; done += step, in += step * 128, out += step * 128) {
        V v[kGroups][32];
        LoadGroups(in, nullptr, v);
        uint32_t sum = XXTEA_DELTA * (uint32_t)XXTEA_CYCLES;
        for (int cycle = 0; cycle < XXTEA_CYCLES; ++cycle, sum -= XXTEA_DELTA) {
            const unsigned e = (sum >> 2) & 3;
            const V s = Lanes::Set1(sum);
            V y[kGroups];
            for (int g = 0; g < kGroups; ++g)
                y[g] = v[g][0];
            for (int p = 31; p >= 0; --p) {
                const V kp = k[(p & 3) ^ e];
                for (int g = 0; g < kGroups; ++g) {
                    v[g][p] = Lanes::Sub(v[g][p], Mix(v[g][(p + 31) & 31], y[g], s, kp));
                    y[g] = v[g][p];
                }
            }
        }
        StoreGroups(v, white, out);
    }
    return done;
}
