// What adb prints, on arbitrary bytes: the device listing and the reading of a refusal from both
// streams must never crash, hang or read outside what they were given.
#include "device/AdbReasons.h"
#include "device/DeviceList.h"
#include "device/PhoneOperations.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const Phone& phone : ReadDeviceList(text))
        (void)StateText(ClassifyState(phone.state), phone.state);
    // The first half as standard output, the rest as the error stream.
    const std::string output = text.substr(0, size / 2);
    const std::string errors = text.substr(size / 2);
    (void)AdbReportsSuccess(output, errors);
    (void)ExplainFailure(ReadAdbFailure(output, errors), "Android 9");
    return 0;
}
