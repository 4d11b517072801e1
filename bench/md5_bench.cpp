// MD5 throughput: the MD5 class beside OpenSSL's MD5 (EVP interface) in the same run.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <vector>

#include "misc/md5.h"

namespace {

const std::vector<uint8_t>& Data(size_t size) {
    static std::vector<uint8_t> data;
    if (data.size() != size) {
        data.resize(size);
        for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 131 + 7);
    }
    return data;
}

void BM_MD5(benchmark::State& state) {
    const auto& data = Data(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        MD5 md5(data.data(), data.size());
        benchmark::DoNotOptimize(md5.digest());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_MD5)->Arg(64)->Arg(4096)->Arg(16 << 20);

void BM_OpenSslMD5(benchmark::State& state) {
    const auto& data = Data(static_cast<size_t>(state.range(0)));
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const EVP_MD* md5 = EVP_md5();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    for (auto _ : state) {
        EVP_DigestInit_ex(context, md5, nullptr);
        EVP_DigestUpdate(context, data.data(), data.size());
        EVP_DigestFinal_ex(context, digest, &digestLength);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(context);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_OpenSslMD5)->Arg(64)->Arg(4096)->Arg(16 << 20);

}  // namespace
