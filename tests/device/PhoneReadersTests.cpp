#include "device/PackageOnPhone.h"
#include "device/PhoneTraits.h"
#include "device/SignerHash.h"

#include <doctest/doctest.h>

#include <fstream>
#include <sstream>

#include "TestPaths.h"

TEST_CASE("A phone's name and maker from one getprop listing") {
    struct Case {
        const char* name;
        std::string listing;
        std::string shown;
        PhoneMaker maker;
    };
    const Case cases[] = {
        {"Xiaomi: the marketing name",
         "[ro.product.brand]: [Redmi]\r\n[ro.product.manufacturer]: [Xiaomi]\r\n[ro.product.model]: [23013RK75C]\r\n"
         "[ro.product.marketname]: [Redmi Note 12 Turbo]\r\n",
         "Redmi Note 12 Turbo", PhoneMaker::Xiaomi},
        {"OPPO: ColorOS 12's property before the older one",
         "[ro.oppo.market.name]: [OPPO Find X5]\r\n[ro.product.brand]: [OPPO]\r\n"
         "[ro.vendor.oplus.market.name]: [OPPO Find X6]\r\n",
         "OPPO Find X6", PhoneMaker::Oppo},
        {"vivo", "[ro.product.brand]: [vivo]\r\n[ro.vivo.market.name]: [vivo X100]\r\n", "vivo X100", PhoneMaker::Vivo},
        {"Huawei, Chinese and control characters",
         u8"[ro.config.marketing_name]: [华为\tMate 60\x01 Pro ]\r\n[ro.product.brand]: [HUAWEI]\r\n",
         u8"华为 Mate 60 Pro", PhoneMaker::Huawei},
        {"Samsung has none: brand and model", "[ro.product.brand]: [samsung]\n[ro.product.model]: [SM-S9180]\n",
         "samsung SM-S9180", PhoneMaker::Other},
        {"an empty marketing name, a model that names its brand",
         "[ro.product.marketname]: []\r\n[ro.product.brand]: [OnePlus]\r\n[ro.product.model]: [OnePlus 9]\r\n",
         "OnePlus 9", PhoneMaker::Oppo},
        {"daemon lines, a value with brackets, a line cut short",
         "* daemon started successfully\r\n[ro.product.model]: [Pixel [7]]\r\n[ro.product.brand]: [goo", "Pixel [7]",
         PhoneMaker::Other},
        {"not UTF-8: its ASCII only", "[ro.product.marketname]: [Mi\xB0\xB2 9]\r\n", "Mi 9", PhoneMaker::Other},
        {"a name no window can hold", "[ro.product.marketname]: [" + std::string(300, 'x') + "]\r\n",
         std::string(40, 'x'), PhoneMaker::Other},
        {"nothing", "error: device offline\r\n", "", PhoneMaker::Other},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        const PhoneProfile profile = ReadGetpropListing(c.listing);
        CHECK(PhoneName(profile) == c.shown);
        CHECK(MakerOf(profile) == c.maker);
    }
    // The same listing serves the choice of a split package's pieces.
    const PhoneTraits traits = ReadPhoneTraits(
        ReadGetpropListing("[ro.build.version.sdk]: [34]\r\n[ro.product.cpu.abilist]: [arm64-v8a,armeabi-v7a]\r\n"
                           "[ro.sf.lcd_density]: [480]\r\n[persist.sys.locale]: [zh-Hans-CN]\r\n")
            .properties);
    CHECK(traits.sdk == 34);
    CHECK(traits.abis == std::vector<std::string>{"arm64-v8a", "armeabi-v7a"});
    CHECK(traits.density == 480);
    CHECK(traits.language == "zh");
}

TEST_CASE("What a phone has of a package, from dumpsys in each Android generation's layout") {
    const std::string head = "Packages:\r\n  Package [com.example.demo] (4f5c2a1):\r\n    userId=10123\r\n";
    struct Case {
        const char* name;
        std::string output;
        CopyState state;
        std::int64_t code;
        std::string versionName;
        std::vector<std::uint32_t> signers; // empty: not shown
    };
    const Case cases[] = {
        {"Android 9 and later: signers by hash, past ones after",
         head + "    versionCode=1203 minSdk=21 targetSdk=33\r\n    versionName=12.0.3\r\n"
                "    signatures=PackageSignatures{9e1b2c3 version:3, signatures:[8a7b6c5d], past signatures:[5e6f7a8b "
                "flags: 17, 8a7b6c5d flags: 17]}\r\n",
         CopyState::Installed,
         1203,
         "12.0.3",
         {0x8a7b6c5d}},
        {"Android 7: the numbers say nothing of the signer",
         head + "    versionCode=12 targetSdk=24\r\n    versionName=1.2 beta\r\n"
                "    signatures=PackageSignatures{4f5c2a1 [a1b2c3d4]}\r\n",
         CopyState::Installed,
         12,
         "1.2 beta",
         {}},
        {"an updated system app: the block under Packages, not the hidden one",
         "Hidden system packages:\n  Package [com.example.demo] (1a2b):\n    versionCode=100 targetSdk=30\n"
         "Packages:\n  Package [com.example.demo] (3c4d):\n    versionCode=300 minSdk=24 targetSdk=33\n",
         CopyState::Installed,
         300,
         "",
         {}},
        {"another package whose name begins alike",
         "Packages:\r\n  Package [com.example.demo.pro] (1):\r\n    versionCode=9\r\n",
         CopyState::NotInstalled,
         -1,
         "",
         {}},
        {"newer phones say so", "Unable to find package: com.example.demo\r\n", CopyState::NotInstalled, -1, "", {}},
        {"no answer", "", CopyState::Unknown, -1, "", {}},
        {"adb's own error", "error: closed\r\n", CopyState::Unknown, -1, "", {}},
        {"cut short", head + "    versionCo", CopyState::Installed, -1, "", {}},
        {"a number too long to be one",
         head + "    versionCode=99999999999999999999\r\n",
         CopyState::Installed,
         -1,
         "",
         {}},
        {"megabytes before the package",
         "Packages:\n  Package [com.other] (1):\n" + std::string(4 << 20, 'x') + "\n" + head +
             "    versionCode=5\n    versionName=\x01v5\x7F\n",
         CopyState::Installed,
         5,
         "v5",
         {}},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        const PackageOnPhone copy = ReadDumpsysPackage(c.output, "com.example.demo");
        CHECK(copy.state == c.state);
        CHECK(copy.versionCode == c.code);
        CHECK(copy.versionName == c.versionName);
        CHECK(copy.signersShown == !c.signers.empty());
        if (copy.signersShown)
            CHECK(copy.signers == c.signers);
    }
}

TEST_CASE("What installing means on each phone") {
    PackageOnPhone installed;
    installed.state = CopyState::Installed;
    installed.versionCode = 12;
    installed.signersShown = true;
    installed.signers = {0x8a7b6c5d};
    installed.pastSigners = {0x5e6f7a8b};
    PackageOnPhone oldPhone = installed;
    oldPhone.signersShown = false;
    PackageOnPhone absent;
    absent.state = CopyState::NotInstalled;
    struct Case {
        const char* name;
        PackageOnPhone copy;
        std::int64_t ours;
        std::optional<std::uint32_t> signer;
        CopyCase expected;
    };
    const Case cases[] = {
        {"not there", absent, 12, 0x1u, CopyCase::NotInstalled},
        {"no answer", PackageOnPhone(), 12, std::nullopt, CopyCase::Unknown},
        {"older there", installed, 13, 0x8a7b6c5du, CopyCase::Upgrade},
        {"the same", installed, 12, std::nullopt, CopyCase::Same},
        {"newer there", installed, 11, 0x8a7b6c5du, CopyCase::Downgrade},
        {"another signer outweighs the version", installed, 11, 0x11111111u, CopyCase::OtherSigner},
        {"a key the app rotated from is no stranger", installed, 13, 0x5e6f7a8bu, CopyCase::Upgrade},
        {"an old phone can't show it", oldPhone, 13, 0x11111111u, CopyCase::Upgrade},
        {"our version unknown", installed, -1, 0x8a7b6c5du, CopyCase::Unknown},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        CHECK(CompareCopy(c.copy, c.ours, c.signer) == c.expected);
    }
}

TEST_CASE("The signer's hash from a v1 signature block that OpenSSL made") {
    // Java's Arrays.hashCode over signed bytes.
    CHECK(SignerHashOfCertificate("") == 1u);
    CHECK(SignerHashOfCertificate("\x01") == 32u);
    CHECK(SignerHashOfCertificate("\xFF\x7F") == 30u * 31u + 127u);

    std::ifstream in(TestPath(VARNEL_SIGNER_BLOCK), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string block = bytes.str();
    REQUIRE(block.size() > 800);
    std::string der;
    REQUIRE(CertificateOfSignatureBlock(block, der));
    // tests/signer/test-signer.pem's certificate, as Android prints it for a package it signed.
    CHECK(SignerHashOfCertificate(der) == 0x94725c2au);
    for (std::size_t cut = 0; cut < block.size(); ++cut) {
        std::string none;
        CHECK_FALSE(CertificateOfSignatureBlock(block.substr(0, cut), none));
    }
}
