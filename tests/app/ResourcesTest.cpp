// The program's resources as they are stored in the executable: both
// dialogs' templates byte by byte, the About item's text, the languages, the
// icon's images and the version block.
#include "resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace
{
std::string Narrow(const wchar_t* text, int length = -1)
{
    char buffer[1024] = "";
    const int bytes = ::WideCharToMultiByte(936, 0, text, length, buffer, sizeof buffer - 1, nullptr, nullptr);
    return std::string(buffer, bytes > 0 && length == -1 ? bytes - 1 : std::max(bytes, 0));
}

std::vector<BYTE> ResourceBytes(LPCSTR type, LPCSTR name)
{
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(module, name, type);
    if (!found)
        return {};
    const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
    return std::vector<BYTE>(data, data + ::SizeofResource(module, found));
}

// Reads the fields of a dialog template in order, failing softly at its end.
class TemplateReader
{
public:
    explicit TemplateReader(const std::vector<BYTE>& bytes) : m_bytes(bytes) {}

    bool Overrun() const { return m_overrun; }
    size_t Position() const { return m_position; }

    WORD Word() { return static_cast<WORD>(Take(2)); }
    DWORD Dword() { return static_cast<DWORD>(Take(4)); }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return static_cast<BYTE>(Take(1)); }

    std::wstring WideString()
    {
        std::wstring text;
        for (WORD ch = Word(); ch != 0 && !m_overrun; ch = Word())
            text += static_cast<wchar_t>(ch);
        return text;
    }

    // A name or an ordinal: "" when absent, "#n" for an ordinal, else the
    // text in code page 936.
    std::string NameOrOrdinal()
    {
        const WORD first = Word();
        if (first == 0)
            return "";
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        m_position -= 2;
        return Narrow(WideString().c_str());
    }

    void AlignToDword() { m_position = (m_position + 3) & ~static_cast<size_t>(3); }
    void Skip(size_t bytes) { m_position += bytes; }

private:
    DWORD Take(size_t size)
    {
        if (m_position + size > m_bytes.size())
        {
            m_overrun = true;
            m_position = m_bytes.size();
            return 0;
        }
        DWORD value = 0;
        std::memcpy(&value, &m_bytes[m_position], size);
        m_position += size;
        return value;
    }

    const std::vector<BYTE>& m_bytes;
    size_t m_position = 0;
    bool m_overrun = false;
};

// The system's predefined classes may be stored by ordinal or by name.
std::string ClassName(const std::string& stored)
{
    static const char* const predefined[] = {"button", "edit", "static", "listbox", "scrollbar", "combobox"};
    if (stored.size() > 1 && stored[0] == '#')
    {
        const int ordinal = std::stoi(stored.substr(1));
        if (ordinal >= 0x80 && ordinal <= 0x85)
            return predefined[ordinal - 0x80];
    }
    std::string lower = stored;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return std::tolower(ch); });
    return lower;
}

struct Control
{
    DWORD id;
    std::string className;
    std::string text;
    short x, y, cx, cy;
    DWORD style;
    DWORD helpId;

    auto Key() const { return std::tie(id, className, text, x, y, cx, cy, style, helpId); }
    bool operator==(const Control& other) const { return Key() == other.Key(); }
};

void PrintTo(const Control& c, std::ostream* out)
{
    *out << "{id " << static_cast<int>(c.id) << ", " << c.className << ", \"" << c.text << "\", " << c.x << "," << c.y
         << " " << c.cx << "x" << c.cy << ", style 0x" << std::hex << c.style << std::dec << ", help " << c.helpId
         << "}";
}
}

TEST(Resources, MainDialogTemplate)
{
    const std::vector<BYTE> bytes = ResourceBytes(RT_DIALOG, MAKEINTRESOURCEA(IDD_EXTRACTOR));
    ASSERT_FALSE(bytes.empty()) << "no dialog template " << IDD_EXTRACTOR;
    TemplateReader read(bytes);

    EXPECT_EQ(1, read.Word()) << "version of the extended form";
    ASSERT_EQ(0xFFFF, read.Word()) << "not an extended template";
    EXPECT_EQ(0u, read.Dword()) << "help id";
    EXPECT_EQ(0x00040000u, read.Dword()) << "extended style";
    const DWORD style = read.Dword();
    EXPECT_EQ(0x90C800C0u, style);
    const WORD count = read.Word();
    EXPECT_EQ(0, read.Short());
    EXPECT_EQ(0, read.Short());
    EXPECT_EQ(178, read.Short());
    EXPECT_EQ(127, read.Short());
    EXPECT_EQ("", read.NameOrOrdinal()) << "menu";
    EXPECT_EQ("", read.NameOrOrdinal()) << "class";
    EXPECT_EQ("Quelt 缓存文件提取器", Narrow(read.WideString().c_str()));
    ASSERT_TRUE(style & DS_SETFONT);
    EXPECT_EQ(9, read.Word()) << "points";
    EXPECT_EQ(0, read.Word()) << "weight";
    EXPECT_EQ(0, read.Byte()) << "italic";
    EXPECT_EQ(1, read.Byte()) << "character set";
    EXPECT_EQ("宋体", Narrow(read.WideString().c_str()));

    std::vector<Control> controls;
    for (WORD i = 0; i < count && !read.Overrun(); ++i)
    {
        read.AlignToDword();
        Control c{};
        c.helpId = read.Dword();
        read.Dword();  // extended style
        c.style = read.Dword();
        c.x = read.Short();
        c.y = read.Short();
        c.cx = read.Short();
        c.cy = read.Short();
        c.id = read.Dword();
        c.className = ClassName(read.NameOrOrdinal());
        c.text = read.NameOrOrdinal();
        read.Skip(read.Word());  // creation data
        controls.push_back(c);
    }
    ASSERT_FALSE(read.Overrun()) << "the template ends early";

    const DWORD none = static_cast<DWORD>(-1);
    const std::vector<Control> expected = {
        {IDC_FILE_TYPE, "combobox", "", 14, 43, 46, 74, 0x50210102, 0},
        {none, "static", "选择或输入提取文件类型", 14, 25, 95, 12, 0x50020000, 0},
        {IDC_SAVE_PATH, "edit", "", 14, 95, 103, 14, 0x50810080, 0},
        {IDC_BROWSE, "button", "保存路径", 14, 73, 36, 14, 0x50010000, 0},
        {IDC_SETTINGS_GROUP, "button", "设置", 7, 7, 117, 113, 0x50000007, 0},
        {IDC_EXTRACT, "button", "提取", 135, 95, 29, 14, 0x50010000, 0},
        {none, "button", "", 129, 87, 42, 26, 0x50000007, 0},
        {IDC_LOGO, "static", "", 129, 29, 20, 20, 0x50000004, 0},
    };
    ASSERT_EQ(expected.size(), controls.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(expected[i], controls[i]) << "control " << i + 1;
}

// The About box keeps the classic template form, whose controls carry a
// 16-bit id and no help id.
TEST(Resources, AboutBoxTemplate)
{
    const std::vector<BYTE> bytes = ResourceBytes(RT_DIALOG, MAKEINTRESOURCEA(IDD_ABOUT));
    ASSERT_FALSE(bytes.empty()) << "no dialog template " << IDD_ABOUT;
    TemplateReader read(bytes);

    const DWORD style = read.Dword();
    ASSERT_NE(0xFFFF0001u, style) << "an extended template";
    EXPECT_EQ(0x80C800C0u, style);
    EXPECT_EQ(0u, read.Dword()) << "extended style";
    const WORD count = read.Word();
    EXPECT_EQ(0, read.Short());
    EXPECT_EQ(0, read.Short());
    EXPECT_EQ(173, read.Short());
    EXPECT_EQ(65, read.Short());
    EXPECT_EQ("", read.NameOrOrdinal()) << "menu";
    EXPECT_EQ("", read.NameOrOrdinal()) << "class";
    EXPECT_EQ("关于 Quelt 缓存文件提取器", Narrow(read.WideString().c_str()));
    ASSERT_TRUE(style & DS_SETFONT);
    EXPECT_EQ(9, read.Word()) << "points";
    EXPECT_EQ("宋体", Narrow(read.WideString().c_str()));

    std::vector<Control> controls;
    for (WORD i = 0; i < count && !read.Overrun(); ++i)
    {
        read.AlignToDword();
        Control c{};
        c.style = read.Dword();
        EXPECT_EQ(0u, read.Dword()) << "extended style of control " << i + 1;
        c.x = read.Short();
        c.y = read.Short();
        c.cx = read.Short();
        c.cy = read.Short();
        c.id = read.Word();
        c.className = ClassName(read.NameOrOrdinal());
        c.text = read.NameOrOrdinal();
        read.Skip(read.Word());  // creation data
        controls.push_back(c);
    }
    ASSERT_FALSE(read.Overrun()) << "the template ends early";

    // The icon control names the icon by its ordinal, 0xFFFF then 128. The
    // colons are full-width (U+FF1A).
    const DWORD none = 0xFFFF;
    const std::vector<Control> expected = {
        {none, "static", "#128", 7, 13, 21, 21, 0x50000003, 0},
        {none, "static", "Quelt 缓存文件提取器 1.0 版", 39, 16, 119, 8, 0x50020080, 0},
        {none, "static", "作者：Quelt", 39, 31, 119, 8, 0x50020000, 0},
        {none, "button", "", 34, 7, 132, 51, 0x50000007, 0},
        {none, "static", "邮箱：qt@example.com", 39, 46, 89, 8, 0x50020000, 0},
    };
    ASSERT_EQ(expected.size(), controls.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(expected[i], controls[i]) << "control " << i + 1;
}

TEST(Resources, AboutMenuText)
{
    char text[128] = "";
    ASSERT_GT(::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUT_MENU, text, sizeof text), 0);
    EXPECT_EQ("关于 Quelt 缓存文件提取器(&A)...", std::string(text));
}

namespace
{
struct ResourceEntry
{
    std::string type;
    std::string name;
    std::vector<LANGID> languages;
};

std::string ResourceName(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : std::string(name);
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR context)
{
    reinterpret_cast<std::vector<LANGID>*>(context)->push_back(language);
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context)
{
    ResourceEntry entry{ResourceName(type), ResourceName(name), {}};
    ::EnumResourceLanguagesA(module, type, name, &CollectLanguage, reinterpret_cast<LONG_PTR>(&entry.languages));
    reinterpret_cast<std::vector<ResourceEntry>*>(context)->push_back(entry);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPSTR type, LONG_PTR context)
{
    ::EnumResourceNamesA(module, type, &CollectName, context);
    return TRUE;
}
}

// Every resource of the program, whatever its type, exists in Chinese (PRC)
// and in no other language.
TEST(Resources, AllInChinesePrc)
{
    HMODULE module = ::GetModuleHandleA(nullptr);
    std::vector<ResourceEntry> entries;
    ::EnumResourceTypesA(module, &CollectType, reinterpret_cast<LONG_PTR>(&entries));
    ASSERT_FALSE(entries.empty());

    const LANGID chinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
    const std::vector<LANGID> only = {chinesePrc};
    for (const ResourceEntry& entry : entries)
        EXPECT_EQ(only, entry.languages) << "type " << entry.type << ", name " << entry.name;

    // The ones the program looks up by name are among them.
    const std::pair<LPCSTR, int> needed[] = {
        {RT_DIALOG, IDD_EXTRACTOR}, {RT_DIALOG, IDD_ABOUT}, {RT_STRING, IDS_ABOUT_MENU / 16 + 1},
        {RT_GROUP_ICON, IDR_MAIN_ICON}, {"GIF", IDR_LOGO_GIF}, {RT_VERSION, 1}};
    for (const auto& resource : needed)
        EXPECT_TRUE(::FindResourceExA(module, resource.first, MAKEINTRESOURCEA(resource.second), chinesePrc))
            << "resource " << resource.second;
}

namespace
{
#pragma pack(push, 2)
struct GroupIconEntry
{
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

struct IconImage
{
    int width;
    int height;
    int bitCount;
    bool operator<(const IconImage& o) const
    {
        return std::tie(width, height, bitCount) < std::tie(o.width, o.height, o.bitCount);
    }
    bool operator==(const IconImage& o) const
    {
        return std::tie(width, height, bitCount) == std::tie(o.width, o.height, o.bitCount);
    }
};

void PrintTo(const IconImage& image, std::ostream* out)
{
    *out << image.width << "x" << image.height << "@" << image.bitCount;
}
}

// The directory and the images it points at agree, and are the five sizes.
TEST(Resources, IconHasFiveImages)
{
    const std::vector<BYTE> group = ResourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEA(IDR_MAIN_ICON));
    ASSERT_GE(group.size(), 6u);
    WORD header[3];
    std::memcpy(header, group.data(), sizeof header);
    EXPECT_EQ(0, header[0]);
    EXPECT_EQ(1, header[1]) << "not an icon directory";
    ASSERT_EQ(6 + header[2] * sizeof(GroupIconEntry), group.size());

    std::vector<IconImage> listed;
    std::vector<IconImage> stored;
    for (WORD i = 0; i < header[2]; ++i)
    {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
        listed.push_back({entry.width ? entry.width : 256, entry.height ? entry.height : 256, entry.bitCount});

        const std::vector<BYTE> image = ResourceBytes(RT_ICON, MAKEINTRESOURCEA(entry.id));
        ASSERT_EQ(entry.bytes, image.size()) << "image " << entry.id;
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER)) << "image " << entry.id;
        static const BYTE png[] = {0x89, 'P', 'N', 'G'};
        if (std::memcmp(image.data(), png, sizeof png) == 0)
        {
            // Width and height are big-endian in the IHDR chunk; a PNG icon
            // keeps its bit depth in the directory only.
            const BYTE* ihdr = image.data() + 16;
            const int width = (ihdr[0] << 24) | (ihdr[1] << 16) | (ihdr[2] << 8) | ihdr[3];
            const int height = (ihdr[4] << 24) | (ihdr[5] << 16) | (ihdr[6] << 8) | ihdr[7];
            stored.push_back({width, height, entry.bitCount});
        }
        else
        {
            BITMAPINFOHEADER info;
            std::memcpy(&info, image.data(), sizeof info);
            // The height counts the colour bitmap and the mask.
            stored.push_back({static_cast<int>(info.biWidth), static_cast<int>(info.biHeight / 2), info.biBitCount});
        }
    }
    EXPECT_EQ(listed, stored);

    std::vector<IconImage> expected = {{128, 128, 24}, {64, 64, 32}, {48, 48, 32}, {32, 32, 32}, {16, 16, 32}};
    std::sort(expected.begin(), expected.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(expected, listed);
}

TEST(Resources, VersionBlock)
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u) << "no version block";
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0804, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    const std::pair<const char*, const char*> strings[] = {
        {"FileVersion", "1, 0, 0, 1"},
        {"ProductVersion", "1, 0, 0, 1"},
        {"FileDescription", "Quelt 缓存文件提取器 Microsoft 基础类应用程序"},
        {"InternalName", "Quelt 缓存文件提取器"},
        {"ProductName", "Quelt 缓存文件提取器 应用程序"},
        {"CompanyName", ""},
        {"LegalTrademarks", ""},
    };
    for (const auto& entry : strings)
    {
        const std::string key = std::string("\\StringFileInfo\\080404b0\\") + entry.first;
        char* value = nullptr;
        ASSERT_TRUE(::VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
            << entry.first;
        EXPECT_EQ(entry.second, std::string(value ? value : "")) << entry.first;
    }
}
