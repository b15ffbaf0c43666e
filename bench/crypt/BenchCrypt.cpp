// Speed of the cipher engine: the block transform on each path from memory
// (times_scalar: speed-up over the scalar path), and file-to-file encryption
// and decryption of a file (256 MB, QV_BENCH_CRYPT_MB) in the page cache, in
// wall time. Every round is paired with the same work by the peers, run just
// before it: a plain copy in 1 MiB chunks through ReadFile and WriteFile
// (times_copy: the floor of Wine's own file calls, which cost several times
// cp's), cp (times_cp) and openssl's AES-256-CTR (times_openssl);
// each ratio is the median over the rounds (QV_BENCH_ROUNDS, default 5).
// The *_synced rounds also wait until the output is on the disk, ours and the
// peers' alike (FlushFileBuffers; cp followed by sync of its output).
// Goals: the wide path at least 4 times the scalar one; file encryption and
// decryption within 1.5 times cp on 8 cores and 2 times on 2 (taskset), and
// within 1.1 times cp once both wait for the disk.
// The files live in a folder of the run's own, removed at the end.
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

const size_t kCopyChunk = 1u << 20;

// Seconds per round of the references, measured earlier in the same run
// (benchmarks run in the order they are registered).
double g_scalarSeconds[2];  // encrypt, decrypt

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

// The source, its encrypted form and the outputs, in a folder of the run's own.
struct Files {
    benchsupport::RunFolder folder{L"qvc"};
    CString source, encrypted, output;
    uint64_t size = (uint64_t)benchsupport::EnvNumber("QV_BENCH_CRYPT_MB", 256) << 20;

    Files()
    {
        source = folder / L"source.bin";
        encrypted = folder / L"source.enc";
        output = folder / L"output.bin";
        std::vector<uint8_t> chunk(kCopyChunk);
        uint32_t x = 2463534242u;
        HANDLE file = CreateFileW(source, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        for (uint64_t done = 0; done < size; done += chunk.size()) {
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
};

// Made by the first benchmark that needs them, removed before the program ends.
Files* g_files;

Files& TheFiles()
{
    if (!g_files)
        g_files = new Files;
    return *g_files;
}

// Waits until the file's bytes are on the disk.
void FlushToDisk(const CString& path)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
}

// The plain copy through the same calls the engine makes: 1 MiB reads and
// writes; with `synced` until its output is on the disk.
double ChunkedCopy(const CString& from, const CString& to, bool synced = false)
{
    std::vector<uint8_t> chunk(kCopyChunk);
    double start = Now();
    HANDLE in = CreateFileW(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileW(to, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD got = 0, wrote = 0;
    while (ReadFile(in, chunk.data(), (DWORD)chunk.size(), &got, nullptr) && got)
        WriteFile(out, chunk.data(), got, &wrote, nullptr);
    CloseHandle(in);
    CloseHandle(out);
    if (synced)
        FlushToDisk(to);
    return Now() - start;
}

// The peers' times of one round, each writing the output afresh; the
// previous output is removed first, outside the timing (truncating it would
// wait for its pages to reach the disk). With `synced` each waits until its
// output is on the disk.
struct PeerRounds {
    std::vector<double> copy, cp, openssl;
    bool synced = false;

    void Measure(const Files& files, bool encrypt)
    {
        std::string in = files.folder.Unix(encrypt ? "source.bin" : "source.enc");
        std::string out = files.folder.Unix("output.bin");
        std::string sync = synced ? " && sync " + out : "";
        DeleteFileW(files.output);
        copy.push_back(ChunkedCopy(encrypt ? files.source : files.encrypted, files.output, synced));
        DeleteFileW(files.output);
        cp.push_back(benchsupport::TimeShell("cp " + in + " " + out + sync));
        DeleteFileW(files.output);
        openssl.push_back(benchsupport::TimeShell(
            "openssl enc " + std::string(encrypt ? "-e" : "-d") +
            " -aes-256-ctr -nosalt -K 000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"
            " -iv 000102030405060708090a0b0c0d0e0f -in " + in + " -out " + out + sync));
        DeleteFileW(files.output);
    }
    void Report(benchmark::State& state, const std::vector<double>& ours) const
    {
        state.counters["times_copy"] = benchsupport::MedianRatio(ours, copy);
        state.counters["times_cp"] = benchsupport::MedianRatio(ours, cp);
        state.counters["times_openssl"] = benchsupport::MedianRatio(ours, openssl);
    }
};

void PlainCopy(benchmark::State& state)
{
    Files& files = TheFiles();
    for (auto _ : state) {
        state.PauseTiming();
        DeleteFileW(files.output);
        state.ResumeTiming();
        ChunkedCopy(files.source, files.output);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)files.size);
}

// The engine as the jobs call it: file to file, CRC on (or off); with
// `synced` until the output is on the disk.
void FileCrypt(benchmark::State& state, int mode, bool crc, bool synced)
{
    Files& files = TheFiles();
    const CString& input = mode == CRYPT_MODE_ENCRYPT ? files.source : files.encrypted;
    PeerRounds peers;
    peers.synced = synced;
    std::vector<double> ours;
    for (auto _ : state) {
        state.PauseTiming();
        peers.Measure(files, mode == CRYPT_MODE_ENCRYPT);
        state.ResumeTiming();
        double start = Now();
        CFileCipher cipher;
        CString name;
        uint8_t stored[4];
        if (cipher.CryptFile(input, files.output, mode, name, stored, crc) != CRYPT_OK)
            state.SkipWithError("the engine failed");
        if (synced)
            FlushToDisk(files.output);
        ours.push_back(Now() - start);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)files.size);
    peers.Report(state, ours);
    state.counters["cores"] = benchsupport::UsableProcessors();
}

// The encryption job's verification: the encrypted file decrypted in memory,
// CRC-checked and compared with its source.
void FileVerify(benchmark::State& state)
{
    Files& files = TheFiles();
    PeerRounds peers;
    std::vector<double> ours;
    for (auto _ : state) {
        state.PauseTiming();
        peers.Measure(files, false);
        state.ResumeTiming();
        double start = Now();
        CFileCipher cipher;
        uint8_t stored[4];
        bool same = false;
        if (cipher.VerifyEncryptedFile(files.encrypted, files.source, stored, same) != CRYPT_OK || !same)
            state.SkipWithError("the verification failed");
        ours.push_back(Now() - start);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)files.size);
    peers.Report(state, ours);
}

const int kRounds = benchsupport::EnvNumber("QV_BENCH_ROUNDS", 5);

}  // namespace

BENCHMARK_CAPTURE(BlockTransform, encrypt_scalar, XXTEA_PATH_SCALAR, true);
BENCHMARK_CAPTURE(BlockTransform, encrypt_sse2, XXTEA_PATH_SSE2, true);
BENCHMARK_CAPTURE(BlockTransform, encrypt_avx2, XXTEA_PATH_AVX2, true);
BENCHMARK_CAPTURE(BlockTransform, decrypt_scalar, XXTEA_PATH_SCALAR, false);
BENCHMARK_CAPTURE(BlockTransform, decrypt_sse2, XXTEA_PATH_SSE2, false);
BENCHMARK_CAPTURE(BlockTransform, decrypt_avx2, XXTEA_PATH_AVX2, false);
BENCHMARK(CrcUpdate);
BENCHMARK(PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kRounds);
BENCHMARK_CAPTURE(FileCrypt, encrypt_crc, CRYPT_MODE_ENCRYPT, true, false)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kRounds);
BENCHMARK_CAPTURE(FileCrypt, encrypt_no_crc, CRYPT_MODE_ENCRYPT, false, false)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kRounds);
BENCHMARK_CAPTURE(FileCrypt, decrypt_crc, CRYPT_MODE_DECRYPT, true, false)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kRounds);
BENCHMARK_CAPTURE(FileCrypt, decrypt_no_crc, CRYPT_MODE_DECRYPT, false, false)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kRounds);
BENCHMARK_CAPTURE(FileCrypt, encrypt_crc_synced, CRYPT_MODE_ENCRYPT, true, true)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kRounds);
BENCHMARK_CAPTURE(FileCrypt, decrypt_crc_synced, CRYPT_MODE_DECRYPT, true, true)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kRounds);
BENCHMARK(FileVerify)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kRounds);

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
