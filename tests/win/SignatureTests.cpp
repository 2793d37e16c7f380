#include "WinTestSupport.h"

#ifdef VARNEL_SIGNING_PACKAGES_PATH
namespace {

std::string Signed(const std::string& name) { return TestPath(VARNEL_SIGNING_PACKAGES_PATH) + "\\" + name + ".apk"; }

std::string CommandLine(const std::string& package) { return "\"C:\\T\\app.exe\" \"" + package + "\""; }

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

} // namespace

TEST_CASE("The verdict is the permission box's first block, after the facts; a click shows the certificates") {
    struct Case {
        const char* package;
        const char* verdict;
        bool refused;
        const char* inDetails;
    };
    const Case cases[] = {
        {"v1v2v3", "签名有效（v1+v2+v3）", false, "SHA-1"},
        {"unsigned", "未签名", true, ""},
        {"v1-stored-byte", "签名无效", true, "v1"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.package);
        ProgramFolder program;
        program.UseShippedCfg();
        FormHarness h(program, CommandLine(Signed(c.package)), FormHarness::Signatures::Checked);
        // The facts are there before the verdict.
        CHECK(h.Text(h->lblPackageName) == "com.quorly.varnel.sample");
        h->AwaitSignatureCheck();
        REQUIRE(h->GetSignatureState() == TfrmMain::SignatureState::Done);
        CHECK(h->SignatureRefused() == c.refused);
        const std::string box = h.Text(h->txtPermissionInfo);
        CHECK(StartsWith(box, c.verdict));
        // The permissions follow it, as without the check.
        CHECK(box.find("-----") < box.find("\r\n\r\n", box.find("-----")) + 1);
        CHECK(SendMessageA(h->txtPermissionInfo, EM_GETFIRSTVISIBLELINE, 0, 0) == 0);
        h->SignatureBlockClick();
        REQUIRE(h.shownDetails.size() == 1);
        CHECK(h.shownDetails[0].find(c.inDetails) != std::string::npos);
        CHECK(h.errors.empty());
    }
}

TEST_CASE("Before installing a package phones will refuse, the user is asked; No installs nothing") {
    ScopedEnvironment fast("VARNEL_ADB_DELAY_MS", "0");
    ScopedEnvironment scenario("VARNEL_ADB_SCENARIO", "device");
    for (const bool yes : {false, true}) {
        CAPTURE(yes);
        ProgramFolder program;
        program.WriteCfg("[ApplicationConfig]\r\nIsCloseAfterInstall=false\r\n");
        FormHarness h(program, CommandLine(Signed("v1-stored-byte")), FormHarness::Signatures::Checked);
        h.answers = {yes};
        // Pressed at once: the install waits for the verdict, then asks.
        SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
        REQUIRE(h.questions.size() == 1);
        CHECK(StartsWith(h.questions[0], "签名无效"));
        CHECK(h.questions[0].find("仍要安装吗") != std::string::npos);
        const bool installed = ReadTextFile(program.ToolsFolder() + "fake-adb.log").find(" install ") != std::string::npos;
        CHECK(installed == yes);
    }
    // An intact package goes without a question.
    ProgramFolder program;
    program.WriteCfg("[ApplicationConfig]\r\nIsCloseAfterInstall=false\r\n");
    FormHarness h(program, CommandLine(Signed("v1v2v3")), FormHarness::Signatures::Checked);
    SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
    CHECK(h.questions.empty());
    CHECK(h.Text(h->lblHintInfo) == "程序安装成功！");
}

TEST_CASE("Another package chosen meanwhile: its own verdict, never the last one's") {
    ProgramFolder program;
    FormHarness h(program, CommandLine(Signed("unsigned")), FormHarness::Signatures::Checked);
    h.chooserAnswers = {Signed("v1v2v3")};
    SendMessageA(h->btnSelApkFile, BM_CLICK, 0, 0);
    h->AwaitSignatureCheck();
    CHECK_FALSE(h->SignatureRefused());
    CHECK(StartsWith(h->SignatureSummaryText(), "签名有效"));
    // Pending messages of the dropped check change nothing.
    ProcessPendingMessages();
    CHECK(StartsWith(h.Text(h->txtPermissionInfo), "签名有效"));
}
#endif
