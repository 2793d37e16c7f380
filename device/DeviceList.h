#pragma once
#include <string>
#include <vector>

// The phones `adb devices` lists, each with its state as adb prints it: "device" (ready),
// "unauthorized", "offline", "no permissions; see [...]" and so on.
struct Phone {
    std::string serial;
    std::string state;
    bool operator==(const Phone& other) const { return serial == other.serial && state == other.state; }
};

// Reads the listing: the lines after the heading "List of devices attached" (old adb prints its
// daemon's start lines before it), each a serial, a tab and a state; the padded form of
// `adb devices -l` is read too. Lines that are neither are skipped, so garbage gives no phones.
std::vector<Phone> ReadDeviceList(const std::string& output);

// Why a phone that is listed can't take a package, as the states adb knows group them.
enum class PhoneState {
    Ready,        // device
    Unauthorized, // unauthorized, authorizing: the phone has not accepted this computer yet
    Offline,      // offline, connecting
    NoPermission, // no permissions (the system denies adb the USB device)
    Recovery,     // recovery, sideload, rescue
    Bootloader,   // bootloader
    Other,        // host, detached and whatever a newer adb may print
};
PhoneState ClassifyState(const std::string& state);
