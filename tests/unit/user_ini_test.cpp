#include "core/user_ini.h"

#include "test_support.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <thread>

namespace {

using namespace std::string_literals;

const std::wstring kWriteFailure = L"无法写入配置文件 user.ini";

FontMap Classic() {
    return MakeFontScheme(true).entries;
}

struct Outcome {
    bool succeeded = false;
    std::vector<SeenBox> boxes;
};

// RewriteContent over the whole content at once.
std::string Rewritten(std::string_view content, FontMap& scheme) {
    std::string out;
    RewriteContent(content, scheme, out);
    return out;
}

// The whole switch on a real file: open "rb", RewriteLines, close, WriteLines.
Outcome RewriteFile(const std::wstring& path, FontMap& scheme) {
    Outcome outcome;
    outcome.boxes = CollectMessageBoxes([&] {
        UniqueFile input{_wfopen(path.c_str(), L"rb")};
        const bool rewritten = input && RewriteLines(input.get(), scheme, path);
        input.reset();
        outcome.succeeded = rewritten && WriteLines(path);
    });
    return outcome;
}

// A refused write: one error box, false, the file as it was and nothing else in its folder.
void ExpectRefused(const Outcome& outcome, const std::wstring& path, const std::string& original) {
    EXPECT_FALSE(outcome.succeeded);
    ASSERT_NO_FATAL_FAILURE(ExpectOnlyBox(outcome.boxes, L"错误提醒", kWriteFailure, MB_ICONERROR));
    EXPECT_EQ(original, ReadBytes(path)) << "user.ini must stay byte-identical";
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    EXPECT_EQ(std::vector<std::wstring>{L"user.ini"}, ListFiles(folder))
        << "no temporary file may be left behind";
}

// A write that went through: no box, true, `file` holding `expected` and nothing else in its
// folder.
void ExpectWritten(const Outcome& outcome, const std::wstring& file, const std::string& expected) {
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(expected, ReadBytes(file));
    const std::wstring folder = file.substr(0, file.find_last_of(L'\\'));
    EXPECT_EQ(std::vector<std::wstring>{L"user.ini"}, ListFiles(folder));
}

const std::string kSample = "[FONT]\r\nFONTNAME1=Fixedsys\r\n  FONTSIZE1 = -15 ; old\r\n"
                            "FontWeigth1=700\r\n[Other]\r\nName=\xD6\xD0\xCE\xC4\r\n";
const std::string kSampleClassic = "[FONT]\r\nFONTNAME1=System\nFONTSIZE1=-13\n"
                                   "FontWeigth1=400\n[Other]\r\nName=\xD6\xD0\xCE\xC4\r\n";

// kSample at `path` with `attributes` set.
void WriteSampleWith(const std::wstring& path, DWORD attributes) {
    WriteBytes(path, kSample);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
}

} // namespace

TEST(Trim, StripsExactlySpaceTabCrAndLfFromBothEnds) {
    EXPECT_EQ("a = b", Trim(" \t\r\na = b\n\r\t "));
    EXPECT_EQ("", Trim(" \t\r\n \t"));
    EXPECT_EQ("", Trim(""));
    EXPECT_EQ("\va\f", Trim("\va\f")) << "vertical tab and form feed are not blanks";
    EXPECT_EQ("\0x\0"s, Trim(" \0x\0 "s)) << "zero bytes are not blanks";
}

TEST(RewriteContent, KeyLinesBecomeKeyEqualsValueLfWhileOtherLinesKeepTheirBytes) {
    FontMap scheme = Classic();
    EXPECT_EQ(kSampleClassic, Rewritten(kSample, scheme));
    EXPECT_EQ(27u, scheme.size()) << "the three used keys leave the map";
    EXPECT_FALSE(scheme.contains("FONTNAME1"));
    EXPECT_TRUE(scheme.contains("FONTNAME2"));
    EXPECT_EQ("a=1\r\nFONTSIZE10=-22\n", Rewritten("a=1\r\nFONTSIZE10 = 5", scheme))
        << "a replaced last line gains its LF; missing keys are not added";
}

TEST(RewriteContent, CommentsAreSkippedAndTheNextKeyLineIsReplaced) {
    FontMap scheme = Classic();
    EXPECT_EQ(";FONTNAME1=Arial\r\n  ;FONTNAME1=Arial\r\n#FONTNAME1=x\n \t#FONTNAME1=x\n"
              "FONTNAME1=System\n",
              Rewritten(";FONTNAME1=Arial\r\n  ;FONTNAME1=Arial\r\n#FONTNAME1=x\n"
                        " \t#FONTNAME1=x\n\tFONTNAME1\t=\tTerminal ; # old\r\n",
                        scheme));
}

TEST(RewriteContent, OnlyTheFirstLineOfAKeyIsReplacedWhateverTheSection) {
    FontMap scheme = Classic();
    EXPECT_EQ("[A]\r\nFONTNAME2=Arial\nFONTNAME2=b\r\n[B]\r\nFONTNAME2=c\r\n",
              Rewritten("[A]\r\nFONTNAME2=a\r\nFONTNAME2=b\r\n[B]\r\nFONTNAME2=c\r\n", scheme));
}

TEST(RewriteContent, LinesSettingNoSchemeKeyAreKeptByteForByte) {
    const std::string content = "FONTNAME1\r\n"       // no "="
                                "FONTNAME1 ; = x\r\n" // key "FONTNAME1 ;"
                                "= FONTNAME1\r\n"     // empty key
                                "fontname1=x\r\n"     // keys match case-sensitively
                                "FontName1=x\r\n"
                                "FONTWEIGTH1=x\r\n"
                                "FontWeight1=x\r\n" // the host's spelling is FontWeigth
                                "FONTNAME11=x\r\n"  // no such slot
                                "FONT NAME1=x\r\n"
                                "   \r\n"
                                "\t \n"
                                "\r\n"
                                "\n"
                                "[FONTNAME1=x]\r\n"
                                "\xC3\xFB\xB3\xC6=FONTNAME1=x"; // GBK key, no final line ending
    FontMap scheme = Classic();
    EXPECT_EQ(content, Rewritten(content, scheme));
    EXPECT_EQ(Classic(), scheme) << "no key was used";
    EXPECT_EQ("", Rewritten("", scheme));
}

TEST(RewriteContent, ZeroBytesInLinesSurvive) {
    FontMap scheme = Classic();
    EXPECT_EQ(
        "Name=a\0b\0\r\n\0FONTNAME1=x\r\nFONTNAME3\0=x\nFONTNAME2=Arial\nTail\0\0z"s,
        Rewritten("Name=a\0b\0\r\n\0FONTNAME1=x\r\nFONTNAME3\0=x\nFONTNAME2=\0old\0\r\nTail\0\0z"s,
                  scheme));
    EXPECT_TRUE(scheme.contains("FONTNAME1")) << "a key behind a zero byte is not FONTNAME1";
}

TEST(RewriteContent, LongLinesAreWholeLinesAndTheirTailsAreNoKeys) {
    // Byte 1024 onward of this line reads like a key line of its own.
    const std::string longLine = "Memo=" + std::string(1018, 'z') + "FONTNAME1=x\r\n";
    ASSERT_EQ("FONTNAME1=x\r\n", longLine.substr(1023));
    const std::string longKey = "FONTNAME2=" + std::string(3000, '\xB0') + "\r\n";
    FontMap scheme = Classic();
    EXPECT_EQ(longLine + "FONTNAME2=Arial\nFONTNAME1=System\n",
              Rewritten(longLine + longKey + "FONTNAME1=Fixedsys\r\n", scheme));
}

namespace {

// A random user.ini together with what the rewrite must make of it, known by construction:
// every line is generated as either a line setting a known key or a line setting none.
struct GeneratedIni {
    std::string content;
    std::string expected;
    FontMap unused;
};

std::string RandomBytes(std::mt19937& random, size_t count, std::string_view alphabet) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i)
        bytes += alphabet[random() % alphabet.size()];
    return bytes;
}

// Values hold any byte but LF: zero bytes, CR, "=", comment marks and GBK.
std::string RandomValue(std::mt19937& random, size_t most) {
    return RandomBytes(random, random() % (most + 1),
                       "ab9-= ;#\t\r\0\xB0\xA1\xD6\xD0\xCE\xC4\x81\xFE\x40"s);
}

std::string RandomBlanks(std::mt19937& random) {
    return RandomBytes(random, random() % 4, random() % 8 ? " \t" : " \t\r");
}

GeneratedIni GenerateIni(std::mt19937& random, const FontMap& scheme) {
    std::vector<std::string> keys;
    for (const auto& entry : scheme)
        keys.push_back(entry.first);
    GeneratedIni ini{{}, {}, scheme};
    const int lineCount = static_cast<int>(random() % 60);
    for (int i = 0; i < lineCount; ++i) {
        const std::string& key = keys[random() % keys.size()];
        std::string line;
        bool setsKey = false;
        switch (random() % 9) {
        case 0:
        case 1:
            line = RandomBlanks(random) + key + RandomBlanks(random) + "=" + RandomBlanks(random) +
                   RandomValue(random, 12);
            setsKey = true;
            break;
        case 2:
            line = RandomBlanks(random) + (random() % 2 ? ";" : "#") + RandomBlanks(random) + key +
                   "=" + RandomValue(random, 8);
            break;
        case 3: // wrong case, a zero byte inside, or no "="
            line = (random() % 2 ? "fontname" : "FONT\0NAME"s) + std::to_string(random() % 11) +
                   (random() % 2 ? "=" : " ") + RandomValue(random, 8);
            break;
        case 4:
            line = RandomBlanks(random);
            break;
        case 5: // long, its tail from byte 1024 on reading like a key line
            line = "Memo=" + RandomBytes(random, 1018, "xyz\xB0\xA1=\0\r"s) + key + "=x" +
                   RandomValue(random, 2000);
            break;
        case 6:
            line = "["s + RandomValue(random, 10) + "]";
            break;
        case 7:
            line = "\xC3\xFB\xB3\xC6" + std::to_string(i) + "=" + RandomValue(random, 30);
            break;
        default:
            line = "Other" + std::to_string(i) + " = " + key + "=" + RandomValue(random, 30);
            break;
        }
        const bool last = i + 1 == lineCount;
        const std::string ending = last && random() % 2 ? "" : random() % 3 ? "\r\n" : "\n";
        ini.content += line + ending;
        if (setsKey && ini.unused.erase(key))
            ini.expected += key + "=" + scheme.at(key) + "\n";
        else
            ini.expected += line + ending;
    }
    return ini;
}

} // namespace

// Every fourth file also goes through a real file, RewriteLines and WriteLines.
TEST(RewriteContent, RandomFilesChangeExactlyTheFirstLineOfEachPresentKey) {
    TempDir dir;
    const std::wstring path = dir.path + L"\\user.ini";
    std::mt19937 random(20240607);
    for (int n = 0; n < 600; ++n) {
        const FontMap original = MakeFontScheme(n % 2 == 0).entries;
        const GeneratedIni ini = GenerateIni(random, original);
        FontMap scheme = original;
        ASSERT_EQ(ini.expected, Rewritten(ini.content, scheme)) << "generated file " << n;
        ASSERT_EQ(ini.unused, scheme) << "generated file " << n;
        if (n % 4 != 0)
            continue;
        WriteBytes(path, ini.content);
        scheme = original;
        const Outcome outcome = RewriteFile(path, scheme);
        ASSERT_TRUE(outcome.succeeded && outcome.boxes.empty()) << "generated file " << n;
        ASSERT_EQ(ini.expected, ReadBytes(path)) << "generated file " << n;
        ASSERT_EQ(ini.unused, scheme) << "generated file " << n;
    }
}

// The file is read in pieces: lines across piece boundaries and lines longer than a piece come
// out exactly as from one pass over the whole content.
TEST(RewriteLines, LargeFilesComeOutAsFromOnePassOverTheWholeContent) {
    TempDir dir;
    const std::wstring path = dir.path + L"\\user.ini";
    std::mt19937 random(7);
    const FontMap hd = MakeFontScheme(false).entries;
    // Keys early, as hosts write them, and then plain lines only, over several pieces.
    std::string keysEarly;
    while (keysEarly.size() < 3 * kReadChunkSize)
        keysEarly += GenerateIni(random, hd).content + "\r\nFiller=" + std::string(500, 'f');
    // Keys late: across the first piece boundary, after a line longer than a piece, and at the
    // very end.
    std::string keysLate;
    for (int i = 0; keysLate.size() < 3 * kReadChunkSize; ++i)
        keysLate += "Line" + std::to_string(i) + "=\xB0\xA1\r\n";
    keysLate.insert(kReadChunkSize - 6, "\nFONTNAME4 = old\r\n");
    std::string longLine(1, '\n');
    longLine.append(kReadChunkSize * 3 / 2, '\xB0').append("\nFONTSIZE9=1\r\n");
    keysLate.insert(kReadChunkSize + 100000, longLine);
    keysLate += "FontWeigth10=1";
    for (const std::string& content : {keysEarly, keysLate}) {
        FontMap whole = hd;
        const std::string expected = Rewritten(content, whole);
        WriteBytes(path, content);
        FontMap scheme = hd;
        const Outcome outcome = RewriteFile(path, scheme);
        EXPECT_TRUE(outcome.succeeded && outcome.boxes.empty());
        EXPECT_TRUE(SameBytes(expected, ReadBytes(path)));
        EXPECT_EQ(whole, scheme);
    }
}

// A pipe has no length and delivers in pieces of its own.
TEST(RewriteLines, StreamOfUnknownLengthIsReadToItsEnd) {
    TempDir dir;
    const std::wstring path = dir.path + L"\\user.ini";
    WriteBytes(path, "old");
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    UniqueHandle writer(writeEnd);
    UniqueFile input{
        _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(readEnd), _O_RDONLY), "rb")};
    ASSERT_TRUE(input);
    std::string filler;
    for (int i = 0; filler.size() < 100000; ++i)
        filler += "Line" + std::to_string(i) + "=\0\xB0\xA1\r\n"s;
    const std::string content = filler + "FONTNAME1=a\r\n";
    std::thread feeder([&] {
        DWORD written = 0;
        WriteFile(writer.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                  nullptr);
        writer.reset();
    });
    FontMap scheme = Classic();
    bool saved = false;
    const auto boxes = CollectMessageBoxes([&] {
        saved = RewriteLines(input.get(), scheme, path);
        input.reset(); // a feeder still writing then meets a broken pipe and ends
        saved = saved && WriteLines(path);
    });
    feeder.join();
    EXPECT_TRUE(saved && boxes.empty());
    EXPECT_EQ(filler + "FONTNAME1=System\n", ReadBytes(path));
}

// A stream opened for appending cannot be read: the failed read is reported, never taken for the
// end of a file that would then be written back short.
TEST(RewriteLines, StreamThatCannotBeReadIsReportedAndNothingReturned) {
    TempDir dir;
    const std::wstring path = dir.path + L"\\user.ini";
    WriteBytes(path, "FONTNAME1=a\r\n");
    UniqueFile writeOnly{_wfopen(path.c_str(), L"ab")};
    ASSERT_TRUE(writeOnly);
    FontMap scheme = Classic();
    bool rewritten = true;
    auto boxes =
        CollectMessageBoxes([&] { rewritten = RewriteLines(writeOnly.get(), scheme, path); });
    writeOnly.reset();
    EXPECT_FALSE(rewritten);
    EXPECT_EQ(std::vector<std::wstring>{L"user.ini"}, ListFiles(dir.path)) << "no new file left";
    ASSERT_NO_FATAL_FAILURE(
        ExpectOnlyBox(boxes, L"错误提醒", L"无法读取配置文件 user.ini", MB_ICONERROR));
    EXPECT_EQ(Classic(), scheme);
}

TEST(WriteLines, FileWithoutFontKeysIsWrittenBackByteIdentical) {
    TempDir dir;
    const std::wstring path = dir.path + L"\\user.ini";
    const std::string content =
        "[Main]\r\nName=\xD6\xD0\xCE\xC4\r\n  \t\r\nfontname1=x\n;FONTNAME1=y\r\nz\0z\rno end"s;
    WriteBytes(path, content);
    FontMap scheme = Classic();
    ExpectWritten(RewriteFile(path, scheme), path, content);
}

// ReplaceFileW keeps the original's attributes on Windows; wine's does not, which is why the new
// file is created with them.
TEST(WriteLines, ReplacesTheContentAndKeepsTheHiddenAttribute) {
    TempDir dir;
    const std::wstring path = dir.path + L"\\user.ini";
    ASSERT_NO_FATAL_FAILURE(WriteSampleWith(path, FILE_ATTRIBUTE_HIDDEN));
    FontMap scheme = Classic();
    ExpectWritten(RewriteFile(path, scheme), path, kSampleClassic);
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST(WriteLines, WorksThroughDotDotAfterAFileName) {
    TempDir dir;
    WriteBytes(dir.path + L"\\tool.exe", "MZ");
    MakeDirs(dir.path + L"\\T0002");
    WriteBytes(dir.path + L"\\T0002\\user.ini", kSample);
    const std::wstring path = dir.path + L"\\tool.exe\\..\\T0002\\user.ini";
    FontMap scheme = Classic();
    ExpectWritten(RewriteFile(path, scheme), dir.path + L"\\T0002\\user.ini", kSampleClassic);
}

TEST(WriteLines, ReadOnlyFileIsRefusedEvenWhereWineAsRootCouldWriteIt) {
    TempDir dir;
    const std::wstring path = dir.path + L"\\user.ini";
    ASSERT_NO_FATAL_FAILURE(WriteSampleWith(path, FILE_ATTRIBUTE_READONLY));
    FontMap scheme = Classic();
    ExpectRefused(RewriteFile(path, scheme), path, kSample);
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
}

namespace {

// Sets the stop event at the end of the scope, so the holder ends whatever the test did.
struct StopSetter {
    void operator()(HANDLE event) const {
        SetEvent(event);
        CloseHandle(event);
    }
};

} // namespace

TEST(WriteLines, FileHeldByAnotherProcessWithReadSharingIsRefused) {
    TempDir dir;
    const std::wstring path = dir.path + L"\\user.ini";
    WriteBytes(path, kSample);
    const std::wstring events = L"fontswitch-holder-" + std::to_wstring(GetCurrentProcessId());
    UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, (events + L"-ready").c_str()));
    std::unique_ptr<void, StopSetter> stop(
        CreateEventW(nullptr, TRUE, FALSE, (events + L"-stop").c_str()));
    ASSERT_TRUE(ready && stop);
    std::optional<ChildProcess> holder =
        StartProcess(ExeDir() + L"\\file_holder.exe", L"\"" + path + L"\" " + events, L"");
    ASSERT_TRUE(holder) << "file_holder.exe beside the tests";
    const HANDLE waits[] = {ready.get(), holder->process.get()};
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, waits, FALSE, 20000))
        << "the holder did not report the file open";

    FontMap scheme = Classic();
    const Outcome outcome = RewriteFile(path, scheme);
    SetEvent(stop.get());
    EXPECT_EQ(0u, WaitForExit(*holder, 20000)) << "the holder ends when told";
    ExpectRefused(outcome, path, kSample);
}

namespace {

struct TreeRemover {
    void operator()(const std::wstring* path) const { RemoveTree(*path); }
};

// Writes to `path` until the disk takes no more.
void FillDisk(const std::wstring& path) {
    UniqueHandle file = AdoptHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string block(4096, 'f');
    DWORD written = 0;
    while (file && WriteFile(file.get(), block.data(), 4096, &written, nullptr) && written == 4096)
        continue;
}

} // namespace

TEST(WriteLines, FullDiskLeavesTheFileUnchanged) {
    wchar_t unixPath[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"FONTSWITCH_FULL_DISK_DIR", unixPath, MAX_PATH))
        GTEST_SKIP() << "FONTSWITCH_FULL_DISK_DIR is unset: scripts/test.sh mounts a small tmpfs "
                        "there only when it runs as root";
    std::wstring disk = L"Z:" + std::wstring(unixPath);
    std::replace(disk.begin(), disk.end(), L'/', L'\\');
    const std::wstring root = disk + L"\\user-ini-" + std::to_wstring(GetCurrentProcessId());
    std::unique_ptr<const std::wstring, TreeRemover> cleanup(&root);
    MakeDirs(root + L"\\T0002");
    const std::wstring path = root + L"\\T0002\\user.ini";
    WriteBytes(path, kSample);
    ASSERT_EQ(kSample, ReadBytes(path));
    FillDisk(root + L"\\filler.bin");
    ULARGE_INTEGER available{};
    ASSERT_TRUE(GetDiskFreeSpaceExW((root + L"\\").c_str(), &available, nullptr, nullptr));
    ASSERT_LT(available.QuadPart, kSampleClassic.size()) << "the disk should be full";

    FontMap scheme = Classic();
    ExpectRefused(RewriteFile(path, scheme), path, kSample);
}
