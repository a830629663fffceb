// Unusual user.ini contents: the tool never crashes, the switch completes, and every byte
// outside the replaced lines survives.

#include "e2e_driver.h"

namespace {

std::string Crlf(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines)
        text.append(line).append("\r\n");
    return text;
}

std::string SeveralMegabytes() {
    std::string text = Crlf({"[Version]", "Version=7.65"});
    for (int section = 0; text.size() < 4 * 1024 * 1024; ++section) {
        text += "[Block" + std::to_string(section) + "]\r\n";
        for (int key = 0; key < 40; ++key)
            text += "Item" + std::to_string(key) + "=" + Gbk(L"行情数据") + std::string(60, 'v') +
                    "\r\n";
    }
    return text + RealisticUserIni(); // the font keys only after megabytes of other lines
}

std::string VeryLongLines() {
    std::string text = Crlf({"[SCREEN]", std::string(5000, 'A')});
    // Key-like text far inside a line is part of that line, which keeps all of its bytes.
    text += "Note=" + std::string(1018, 'x') + "FONTNAME1=Inside\r\n";
    text += "  " + std::string(1021, ' ') + "FONTSIZE1=-99\r\n";
    text += std::string(200000, 'B') + "\r\n";
    text += RealisticUserIni();
    return text + "Tail=" + std::string(70000, 'C'); // no final line ending
}

std::string ZeroBytes() {
    using namespace std::string_literals;
    return "[SCREEN]\r\nData=a\0b\0c\r\n\0FONTNAME2=Hidden\r\nFONTNAME1=Ar\0ial\r\n"s +
           RealisticUserIni() + "\0\0\0"s;
}

std::string Utf8Text() {
    return Crlf({"[USER]", "LastUser=\xE5\xBC\xA0\xE4\xB8\x89", "[SCREEN]",
                 "FONTNAME1=\xE5\xAE\x8B\xE4\xBD\x93", "FONTSIZE1=-12",
                 "; \xE5\xAD\x97\xE4\xBD\x93\xE8\xAE\xBE\xE7\xBD\xAE", "FONTNAME7=Noto Sans CJK",
                 "Other=\xE2\x82\xAC\xF0\x9F\x98\x80"});
}

std::string OnlyCrEndings() {
    std::string text = RealisticUserIni();
    std::erase(text, '\n');
    return text;
}

std::string Utf16Text() {
    const std::wstring wide = L"\xFEFF[SCREEN]\r\nFONTNAME1=宋体\r\nFONTSIZE1=-12\r\n";
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

struct Content {
    const char* name;
    std::string (*make)();
    bool classic;
};

void PrintTo(const Content& content, std::ostream* out) {
    *out << content.name;
}

class UnusualUserIni : public ToolCase, public testing::WithParamInterface<Content> {};

TEST_P(UnusualUserIni, SwitchKeepsEveryOtherByte) {
    const std::string original = GetParam().make();
    const bool classic = GetParam().classic;
    const Installation at = LayOut(temp.path, {.layout = Layout::Root, .userIni = original});

    SwitchWindow window;
    ExpectSuccessfulSwitch(at, tool, classic, window);

    EXPECT_TRUE(SameBytes(ExpectedAfterSwitch(original, classic), ReadBytes(at.userIni)))
        << "user.ini";
    ExpectOneBackup(at, original, window);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, UnusualUserIni,
    testing::Values(
        Content{"Empty", [] { return std::string(); }, false},
        Content{"SeveralMegabytes", SeveralMegabytes, false},
        Content{"VeryLongLines", VeryLongLines, true}, Content{"ZeroBytes", ZeroBytes, false},
        Content{"Utf8Text", Utf8Text, true}, Content{"OnlyCrEndings", OnlyCrEndings, false},
        Content{"ByteOrderMark",
                [] { return "\xEF\xBB\xBF" + Crlf({"FONTNAME1=Bom"}) + RealisticUserIni(); },
                false},
        Content{"LastLineWithoutEnding",
                [] { return std::string("[SCREEN]\r\nFONTNAME1=Arial\r\nFONTSIZE1=-9"); }, true},
        Content{"Utf16Text", Utf16Text, false}),
    [](const testing::TestParamInfo<Content>& info) { return std::string(info.param.name); });

} // namespace
