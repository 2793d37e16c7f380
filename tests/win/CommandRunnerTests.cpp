#include "device/ToolRunnerWin.h"

#include "WinTestSupport.h"

namespace {

std::string Emit(const std::string& arguments) { return "\"" + TestPath(VARNEL_EMIT_EXE) + "\" " + arguments; }

std::string Pattern(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t k = 0; k < count; ++k)
        bytes[k] = static_cast<char>('A' + k % 26);
    return bytes;
}

} // namespace

TEST_CASE("The runner returns the whole standard output, in order") {
    struct Case {
        const char* arguments;
        std::string expected;
    };
    const Case cases[] = {
        {"--text hello", "hello"},
        {"--text \"a b\" --text c", "a bc"},
        {"--bytes 1999", Pattern(1999)},
        {"--bytes 2000", Pattern(2000)}, // exact multiples of the read size end cleanly too
        {"--bytes 2001", Pattern(2001)},
        {"--bytes 4000", Pattern(4000)},
        {"--bytes 300000", Pattern(300000)}, // far more than the pipe holds: the child must not stall
        {"", ""},
        {"--stderr oops --text out --stderr again", "out"}, // the error stream is not captured
        {"--stdin --text x", "x"},                          // the child's input gives nothing
        {"--oem B0B2D7B0", "\xB0\xB2\xD7\xB0"},             // bytes pass as they came
        // UTF-8 with an odd number of bytes before an ASCII byte: no code page pairs them up.
        {"--oem 6C6162656C3D27E694AFE4BB98E5AE9D270D0A", "label='\xE6\x94\xAF\xE4\xBB\x98\xE5\xAE\x9D'\r\n"},
        {"--oem E5BEAE41", "\xE5\xBE\xAE" "A"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.arguments);
        std::string output = "previous";
        REQUIRE(RunConsoleCommand(Emit(c.arguments), output, nullptr));
        CHECK(output.size() == c.expected.size());
        CHECK(output == c.expected);
    }
}

TEST_CASE("A NUL byte ends the text of its 2000-byte piece only") {
    std::string output;
    REQUIRE(RunConsoleCommand(Emit("--text a --nul --text b --bytes 2100"), output, nullptr));
    // Raw: "a", NUL, "b", 2100 pattern bytes. The first piece keeps "a"; the second piece starts at
    // raw byte 2000, which is pattern byte 1997.
    CHECK(output == "a" + Pattern(2100).substr(1997));
}

TEST_CASE("A program that can't be started leaves the output untouched") {
    std::string output = "kept";
    CHECK_FALSE(RunConsoleCommand("\"C:\\no such folder\\nothing.exe\" devices", output, nullptr));
    CHECK(output == "kept");
    CHECK_FALSE(RunConsoleCommand("", output, nullptr));
    CHECK(output == "kept");
}

TEST_CASE("The runner ends with the tool, not with a helper the tool left running") {
    // adb starts a background server that inherits its output; the run must not wait for it.
    std::string output;
    const DWORD start = GetTickCount();
    REQUIRE(RunConsoleCommand(Emit("--text hi --linger 30000"), output, nullptr));
    const DWORD elapsed = GetTickCount() - start;
    CHECK(output == "hi");
    CHECK(elapsed < 15000);
}

TEST_CASE("Window messages are dispatched while the tool runs") {
    int pumps = 0;
    std::string output;
    REQUIRE(RunConsoleCommand(Emit("--sleep 700 --text done"), output, [&] { ++pumps; }));
    CHECK(output == "done");
    CHECK(pumps >= 3);
}
