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

TEST_CASE("Several programs run at once, each with its own two streams") {
    std::vector<ToolRun> runs(3);
    runs[0].commandLine = Emit("--sleep 2000 --text one --stderr err1");
    runs[1].commandLine = Emit("--text two --sleep 2000 --stderr err2");
    runs[2].commandLine = "\"C:\\no such folder\\nothing.exe\"";
    std::vector<std::size_t> finishedSeen;
    const DWORD start = GetTickCount();
    RunConsolePrograms(runs, nullptr, nullptr, [&](unsigned, std::size_t finished) { finishedSeen.push_back(finished); });
    const DWORD elapsed = GetTickCount() - start;
    CHECK(runs[0].started);
    CHECK(runs[0].finished);
    CHECK(runs[0].output == "one");
    CHECK(runs[0].errors == "err1");
    CHECK(runs[1].output == "two");
    CHECK(runs[1].errors == "err2");
    CHECK_FALSE(runs[2].started);
    CHECK(elapsed < 3500); // together: one after the other would take over 4 s
    REQUIRE_FALSE(finishedSeen.empty());
    CHECK(finishedSeen.back() == 2);
}

TEST_CASE("A wait that is given up ends the programs still running") {
    // Given up once the quick one has ended and the slow one has written its text: waiting on
    // events rather than on a fixed time keeps this true on a loaded machine.
    ScratchFolder folder;
    const std::string mark = folder / "started.mark";
    std::vector<ToolRun> runs(2);
    runs[0].commandLine = Emit("--text quick");
    runs[1].commandLine = Emit("--text started --mark \"" + mark + "\" --sleep 600000");
    std::size_t finishedSoFar = 0;
    const DWORD start = GetTickCount();
    DWORD givenUp = 0;
    RunConsolePrograms(
        runs, nullptr,
        [&] {
            const bool ready = finishedSoFar >= 1 && FileExists(mark);
            if (ready || GetTickCount() - start > 60000) {
                givenUp = GetTickCount();
                return true;
            }
            return false;
        },
        [&](unsigned, std::size_t finished) { finishedSoFar = finished; });
    REQUIRE(givenUp != 0);
    CHECK(GetTickCount() - givenUp < 2500); // the still-running one is ended, not waited for
    CHECK(runs[0].finished);
    CHECK(runs[0].output == "quick");
    CHECK(runs[1].started);
    CHECK_FALSE(runs[1].finished);
    CHECK(runs[1].output == "started"); // what it wrote before it was ended
}
