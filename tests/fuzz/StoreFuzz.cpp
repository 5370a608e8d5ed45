// Any bytes in. Where they parse as a store: the store written afresh reads
// back to the same keys, names, types and bytes, and edits change only what
// they name. A broken promise traps, and libFuzzer keeps the input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "RegStore.h"

namespace {

bool Same(const std::vector<regstore::KeyContents>& a, const std::vector<regstore::KeyContents>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (a[k].path != b[k].path || a[k].values.size() != b[k].values.size()) return false;
        for (std::size_t v = 0; v < a[k].values.size(); ++v) {
            const regstore::Value& x = a[k].values[v];
            const regstore::Value& y = b[k].values[v];
            if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
        }
    }
    return true;
}

// Edits may make a key's section explicit where it only existed through its
// subkeys (or was the root); what counts is every value, in order, and that
// every key is still there.
bool SameValues(const regstore::Store& store, const std::vector<regstore::KeyContents>& before) {
    std::vector<regstore::KeyContents> after = store.Contents();
    std::vector<regstore::Value> a, b;
    for (const auto& key : before) {
        if (!store.KeyExists(key.path)) return false;
        a.insert(a.end(), key.values.begin(), key.values.end());
    }
    for (const auto& key : after) b.insert(b.end(), key.values.begin(), key.values.end());
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].data != b[i].data) return false;
    return true;
}

void Require(bool promise) {
    if (!promise) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    regstore::Store store;
    if (!store.Parse(std::string(reinterpret_cast<const char*>(data), size), nullptr)) return 0;
    const auto contents = store.Contents();

    // Round trip through regedit's own layout.
    regstore::Store again;
    Require(again.Parse(store.Canonical(), nullptr));
    Require(Same(contents, again.Contents()));

    // An added value is found, and once removed leaves the rest as it was.
    const std::string path = contents.empty() ? std::string() : contents.back().path;
    const std::string name = "VESKAL fuzz";
    if (!store.FindValue(path, name, nullptr, nullptr)) {
        store.SetValue(path, name, 4, std::string("\x01\x00\x00\x00", 4));
        regstore::Store edited;
        Require(edited.Parse(store.Text(), nullptr));
        std::string read;
        Require(edited.FindValue(path, name, nullptr, &read) && read == std::string("\x01\0\0\0", 4));
        Require(store.DeleteValue(path, name));
        Require(edited.Parse(store.Text(), nullptr) && SameValues(edited, contents));
    }

    // A new subtree, deleted again, leaves the rest as it was.
    if (!store.KeyExists("VESKAL fuzz")) {
        Require(store.CreateKey("VESKAL fuzz\\deeper"));
        Require(store.KeyExists("VESKAL fuzz") && store.DeleteTree("VESKAL fuzz"));
        regstore::Store edited;
        Require(edited.Parse(store.Text(), nullptr) && SameValues(edited, contents));
        Require(!edited.KeyExists("VESKAL fuzz"));
    }
    return 0;
}
