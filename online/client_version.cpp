#include "online/client_version.h"

#include <algorithm>
#include <cstring>

#include "framework/scoped.h"

namespace tvx {

namespace {

// Little-endian reads that fail rather than read past the end.
template <typename T>
bool ReadAt(std::span<const BYTE> bytes, size_t offset, T& out) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
    std::memcpy(&out, bytes.data() + offset, sizeof(T));
    return true;
}

constexpr WORD kPe32Magic = 0x10B;
constexpr WORD kPe32PlusMagic = 0x20B;
constexpr DWORD kSubdirectoryBit = 0x80000000u;
constexpr DWORD kFixedInfoSignature = 0xFEEF04BDu;

struct Section {
    DWORD virtualAddress = 0;
    DWORD virtualSize = 0;
    DWORD rawSize = 0;
    DWORD rawOffset = 0;
};

// Where the bytes at an address of the loaded image lie in the file; nothing for an address
// outside every section's stored bytes.
std::optional<size_t> FileOffsetOf(std::span<const BYTE> file, size_t sectionTable, WORD sections,
                                   DWORD rva) {
    for (WORD i = 0; i < sections; ++i) {
        const size_t at = sectionTable + size_t{i} * 40;
        Section s;
        if (!ReadAt(file, at + 8, s.virtualSize) || !ReadAt(file, at + 12, s.virtualAddress) ||
            !ReadAt(file, at + 16, s.rawSize) || !ReadAt(file, at + 20, s.rawOffset)) {
            return std::nullopt;
        }
        if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize) {
            return size_t{s.rawOffset} + (rva - s.virtualAddress);
        }
    }
    return std::nullopt;
}

// The entry of a resource directory with the given id, or the first entry when id is 0.
std::optional<DWORD> DirectoryEntry(std::span<const BYTE> file, size_t root, DWORD directory,
                                    WORD id) {
    WORD named = 0, ids = 0;
    const size_t at = root + directory;
    if (!ReadAt(file, at + 12, named) || !ReadAt(file, at + 14, ids)) return std::nullopt;
    for (size_t i = 0; i < size_t{named} + ids; ++i) {
        DWORD name = 0, target = 0;
        if (!ReadAt(file, at + 16 + i * 8, name) || !ReadAt(file, at + 20 + i * 8, target)) {
            return std::nullopt;
        }
        if (id == 0 || name == id) return target;
    }
    return std::nullopt;
}

// One node of a version block: its key, its value's bytes and its children's bytes. Offsets
// are within the whole block, whose start is 32-bit aligned.
struct VersionNode {
    std::wstring key;
    size_t valueStart = 0;
    WORD valueLength = 0;
    size_t childrenStart = 0;
    size_t end = 0;
};

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

std::optional<VersionNode> ReadNode(std::span<const BYTE> block, size_t at, size_t limit) {
    WORD length = 0, valueLength = 0, type = 0;
    if (!ReadAt(block, at, length) || !ReadAt(block, at + 2, valueLength) ||
        !ReadAt(block, at + 4, type) || length < 6 || at + length > limit) {
        return std::nullopt;
    }
    VersionNode node;
    node.end = at + length;
    size_t cursor = at + 6;
    for (;;) {
        wchar_t c = 0;
        if (cursor + 2 > node.end || !ReadAt(block, cursor, c)) return std::nullopt;
        cursor += 2;
        if (c == L'\0') break;
        node.key.push_back(c);
    }
    node.valueStart = std::min(Align4(cursor), node.end);
    node.valueLength = valueLength;
    // Text values count characters, binary ones bytes.
    const size_t valueBytes = type == 1 ? size_t{valueLength} * 2 : valueLength;
    node.childrenStart = std::min(Align4(node.valueStart + valueBytes), node.end);
    return node;
}

// Calls visit(node) for each child between start and end.
template <typename Visit>
void ForEachChild(std::span<const BYTE> block, size_t start, size_t end, Visit&& visit) {
    size_t at = start;
    while (at < end) {
        const auto node = ReadNode(block, at, end);
        if (!node) return;
        visit(*node);
        at = Align4(node->end);
    }
}

// A string value: from the value's start to its first NUL or the node's end.
std::wstring StringValue(std::span<const BYTE> block, const VersionNode& node) {
    std::wstring text;
    for (size_t at = node.valueStart; at + 2 <= node.end; at += 2) {
        wchar_t c = 0;
        ReadAt(block, at, c);
        if (c == L'\0') break;
        text.push_back(c);
    }
    return text;
}

// A read-only view of a whole file.
class FileView {
public:
    explicit FileView(HANDLE file) {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(file, &size) || size.QuadPart <= 0 ||
            static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
            return;
        }
        mapping_.reset(::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (!mapping_) return;
        view_ = ::MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0);
        if (view_) size_ = static_cast<size_t>(size.QuadPart);
    }
    ~FileView() {
        if (view_) ::UnmapViewOfFile(view_);
    }
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;
    std::span<const BYTE> bytes() const {
        return view_ ? std::span(static_cast<const BYTE*>(view_), size_) : std::span<const BYTE>();
    }

private:
    UniqueHandle mapping_;
    void* view_ = nullptr;
    size_t size_ = 0;
};

}  // namespace

std::span<const BYTE> FindVersionResource(std::span<const BYTE> file) {
    WORD mz = 0;
    DWORD peOffset = 0, peSignature = 0;
    if (!ReadAt(file, 0, mz) || mz != 0x5A4D || !ReadAt(file, 0x3C, peOffset) ||
        !ReadAt(file, peOffset, peSignature) || peSignature != 0x00004550) {
        return {};
    }
    WORD sections = 0, optionalSize = 0, magic = 0;
    const size_t optional = size_t{peOffset} + 24;
    if (!ReadAt(file, size_t{peOffset} + 6, sections) ||
        !ReadAt(file, size_t{peOffset} + 20, optionalSize) || !ReadAt(file, optional, magic)) {
        return {};
    }
    // The data directories' count and start differ between 32- and 64-bit images.
    size_t countAt = 0;
    if (magic == kPe32Magic) {
        countAt = optional + 92;
    } else if (magic == kPe32PlusMagic) {
        countAt = optional + 108;
    } else {
        return {};
    }
    DWORD directories = 0, resourceRva = 0;
    if (!ReadAt(file, countAt, directories) || directories <= IMAGE_DIRECTORY_ENTRY_RESOURCE ||
        !ReadAt(file, countAt + 4 + IMAGE_DIRECTORY_ENTRY_RESOURCE * 8, resourceRva) ||
        resourceRva == 0) {
        return {};
    }
    const size_t sectionTable = optional + optionalSize;
    const auto root = FileOffsetOf(file, sectionTable, sections, resourceRva);
    if (!root) return {};

    // Type, then the first name, then the first language; each step must lead where it should.
    const auto type = DirectoryEntry(file, *root, 0, 16 /* RT_VERSION */);
    if (!type || !(*type & kSubdirectoryBit)) return {};
    const auto name = DirectoryEntry(file, *root, *type & ~kSubdirectoryBit, 0);
    if (!name || !(*name & kSubdirectoryBit)) return {};
    const auto language = DirectoryEntry(file, *root, *name & ~kSubdirectoryBit, 0);
    if (!language || (*language & kSubdirectoryBit)) return {};
    DWORD dataRva = 0, dataSize = 0;
    if (!ReadAt(file, *root + *language, dataRva) ||
        !ReadAt(file, *root + *language + 4, dataSize)) {
        return {};
    }
    const auto data = FileOffsetOf(file, sectionTable, sections, dataRva);
    if (!data || *data > file.size() || file.size() - *data < dataSize) return {};
    return file.subspan(*data, dataSize);
}

std::optional<VersionFacts> ParseVersionInfo(std::span<const BYTE> block) {
    const auto root = ReadNode(block, 0, block.size());
    if (!root || root->key != L"VS_VERSION_INFO" || root->valueLength < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    VS_FIXEDFILEINFO fixed{};
    if (!ReadAt(block, root->valueStart, fixed) || fixed.dwSignature != kFixedInfoSignature) {
        return std::nullopt;
    }
    VersionFacts facts;
    facts.productVersion =
        (VersionNumber{fixed.dwProductVersionMS} << 32) | VersionNumber{fixed.dwProductVersionLS};
    bool haveProduct = false, haveInternal = false;
    ForEachChild(block, root->childrenStart, root->end, [&](const VersionNode& info) {
        if (info.key != L"StringFileInfo") return;
        ForEachChild(block, info.childrenStart, info.end, [&](const VersionNode& table) {
            ForEachChild(block, table.childrenStart, table.end, [&](const VersionNode& entry) {
                if (!haveProduct && entry.key == L"ProductName") {
                    facts.productName = StringValue(block, entry);
                    haveProduct = true;
                } else if (!haveInternal && entry.key == L"InternalName") {
                    facts.internalName = StringValue(block, entry);
                    haveInternal = true;
                }
            });
        });
    });
    return facts;
}

std::optional<VersionFacts> ReadVersionFacts(HANDLE file) {
    const FileView view(file);
    const auto block = FindVersionResource(view.bytes());
    if (block.empty()) return std::nullopt;
    return ParseVersionInfo(block);
}

VersionNumber OwnProductVersion() {
    return MakeVersion(TARNIVEX_VERSION_MAJOR, TARNIVEX_VERSION_MINOR, TARNIVEX_VERSION_PATCH);
}

bool IsNewerTarnivexSetup(const std::optional<VersionFacts>& facts, VersionNumber own) {
    return facts && facts->productName == kSetupProductName &&
           facts->internalName == kSetupInternalName && facts->productVersion > own;
}

}  // namespace tvx
