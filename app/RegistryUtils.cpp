#include "app/RegistryUtils.h"

bool TRegistryUtils::RegisterFileType(const std::string&, const std::string&, const std::string&, const std::string&,
                                      const std::string&) {
    // Not registered yet: the association arrives with its own change.
    return false;
}
