#include "device/DeviceList.h"

#include <doctest/doctest.h>

TEST_CASE("The listing of every adb generation, read into phones") {
    struct Case {
        const char* name;
        std::string output;
        std::vector<Phone> phones;
    };
    const Case cases[] = {
        {"today", "List of devices attached\r\nR58M40ABCDE\tdevice\r\nemulator-5554\toffline\r\n\r\n",
         {{"R58M40ABCDE", "device"}, {"emulator-5554", "offline"}}},
        {"before 2015: a blank after the heading", "List of devices attached \r\n0123456789\tdevice\r\n\r\n",
         {{"0123456789", "device"}}},
        {"2016: the daemon's start on standard output first",
         "* daemon not running. starting it now at tcp:5037 *\r\n* daemon started successfully *\r\n"
         "List of devices attached\r\nR58M\tunauthorized\r\n\r\n",
         {{"R58M", "unauthorized"}}},
        {"before 2016: the older start line and the mismatch line",
         "adb server is out of date.  killing...\r\n* daemon not running. starting it now on port 5037 *\r\n"
         "List of devices attached \r\nR58M\tdevice\r\n",
         {{"R58M", "device"}}},
        {"no permissions, with blanks in the state",
         "List of devices attached\r\nR58M\tno permissions; see [http://developer.android.com/tools/device.html]\r\n",
         {{"R58M", "no permissions; see [http://developer.android.com/tools/device.html]"}}},
        {"the padded -l form",
         "List of devices attached\r\nR58M40ABCDE            device product:beyond1 model:SM_G973F device:beyond1 "
         "transport_id:3\r\nemulator-5554          offline transport_id:1\r\n",
         {{"R58M40ABCDE", "device"}, {"emulator-5554", "offline"}}},
        {"line feeds only", "List of devices attached\nA\tdevice\nB\trecovery\n", {{"A", "device"}, {"B", "recovery"}}},
        {"a serial with blanks and bytes beyond ASCII", "List of devices attached\r\nmy phone \xE6\x89\x8B\tdevice\r\n",
         {{"my phone \xE6\x89\x8B", "device"}}},
        {"heading only", "List of devices attached\r\n\r\n", {}},
        {"nothing", "", {}},
        {"no heading: nothing adb lists", "R58M\tdevice\r\n", {}},
        {"garbage after the heading", "List of devices attached\r\n\x01\x02\r\nnotab\r\n\tdevice\r\nA\t\r\n", {}},
        {"cut in the middle of a line", "List of devices attached\r\nR58M40\tdevi", {{"R58M40", "devi"}}},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        CHECK(ReadDeviceList(c.output) == c.phones);
    }
}

TEST_CASE("States group into what they mean for the user") {
    struct Case {
        const char* state;
        PhoneState kind;
    };
    const Case cases[] = {
        {"device", PhoneState::Ready},          {"unauthorized", PhoneState::Unauthorized},
        {"authorizing", PhoneState::Unauthorized}, {"offline", PhoneState::Offline},
        {"connecting", PhoneState::Offline},    {"no permissions (user in plugdev group)", PhoneState::NoPermission},
        {"recovery", PhoneState::Recovery},     {"sideload", PhoneState::Recovery},
        {"rescue", PhoneState::Recovery},       {"bootloader", PhoneState::Bootloader},
        {"host", PhoneState::Other},            {"detached", PhoneState::Other},
        {"Device", PhoneState::Other},          {"devi", PhoneState::Other},
    };
    for (const auto& c : cases) {
        CAPTURE(c.state);
        CHECK(ClassifyState(c.state) == c.kind);
    }
}
