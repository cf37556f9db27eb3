// Benchmarks of the XML engine against peer libraries: loading files into a navigable
// document, parsing converted text, walking every element and attribute, the memory a
// loaded document holds, and building and emptying large documents.
// The corpus folder comes from QUILLON_BENCH_CORPUS (bench/run.sh prepares it).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/u16.h"
#include "bench_engines.h"
#include "xml/xml_document.h"
#include "xml/xml_encoding.h"

#include <iconv.h>

#ifdef QUILLON_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

using namespace quillon;
using namespace quillon::bench;

struct CorpusFile {
    std::string name;    // file name without the variant suffix
    std::string variant; // utf8, utf16le or latin1
    std::string path;
    size_t size = 0;
};

std::vector<CorpusFile> ListCorpus(const std::string& folder) {
    std::vector<CorpusFile> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string fileName = entry.path().filename().string();
        for (const char* variant : {"utf8", "utf16le", "latin1"}) {
            const std::string suffix = std::string(".") + variant + ".xml";
            if (fileName.size() > suffix.size() &&
                fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) == 0) {
                files.push_back({fileName.substr(0, fileName.size() - suffix.size()), variant,
                                 entry.path().string(), static_cast<size_t>(entry.file_size())});
            }
        }
    }
    std::sort(files.begin(), files.end(), [](const CorpusFile& a, const CorpusFile& b) {
        return a.name != b.name ? a.name < b.name : a.variant < b.variant;
    });
    return files;
}

// Read + convert + parse into a navigable document.
void Load(benchmark::State& state, const std::string& engineName, const CorpusFile& file) {
    auto engine = MakeEngine(engineName);
    for (auto _ : state) {
        if (!engine->Load(file.path)) {
            state.SkipWithError("load failed");
            break;
        }
        state.PauseTiming();
        engine->Release();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size));
}

// Parse of text already in memory: ours from UTF-16, pugixml from the UTF-8 bytes. Both
// are credited with the UTF-8 file size so that the rates compare the same document.
void ParseOurs(benchmark::State& state, const CorpusFile& file) {
    const std::string bytes = ReadWholeFile(file.path);
    std::u16string text(BytesToUtf16(65001, bytes.data(), bytes.size(), nullptr), u'\0');
    BytesToUtf16(65001, bytes.data(), bytes.size(), text.data());
    CXmlDocument document;
    for (auto _ : state) {
        document.SetDocument(text);
        benchmark::DoNotOptimize(document.ElementCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

#ifdef QUILLON_HAVE_PUGIXML
void ParsePugixml(benchmark::State& state, const CorpusFile& file) {
    const std::string bytes = ReadWholeFile(file.path);
    pugi::xml_document document;
    for (auto _ : state) {
        benchmark::DoNotOptimize(document.load_buffer(bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
#endif

// The encoding module alone: both passes of UTF-8 -> UTF-16, both passes back, and glibc's
// iconv doing the first for comparison (it is never on our load path).
void ConvertToUtf16(benchmark::State& state, const CorpusFile& file) {
    const std::string bytes = ReadWholeFile(file.path);
    std::vector<char16_t> text(bytes.size());
    for (auto _ : state) {
        const size_t size = BytesToUtf16(65001, bytes.data(), bytes.size(), nullptr);
        benchmark::DoNotOptimize(BytesToUtf16(65001, bytes.data(), bytes.size(), text.data()) == size);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void ConvertToUtf8(benchmark::State& state, const CorpusFile& file) {
    const std::string bytes = ReadWholeFile(file.path);
    std::u16string text(BytesToUtf16(65001, bytes.data(), bytes.size(), nullptr), u'\0');
    BytesToUtf16(65001, bytes.data(), bytes.size(), text.data());
    std::string back(bytes.size() * 3, '\0');
    for (auto _ : state) {
        const size_t size = Utf16ToBytes(65001, text.data(), text.size(), nullptr, nullptr);
        benchmark::DoNotOptimize(Utf16ToBytes(65001, text.data(), text.size(), back.data(), nullptr) == size);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void ConvertIconv(benchmark::State& state, const CorpusFile& file) {
    const std::string bytes = ReadWholeFile(file.path);
    std::vector<char> out(bytes.size() * 2 + 16);
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    for (auto _ : state) {
        char* in = const_cast<char*>(bytes.data());
        size_t inLeft = bytes.size();
        char* o = out.data();
        size_t oLeft = out.size();
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        benchmark::DoNotOptimize(iconv(cd, &in, &inLeft, &o, &oLeft));
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void Walk(benchmark::State& state, const std::string& engineName, const CorpusFile& file) {
    auto engine = MakeEngine(engineName);
    if (!engine->Load(file.path)) {
        state.SkipWithError("load failed");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(engine->Walk());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size));
    state.counters["elements"] = static_cast<double>(engine->CountElements());
}

// Heap held by a loaded document, as a multiple of the file size.
void Memory(benchmark::State& state, const std::string& engineName, const CorpusFile& file) {
    for (auto _ : state) {
        auto engine = MakeEngine(engineName);
        const size_t before = HeapInUse();
        if (!engine->Load(file.path)) {
            state.SkipWithError("load failed");
            break;
        }
        const size_t after = HeapInUse();
        const double held = after > before ? static_cast<double>(after - before) : 0.0;
        state.counters["held_bytes"] = held;
        state.counters["held_per_file_byte"] = held / static_cast<double>(file.size);
    }
}

// AddChildElement N times (each with an attribute), then save.
void BuildOurs(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    const std::u16string path =
        FromUtf8((std::filesystem::temp_directory_path() / "quillon-bench-build.xml").string());
    for (auto _ : state) {
        CXmlDocument document;
        document.AddElement(u"items");
        for (size_t i = 0; i < count; ++i) {
            document.AddChildElement(u"item", u"value text");
            document.SetChildAttribute(u"n", static_cast<int>(i));
        }
        if (!document.SaveFile(path))
            state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
    state.SetComplexityN(static_cast<int64_t>(count));
}

#ifdef QUILLON_HAVE_PUGIXML
void BuildPugixml(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    const std::string path =
        (std::filesystem::temp_directory_path() / "quillon-bench-build-pugi.xml").string();
    for (auto _ : state) {
        pugi::xml_document document;
        pugi::xml_node root = document.append_child("items");
        for (size_t i = 0; i < count; ++i) {
            pugi::xml_node item = root.append_child("item");
            item.text().set("value text");
            item.append_attribute("n") = static_cast<int>(i);
        }
        if (!document.save_file(path.c_str()))
            state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
    state.SetComplexityN(static_cast<int64_t>(count));
}
#endif

// Removes every element of a built document, first to last, as the configuration does.
void RemoveOurs(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        CXmlDocument document;
        document.AddElement(u"items");
        for (size_t i = 0; i < count; ++i)
            document.AddChildElement(u"item", u"value text");
        document.ResetPosition();
        document.FindElement();
        document.EnterElement();
        state.ResumeTiming();
        size_t removed = 0;
        while (document.FindElement() && document.RemoveElement())
            ++removed;
        if (removed != count)
            state.SkipWithError("not every element was removed");
        state.PauseTiming();
        // The document is destroyed outside the timing.
        { CXmlDocument gone = std::move(document); }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
    state.SetComplexityN(static_cast<int64_t>(count));
}

void RegisterAll(const std::vector<CorpusFile>& corpus) {
    const std::vector<std::string> engines = EngineNames();
    for (const CorpusFile& file : corpus) {
        const std::string tag = file.name + "." + file.variant;
        for (const std::string& engine : engines) {
            // Peers read the UTF-8 form; our engine reads every form.
            if (engine != "quillon" && file.variant != "utf8")
                continue;
            benchmark::RegisterBenchmark(("Load/" + tag + "/" + engine).c_str(), Load, engine, file)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.5);
        }
        if (file.variant != "utf8")
            continue;
        benchmark::RegisterBenchmark(("Convert/" + tag + "/utf8-to-utf16").c_str(), ConvertToUtf16, file)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
        benchmark::RegisterBenchmark(("Convert/" + tag + "/utf16-to-utf8").c_str(), ConvertToUtf8, file)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
        benchmark::RegisterBenchmark(("Convert/" + tag + "/iconv-utf8-to-utf16").c_str(), ConvertIconv, file)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
        benchmark::RegisterBenchmark(("Parse/" + tag + "/quillon-utf16").c_str(), ParseOurs, file)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
#ifdef QUILLON_HAVE_PUGIXML
        benchmark::RegisterBenchmark(("Parse/" + tag + "/pugixml-utf8").c_str(), ParsePugixml, file)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
#endif
        for (const std::string& engine : engines) {
            if (engine == "expat")
                continue;
            benchmark::RegisterBenchmark(("Walk/" + tag + "/" + engine).c_str(), Walk, engine, file)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.5);
            benchmark::RegisterBenchmark(("Memory/" + tag + "/" + engine).c_str(), Memory, engine, file)
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (const int64_t count : {10000, 100000, 1000000}) {
        benchmark::RegisterBenchmark("Build/quillon", BuildOurs)
            ->Arg(count)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(count >= 1000000 ? 1 : 3);
#ifdef QUILLON_HAVE_PUGIXML
        benchmark::RegisterBenchmark("Build/pugixml", BuildPugixml)
            ->Arg(count)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(count >= 1000000 ? 1 : 3);
#endif
        benchmark::RegisterBenchmark("Remove/quillon", RemoveOurs)
            ->Arg(count)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(count >= 1000000 ? 1 : 3);
    }
}

} // namespace

int main(int argc, char** argv) {
    const char* folder = std::getenv("QUILLON_BENCH_CORPUS");
    RegisterAll(ListCorpus(folder ? folder : "build/bench-corpus"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
