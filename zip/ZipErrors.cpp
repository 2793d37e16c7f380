#include "zip/ZipErrors.h"

EFOpenError::EFOpenError(const std::string& path, const std::string& systemText)
    : std::runtime_error("Cannot open file \"" + path + "\". " + systemText) {}
