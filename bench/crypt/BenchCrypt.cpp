// Speed of the cipher engine: the block transform on each path from memory,
// and file-to-file encryption and decryption of a 256 MB file beside a plain
// copy of the same file (the reference measured in the same run).
#pragma push_macro("_WIN32")
#pragma push_macro("_WIN64")
#pragma push_macro("WIN32")
#undef _WIN32
#undef _WIN64
#undef WIN32
#include <benchmark/benchmark.h>
#pragma pop_macro("WIN32")
#pragma pop_macro("_WIN64")
#pragma pop_macro("_WIN32")

#include "crypt/AsyncWriter.h"
#include "crypt/Crc32.h"
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "crypt/XxteaBlockCipher.h"

#include <windows.h>

#include <cstring>
#include <x86intrin.h>
#include <vector>

namespace {

const size_t kFileSize = 256u << 20;
const size_t kCopyChunk = 1u << 20;

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
    for (auto _ : state) {
        if (encrypt)
            cipher.EncryptBlocks(data.data(), data.size() / 128);
        else
            cipher.DecryptBlocks(data.data(), data.size() / 128);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)data.size());
    CXxteaBlockCipher::ForcePath(XXTEA_PATH_AUTO);
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

Files& TheFiles()
{
    static Files files;
    return files;
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
    for (auto _ : state) {
        RemoveOutput(state, files);
        HANDLE in = CreateFileW(files.source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        HANDLE out = CreateFileW(files.output, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD got = 0, wrote = 0;
        while (ReadFile(in, chunk.data(), (DWORD)chunk.size(), &got, nullptr) && got)
            WriteFile(out, chunk.data(), got, &wrote, nullptr);
        CloseHandle(in);
        CloseHandle(out);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kFileSize);
}

void ReadOnly(benchmark::State& state)
{
    Files& files = TheFiles();
    std::vector<uint8_t> chunk(kCopyChunk);
    for (auto _ : state) {
        HANDLE in = CreateFileW(files.source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD got = 0;
        while (ReadFile(in, chunk.data(), (DWORD)chunk.size(), &got, nullptr) && got)
            ;
        CloseHandle(in);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kFileSize);
}

void CrcOnly(benchmark::State& state)
{
    std::vector<uint8_t> data(4u << 20, 0x5A);
    Crc32 crc;
    for (auto _ : state) {
        crc.Update(data.data(), data.size());
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)data.size());
}

void AsyncCopy(benchmark::State& state)
{
    Files& files = TheFiles();
    for (auto _ : state) {
        RemoveOutput(state, files);
        CRawFile in, out;
        in.OpenRead(files.source, FILE_SHARE_READ);
        out.Create(files.output, 0);
        CAsyncWriter writer(out, kCopyChunk, 3);
        writer.Start();
        for (;;) {
            uint8_t* b = writer.AcquireBuffer();
            int64_t got = in.Read(b, kCopyChunk);
            if (got <= 0) { writer.Release(b); break; }
            writer.Submit(b, (size_t)got);
        }
        writer.Finish();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kFileSize);
}

void AsyncCopySpin(benchmark::State& state)
{
    Files& files = TheFiles();
    double spinMs = state.range(0) / 1000.0;
    for (auto _ : state) {
        RemoveOutput(state, files);
        CRawFile in, out;
        in.OpenRead(files.source, FILE_SHARE_READ);
        out.Create(files.output, 0);
        CAsyncWriter writer(out, kCopyChunk, 3);
        writer.Start();
        LARGE_INTEGER f, t0, t1;
        QueryPerformanceFrequency(&f);
        for (;;) {
            uint8_t* b = writer.AcquireBuffer();
            int64_t got = in.Read(b, kCopyChunk);
            if (got <= 0) { writer.Release(b); break; }
            (void)t0; (void)t1; (void)f;
            uint64_t end = __rdtsc() + (uint64_t)(spinMs * 2.0e6);
            while (__rdtsc() < end)
                ;
            writer.Submit(b, (size_t)got);
        }
        writer.Finish();
    }
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

void FileEncrypt(benchmark::State& state, bool crc)
{
    Files& files = TheFiles();
    for (auto _ : state) {
        RemoveOutput(state, files);
        CFileCipher cipher;
        CString name;
        if (cipher.CryptFile(files.source, files.output, CRYPT_MODE_ENCRYPT, name, nullptr, crc) != CRYPT_OK)
            state.SkipWithError("encryption failed");
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kFileSize);
}

void FileDecrypt(benchmark::State& state, bool crc)
{
    Files& files = TheFiles();
    for (auto _ : state) {
        RemoveOutput(state, files);
        CFileCipher cipher;
        CString name;
        uint8_t stored[4];
        if (cipher.CryptFile(files.encrypted, files.output, CRYPT_MODE_DECRYPT, name, stored, crc) != CRYPT_OK)
            state.SkipWithError("decryption failed");
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kFileSize);
}

}  // namespace

BENCHMARK_CAPTURE(BlockTransform, encrypt_scalar, XXTEA_PATH_SCALAR, true);
BENCHMARK_CAPTURE(BlockTransform, encrypt_sse2, XXTEA_PATH_SSE2, true);
BENCHMARK_CAPTURE(BlockTransform, encrypt_avx2, XXTEA_PATH_AVX2, true);
BENCHMARK_CAPTURE(BlockTransform, decrypt_scalar, XXTEA_PATH_SCALAR, false);
BENCHMARK_CAPTURE(BlockTransform, decrypt_sse2, XXTEA_PATH_SSE2, false);
BENCHMARK_CAPTURE(BlockTransform, decrypt_avx2, XXTEA_PATH_AVX2, false);
BENCHMARK(PlainCopy)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(ReadOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(CrcOnly);
BENCHMARK(AsyncCopy)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(AsyncCopySpin)->Arg(0)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(SystemCopy)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK_CAPTURE(FileEncrypt, crc, true)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK_CAPTURE(FileEncrypt, no_crc, false)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK_CAPTURE(FileDecrypt, crc, true)->Unit(benchmark::kMillisecond)->MinTime(2);

BENCHMARK_MAIN();
