// The zip reader's extraction against the limit: raw zlib inflate plus crc32 over the same
// items with the same 16 KiB buffers, to memory and to files. Prints the reader's throughput
// as a ratio of the raw loop's after the table.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/raw_inflate.h"
#include "tests/unit/zip_builder.h"
#include "zip/archive.h"

namespace {

struct Package {
    std::string bytes;
    ZipLayout layout;
    std::vector<ZipEntrySpec> entries;
    uint64_t outputBytes = 0;
};

std::string Noise(size_t n, unsigned seed) {
    std::string s(n, '\0');
    unsigned x = seed;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 24);
    }
    return s;
}

// About 8 MiB of output: deflated text and stored binary items.
const Package& ThePackage() {
    static Package p = [] {
        Package q;
        for (unsigned i = 0; i < 6; ++i) {
            ZipEntrySpec e;
            e.name = "text" + std::to_string(i) + ".txt";
            e.data = MixedData(1 << 20, i + 1);
            e.method = 8;
            q.entries.push_back(e);
        }
        for (unsigned i = 0; i < 2; ++i) {
            ZipEntrySpec e;
            e.name = "blob" + std::to_string(i) + ".bin";
            e.data = Noise(1 << 20, i + 7);
            q.entries.push_back(e);
        }
        q.layout = BuildZip(q.entries);
        q.bytes = q.layout.bytes;
        for (const ZipEntrySpec& e : q.entries)
            q.outputBytes += e.data.size();
        return q;
    }();
    return p;
}

std::string ScratchFolder() {
    static std::string folder = [] {
        char pattern[] = "/tmp/kesto-bench-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    return folder;
}

// The limit: each item's data inflated (or copied) through 16 KiB buffers with its CRC-32.
uint32_t CompressedSize(const Package& p, size_t i) {
    const uint8_t* c = reinterpret_cast<const uint8_t*>(p.bytes.data()) + p.layout.central[i] + 20;
    return c[0] | (uint32_t(c[1]) << 8) | (uint32_t(c[2]) << 16) | (uint32_t(c[3]) << 24);
}

template <typename Sink>
void RawExtract(const Package& p, Sink sink) {
    for (size_t i = 0; i < p.entries.size(); ++i) {
        const ZipEntrySpec& e = p.entries[i];
        const uint8_t* data = reinterpret_cast<const uint8_t*>(p.bytes.data()) + p.layout.local[i] +
                              30 + e.name.size();
        sink.Begin(i);
        const RawResult r =
            RawInflate(data, CompressedSize(p, i), e.method, [&](const uint8_t* out, uint32_t n) {
                sink.Write(out, n);
                return true;
            });
        sink.End();
        benchmark::DoNotOptimize(r.crc);
    }
}

struct MemorySink {
    void Begin(size_t) {}
    void Write(const uint8_t* data, uint32_t n) { benchmark::DoNotOptimize(data[n ? n - 1 : 0]); }
    void End() {}
};

struct FileSink {
    int fd = -1;
    void Begin(size_t i) {
        const std::string path = ScratchFolder() + "/raw" + std::to_string(i);
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    void Write(const uint8_t* data, uint32_t n) {
        if (n > 0 && write(fd, data, n) != ssize_t(n))
            abort();
    }
    void End() { close(fd); }
};

void BM_RawToMemory(benchmark::State& state) {
    const Package& p = ThePackage();
    for (auto _ : state)
        RawExtract(p, MemorySink());
    state.SetBytesProcessed(int64_t(state.iterations() * p.outputBytes));
}

void BM_ReaderToMemory(benchmark::State& state) {
    const Package& p = ThePackage();
    static uint8_t output[kRawChunk];
    for (auto _ : state) {
        ArchiveHandle h = ArchiveOpenFromMemory(p.bytes.data(), uint32_t(p.bytes.size()));
        for (int32_t i = 0; i < int32_t(p.entries.size()); ++i) {
            while (ArchiveExtractToMemory(h, i, output, kRawChunk) == ArchiveBufferFull) {
                benchmark::DoNotOptimize(output[0]);
            }
        }
        ArchiveClose(h);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * p.outputBytes));
}

void BM_RawToFiles(benchmark::State& state) {
    const Package& p = ThePackage();
    for (auto _ : state)
        RawExtract(p, FileSink());
    state.SetBytesProcessed(int64_t(state.iterations() * p.outputBytes));
}

void BM_ReaderToFiles(benchmark::State& state) {
    const Package& p = ThePackage();
    for (auto _ : state) {
        ArchiveHandle h = ArchiveOpenFromMemory(p.bytes.data(), uint32_t(p.bytes.size()));
        ArchiveSetTargetDir(h, ScratchFolder().c_str());
        ZipItem item;
        for (int32_t i = 0; i < int32_t(p.entries.size()); ++i) {
            ArchiveGetItem(h, i, &item);
            if (ArchiveExtractToFile(h, i, item.name) != ArchiveOk)
                abort();
        }
        ArchiveClose(h);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * p.outputBytes));
}

BENCHMARK(BM_RawToMemory)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_ReaderToMemory)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_RawToFiles)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_ReaderToFiles)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Keeps the median real time of each benchmark for the ratio lines.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medians;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* raw, const char* reader) {
        if (reporter.medians.count(raw) && reporter.medians.count(reader)) {
            printf("%-18s throughput ratio reader/raw zlib: %.3f\n", reader,
                   reporter.medians[raw] / reporter.medians[reader]);
        }
    };
    ratio("BM_RawToMemory", "BM_ReaderToMemory");
    ratio("BM_RawToFiles", "BM_ReaderToFiles");
    benchmark::Shutdown();
    return 0;
}
