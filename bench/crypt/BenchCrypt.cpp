// Speed of the cipher engine: the block transform on each path from memory
// (times_scalar: speed-up over the scalar path), and file-to-file encryption
// and decryption of a 256 MB file beside a plain copy of the same file in
// chunks of 1 MiB (times_copy: time against that copy), both references
// measured in the same run, and the verification of an encrypted file
// against its source. Goals: the wide path at least 4 times the scalar one,
// file encryption within 1.5 times the copy.
#include "bench/BenchSupport.h"

#include "crypt/Crc32.h"
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "crypt/XxteaBlockCipher.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

using benchsupport::Now;

const size_t kFileSize = 256u << 20;
const size_t kCopyChunk = 1u << 20;

// Seconds per round of the references, measured earlier in the same run
// (benchmarks run in the order they are registered).
double g_scalarSeconds[2];  // encrypt, decrypt
double g_copySeconds;

// Time spent in the timed part of the rounds, to set ratios against a reference.
class RoundTimer {
public:
    void Start() { m_started = Now(); }
    void Stop() { m_total += Now() - m_started; }
    double PerRound(const benchmark::State& state) const { return m_total / (double)state.iterations(); }

private:
    double m_started = 0, m_total = 0;
};

void BlockTransform(benchmark::State& state, XxteaPath path, bool encrypt)
{
    CXxteaBlockCipher::ForcePath(path);
    if (CXxteaBlockCipher::ActivePath() != path && path != XXTEA_PATH_AUTO) {
        state.SkipWithError("the processor lacks this path");
        CXxteaBlockCipher::ForcePath(XXTEA_PATH_AUTO);
        return;
    }
    uint8_t key[16], iv[128];
    for (int i = 0; i < 16; ++i)
        key[i] = (uint8_t)(i * 13 + 1);
    for (int i = 0; i < 128; ++i)
        iv[i] = (uint8_t)(i * 7 + 3);
    CXxteaBlockCipher cipher(key, iv);
    std::vector<uint8_t> data(4u << 20, 0x5A);
    RoundTimer timer;
    for (auto _ : state) {
        timer.Start();
        if (encrypt)
            cipher.EncryptBlocks(data.data(), data.size() / 128);
        else
            cipher.DecryptBlocks(data.data(), data.size() / 128);
        benchmark::ClobberMemory();
        timer.Stop();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)data.size());
    double& scalar = g_scalarSeconds[encrypt ? 0 : 1];
    if (path == XXTEA_PATH_SCALAR)
        scalar = timer.PerRound(state);
    else if (scalar > 0)
        state.counters["times_scalar"] = scalar / timer.PerRound(state);
    CXxteaBlockCipher::ForcePath(XXTEA_PATH_AUTO);
}

// The CRC-32 the engine takes of every file's plain bytes, from memory.
void CrcUpdate(benchmark::State& state)
{
    std::vector<uint8_t> data(4u << 20, 0x5A);
    for (auto _ : state) {
        Crc32 crc;
        crc.Update(data.data(), data.size());
        benchmark::DoNotOptimize(crc.GetValue());
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)data.size());
}

// The 256 MB source, its encrypted form and the outputs, in the temporary folder.
struct Files {
    CString folder, source, encrypted, output;

    Files()
    {
        WCHAR temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = CString(temp) + L"bench-crypt";
        CreateDirectoryW(folder, nullptr);
        source = folder + L"\\source.bin";
        encrypted = folder + L"\\source.enc";
        output = folder + L"\\output.bin";
        std::vector<uint8_t> chunk(kCopyChunk);
        uint32_t x = 2463534242u;
        HANDLE file = CreateFileW(source, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        for (size_t done = 0; done < kFileSize; done += chunk.size()) {
            for (uint8_t& b : chunk) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                b = (uint8_t)x;
            }
            DWORD wrote;
            WriteFile(file, chunk.data(), (DWORD)chunk.size(), &wrote, nullptr);
        }
        CloseHandle(file);
        SetNameKey(L"benchmark password");
        SetKeyFromDigest(g_NameKey);
        CFileCipher cipher;
        CString name;
        cipher.CryptFile(source, encrypted, CRYPT_MODE_ENCRYPT, name, nullptr, TRUE);
    }
    ~Files()
    {
        DeleteFileW(source);
        DeleteFileW(encrypted);
        DeleteFileW(output);
        RemoveDirectoryW(folder);
    }
};

// Made by the first benchmark that needs them, removed before the program ends.
Files* g_files;

Files& TheFiles()
{
    if (!g_files)
        g_files = new Files;
    return *g_files;
}

// Removes the previous output before the next round, outside the timing:
// truncating it in the round would wait for its pages to reach the disk.
void RemoveOutput(benchmark::State& state, const Files& files)
{
    state.PauseTiming();
    DeleteFileW(files.output);
    state.ResumeTiming();
}

void PlainCopy(benchmark::State& state)
{
    Files& files = TheFiles();
    std::vector<uint8_t> chunk(kCopyChunk);
    RoundTimer timer;
    for (auto _ : state) {
        RemoveOutput(state, files);
        timer.Start();
        HANDLE in = CreateFileW(files.source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        HANDLE out = CreateFileW(files.output, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD got = 0, wrote = 0;
        while (ReadFile(in, chunk.data(), (DWORD)chunk.size(), &got, nullptr) && got)
            WriteFile(out, chunk.data(), got, &wrote, nullptr);
        CloseHandle(in);
        CloseHandle(out);
        timer.Stop();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kFileSize);
    g_copySeconds = timer.PerRound(state);
}

void SystemCopy(benchmark::State& state)
{
    Files& files = TheFiles();
    for (auto _ : state) {
        RemoveOutput(state, files);
        CopyFileW(files.source, files.output, FALSE);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kFileSize);
}

// The engine as the jobs call it: file to file, CRC on (or off).
void FileCrypt(benchmark::State& state, int mode, bool crc)
{
    Files& files = TheFiles();
    const CString& input = mode == CRYPT_MODE_ENCRYPT ? files.source : files.encrypted;
    RoundTimer timer;
    for (auto _ : state) {
        RemoveOutput(state, files);
        timer.Start();
        CFileCipher cipher;
        CString name;
        uint8_t stored[4];
        if (cipher.CryptFile(input, files.output, mode, name, stored, crc) != CRYPT_OK)
            state.SkipWithError("the engine failed");
        timer.Stop();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kFileSize);
    if (g_copySeconds > 0)
        state.counters["times_copy"] = timer.PerRound(state) / g_copySeconds;
}

// The encryption job's verification: the encrypted file decrypted in memory,
// CRC-checked and compared with its source.
void FileVerify(benchmark::State& state)
{
    Files& files = TheFiles();
    RoundTimer timer;
    for (auto _ : state) {
        timer.Start();
        CFileCipher cipher;
        uint8_t stored[4];
        bool same = false;
        if (cipher.VerifyEncryptedFile(files.encrypted, files.source, stored, same) != CRYPT_OK || !same)
            state.SkipWithError("the verification failed");
        timer.Stop();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kFileSize);
    if (g_copySeconds > 0)
        state.counters["times_copy"] = timer.PerRound(state) / g_copySeconds;
}

}  // namespace

BENCHMARK_CAPTURE(BlockTransform, encrypt_scalar, XXTEA_PATH_SCALAR, true);
BENCHMARK_CAPTURE(BlockTransform, encrypt_sse2, XXTEA_PATH_SSE2, true);
BENCHMARK_CAPTURE(BlockTransform, encrypt_avx2, XXTEA_PATH_AVX2, true);
BENCHMARK_CAPTURE(BlockTransform, decrypt_scalar, XXTEA_PATH_SCALAR, false);
BENCHMARK_CAPTURE(BlockTransform, decrypt_sse2, XXTEA_PATH_SSE2, false);
BENCHMARK_CAPTURE(BlockTransform, decrypt_avx2, XXTEA_PATH_AVX2, false);
BENCHMARK(CrcUpdate);
BENCHMARK(PlainCopy)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(SystemCopy)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK_CAPTURE(FileCrypt, encrypt_crc, CRYPT_MODE_ENCRYPT, true)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK_CAPTURE(FileCrypt, encrypt_no_crc, CRYPT_MODE_ENCRYPT, false)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK_CAPTURE(FileCrypt, decrypt_crc, CRYPT_MODE_DECRYPT, true)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK_CAPTURE(FileCrypt, decrypt_no_crc, CRYPT_MODE_DECRYPT, false)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(FileVerify)->Unit(benchmark::kMillisecond)->MinTime(2);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_files;
    return 0;
}
