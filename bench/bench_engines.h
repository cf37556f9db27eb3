// The engines compared by the benchmarks: load a file into a navigable document, walk it,
// and count what a loaded document holds. Each engine sits behind the same small interface.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace quillon::bench {

class CEngine {
public:
    virtual ~CEngine() = default;
    // Loads the file into a document held by this object; false when it failed.
    virtual bool Load(const std::string& path) = 0;
    // Visits every element and attribute of the loaded document; returns a checksum
    // (elements + name and value lengths) so the walk cannot be optimised away.
    virtual size_t Walk() = 0;
    virtual size_t CountElements() = 0;
    virtual void Release() = 0;
    // False for an engine without a document tree (a streaming parser).
    virtual bool HoldsDocument() const { return true; }
};

std::vector<std::string> EngineNames(); // "quillon" first, then the peers built in
std::unique_ptr<CEngine> MakeEngine(const std::string& name);

// Bytes the allocator holds right now (heap and mapped blocks).
size_t HeapInUse();

std::string ReadWholeFile(const std::string& path);

} // namespace quillon::bench
