// The running program's resources, read from the compiled .res file that the
// resource compiler made from the program's .rc script: dialog templates
// (DIALOG and DIALOGEX) and icons.
//
// A .res file is a run of entries. Each has a header (data size, header
// size, type and name as an ordinal 0xFFFF,n or a UTF-16 text, padding to
// four bytes, data version, memory flags, language, version,
// characteristics) and then its data, padded to four bytes.
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <windows.h>

#include "dialogs_internal.h"
#include "internal.h"
#include "sim_dialogs.h"
#include "sim_machine.h"

namespace {

const uint16_t kTypeIcon = 3;
const uint16_t kTypeDialog = 5;
const uint16_t kTypeGroupIcon = 14;

struct Resource {
  uint16_t language;
  std::vector<uint8_t> data;
};

struct IconObject {
  int groupId;
  winsim::IconImage image;
};

std::string sLoadedFile;
std::map<int, winsim::DialogTemplate> sDialogs;
std::map<int, Resource> sIcons;
std::map<int, Resource> sGroupIcons;
std::map<int, std::unique_ptr<IconObject>> sLoadedIcons;  // by group id

// Bounds-checked reading of little-endian data; a read past the end means
// the file is not what the resource compiler writes.
class Reader {
 public:
  Reader(const std::vector<uint8_t>& bytes, size_t begin, size_t end) : bytes_(bytes), pos_(begin), end_(end) {}
  size_t Pos() const { return pos_; }
  void Seek(size_t pos) {
    Need(pos > pos_ ? pos - pos_ : 0);
    pos_ = pos;
  }
  void AlignFrom(size_t base) { Seek(base + ((pos_ - base + 3) & ~static_cast<size_t>(3))); }
  uint8_t Byte() {
    Need(1);
    return bytes_[pos_++];
  }
  uint16_t Word() {
    uint16_t low = Byte();
    return static_cast<uint16_t>(low | (Byte() << 8));
  }
  uint32_t Dword() {
    uint32_t low = Word();
    return low | (static_cast<uint32_t>(Word()) << 16);
  }
  int Short() { return static_cast<int16_t>(Word()); }
  // A UTF-16 text up to its NUL, as ANSI (characters past Latin-1 become '?').
  std::string Text() {
    std::string text;
    for (uint16_t c = Word(); c != 0; c = Word()) text += c < 256 ? static_cast<char>(c) : '?';
    return text;
  }
  // An ordinal (0xFFFF, n) or a text; *ordinal is -1 for a text, 0 for none.
  std::string TextOrOrdinal(int* ordinal) {
    uint16_t first = Word();
    *ordinal = 0;
    if (first == 0) return "";
    if (first == 0xFFFF) {
      *ordinal = Word();
      return "";
    }
    *ordinal = -1;
    std::string text(1, first < 256 ? static_cast<char>(first) : '?');
    return text + Text();
  }

 private:
  void Need(size_t count) const {
    if (pos_ + count > end_) winsim::Unmodelled("a malformed resource file: " + sLoadedFile);
  }
  const std::vector<uint8_t>& bytes_;
  size_t pos_;
  size_t end_;
};

// A predefined class is named by its ordinal or by its name in any case, as
// the system looks classes up (the resource compiler writes a CONTROL
// statement's class name in capitals).
std::string ControlClass(int ordinal, const std::string& name) {
  static const struct {
    int ordinal;
    const char* name;
  } kPredefined[] = {{0x80, "Button"},    {0x81, "Edit"},      {0x82, "Static"},
                     {0x83, "ListBox"},   {0x84, "ScrollBar"}, {0x85, "ComboBox"}};
  for (const auto& known : kPredefined)
    if (ordinal == known.ordinal || (ordinal == -1 && winsim::detail::CompareNoCase(name, known.name) == 0))
      return known.name;
  return name;
}

// DLGTEMPLATE or DLGTEMPLATEEX, the latter marked by version 1 and 0xFFFF.
winsim::DialogTemplate ParseDialog(const Resource& resource) {
  const std::vector<uint8_t>& bytes = resource.data;
  Reader in(bytes, 0, bytes.size());
  winsim::DialogTemplate dialog{};
  dialog.language = resource.language;
  dialog.extended = bytes.size() >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF;
  int count;
  if (dialog.extended) {
    in.Dword();  // version and signature
    in.Dword();  // help id
    dialog.exStyle = in.Dword();
    dialog.style = in.Dword();
  } else {
    dialog.style = in.Dword();
    dialog.exStyle = in.Dword();
  }
  count = in.Word();
  dialog.x = in.Short();
  dialog.y = in.Short();
  dialog.cx = in.Short();
  dialog.cy = in.Short();
  int ordinal;
  in.TextOrOrdinal(&ordinal);
  if (ordinal != 0) winsim::Unmodelled("a dialog template with a menu");
  in.TextOrOrdinal(&ordinal);
  if (ordinal != 0) winsim::Unmodelled("a dialog template with its own window class");
  dialog.caption = in.Text();
  if (dialog.style & (DS_SETFONT | 0x8u)) {  // DS_SHELLFONT is DS_SETFONT | DS_FIXEDSYS
    dialog.pointSize = in.Word();
    if (dialog.extended) {
      in.Word();  // weight
      in.Byte();  // italic
      in.Byte();  // character set
    }
    dialog.typeface = in.Text();
  }
  for (int i = 0; i < count; ++i) {
    in.AlignFrom(0);
    winsim::ControlTemplate control{};
    if (dialog.extended) {
      in.Dword();  // help id
      control.exStyle = in.Dword();
      control.style = in.Dword();
    } else {
      control.style = in.Dword();
      control.exStyle = in.Dword();
    }
    control.x = in.Short();
    control.y = in.Short();
    control.cx = in.Short();
    control.cy = in.Short();
    control.id = dialog.extended ? in.Dword() : in.Word();
    std::string name = in.TextOrOrdinal(&ordinal);
    control.windowClass = ControlClass(ordinal, name);
    int textOrdinal;
    control.text = in.TextOrOrdinal(&textOrdinal);
    uint16_t extra = in.Word();
    in.Seek(in.Pos() + extra);
    dialog.controls.push_back(control);
  }
  return dialog;
}

// The image an RT_ICON holds: a BITMAPINFOHEADER whose height counts the
// colour bitmap and the mask, or a PNG.
winsim::IconImage ParseIconImage(const Resource& resource) {
  const std::vector<uint8_t>& bytes = resource.data;
  winsim::IconImage image{};
  image.language = resource.language;
  Reader in(bytes, 0, bytes.size());
  uint32_t headerSize = in.Dword();
  if (headerSize != 40) winsim::Unmodelled("an icon image that is not a bitmap");
  image.width = static_cast<int32_t>(in.Dword());
  image.height = static_cast<int32_t>(in.Dword()) / 2;
  in.Word();  // planes
  image.bitCount = in.Word();
  image.colorCount = image.bitCount <= 8 ? 1 << image.bitCount : 0;
  return image;
}

void Parse(const std::vector<uint8_t>& bytes) {
  size_t pos = 0;
  while (pos + 8 <= bytes.size()) {
    Reader in(bytes, pos, bytes.size());
    uint32_t dataSize = in.Dword();
    uint32_t headerSize = in.Dword();
    int type, name;
    in.TextOrOrdinal(&type);
    in.TextOrOrdinal(&name);
    in.AlignFrom(pos);
    in.Dword();  // data version
    in.Word();   // memory flags
    uint16_t language = in.Word();
    size_t data = pos + headerSize;
    if (data + dataSize > bytes.size() || headerSize < 8)
      winsim::Unmodelled("a malformed resource file: " + sLoadedFile);
    Resource resource{language, std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(data),
                                                     bytes.begin() + static_cast<std::ptrdiff_t>(data + dataSize))};
    // Only integer names are modelled: the programs name every resource by number.
    if (name > 0) {
      if (type == kTypeDialog) sDialogs[name] = ParseDialog(resource);
      if (type == kTypeIcon) sIcons[name] = resource;
      if (type == kTypeGroupIcon) sGroupIcons[name] = resource;
    }
    pos = (data + dataSize + 3) & ~static_cast<size_t>(3);
  }
}

// The group's images with the RT_ICON each entry names.
std::vector<std::pair<int, winsim::IconImage>> GroupImages(int id) {
  std::vector<std::pair<int, winsim::IconImage>> images;
  auto group = sGroupIcons.find(id);
  if (group == sGroupIcons.end()) return images;
  const std::vector<uint8_t>& bytes = group->second.data;
  Reader in(bytes, 0, bytes.size());
  in.Word();  // reserved
  in.Word();  // type
  int count = in.Word();
  for (int i = 0; i < count; ++i) {
    for (int skip = 0; skip < 12; ++skip) in.Byte();  // size, colours, planes, bits, bytes
    int iconId = in.Word();
    auto icon = sIcons.find(iconId);
    if (icon == sIcons.end()) winsim::Unmodelled("an icon group naming a missing image");
    images.emplace_back(iconId, ParseIconImage(icon->second));
  }
  return images;
}

}  // namespace

namespace winsim {

void LoadProgramResources(const std::string& resFile) {
  if (resFile == sLoadedFile) return;
  std::ifstream in(resFile, std::ios::binary);
  if (!in) Unmodelled("the program's resource file cannot be read: " + resFile);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  sDialogs.clear();
  sIcons.clear();
  sGroupIcons.clear();
  sLoadedIcons.clear();
  sLoadedFile = resFile;
  Parse(bytes);
}

bool FindDialogTemplate(int id, DialogTemplate* out) {
  auto it = sDialogs.find(id);
  if (it == sDialogs.end()) return false;
  *out = it->second;
  return true;
}

std::vector<IconImage> IconGroup(int id) {
  std::vector<IconImage> images;
  for (const auto& image : GroupImages(id)) images.push_back(image.second);
  return images;
}

IconInfo IconOf(HICON icon) {
  for (const auto& loaded : sLoadedIcons)
    if (reinterpret_cast<HICON>(loaded.second.get()) == icon) return IconInfo{loaded.first, loaded.second->image};
  return IconInfo{0, IconImage{}};
}

namespace detail {

const DialogTemplate* ProgramDialog(int id) {
  auto it = sDialogs.find(id);
  return it == sDialogs.end() ? nullptr : &it->second;
}

bool IsIcon(HICON icon) { return icon != nullptr && IconOf(icon).groupId != 0; }

}  // namespace detail
}  // namespace winsim

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  (void)instance;  // the program has one module
  if (!IS_INTRESOURCE(name)) winsim::Unmodelled(std::string("LoadIconA by name: ") + name);
  int id = LOWORD(name);
  if (id >= 32512) winsim::Unmodelled("LoadIconA of a system icon");
  auto loaded = sLoadedIcons.find(id);
  if (loaded != sLoadedIcons.end()) return reinterpret_cast<HICON>(loaded->second.get());
  auto images = GroupImages(id);
  if (images.empty()) {
    SetLastError(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
    return nullptr;
  }
  // The image of the system's icon size, else the group's first.
  winsim::IconImage chosen = images[0].second;
  for (const auto& image : images)
    if (image.second.width == 32 && image.second.height == 32) {
      chosen = image.second;
      break;
    }
  auto object = std::make_unique<IconObject>(IconObject{id, chosen});
  HICON icon = reinterpret_cast<HICON>(object.get());
  sLoadedIcons[id] = std::move(object);
  return icon;
}
