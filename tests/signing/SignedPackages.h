#pragma once
// The packages make_signed_packages.py signed and tampered with, and apksigner's word on each.
#include "FakeSystem.h"
#include "TestPaths.h"
#include "signing/ApkSignature.h"
#include "signing/SignatureText.h"

#include <atomic>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

inline std::string SignedPackage(const std::string& name) {
    return TestPath(std::string(VARNEL_SIGNING_PACKAGES) + "/" + name + ".apk");
}

inline TSignatureReport Verify(const std::string& path, uint32_t minSdk = 0) {
    std::atomic<bool> cancel{false};
    TVerifyOptions options;
    options.toAnsi = Utf16ToGbk;
    options.minSdk = minSdk;
    return VerifyApkSignature(path, cancel, options);
}

inline bool HasProblem(const TSignatureReport& report, const std::string& text) {
    for (const std::string& problem : report.problems) {
        if (problem.find(text) != std::string::npos)
            return true;
    }
    return false;
}
