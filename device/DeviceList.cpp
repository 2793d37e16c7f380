#include "device/DeviceList.h"

#include "device/TextSplit.h"

namespace {

const char* const kHeading = "List of devices attached";

// The state of the padded `-l` form ends where the key:value fields begin.
std::string StateBeforeFields(const std::string& rest) {
    static const char* const kFields[] = {" usb:", " product:", " model:", " device:", " transport_id:"};
    std::size_t end = rest.size();
    for (const char* field : kFields) {
        const auto at = (" " + rest).find(field);
        if (at != std::string::npos && at < end)
            end = at;
    }
    return TrimControls(rest.substr(0, end));
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

} // namespace

std::vector<Phone> ReadDeviceList(const std::string& output) {
    std::vector<Phone> phones;
    const StringList lines = SplitText(output, "\n");
    std::size_t first = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (StartsWith(lines[i], kHeading)) {
            first = i + 1;
            break;
        }
        if (i + 1 == lines.size())
            return phones; // no heading: nothing adb lists
    }
    for (std::size_t i = first; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '*' || StartsWith(line, kHeading))
            continue;
        Phone phone;
        const auto tab = line.find('\t');
        if (tab != std::string::npos) {
            phone.serial = line.substr(0, tab);
            phone.state = TrimControls(line.substr(tab + 1));
        } else {
            const auto blank = line.find(' ');
            if (blank == std::string::npos)
                continue;
            phone.serial = line.substr(0, blank);
            phone.state = StateBeforeFields(line.substr(blank));
        }
        if (phone.serial.empty() || phone.state.empty())
            continue;
        phones.push_back(phone);
    }
    return phones;
}

PhoneState ClassifyState(const std::string& state) {
    if (state == "device")
        return PhoneState::Ready;
    if (state == "unauthorized" || state == "authorizing")
        return PhoneState::Unauthorized;
    if (state == "offline" || state == "connecting")
        return PhoneState::Offline;
    if (StartsWith(state, "no permissions"))
        return PhoneState::NoPermission;
    if (state == "recovery" || state == "sideload" || state == "rescue")
        return PhoneState::Recovery;
    if (state == "bootloader")
        return PhoneState::Bootloader;
    return PhoneState::Other;
}
