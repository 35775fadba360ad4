// HKEY_LOCAL_MACHINE as a tree of keys with typed values.
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <windows.h>

#include "internal.h"
#include "sim_machine.h"
#include "sim_registry.h"

namespace {

using winsim::detail::LessNoCase;

struct Value {
  uint32_t type;
  std::vector<uint8_t> bytes;
};

struct Key {
  std::string path;  // "HKLM\\A\\B"
  std::map<std::string, std::shared_ptr<Key>, LessNoCase> subkeys;
  std::map<std::string, Value, LessNoCase> values;
  long openError = ERROR_SUCCESS;
};

struct OpenKey {
  std::shared_ptr<Key> key;
};

std::shared_ptr<Key> sRoot;
std::set<OpenKey*> sHandles;
std::vector<winsim::RegOpenRecord> sOpens;
int sEnumCalls = 0;

std::shared_ptr<Key> NewRoot() {
  auto root = std::make_shared<Key>();
  root->path = "HKLM";
  return root;
}

// Where the backslash that ends the name starting at `start` is, read a
// character at a time (a second byte 0x5C of a double-byte character is no
// backslash); the path's size when the name runs to its end.
size_t NameEnd(std::string_view path, size_t start) {
  size_t at = start;
  while (at < path.size() && path[at] != '\\') at += winsim::detail::CharLength(path, at);
  return at < path.size() ? at : path.size();
}

// Hands each name of "A\\B\\" to `take`, in order, without copying it. A
// single trailing backslash is accepted as Windows accepts it; any other
// empty name makes the path invalid (false, after the names before it).
template <typename Take>
bool EachName(std::string_view path, Take take) {
  for (size_t start = 0; start < path.size();) {
    size_t end = NameEnd(path, start);
    if (end == start) return false;
    take(path.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

bool SplitPath(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  return EachName(path, [names](std::string_view name) { names->emplace_back(name); });
}

// A test path starts with "HKLM"; the rest is relative to the root.
std::vector<std::string> TestPathNames(const std::string& path) {
  std::string rest = path;
  if (rest.compare(0, 4, "HKLM") == 0) rest = rest.substr(4);
  if (!rest.empty() && rest[0] == '\\') rest = rest.substr(1);
  std::vector<std::string> names;
  if (!SplitPath(rest, &names)) winsim::Unmodelled("registry test path with an empty name: " + path);
  return names;
}

std::shared_ptr<Key> Find(const std::shared_ptr<Key>& from, const std::vector<std::string>& names) {
  const std::shared_ptr<Key>* key = &from;
  for (const auto& name : names) {
    auto it = (*key)->subkeys.find(name);
    if (it == (*key)->subkeys.end()) return nullptr;
    key = &it->second;
  }
  return *key;
}

// Looks a path up below `from` as RegOpenKeyExA takes it: names separated
// by single backslashes, one trailing backslash allowed. False for any other
// empty name. Otherwise *key is the key, or null when one is missing on the
// way. *shown receives the key's full path, up to an empty name. One pass,
// with no copy of any name: device names run to a thousand characters and
// every open of the device wait comes here.
bool Lookup(const std::shared_ptr<Key>& from, std::string_view path, std::shared_ptr<Key>* key, std::string* shown) {
  *shown = from->path;
  const std::shared_ptr<Key>* at = &from;
  bool missing = false;
  bool valid = EachName(path, [&](std::string_view name) {
    shown->append("\\").append(name);
    if (missing) return;
    auto it = (*at)->subkeys.find(name);
    if (it == (*at)->subkeys.end()) missing = true;
    else at = &it->second;
  });
  if (valid) *key = missing ? nullptr : *at;
  return valid;
}

std::shared_ptr<Key> Create(const std::string& path) {
  std::shared_ptr<Key> key = sRoot;
  for (const auto& name : TestPathNames(path)) {
    auto& slot = key->subkeys[name];
    if (!slot) {
      slot = std::make_shared<Key>();
      slot->path = key->path + "\\" + name;
    }
    key = slot;
  }
  return key;
}

std::shared_ptr<Key> KeyOf(HKEY handle, const char* function) {
  if (handle == HKEY_LOCAL_MACHINE) return sRoot;
  auto* open = reinterpret_cast<OpenKey*>(handle);
  if (sHandles.count(open) == 0) {
    if (handle == HKEY_CURRENT_USER || handle == HKEY_CLASSES_ROOT)
      winsim::Unmodelled(std::string(function) + " on a root key other than HKEY_LOCAL_MACHINE");
    return nullptr;
  }
  return open->key;
}

}  // namespace

namespace winsim {

void RegCreateKeyPath(const std::string& path) { Create(path); }

void RegDeleteKeyPath(const std::string& path) {
  auto names = TestPathNames(path);
  if (names.empty()) Unmodelled("deleting the root key");
  std::string last = names.back();
  names.pop_back();
  if (auto parent = Find(sRoot, names)) parent->subkeys.erase(last);
}

bool RegKeyExists(const std::string& path) { return Find(sRoot, TestPathNames(path)) != nullptr; }

void RegSetString(const std::string& path, const std::string& name, const std::string& text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  RegSetValue(path, name, REG_SZ, bytes);
}

void RegSetValue(const std::string& path, const std::string& name, uint32_t type,
                 const std::vector<uint8_t>& bytes) {
  Create(path)->values[name] = Value{type, bytes};
}

void RegDeleteValue(const std::string& path, const std::string& name) {
  if (auto key = Find(sRoot, TestPathNames(path))) key->values.erase(name);
}

void RegFailOpen(const std::string& path, long error) { Create(path)->openError = error; }

const std::vector<RegOpenRecord>& RegOpens() { return sOpens; }
int RegEnumCalls() { return sEnumCalls; }
int RegOpenHandleCount() { return static_cast<int>(sHandles.size()); }

namespace detail {
void ResetRegistry() {
  for (OpenKey* open : sHandles) delete open;
  sHandles.clear();
  sOpens.clear();
  sEnumCalls = 0;
  sRoot = NewRoot();
}
}  // namespace detail
}  // namespace winsim

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM sam, PHKEY result) {
  if (!sRoot) sRoot = NewRoot();
  if (result == nullptr || options != 0) winsim::Unmodelled("RegOpenKeyExA with options or no result");
  std::shared_ptr<Key> from = KeyOf(key, "RegOpenKeyExA");
  if (!from) return ERROR_INVALID_HANDLE;
  std::string shown;
  std::shared_ptr<Key> found;
  bool valid = Lookup(from, subKey ? subKey : "", &found, &shown);
  long rc = ERROR_SUCCESS;
  if (!valid) rc = 161;  // ERROR_BAD_PATHNAME
  else if (!found) rc = ERROR_FILE_NOT_FOUND;
  else if (found->openError != ERROR_SUCCESS) rc = found->openError;
  sOpens.push_back({shown, sam, rc});
  if (rc != ERROR_SUCCESS) return static_cast<LONG>(rc);
  auto* open = new OpenKey{found};
  sHandles.insert(open);
  *result = reinterpret_cast<HKEY>(open);
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                          LPSTR className, LPDWORD classSize, FILETIME* lastWrite) {
  if (reserved || className || classSize || lastWrite)
    winsim::Unmodelled("RegEnumKeyExA asking for class or time");
  ++sEnumCalls;
  std::shared_ptr<Key> from = KeyOf(key, "RegEnumKeyExA");
  if (!from) return ERROR_INVALID_HANDLE;
  if (name == nullptr || nameSize == nullptr) return ERROR_INVALID_PARAMETER;
  if (index >= from->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  auto it = from->subkeys.begin();
  std::advance(it, index);
  const std::string& text = it->first;
  if (text.size() + 1 > *nameSize) return ERROR_MORE_DATA;
  std::memcpy(name, text.c_str(), text.size() + 1);
  *nameSize = static_cast<DWORD>(text.size());
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD dataSize) {
  if (reserved) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Key> from = KeyOf(key, "RegQueryValueExA");
  if (!from) return ERROR_INVALID_HANDLE;
  auto it = from->values.find(valueName ? valueName : "");
  if (it == from->values.end()) return ERROR_FILE_NOT_FOUND;
  const Value& value = it->second;
  if (type) *type = value.type;
  if (dataSize == nullptr) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  DWORD needed = static_cast<DWORD>(value.bytes.size());
  if (data != nullptr && needed > *dataSize) {
    *dataSize = needed;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr && needed > 0) std::memcpy(data, value.bytes.data(), needed);
  *dataSize = needed;
  return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  auto* open = reinterpret_cast<OpenKey*>(key);
  if (sHandles.erase(open) == 0) return ERROR_INVALID_HANDLE;
  delete open;
  return ERROR_SUCCESS;
}
