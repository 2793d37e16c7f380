#pragma once
#include <string>

// Folders baked in at build time are Unix paths. A test program of the Windows tree runs under
// Wine, which shows the Unix root as drive Z:.
inline std::string TestPath(const std::string& unixPath) {
#ifdef _WIN32
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
#else
    return unixPath;
#endif
}

inline std::string SourcePath(const std::string& relative) { return TestPath(std::string(VARNEL_SOURCE_DIR) + "/" + relative); }
inline std::string BinaryPath(const std::string& relative) { return TestPath(std::string(VARNEL_BINARY_DIR) + "/" + relative); }
