// Building and opening an enciphered packet of a discovery reply's size, and the AES-256
// block throughput of our table implementation against OpenSSL's on the same data.
// After the runs it prints ours / OpenSSL as a ratio.
#include "protocol/aes256.h"
#include "protocol/packet.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <openssl/evp.h>
#include <string>
#include <vector>

namespace {

const uint8_t kMac[6] = {0x00, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f};
const uint8_t kIp[4] = {198, 51, 100, 2};
constexpr size_t kBody = 164; // with the two command bytes: a 166-byte payload
constexpr size_t kCipherData = 64 * 1024;

std::vector<uint8_t> Body() {
    std::vector<uint8_t> body(kBody);
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<uint8_t>(i * 31);
    }
    return body;
}

void BM_BuildPacket(benchmark::State& state) {
    const std::vector<uint8_t> body = Body();
    uint8_t out[260];
    for (auto _ : state) {
        const size_t length =
            BuildPacket(kIp, kMac, u"Lab", out, sizeof out, 0x1D, 1, 2, body.data(), body.size());
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildPacket);

void BM_ParsePacket(benchmark::State& state) {
    const std::vector<uint8_t> body = Body();
    uint8_t built[260];
    const size_t length =
        BuildPacket(kIp, kMac, u"Lab", built, sizeof built, 0x1D, 1, 2, body.data(), body.size());
    uint8_t packet[260];
    for (auto _ : state) {
        // Opening deciphers in place, so every round starts from the built bytes.
        std::memcpy(packet, built, length);
        uint16_t payload = 0;
        const size_t offset = ParsePacket(packet, length, kMac, u"Lab", nullptr, &payload);
        if (offset == 0) {
            state.SkipWithError("packet refused");
            break;
        }
        benchmark::DoNotOptimize(payload);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParsePacket);

std::vector<uint8_t> CipherData() {
    std::vector<uint8_t> data(kCipherData);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    return data;
}

const uint8_t kKey[32] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                          17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

void BM_Aes256Ours(benchmark::State& state) {
    std::vector<uint8_t> data = CipherData();
    Aes256Schedule schedule;
    Aes256ExpandKey(kKey, schedule);
    for (auto _ : state) {
        for (size_t offset = 0; offset < data.size(); offset += 16) {
            Aes256EncryptBlock(schedule, data.data() + offset);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Aes256Ours);

void BM_Aes256OpenSsl(benchmark::State& state) {
    std::vector<uint8_t> data = CipherData();
    std::vector<uint8_t> out(data.size());
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, kKey, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (auto _ : state) {
        int written = 0;
        EVP_EncryptUpdate(ctx, out.data(), &written, data.data(), static_cast<int>(data.size()));
        benchmark::DoNotOptimize(written);
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Aes256OpenSsl);

// Remembers the two AES throughputs while printing as usual.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("bytes_per_second");
            if (rate == run.counters.end() || run.aggregate_name != "") {
                continue;
            }
            const std::string name = run.benchmark_name();
            if (name.find("BM_Aes256Ours") == 0) {
                ours = rate->second.value;
            } else if (name.find("BM_Aes256OpenSsl") == 0) {
                openssl = rate->second.value;
            }
        }
    }
    double ours = 0;
    double openssl = 0;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.ours > 0 && reporter.openssl > 0) {
        std::printf("AES-256 block throughput: ours %.1f MB/s, OpenSSL %.1f MB/s, ratio %.3f\n",
                    reporter.ours / 1e6, reporter.openssl / 1e6, reporter.ours / reporter.openssl);
    }
    benchmark::Shutdown();
    return 0;
}
