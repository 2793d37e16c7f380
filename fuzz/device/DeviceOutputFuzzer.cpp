// What adb prints, on arbitrary bytes: the device listing, a phone's getprop listing and dumpsys
// answer, a signature block and the reading of a refusal from both streams must never crash, hang
// or read outside what they were given.
#include "device/AdbReasons.h"
#include "device/DeviceList.h"
#include "device/PackageOnPhone.h"
#include "device/PhoneOperations.h"
#include "device/SignerHash.h"

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
    const PhoneProfile profile = ReadGetpropListing(text);
    (void)ExplainFailure(ReadAdbFailure(output, errors), "Android 9", MakerOf(profile));
    (void)PhoneName(profile);
    (void)CompareCopy(ReadDumpsysPackage(text, "com.example.demo"), 12, 0x8a7b6c5du);
    std::string certificate;
    if (CertificateOfSignatureBlock(text, certificate))
        (void)SignerHashOfCertificate(certificate);
    return 0;
}
